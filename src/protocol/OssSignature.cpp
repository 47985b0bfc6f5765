#include "protocol/OssSignature.h"

#include <QLocale>
#include <QMessageAuthenticationCode>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace {

std::optional<QByteArray> findHeader(const OssSignature::Headers &headers, const QByteArray &name)
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

QByteArray headerValue(const OssSignature::Headers &headers, const QByteArray &name)
{
    return findHeader(headers, name).value_or(QByteArray());
}

} // namespace

QByteArray OssSignature::stringToSign(const QByteArray &verb, const Headers &headers, const QString &bucket,
                                      const QString &key)
{
    QByteArray out = verb + '\n' + headerValue(headers, "Content-MD5") + '\n' + headerValue(headers, "Content-Type") +
                     '\n' + signedDate(headers) + '\n';
    Headers oss;
    for (const auto &[name, value] : headers) {
        const QByteArray lower = name.toLower().trimmed();
        if (lower.startsWith("x-oss-"))
            oss.append({lower, value.trimmed()});
    }
    std::stable_sort(oss.begin(), oss.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[name, value] : oss)
        out += name + ':' + value + '\n';
    out += '/' + bucket.toUtf8() + '/' + key.toUtf8();
    return out;
}

QByteArray OssSignature::signedDate(const Headers &headers)
{
    if (const std::optional<QByteArray> date = findHeader(headers, "Date"))
        return *date;
    return headerValue(headers, "x-oss-date").trimmed();
}

QByteArray OssSignature::sign(const QByteArray &secret, const QByteArray &stringToSign)
{
    return QMessageAuthenticationCode::hash(stringToSign, secret, QCryptographicHash::Sha1).toBase64();
}

bool OssSignature::parseAuthorization(const QByteArray &value, QByteArray *accessId, QByteArray *signature)
{
    if (!value.startsWith("OSS "))
        return false;
    const QByteArray credentials = value.mid(4).trimmed();
    const qsizetype colon = credentials.lastIndexOf(':');
    if (colon <= 0 || colon == credentials.size() - 1)
        return false;
    *accessId = credentials.left(colon);
    *signature = credentials.mid(colon + 1);
    return true;
}

QString OssSignature::httpDate(const QDateTime &time)
{
    return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss")) + QStringLiteral(" GMT");
}

QByteArray OssSignature::encodeObjectKey(const QString &objectKey)
{
    return QUrl::toPercentEncoding(objectKey, "/");
}
