#pragma once

#include <QString>

#include <optional>

// One named secret of this user: the desktop keyring first, else a file in
// the user's data folder with mode 0600. Blocking calls, usable from any
// thread that can run an event loop.
class SecretStore final {
public:
    explicit SecretStore(QString service, QString fallbackFolder);

    // The secret, an empty text when none is stored.
    QString read(const QString &key) const;
    bool write(const QString &key, const QString &value) const;
    void remove(const QString &key) const;

    // Setting MIRELUNE_NO_KEYRING=1 keeps secrets out of the keyring (tests,
    // headless machines with a locked keyring that would prompt).
    static bool keyringEnabled();

private:
    std::optional<QString> readKeyring(const QString &key) const;
    bool writeKeyring(const QString &key, const QString &value) const;
    void removeKeyring(const QString &key) const;
    QString filePath(const QString &key) const;

    QString mService;
    QString mFallbackFolder;
};
