#pragma once

#include <QByteArray>
#include <QString>

// Random tokens, digests and private files: everything that handles a secret.
class Secrets final {
public:
    // A random value of the given number of bytes, as lower-case hex.
    static QByteArray randomHex(int bytes = 32);
    static QByteArray sha256Hex(const QByteArray &data);
    // Compares in time independent of where the values differ.
    static bool equal(const QByteArray &a, const QByteArray &b);
    // Writes a file readable only by its owner, replacing the old one atomically.
    static bool writePrivateFile(const QString &path, const QByteArray &data, QString *error);
};
