#include "OssSignature.h"

#include <QLocale>
#include <QMessageAuthenticationCode>
#include <QUrl>

QString OssSignature::stringToSign(const QString &verb, const QString &contentMd5, const QString &contentType,
                                   const QString &date, const QMap<QString, QString> &headers,
                                   const QString &canonicalizedResource)
{
    QMap<QString, QString> ossHeaders; // sorted by lower-cased name
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        const QString name = it.key().toLower().trimmed();
        if (name.startsWith(QLatin1String("x-oss-")))
            ossHeaders.insert(name, it.value().trimmed());
    }
    QString canonicalHeaders;
    for (auto it = ossHeaders.cbegin(); it != ossHeaders.cend(); ++it)
        canonicalHeaders += it.key() + QLatin1Char(':') + it.value() + QLatin1Char('\n');
    return verb + QLatin1Char('\n') + contentMd5 + QLatin1Char('\n') + contentType + QLatin1Char('\n') + date +
           QLatin1Char('\n') + canonicalHeaders + canonicalizedResource;
}

QString OssSignature::sign(const QString &accessSecret, const QString &stringToSign)
{
    return QString::fromLatin1(
        QMessageAuthenticationCode::hash(stringToSign.toUtf8(), accessSecret.toUtf8(), QCryptographicHash::Sha1)
            .toBase64());
}

QString OssSignature::canonicalizedResource(const QString &bucket, const QString &objectKey)
{
    return QLatin1Char('/') + bucket + QLatin1Char('/') + objectKey;
}

QString OssSignature::httpDate(const QDateTime &time)
{
    return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss")) +
           QStringLiteral(" GMT");
}

QByteArray OssSignature::encodeObjectKey(const QString &objectKey)
{
    return QUrl::toPercentEncoding(objectKey, "/");
}
