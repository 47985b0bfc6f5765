#include "ui/DEVavuzAze.h"

#include "ui_DEVavuzAze.h"

#include "frameworks/CommLang.h"
#include "frameworks/CommPassport.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "ui/KDWindowPresenter.h"

#include <QPointer>

namespace {

constexpr float kCornerRadius = 8.0f;
// Enough of a long token to tell two accounts apart, nothing of a short one.
constexpr int kShownTail = 4;
constexpr int kShortestWithTail = 16;
const QString kMask(8, QChar(0x2022));
const QColor kErrorRed(220, 38, 38);

QString text(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

QPointer<DEVavuzAze> &openWindow()
{
    static QPointer<DEVavuzAze> window;
    return window;
}

} // namespace

DEVavuzAze::DEVavuzAze(QWidget *parent) : KDWindow(parent), ui(std::make_unique<Ui::DEVavuzAze>())
{
    setupContent(*ui);
}

DEVavuzAze::~DEVavuzAze()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

DEVavuzAze *DEVavuzAze::LoadFromNib(QWidget *parent)
{
    return loadForNib<DEVavuzAze>(parent);
}

DEVavuzAze *DEVavuzAze::showRelativeToWindow(QWidget *parent)
{
    DEVavuzAze *window = openWindow();
    if (window) {
        window->makeKeyAndOrderFront();
        return window;
    }
    window = LoadFromNib();
    openWindow() = window;
    KDWindowPresenter::presentCentred(window, parent);
    return window;
}

QString DEVavuzAze::maskedToken(const QString &token)
{
    if (token.size() < kShortestWithTail)
        return kMask;
    return kMask + token.right(kShownTail);
}

QLabel *DEVavuzAze::mLabelStatus() const
{
    return ui->mLabelStatus;
}

QLabel *DEVavuzAze::mLabelToken() const
{
    return ui->mLabelToken;
}

QLineEdit *DEVavuzAze::mTextFieldToken() const
{
    return ui->mTextFieldToken;
}

QLabel *DEVavuzAze::mLabelError() const
{
    return ui->mLabelError;
}

QPushButton *DEVavuzAze::mBtnSignIn() const
{
    return ui->mBtnSignIn;
}

QPushButton *DEVavuzAze::mBtnSignOut() const
{
    return ui->mBtnSignOut;
}

void DEVavuzAze::awakeFromNib()
{
    KDWindow::awakeFromNib();
    setUpAsSmallWindow(kCornerRadius);
    styleContent();
    connectControls();
    observeNotifications();
    notificationLangDidChange();
}

void DEVavuzAze::styleContent()
{
    QFont statusFont = ui->mLabelStatus->font();
    statusFont.setBold(true);
    statusFont.setPointSizeF(statusFont.pointSizeF() * 1.15);
    ui->mLabelStatus->setFont(statusFont);
    ui->mLabelStatus->setStyleSheet(QStringLiteral("color: #000000;"));
    ui->mLabelToken->setStyleSheet(QStringLiteral("color: #333333;"));
    ui->mLabelHint->setStyleSheet(QStringLiteral("color: #333333;"));
    ui->mLabelError->setStyleSheet(QStringLiteral("color: %1;").arg(kErrorRed.name()));
    ui->mLabelError->hide();
}

void DEVavuzAze::connectControls()
{
    connect(ui->mTextFieldToken, &QLineEdit::textChanged, this, [this] {
        if (!ui->mLabelError->isHidden()) {
            ui->mLabelError->hide();
            KDWindowPresenter::fitHeightToContent(this);
        }
        updateSignInEnabled();
    });
    connect(ui->mTextFieldToken, &QLineEdit::returnPressed, this, [this] { actionForSignIn(ui->mTextFieldToken); });
    connect(ui->mBtnSignIn, &QAbstractButton::clicked, this, [this] { actionForSignIn(ui->mBtnSignIn); });
    connect(ui->mBtnSignOut, &QAbstractButton::clicked, this, [this] { actionForSignOut(ui->mBtnSignOut); });
}

// Both notifications may be posted on any thread; the window changes only on its own.
void DEVavuzAze::observeNotifications()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(this, kLangDidChangeNotification, [this](const QString &, const QVariantMap &) {
        QMetaObject::invokeMethod(this, &DEVavuzAze::notificationLangDidChange);
    });
    center.addObserver(this, CommPassport::kPassportDidUpdate, [this](const QString &, const QVariantMap &) {
        QMetaObject::invokeMethod(this, &DEVavuzAze::notificationPassportDidUpdate);
    });
}

void DEVavuzAze::notificationLangDidChange()
{
    setWindowTitle(text("Account"));
    ui->mLabelHint->setText(text("AccountTokenHint"));
    ui->mTextFieldToken->setPlaceholderText(text("AccountTokenPlaceholder"));
    ui->mLabelError->setText(text("AccountSaveFailed"));
    ui->mBtnSignIn->setText(text("SignIn"));
    ui->mBtnSignOut->setText(text("SignOut"));
    showAccountState();
}

void DEVavuzAze::notificationPassportDidUpdate()
{
    showAccountState();
}

void DEVavuzAze::showAccountState()
{
    const QString token = CommPassport::storedIdentityToken();
    const bool signedIn = !token.isEmpty();
    ui->mLabelStatus->setText(text(signedIn ? "AccountSignedIn" : "AccountSignedOut"));
    ui->mLabelToken->setText(signedIn ? text("AccountToken").arg(maskedToken(token)) : QString());
    ui->mLabelToken->setVisible(signedIn);
    ui->mLabelHint->setVisible(!signedIn);
    ui->mTextFieldToken->setVisible(!signedIn);
    ui->mBtnSignIn->setVisible(!signedIn);
    ui->mBtnSignOut->setVisible(signedIn);
    ui->mBtnSignOut->setEnabled(!mBusy);
    updateSignInEnabled();
    if (!signedIn)
        ui->mTextFieldToken->setFocus(Qt::OtherFocusReason);
    KDWindowPresenter::fitHeightToContent(this);
}

void DEVavuzAze::updateSignInEnabled()
{
    ui->mBtnSignIn->setEnabled(!mBusy && !ui->mTextFieldToken->text().trimmed().isEmpty());
}

// Storing may wait for the keyring in a nested event loop: no second press meanwhile.
void DEVavuzAze::actionForSignIn(QObject *)
{
    const QString token = ui->mTextFieldToken->text().trimmed();
    if (mBusy || token.isEmpty())
        return;
    mBusy = true;
    updateSignInEnabled();
    const bool stored = CommPassport::signInWithIdentityToken(token);
    mBusy = false;
    if (stored)
        ui->mTextFieldToken->clear();
    showAccountState();
    ui->mLabelError->setVisible(!stored);
    KDWindowPresenter::fitHeightToContent(this);
}

void DEVavuzAze::actionForSignOut(QObject *)
{
    if (mBusy)
        return;
    mBusy = true;
    ui->mBtnSignOut->setEnabled(false);
    CommPassport::signOut();
    mBusy = false;
    showAccountState();
}
