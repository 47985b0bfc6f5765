#include "ui/KDUpdateWindow.h"

#include "ui_KDUpdateWindow.h"

#include "frameworks/CommLang.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "ui/DesktopOpener.h"
#include "ui/KDWindowPresenter.h"

#include <QIcon>
#include <QVersionNumber>

namespace {

constexpr float kCornerRadius = 8.0f;
constexpr int kIconSize = 48;

QString text(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

// "1.0.0 (06/08/2020)" reads as "1.0.0" next to the feed's plain numbers.
QString plainVersion(const QString &version)
{
    const QVersionNumber number = QVersionNumber::fromString(version.trimmed());
    return number.isNull() ? version : number.toString();
}

} // namespace

KDUpdateWindow::KDUpdateWindow(QWidget *parent) : KDWindow(parent), ui(std::make_unique<Ui::KDUpdateWindow>())
{
    setupContent(*ui);
}

KDUpdateWindow::~KDUpdateWindow() = default;

KDUpdateWindow *KDUpdateWindow::LoadFromNib(QWidget *parent)
{
    return loadForNib<KDUpdateWindow>(parent);
}

QLabel *KDUpdateWindow::mLabelHeadline() const
{
    return ui->mLabelHeadline;
}

QLabel *KDUpdateWindow::mLabelDetail() const
{
    return ui->mLabelDetail;
}

QPlainTextEdit *KDUpdateWindow::mTextNotes() const
{
    return ui->mTextNotes;
}

QPushButton *KDUpdateWindow::mBtnDownload() const
{
    return ui->mBtnDownload;
}

QPushButton *KDUpdateWindow::mBtnClose() const
{
    return ui->mBtnClose;
}

void KDUpdateWindow::awakeFromNib()
{
    KDWindow::awakeFromNib();
    setUpAsSmallWindow(kCornerRadius);
    setWindowTitle(text("CheckUpdate"));
    styleContent();
    connect(ui->mBtnDownload, &QAbstractButton::clicked, this, [this] { actionForDownload(ui->mBtnDownload); });
    connect(ui->mBtnClose, &QAbstractButton::clicked, this, &QWidget::close);
}

void KDUpdateWindow::styleContent()
{
    const QIcon icon(QStringLiteral(":/icons/mirelune.svg"));
    ui->mImageAppIcon->setPixmap(icon.pixmap(QSize(kIconSize, kIconSize), devicePixelRatioF()));
    QFont headlineFont = ui->mLabelHeadline->font();
    headlineFont.setBold(true);
    headlineFont.setPointSizeF(headlineFont.pointSizeF() * 1.15);
    ui->mLabelHeadline->setFont(headlineFont);
    ui->mLabelHeadline->setStyleSheet(QStringLiteral("color: #000000;"));
    ui->mLabelDetail->setStyleSheet(QStringLiteral("color: #333333;"));
    ui->mLabelDetail->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void KDUpdateWindow::showChecking()
{
    mChecking = true;
    setDownloadUrl(QString());
    setMessage(text("UpdateChecking"), QString());
    ui->mBtnClose->setText(text("Cancel"));
}

void KDUpdateWindow::showResult(const UpdateChecker::Result &result, const QString &currentVersion)
{
    mChecking = false;
    const QString current = plainVersion(currentVersion);
    switch (result.outcome) {
    case UpdateChecker::Outcome::NewerVersion:
        setMessage(text("UpdateAvailable"), text("UpdateAvailableDetail").arg(result.latestVersion, current),
                   result.notes);
        setDownloadUrl(result.downloadUrl);
        ui->mBtnClose->setText(text("Later"));
        break;
    case UpdateChecker::Outcome::UpToDate:
        setMessage(text("UpdateUpToDate"), text("UpdateUpToDateDetail").arg(current));
        setDownloadUrl(QString());
        ui->mBtnClose->setText(text("OK"));
        break;
    case UpdateChecker::Outcome::NotConfigured:
        setMessage(text("UpdateNotConfigured"), text("UpdateNotConfiguredDetail"));
        setDownloadUrl(QString());
        ui->mBtnClose->setText(text("OK"));
        break;
    case UpdateChecker::Outcome::Failed:
        setMessage(text("UpdateFailed"), result.failure);
        setDownloadUrl(QString());
        ui->mBtnClose->setText(text("OK"));
        break;
    }
}

void KDUpdateWindow::setMessage(const QString &headline, const QString &detail, const QString &notes)
{
    ui->mLabelHeadline->setText(headline);
    ui->mLabelDetail->setText(detail);
    ui->mLabelDetail->setVisible(!detail.isEmpty());
    ui->mTextNotes->setPlainText(notes.trimmed());
    ui->mTextNotes->setVisible(!notes.trimmed().isEmpty());
    KDWindowPresenter::fitHeightToContent(this);
}

// Only a web page is offered: the feed's text must not open anything else.
void KDUpdateWindow::setDownloadUrl(const QString &url)
{
    const QUrl candidate(url.trimmed(), QUrl::StrictMode);
    const bool web = candidate.isValid() && !candidate.host().isEmpty() &&
                     (candidate.scheme() == QLatin1String("https") || candidate.scheme() == QLatin1String("http"));
    mDownloadUrl = web ? candidate : QUrl();
    ui->mBtnDownload->setText(text("Download"));
    ui->mBtnDownload->setVisible(web);
    // The offered action has the focus, so Return (auto-default) and Space
    // take it; a default button's highlight would hide where the focus is.
    for (QPushButton *button : {ui->mBtnDownload, ui->mBtnClose})
        button->setAutoDefault(true);
    (web ? ui->mBtnDownload : ui->mBtnClose)->setFocus(Qt::OtherFocusReason);
}

void KDUpdateWindow::actionForDownload(QObject *)
{
    if (mDownloadUrl.isValid())
        DesktopOpener::open(mDownloadUrl, this);
    close();
}
