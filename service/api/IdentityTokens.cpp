#include "api/IdentityTokens.h"

#include "store/Secrets.h"

#include <QFile>
#include <QList>

IdentityTokens::IdentityTokens(const QString &file) : mFile(file)
{
}

bool IdentityTokens::ensure(QString *error)
{
    if (!read().isEmpty())
        return QFile::setPermissions(mFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return Secrets::writePrivateFile(mFile, Secrets::randomHex(32) + '\n', error);
}

QByteArray IdentityTokens::primary() const
{
    const QList<QByteArray> tokens = read();
    return tokens.isEmpty() ? QByteArray() : tokens.first();
}

bool IdentityTokens::accepts(const QByteArray &token) const
{
    if (token.isEmpty())
        return false;
    bool found = false;
    const QList<QByteArray> tokens = read();
    for (const QByteArray &known : tokens)
        found = Secrets::equal(known, token) || found;
    return found;
}

QList<QByteArray> IdentityTokens::read() const
{
    QFile file(mFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> tokens;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QByteArray token = line.trimmed();
        if (!token.isEmpty() && !token.startsWith('#'))
            tokens.append(token);
    }
    return tokens;
}
