#include "settings/ValueText.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

bool isSignedIntegerType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return true;
    default:
        return false;
    }
}

bool isUnsignedIntegerType(int typeId)
{
    switch (typeId) {
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isFloatingType(int typeId)
{
    return typeId == QMetaType::Double || typeId == QMetaType::Float;
}

// Truncates towards zero, saturating at the 64-bit limits; NaN gives 0.
qint64 truncatedInteger(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^63 is exactly representable; every double below it converts without overflow.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit)
        return std::numeric_limits<qint64>::max();
    if (value < -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

qsizetype skipSpace(const QString &text, qsizetype i)
{
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return i;
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

QString shortestDouble(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString hexBlock(const QByteArray &bytes)
{
    return u'<' + QString::fromLatin1(bytes.toHex()) + u'>';
}

QString quoted(const QString &text)
{
    // The JSON writer does the escaping: ["text"] without its brackets.
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QString describe(const QVariant &value, bool nested);

QString describeList(const QVariantList &list)
{
    QStringList parts;
    parts.reserve(list.size());
    for (const QVariant &item : list)
        parts << describe(item, true);
    return u'[' + parts.join(u',') + u']';
}

QString describeMap(const QVariantMap &map)
{
    QStringList parts;
    parts.reserve(map.size());
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        parts << quoted(it.key()) + u':' + describe(it.value(), true);
    return u'{' + parts.join(u',') + u'}';
}

// The text form; inside a list or map strings are quoted, booleans read
// true/false and an absent element null, so that the whole reads like JSON.
QString describe(const QVariant &value, bool nested)
{
    const int typeId = value.metaType().id();
    if (!value.isValid() || typeId == QMetaType::Nullptr)
        return nested ? QStringLiteral("null") : QString();
    if (typeId == QMetaType::Bool) {
        if (nested)
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (isSignedIntegerType(typeId))
        return QString::number(value.toLongLong());
    if (isUnsignedIntegerType(typeId))
        return QString::number(value.toULongLong());
    if (isFloatingType(typeId))
        return shortestDouble(value.toDouble());
    if (typeId == QMetaType::QByteArray)
        return hexBlock(value.toByteArray());
    if (typeId == QMetaType::QDateTime) {
        const QDateTime dt = value.toDateTime();
        const QString text =
            dt.isValid() ? dt.toOffsetFromUtc(dt.offsetFromUtc()).toString(Qt::ISODateWithMs) : QString();
        return nested ? quoted(text) : text;
    }
    if (typeId == QMetaType::QVariantList || typeId == QMetaType::QStringList)
        return describeList(value.toList());
    if (typeId == QMetaType::QVariantMap || typeId == QMetaType::QVariantHash)
        return describeMap(value.toMap());
    const QString text = value.toString();
    return nested ? quoted(text) : text;
}

} // namespace

QString ValueText::textForm(const QVariant &value)
{
    return describe(value, false);
}

qint64 ValueText::leadingInteger(const QString &text)
{
    qsizetype i = skipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    // Accumulate as a negative number: its range holds the magnitude of both limits.
    constexpr qint64 minimum = std::numeric_limits<qint64>::min();
    qint64 accumulated = 0;
    bool saturated = false;
    for (; i < text.size() && isAsciiDigit(text.at(i)); ++i) {
        const int digit = text.at(i).unicode() - u'0';
        if (saturated)
            continue;
        if (accumulated < (minimum + digit) / 10) {
            saturated = true;
            continue;
        }
        accumulated = accumulated * 10 - digit;
    }
    if (saturated)
        return negative ? minimum : std::numeric_limits<qint64>::max();
    if (negative)
        return accumulated;
    return accumulated == minimum ? std::numeric_limits<qint64>::max() : -accumulated;
}

double ValueText::leadingDouble(const QString &text)
{
    qsizetype i = skipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    // Only ASCII can belong to a number: hand from_chars the leading ASCII run.
    QByteArray ascii;
    for (; i < text.size() && text.at(i).unicode() < 0x80; ++i)
        ascii.append(static_cast<char>(text.at(i).unicode()));
    if (ascii.startsWith('+') || ascii.startsWith('-'))
        return 0; // a second sign: no number

    double value = 0;
    const char *first = ascii.constData();
    const char *last = first + ascii.size();
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::invalid_argument)
        return 0;
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value alone; strtod gives infinity or zero. The
        // decimal order of the text decides which.
        bool seenPoint = false;
        bool seenSignificant = false;
        qint64 digitsBeforePoint = 0;
        qint64 zerosAfterPoint = 0;
        const char *p = first;
        for (; p < end && *p != 'e' && *p != 'E'; ++p) {
            if (*p == '.') {
                seenPoint = true;
            } else if (!seenSignificant && *p == '0') {
                if (seenPoint)
                    ++zerosAfterPoint;
            } else {
                seenSignificant = true;
                if (!seenPoint)
                    ++digitsBeforePoint;
            }
        }
        // Roughly the decimal order of the first significant digit; only its
        // sign with the exponent matters, the limits being ~300 orders away.
        const qint64 order = digitsBeforePoint > 0 ? digitsBeforePoint : -zerosAfterPoint;
        qint64 exponent = 0;
        if (p < end)
            exponent = leadingInteger(QString::fromLatin1(p + 1, end - p - 1));
        const bool overflow = double(order) + double(exponent) > 0; // no integer overflow
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

bool ValueText::boolFromText(const QString &text)
{
    qsizetype i = skipSpace(text, 0);
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    while (i < text.size() && text.at(i) == u'0')
        ++i;
    if (i >= text.size())
        return false;
    const QChar c = text.at(i);
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

qint64 ValueText::integerReading(const QVariant &value)
{
    const int typeId = value.metaType().id();
    if (typeId == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    if (isSignedIntegerType(typeId))
        return value.toLongLong();
    if (isUnsignedIntegerType(typeId)) {
        const qulonglong u = value.toULongLong();
        return u > qulonglong(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max() : qint64(u);
    }
    if (isFloatingType(typeId))
        return truncatedInteger(value.toDouble());
    if (typeId == QMetaType::QString)
        return leadingInteger(value.toString());
    return 0;
}

double ValueText::doubleReading(const QVariant &value)
{
    const int typeId = value.metaType().id();
    if (typeId == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    if (isSignedIntegerType(typeId))
        return double(value.toLongLong());
    if (isUnsignedIntegerType(typeId))
        return double(value.toULongLong());
    if (isFloatingType(typeId))
        return value.toDouble();
    if (typeId == QMetaType::QString)
        return leadingDouble(value.toString());
    return 0;
}

bool ValueText::boolReading(const QVariant &value)
{
    const int typeId = value.metaType().id();
    if (typeId == QMetaType::Bool)
        return value.toBool();
    if (isSignedIntegerType(typeId))
        return value.toLongLong() != 0;
    if (isUnsignedIntegerType(typeId))
        return value.toULongLong() != 0;
    if (isFloatingType(typeId))
        return value.toDouble() != 0.0; // NaN is not zero: true, as a non-zero number
    if (typeId == QMetaType::QString)
        return boolFromText(value.toString());
    return false;
}
