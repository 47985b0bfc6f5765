#include "ui/KDNoticeWindow.h"

#include "ui_KDNoticeWindow.h"

#include "frameworks/CommLang.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDView.h"
#include "ui/KDWindowPresenter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kCornerRadius = 8.0f;
// Replaced by the height the texts need once they are set.
constexpr int kFirstHeight = 160;

QString text(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

} // namespace

KDNoticeWindow::KDNoticeWindow(QWidget *parent) : KDBaseWindow(parent), ui(std::make_unique<Ui::KDNoticeWindow>())
{
    setupContent(*ui);
}

KDNoticeWindow::~KDNoticeWindow() = default;

KDNoticeWindow *KDNoticeWindow::showOver(QWidget *view, const QString &message, const QString &detail)
{
    QWidget *over = view->window();
    auto *notice = windowWithSuperWindowWithSuperWindow<KDNoticeWindow>(over, QRect(0, 0, kWidth, kFirstHeight));
    notice->setTexts(message, detail);
    notice->setGeometry(centredFrame(over->frameGeometry(), notice->size()));
    return notice;
}

void KDNoticeWindow::awakeFromNib()
{
    KDBaseWindow::awakeFromNib();
    setAttribute(Qt::WA_DeleteOnClose);
    setBorderRadius(kCornerRadius);
    minButton()->hide();
    zoomButton()->hide();
    contextView()->setBgColor(Qt::white);
    titleBar()->setBgColor(Qt::white);
    setBackgroundColor(Qt::transparent);
    setClosesOnEscape(true);
    ui->copyButton->setText(text("Copy"));
    ui->closeButton->setText(text("OK"));
    connect(ui->copyButton, &QAbstractButton::clicked, this, [this] { actionForCopy(ui->copyButton); });
    connect(ui->closeButton, &QAbstractButton::clicked, this, &QWidget::close);
}

void KDNoticeWindow::setTexts(const QString &message, const QString &detail)
{
    ui->messageLabel->setText(message);
    ui->detailField->setPlainText(detail);
    ui->detailField->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    ui->detailField->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    ui->detailField->setVisible(!detail.isEmpty());
    ui->copyButton->setVisible(!detail.isEmpty());
    setFixedWidth(kWidth);
    contextView()->layout()->activate();
    fitDetailField();
    KDWindowPresenter::fitHeightToContent(this);
    (detail.isEmpty() ? static_cast<QWidget *>(ui->closeButton) : ui->copyButton)->setFocus(Qt::OtherFocusReason);
}

void KDNoticeWindow::fitDetailField()
{
    QTextEdit *field = ui->detailField;
    QTextDocument *document = field->document();
    document->setTextWidth(field->viewport()->width());
    const int frame = 2 * field->frameWidth();
    const int most = kMostDetailLines * field->fontMetrics().lineSpacing() + int(document->documentMargin() * 2);
    field->setFixedHeight(std::min(int(std::ceil(document->size().height())), most) + frame);
}

QString KDNoticeWindow::detail() const
{
    return ui->detailField->toPlainText();
}

void KDNoticeWindow::actionForCopy(QObject *)
{
    QGuiApplication::clipboard()->setText(detail());
}

void KDNoticeWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        close();
        return;
    }
    KDBaseWindow::keyPressEvent(event);
}

QLabel *KDNoticeWindow::messageLabel() const
{
    return ui->messageLabel;
}

QTextEdit *KDNoticeWindow::detailField() const
{
    return ui->detailField;
}

QPushButton *KDNoticeWindow::copyButton() const
{
    return ui->copyButton;
}

QPushButton *KDNoticeWindow::closeButton() const
{
    return ui->closeButton;
}
