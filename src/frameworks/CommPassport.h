#pragma once

#include <QString>

// The signed-in account. Its identity token is kept in the desktop keyring
// (Secret Service / KWallet through QtKeychain) and, where no keyring runs, in
// a file readable only by the user. Every change of account posts
// "CommonPassportNotificationNamePassportDidUpdate".
class CommPassport final {
public:
    CommPassport() = delete;

    static inline const QString kPassportDidUpdate = QStringLiteral("CommonPassportNotificationNamePassportDidUpdate");

    // The account's identity token; empty when nobody is signed in. A token
    // set for this process (setProcessIdentityToken) takes precedence.
    static QString identityToken();
    // The signed-in account's stored token, ignoring any token of this process.
    static QString storedIdentityToken();
    // The account's own api token; usually empty.
    static QString apiToken();
    static bool isSignedIn();

    // Sign-in stores the token; sign-out removes it. Both post the notification.
    // Returns false when the token could not be stored anywhere.
    static bool signInWithIdentityToken(const QString &identityToken);
    static void signOut();
    static bool setApiToken(const QString &apiToken);

    // A token for this process only (a command-line option, the embedded
    // service's own token); never stored. An empty text removes it.
    static void setProcessIdentityToken(const QString &identityToken);

    // The fallback file's folder, for tests and the README.
    static QString fallbackFolder();
    // Forget what has been read, so the next read goes to the store again.
    static void resetCache();
};
