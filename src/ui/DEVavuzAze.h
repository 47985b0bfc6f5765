#pragma once

#include "frameworks/widgets/KDWindow.h"

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class DEVavuzAze;
}

// The account window: whether an account is signed in, sign-in by pasting
// the account's identity token, sign-out. The token itself never shows; a
// signed-in account is recognised by its last characters at most. It follows
// every change of account and of the interface language.
class DEVavuzAze : public KDWindow {
    Q_OBJECT
public:
    static inline const QString kLangDidChangeNotification = QStringLiteral("notification.lang.appLangDidChange");

    explicit DEVavuzAze(QWidget *parent = nullptr);
    ~DEVavuzAze() override;

    static DEVavuzAze *LoadFromNib(QWidget *parent = nullptr);
    // Shows the account window centred over parent's window; an account
    // window already open is brought to the front instead of a second one.
    static DEVavuzAze *showRelativeToWindow(QWidget *parent);

    // What the window shows of a token.
    static QString maskedToken(const QString &token);

    QLabel *mLabelStatus() const;
    QLabel *mLabelToken() const;
    QLineEdit *mTextFieldToken() const;
    QLabel *mLabelError() const;
    QPushButton *mBtnSignIn() const;
    QPushButton *mBtnSignOut() const;

    void notificationLangDidChange();
    void notificationPassportDidUpdate();

public slots:
    void actionForSignIn(QObject *sender = nullptr);
    void actionForSignOut(QObject *sender = nullptr);

protected:
    void awakeFromNib() override;

private:
    void styleContent();
    void connectControls();
    void observeNotifications();
    void showAccountState();
    void updateSignInEnabled();

    std::unique_ptr<Ui::DEVavuzAze> ui;
    bool mBusy = false;
};
