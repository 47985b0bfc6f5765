#include "ui/KDAboutWindow.h"

#include "ui_KDAboutWindow.h"

#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDUnderlinedButton.h"
#include "product/AppSettings.h"
#include "ui/DesktopOpener.h"

#include <QIcon>
#include <QTimer>
#include <QUrl>

namespace {

const QColor kLinkColor(87, 142, 243);
constexpr int kIconSize = 64;
constexpr float kCornerRadius = 8.0f;
// The title-bar buttons are hidden again once the window is up, in case
// anything showed them while it was being put on screen.
constexpr int kRehideDelayMs = 100;

} // namespace

KDAboutWindow::KDAboutWindow(QWidget *parent) : KDWindow(parent), ui(std::make_unique<Ui::KDAboutWindow>())
{
    setupContent(*ui);
    setFixedSize(size());
}

KDAboutWindow::~KDAboutWindow()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

KDAboutWindow *KDAboutWindow::LoadFromNib(QWidget *parent)
{
    return loadForNib<KDAboutWindow>(parent);
}

QLabel *KDAboutWindow::mLabelAppName() const
{
    return ui->mLabelAppName;
}

QLabel *KDAboutWindow::mLabelVersion() const
{
    return ui->mLabelVersion;
}

QLabel *KDAboutWindow::mLabelCopyright() const
{
    return ui->mLabelCopyright;
}

KDUnderlinedButton *KDAboutWindow::mLbtnHomeLink() const
{
    return ui->mLbtnHomeLink;
}

void KDAboutWindow::awakeFromNib()
{
    KDWindow::awakeFromNib();
    setBackgroundColor(Qt::white);
    setBorderRadius(kCornerRadius);
    setClosesOnEscape(true);
    hideTitleBarButtons();
    QTimer::singleShot(kRehideDelayMs, this, &KDAboutWindow::hideTitleBarButtons);
    styleLabels();
    ui->mLabelVersion->setText(AppSettings::AppVersion());
    ui->mLabelCopyright->setText(AppSettings::AppCopyright());
    setLinkTitle(AppSettings::ProductLink());
    styleLink();
    NotificationCenter::defaultCenter().addObserver(
        this, kLangDidChangeNotification,
        [this](const QString &, const QVariantMap &) { notificationLangDidChange(); });
    notificationLangDidChange();
}

void KDAboutWindow::hideTitleBarButtons()
{
    minButton()->hide();
    zoomButton()->hide();
}

void KDAboutWindow::styleLabels()
{
    const QIcon icon(QStringLiteral(":/icons/about.svg"));
    ui->mImageAppIcon->setPixmap(icon.pixmap(QSize(kIconSize, kIconSize), devicePixelRatioF()));
    QFont nameFont = ui->mLabelAppName->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.25);
    ui->mLabelAppName->setFont(nameFont);
    QFont smallFont = ui->mLabelCopyright->font();
    smallFont.setPointSizeF(smallFont.pointSizeF() * 0.9);
    ui->mLabelCopyright->setFont(smallFont);
    for (QLabel *label : {ui->mLabelAppName, ui->mLabelVersion})
        label->setStyleSheet(QStringLiteral("color: #000000;"));
    ui->mLabelCopyright->setStyleSheet(QStringLiteral("color: #666666;"));
}

void KDAboutWindow::styleLink()
{
    KDUnderlinedButton *link = ui->mLbtnHomeLink;
    for (auto state : {KDUnderlinedButton::Normal, KDUnderlinedButton::Highlighted, KDUnderlinedButton::Disabled})
        link->setTitleColor(kLinkColor, state);
    link->setUnderlineColor(kLinkColor);
    connect(link, &QAbstractButton::clicked, this, [this] { actionForShowProductHomePage(ui->mLbtnHomeLink); });
}

void KDAboutWindow::setLinkTitle(const QString &link)
{
    ui->mLbtnHomeLink->setTitle(link);
    ui->mLbtnHomeLink->sizeToFit();
}

void KDAboutWindow::notificationLangDidChange()
{
    ui->mLabelAppName->setText(VAZevediZeziz::appInfo().appLocalizedName());
    ui->mLabelCopyright->setText(AppSettings::AppCopyright());
    setLinkTitle(AppSettings::ProductLink());
}

void KDAboutWindow::actionForShowProductHomePage(QObject *)
{
    // The title is a web address; nothing else is opened from here.
    const QUrl url(ui->mLbtnHomeLink->title(), QUrl::StrictMode);
    if (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))
        DesktopOpener::open(url, this);
}
