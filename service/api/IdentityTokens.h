#pragma once

#include <QByteArray>
#include <QString>

// The identity tokens this service accepts: one per line in a file readable
// only by the user. The first start writes one; more can be added by hand.
class IdentityTokens final {
public:
    explicit IdentityTokens(const QString &file);

    bool ensure(QString *error);
    QByteArray primary() const;
    // Re-reads the file, so tokens added while the service runs count at once.
    bool accepts(const QByteArray &token) const;

private:
    QList<QByteArray> read() const;

    QString mFile;
};
