#include "store/Secrets.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>

QByteArray Secrets::randomHex(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    // The system generator reads the kernel's cryptographic source.
    for (int i = 0; i < bytes; ++i)
        raw[i] = char(QRandomGenerator::system()->bounded(256));
    return raw.toHex();
}

QByteArray Secrets::sha256Hex(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

bool Secrets::equal(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

bool Secrets::writePrivateFile(const QString &path, const QByteArray &data, QString *error)
{
    const QString temporary = path + QStringLiteral(".new-") + QString::fromLatin1(randomHex(6));
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(data) != data.size() || !file.flush()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        file.remove();
        return false;
    }
    file.close();
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QStringLiteral("Cannot replace %1").arg(path);
        QFile::remove(temporary);
        return false;
    }
    return true;
}
