#pragma once

#include <QString>
#include <QUrl>

// The feedback flow: a message to the product's feedback address with the
// application version and the system filled in.
class CommFeedback final {
public:
    CommFeedback() = delete;

    // Opens the feedback address (settings key "feedback/address", default
    // the product's mail address) in the user's mail program or browser.
    static bool submit();
    // What submit() opens: the address with this version and this system.
    static QUrl submissionUrl();
    // The system as a person names it, with its version ("Debian GNU/Linux 12 (bookworm)").
    static QString systemDescription();
    // The address with subject and body filled in; a mailto: address or an
    // https page (which gets them as query items).
    static QUrl feedbackUrl(const QString &address, const QString &appVersion, const QString &system);

    static inline const QString kAddressKey = QStringLiteral("feedback/address");
    static inline const QString kDefaultAddress = QStringLiteral("mailto:feedback@mirelune.com");
};
