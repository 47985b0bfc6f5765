#include "ui/KDTableCellView.h"

#include "ui_KDTableCellView.h"

#include <QHash>
#include <QIcon>

KDTableCellView::KDTableCellView(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::KDTableCellView>())
{
    ui->setupUi(this);
}

KDTableCellView::~KDTableCellView() = default;

std::unique_ptr<KDTableCellView> KDTableCellView::loadFromNib()
{
    return std::make_unique<KDTableCellView>();
}

QLabel *KDTableCellView::imageView() const
{
    return ui->fileTypeIcon;
}

QLabel *KDTableCellView::fileTypeIcon() const
{
    return ui->fileTypeIcon;
}

QLabel *KDTableCellView::fileTitleLabel() const
{
    return ui->fileTitleLabel;
}

QLabel *KDTableCellView::filePathLabel() const
{
    return ui->filePathLabel;
}

QLabel *KDTableCellView::sizePageLabel() const
{
    return ui->sizePageLabel;
}

QLabel *KDTableCellView::convertStatusIcon() const
{
    return ui->convertStatusIcon;
}

void KDTableCellView::setImageNamed(QLabel *imageView, const QString &name)
{
    imageView->setPixmap(imageNamed(name, imageView->size(), imageView->devicePixelRatioF()));
}

// Rows are drawn all the time while scrolling; parsing an SVG per row would
// dominate the frame.
QPixmap KDTableCellView::imageNamed(const QString &name, const QSize &size, qreal devicePixelRatio)
{
    static QHash<QString, QPixmap> cache;
    const QString key =
        QStringLiteral("%1@%2x%3@%4").arg(name).arg(size.width()).arg(size.height()).arg(devicePixelRatio);
    auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    const QPixmap pixmap = QIcon(QStringLiteral(":/icons/%1.svg").arg(name)).pixmap(size, devicePixelRatio);
    cache.insert(key, pixmap);
    return pixmap;
}

void KDTableCellView::setElidedText(QLabel *label, const QString &text, Qt::TextElideMode mode)
{
    label->setText(label->fontMetrics().elidedText(text, mode, label->width()));
}

// The style sheet is swapped only when the kind of line changes: every row
// is drawn with this one cell, and parsing a style sheet per row would show.
void KDTableCellView::setDetailLine(const QString &text, bool isFailure)
{
    QLabel *label = ui->filePathLabel;
    if (isFailure != mDetailIsFailure) {
        mDetailIsFailure = isFailure;
        label->setStyleSheet(isFailure ? QStringLiteral("color: #c62828; font-size: 11px;")
                                       : QStringLiteral("color: #8a8f98; font-size: 11px;"));
    }
    setElidedText(label, text, isFailure ? Qt::ElideRight : Qt::ElideMiddle);
}

void KDTableCellView::setFileType(quint64 fileType)
{
    _fileType = fileType;
    if (fileType <= 2)
        setImageNamed(imageView(), QStringLiteral("file_pdf"));
}
