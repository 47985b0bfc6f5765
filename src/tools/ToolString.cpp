#include "tools/ToolString.h"

#include "tools/Log.h"
#include "tools/ToolFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <QSysInfo>
#include <QTimeZone>
#include <QUuid>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <limits>
#include <optional>
#include <typeinfo>

#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/socket.h>

namespace {

const QString kHashFailure = QStringLiteral("99999999999999999999");

// An empty but present string (QString() would read as absent).
QString emptyText()
{
    return QStringLiteral("");
}

// --- numbers ---------------------------------------------------------------

// C's (int)/(long long) conversion of a double, made total: NaN gives 0 and
// values outside the range saturate (as the conversion does on arm64).
template <typename Int> Int truncateSaturating(double value)
{
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<Int>::max())) {
        return std::numeric_limits<Int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<Int>::min())) {
        return std::numeric_limits<Int>::min();
    }
    return static_cast<Int>(value);
}

// Two's-complement wrap of a 64-bit value to 32 bits, without signed overflow.
qint32 wrapToInt32(qint64 value)
{
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(value)));
}

// The leading decimal integer of a text, like NSString's intValue: leading
// white space and one sign allowed, no digits give 0, saturating at the
// 32-bit limits.
qint32 leadingInt32(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace()) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    // The magnitude is capped at the limit of the sign, so INT_MIN is reachable.
    const qint64 limit =
        negative ? -qint64(std::numeric_limits<qint32>::min()) : qint64(std::numeric_limits<qint32>::max());
    qint64 magnitude = 0;
    while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9') {
        magnitude = magnitude * 10 + (text.at(i).unicode() - u'0');
        if (magnitude > limit) {
            magnitude = limit; // stays saturated through the remaining digits
        }
        ++i;
    }
    return static_cast<qint32>(negative ? -magnitude : magnitude);
}

// "%02d"-style zero padding of a number to at least `width` digits.
QString padded(qint64 value, int width)
{
    if (value < 0) {
        return QLatin1Char('-') + QString::number(-value).rightJustified(width, QLatin1Char('0'));
    }
    return QString::number(value).rightJustified(width, QLatin1Char('0'));
}

QString clockText(double seconds)
{
    const qint32 h = truncateSaturating<qint32>(seconds / 3600);
    const double r = seconds - double(h) * 3600;
    const qint32 m = truncateSaturating<qint32>(r / 60);
    const qint32 s = truncateSaturating<qint32>(r - double(m) * 60);
    return padded(h, 2) + QLatin1Char(':') + padded(m, 2) + QLatin1Char(':') + padded(s, 2);
}

// --- Unicode (UTS #35) date patterns -------------------------------------

QString offsetText(int offsetSeconds, bool withColon, bool minutesOptional, bool zeroAsZ)
{
    if (zeroAsZ && offsetSeconds == 0) {
        return QStringLiteral("Z");
    }
    const QChar sign = offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int total = std::abs(offsetSeconds) / 60;
    const int hours = total / 60;
    const int minutes = total % 60;
    QString text = sign + padded(hours, 2);
    if (minutesOptional && minutes == 0) {
        return text;
    }
    if (withColon) {
        text += QLatin1Char(':');
    }
    return text + padded(minutes, 2);
}

QString gmtText(int offsetSeconds, bool shortForm)
{
    if (offsetSeconds == 0) {
        return QStringLiteral("GMT");
    }
    const QChar sign = offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int total = std::abs(offsetSeconds) / 60;
    const int hours = total / 60;
    const int minutes = total % 60;
    if (shortForm) {
        QString text = QStringLiteral("GMT") + sign + QString::number(hours);
        if (minutes != 0) {
            text += QLatin1Char(':') + padded(minutes, 2);
        }
        return text;
    }
    return QStringLiteral("GMT") + sign + padded(hours, 2) + QLatin1Char(':') + padded(minutes, 2);
}

QString nameByWidth(const QLocale &locale, int count, bool standAlone, bool month, int number)
{
    const QLocale::FormatType format = count >= 5   ? QLocale::NarrowFormat
                                       : count == 4 ? QLocale::LongFormat
                                                    : QLocale::ShortFormat;
    if (month) {
        return standAlone ? locale.standaloneMonthName(number, format) : locale.monthName(number, format);
    }
    return standAlone ? locale.standaloneDayName(number, format) : locale.dayName(number, format);
}

// One pattern field (a run of `count` equal letters) of a UTS #35 pattern.
// Letters this formatter does not know are written as they stand.
QString formatField(QChar letter, int count, const QDateTime &dt, const QLocale &locale)
{
    const QDate date = dt.date();
    const QTime time = dt.time();
    switch (letter.unicode()) {
    case 'G': {
        const bool ad = date.year() > 0;
        if (count == 4) {
            return ad ? QStringLiteral("Anno Domini") : QStringLiteral("Before Christ");
        }
        if (count >= 5) {
            return ad ? QStringLiteral("A") : QStringLiteral("B");
        }
        return ad ? QStringLiteral("AD") : QStringLiteral("BC");
    }
    case 'y': {
        const int yearOfEra = date.year() > 0 ? date.year() : -date.year();
        return count == 2 ? padded(yearOfEra % 100, 2) : padded(yearOfEra, count);
    }
    case 'u':
        return padded(date.year() > 0 ? date.year() : date.year() + 1, count);
    case 'Y': {
        int weekYear = 0;
        date.weekNumber(&weekYear);
        const int yearOfEra = weekYear > 0 ? weekYear : -weekYear;
        return count == 2 ? padded(yearOfEra % 100, 2) : padded(yearOfEra, count);
    }
    case 'Q':
    case 'q': {
        const int quarter = (date.month() - 1) / 3 + 1;
        if (count <= 2) {
            return padded(quarter, count);
        }
        if (count == 3) {
            return QStringLiteral("Q") + QString::number(quarter);
        }
        static const char *const ordinals[] = {"1st", "2nd", "3rd", "4th"};
        return QString::fromLatin1(ordinals[quarter - 1]) + QStringLiteral(" quarter");
    }
    case 'M':
    case 'L':
        if (count <= 2) {
            return padded(date.month(), count);
        }
        return nameByWidth(locale, count, letter == u'L', true, date.month());
    case 'w':
        return padded(date.weekNumber(), count);
    case 'W': {
        const int firstDay = int(locale.firstDayOfWeek());
        const int firstOfMonthDow = QDate(date.year(), date.month(), 1).dayOfWeek();
        const int lead = (firstOfMonthDow - firstDay + 7) % 7;
        return padded((date.day() - 1 + lead) / 7 + 1, count);
    }
    case 'd':
        return padded(date.day(), count);
    case 'D':
        return padded(date.dayOfYear(), count);
    case 'F':
        return padded((date.day() - 1) / 7 + 1, count);
    case 'E':
        return nameByWidth(locale, count >= 6 ? 3 : count, false, false, date.dayOfWeek());
    case 'e':
    case 'c':
        if (count <= 2) {
            const int local = (date.dayOfWeek() - int(locale.firstDayOfWeek()) + 7) % 7 + 1;
            return padded(local, letter == u'c' ? 1 : count);
        }
        return nameByWidth(locale, count >= 6 ? 3 : count, letter == u'c', false, date.dayOfWeek());
    case 'a':
        return time.hour() < 12 ? locale.amText() : locale.pmText();
    case 'h':
        return padded(time.hour() % 12 == 0 ? 12 : time.hour() % 12, count);
    case 'H':
        return padded(time.hour(), count);
    case 'K':
        return padded(time.hour() % 12, count);
    case 'k':
        return padded(time.hour() == 0 ? 24 : time.hour(), count);
    case 'm':
        return padded(time.minute(), count);
    case 's':
        return padded(time.second(), count);
    case 'S': {
        // Fractional seconds, truncated (or zero-extended) to `count` digits.
        QString digits = padded(time.msec(), 3);
        if (count <= 3) {
            return digits.left(count);
        }
        return digits + QString(count - 3, QLatin1Char('0'));
    }
    case 'A':
        return padded(time.msecsSinceStartOfDay(), count);
    case 'z':
        if (count == 4) {
            return dt.timeZone().displayName(dt, QTimeZone::LongName, locale);
        }
        return dt.timeZoneAbbreviation();
    case 'Z':
        if (count == 4) {
            return gmtText(dt.offsetFromUtc(), false);
        }
        if (count >= 5) {
            return offsetText(dt.offsetFromUtc(), true, false, true);
        }
        return offsetText(dt.offsetFromUtc(), false, false, false);
    case 'O':
        return gmtText(dt.offsetFromUtc(), count < 4);
    case 'x':
    case 'X': {
        const bool zeroAsZ = letter == u'X';
        if (count == 1) {
            return offsetText(dt.offsetFromUtc(), false, true, zeroAsZ);
        }
        return offsetText(dt.offsetFromUtc(), count == 3 || count == 5, false, zeroAsZ);
    }
    case 'v':
        return dt.timeZoneAbbreviation();
    case 'V':
        return QString::fromUtf8(dt.timeZone().id());
    default:
        return QString(count, letter);
    }
}

// Formats a date with a Unicode date-field pattern (UTS #35, as
// NSDateFormatter reads it): runs of ASCII letters are fields, text between
// single quotes is literal, "''" is a quote.
QString formatUnicodePattern(const QDateTime &dt, const QString &pattern, const QLocale &locale)
{
    QString out;
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = pattern.at(i);
        if (c == u'\'') {
            if (i + 1 < n && pattern.at(i + 1) == u'\'') {
                out += QLatin1Char('\'');
                i += 2;
                continue;
            }
            ++i;
            while (i < n) {
                if (pattern.at(i) == u'\'') {
                    if (i + 1 < n && pattern.at(i + 1) == u'\'') {
                        out += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += pattern.at(i);
                ++i;
            }
            continue;
        }
        const bool isLetter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        if (!isLetter) {
            out += c;
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && pattern.at(j) == c) {
            ++j;
        }
        out += formatField(c, int(j - i), dt, locale);
        i = j;
    }
    return out;
}

// Qt's long date format of the locale turned into a medium one: the weekday
// field ("dddd") and the separator beside it removed, "MMMM" shortened to "MMM".
QString mediumDateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    const auto isSeparator = [](QChar c) {
        return c.isSpace() || c == u',' || c == u'\u060C' || c == u'\uFF0C' || c == u'\u3001';
    };
    const qsizetype at = format.indexOf(QStringLiteral("dddd"));
    if (at >= 0) {
        qsizetype end = at + 4;
        while (end < format.size() && format.at(end) == u'd') {
            ++end;
        }
        qsizetype start = at;
        if (end < format.size()) {
            while (end < format.size() && isSeparator(format.at(end))) {
                ++end;
            }
        } else {
            while (start > 0 && isSeparator(format.at(start - 1))) {
                --start;
            }
        }
        format.remove(start, end - start);
    }
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

// --- paths -----------------------------------------------------------------

// NSString's stringByDeletingLastPathComponent: "" for a bare name, "/" for
// an entry of the root.
QString parentPath(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/'))) {
        p.chop(1);
    }
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return emptyText();
    }
    if (slash == 0) {
        return QStringLiteral("/");
    }
    return p.left(slash);
}

QString appendingPathComponent(const QString &parent, const QString &component)
{
    if (parent.isEmpty()) {
        return component;
    }
    if (parent.endsWith(QLatin1Char('/'))) {
        return parent + component;
    }
    return parent + QLatin1Char('/') + component;
}

QString counterText(qint64 n)
{
    return QLatin1Char('(') + QString::number(n) + QLatin1Char(')');
}

// True when the name holds a counter text "(k)" with k >= n.
bool holdsCounterAtLeast(const QString &name, qint64 n)
{
    qsizetype from = 0;
    while (true) {
        const qsizetype open = name.indexOf(QLatin1Char('('), from);
        if (open < 0) {
            return false;
        }
        qsizetype i = open + 1;
        qint64 value = 0;
        bool any = false;
        while (i < name.size() && name.at(i) >= u'0' && name.at(i) <= u'9') {
            value = std::min<qint64>(value * 10 + (name.at(i).unicode() - u'0'), std::numeric_limits<qint32>::max());
            any = true;
            ++i;
        }
        if (any && i < name.size() && name.at(i) == u')' && value >= n) {
            return true;
        }
        from = open + 1;
    }
}

// The unique-renaming walk shared by files and directories. The recursion of
// the description is run as a loop (same candidates, no stack growth).
QString uniqueName(const QString &wantedPath, int renameCount, bool directory)
{
    QString path = wantedPath;
    qint64 count = std::max(renameCount, 0);
    while (directory ? ToolFile::isFolderExistsAtPath(path) : ToolFile::isFileExistsAtPath(path)) {
        const QString ext = ToolFile::fileExtensionAtPath(path);
        const QString base = ToolFile::fileNameAtPath(path);
        // A count above 0 whose counter text the name can never reach again
        // (only possible when the caller starts with a count other than 0)
        // would loop for ever; such a walk restarts from 0.
        if (count > 0 && !base.contains(counterText(count - 1)) && !holdsCounterAtLeast(base, count)) {
            count = 0;
        }
        QString newBase;
        if (count == 0) {
            newBase = base + counterText(1);
        } else {
            newBase = base;
            newBase.replace(counterText(count - 1), counterText(count));
        }
        QString name = newBase;
        if (!directory && !ext.isEmpty()) {
            name += QLatin1Char('.') + ext;
        }
        path = appendingPathComponent(parentPath(path), name);
        ++count;
    }
    return path;
}

// --- Base64 ----------------------------------------------------------------

constexpr qint8 kBase64Skip = -2;
constexpr qint8 kBase64Invalid = -1;

constexpr std::array<qint8, 256> makeBase64DecodeTable()
{
    std::array<qint8, 256> table{};
    for (auto &entry : table) {
        entry = kBase64Invalid;
    }
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<qint8>(i);
    }
    for (unsigned char space : {9, 10, 12, 13, 32}) {
        table[space] = kBase64Skip;
    }
    return table;
}

constexpr std::array<qint8, 256> kBase64DecodeTable = makeBase64DecodeTable();

// The string's ASCII bytes; nullopt when it holds a character outside ASCII.
std::optional<QByteArray> asciiBytes(const QString &string)
{
    QByteArray bytes;
    bytes.reserve(string.size());
    for (const QChar c : string) {
        if (c.unicode() > 0x7F) {
            return std::nullopt;
        }
        bytes.append(static_cast<char>(c.unicode()));
    }
    return bytes;
}

std::optional<QByteArray> decodeBase64Bytes(const QByteArray &input)
{
    QByteArray out;
    out.reserve(input.size() / 4 * 3 + 3);
    quint32 buffer = 0;
    int bits = 0;
    qint64 alphabetCount = 0;
    const qsizetype n = input.size();
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char byte = static_cast<unsigned char>(input.at(i));
        if (byte == '=') {
            while (i + 1 < n && input.at(i + 1) == '=') {
                ++i;
            }
            if (alphabetCount % 4 == 1) {
                return std::nullopt;
            }
            continue;
        }
        const qint8 value = kBase64DecodeTable[byte];
        if (value == kBase64Skip) {
            continue;
        }
        if (value == kBase64Invalid) {
            return std::nullopt;
        }
        ++alphabetCount;
        buffer = (buffer << 6) | quint32(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.append(static_cast<char>((buffer >> bits) & 0xFF));
            buffer &= (1u << bits) - 1;
        }
    }
    return out;
}

// --- machine facts ---------------------------------------------------------

QString hardwareAddressText(const QByteArray &address)
{
    QStringList parts;
    for (const char byte : address) {
        parts << QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper();
    }
    return parts.join(QLatin1Char(':'));
}

struct HardwareAddressResult {
    QByteArray address;
    QString failure;
};

HardwareAddressResult hardwareAddressOfInterface(const char *name)
{
    if (if_nametoindex(name) == 0) {
        return {{}, QStringLiteral("if_nametoindex failure")};
    }
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) {
        return {{}, QStringLiteral("hardware address failure")};
    }
    QByteArray address;
    for (ifaddrs *entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET || entry->ifa_name == nullptr ||
            qstrcmp(entry->ifa_name, name) != 0) {
            continue;
        }
        const auto *link = reinterpret_cast<const sockaddr_ll *>(entry->ifa_addr);
        if (link->sll_halen == 6) {
            address = QByteArray(reinterpret_cast<const char *>(link->sll_addr), 6);
            break;
        }
    }
    freeifaddrs(list);
    if (address.size() != 6) {
        return {{}, QStringLiteral("hardware address failure")};
    }
    return {address, {}};
}

} // namespace

// --- JSON --------------------------------------------------------------------

QString ToolString::dictionaryToJson(const QVariant &object)
{
    const QJsonDocument document = QJsonDocument::fromVariant(object);
    if (document.isNull()) {
        return emptyText();
    }
    return QString::fromUtf8(document.toJson(QJsonDocument::Indented));
}

QVariant ToolString::dictionaryWithJsonString(const QString &string)
{
    if (string.isNull()) {
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(string.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || document.isNull()) {
        logSystem(QStringLiteral("json解析失败：%1")
                      .arg(error.errorString() + QStringLiteral(" (offset ") + QString::number(error.offset) +
                           QLatin1Char(')')));
        return {};
    }
    return document.toVariant();
}

// --- text --------------------------------------------------------------------

QUrl ToolString::smartURLForString(const QString &str)
{
    if (str.isNull()) {
        qFatal("str != nil");
    }
    qsizetype begin = 0;
    qsizetype end = str.size();
    const auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && isBlank(str.at(begin))) {
        ++begin;
    }
    while (end > begin && isBlank(str.at(end - 1))) {
        --end;
    }
    const QString trimmed = str.mid(begin, end - begin);
    if (trimmed.isEmpty()) {
        return {};
    }
    QUrl url;
    const qsizetype separator = trimmed.indexOf(QStringLiteral("://"));
    if (separator >= 0) {
        const QString scheme = trimmed.left(separator);
        if (scheme.compare(QStringLiteral("http"), Qt::CaseInsensitive) != 0 &&
            scheme.compare(QStringLiteral("https"), Qt::CaseInsensitive) != 0) {
            return {};
        }
        url = QUrl(trimmed);
    } else {
        url = QUrl(QStringLiteral("http://") + trimmed);
    }
    return url.isValid() ? url : QUrl();
}

bool ToolString::isSuperString(const QString &string, const QString &containsSubString)
{
    if (string.isNull() || containsSubString.isEmpty()) {
        return false;
    }
    return string.contains(containsSubString, Qt::CaseSensitive);
}

QString ToolString::replaceString(const QString &string, const QString &fromString, const QString &toString)
{
    // An empty pattern matches nothing (QString::replace would insert between characters).
    if (string.isNull() || fromString.isEmpty()) {
        return string;
    }
    QString result = string;
    return result.replace(fromString, toString, Qt::CaseSensitive);
}

bool ToolString::isEqualIgnoreCase(const QString &string, const QString &toString)
{
    if (string.isNull() || toString.isNull()) {
        return false;
    }
    return string.toLower() == toString.toLower();
}

bool ToolString::isEqual(const QString &string, const QString &toString)
{
    if (string.isNull() || toString.isNull()) {
        return false;
    }
    return string == toString;
}

// --- dates and durations -----------------------------------------------------

QString ToolString::stringFromDate(const QDateTime &date)
{
    return stringFromDate(date, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString ToolString::stringFromDateWithLocalization(const QDateTime &date)
{
    if (!date.isValid()) {
        return emptyText();
    }
    const QLocale locale;
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), mediumDateFormat(locale)) + QLatin1Char(' ') +
           locale.toString(local.time(), QStringLiteral("HH:mm:ss"));
}

QString ToolString::stringFromDate(const QDateTime &date, const QString &formatterString)
{
    if (!date.isValid() || formatterString.isNull()) {
        return emptyText();
    }
    return formatUnicodePattern(date.toLocalTime(), formatterString, QLocale());
}

QString ToolString::stringFromDuration(double seconds)
{
    if (!(seconds > 0)) {
        return QStringLiteral("00:00:00");
    }
    return clockText(seconds);
}

QString ToolString::stringFromDurationWithMS(double milliseconds)
{
    if (!(milliseconds > 0)) {
        return QStringLiteral("00:00:00.000");
    }
    const qint64 ms = truncateSaturating<qint64>(milliseconds) % 1000;
    return clockText(milliseconds / 1000) + QLatin1Char('.') + padded(ms, 3);
}

qint64 ToolString::secondFromString(const QString &string)
{
    if (string.isEmpty()) {
        return 0;
    }
    QStringView part = string;
    const qsizetype dot = part.indexOf(u'.');
    if (dot >= 0) {
        part = part.left(dot);
    }
    if (!part.contains(u':')) {
        return 0;
    }
    const QList<QStringView> fields = part.split(u':');
    double sum = 0;
    qint32 weight = 1;
    for (qsizetype i = fields.size() - 1; i >= 0; --i) {
        sum += wrapToInt32(qint64(leadingInt32(fields.at(i))) * weight);
        weight = wrapToInt32(qint64(weight) * 60);
    }
    return truncateSaturating<qint64>(sum);
}

QString ToolString::trim(const QString &string)
{
    if (string.isNull()) {
        return {};
    }
    return string.trimmed();
}

QString ToolString::trim(const QString &string, const QString &withCustomCharacterSet)
{
    if (withCustomCharacterSet.isNull()) {
        return trim(string);
    }
    if (string.isNull()) {
        return {};
    }
    // Compare whole code points, so that a set character outside the BMP is
    // removed as a unit.
    const QList<uint> set = withCustomCharacterSet.toUcs4();
    const auto inSet = [&set](char32_t codePoint) { return set.contains(uint(codePoint)); };
    const QStringView text = string;
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end) {
        const bool pair = begin + 1 < end && text.at(begin).isHighSurrogate() && text.at(begin + 1).isLowSurrogate();
        const char32_t cp =
            pair ? QChar::surrogateToUcs4(text.at(begin), text.at(begin + 1)) : text.at(begin).unicode();
        if (!inSet(cp)) {
            break;
        }
        begin += pair ? 2 : 1;
    }
    while (end > begin) {
        const bool pair = end - 2 >= begin && text.at(end - 1).isLowSurrogate() && text.at(end - 2).isHighSurrogate();
        const char32_t cp =
            pair ? QChar::surrogateToUcs4(text.at(end - 2), text.at(end - 1)) : text.at(end - 1).unicode();
        if (!inSet(cp)) {
            break;
        }
        end -= pair ? 2 : 1;
    }
    return text.mid(begin, end - begin).toString();
}

// --- unique renaming ---------------------------------------------------------

QString ToolString::renameFromFilePath(const QString &path, int renameCount)
{
    return uniqueName(path, renameCount, false);
}

QString ToolString::renameFromDirectory(const QString &path, int renameCount)
{
    return uniqueName(path, renameCount, true);
}

// --- Base64 and digest -------------------------------------------------------

QString ToolString::base64String(const QString &string)
{
    const std::optional<QByteArray> bytes = asciiBytes(string);
    if (!bytes) {
        return emptyText();
    }
    return QString::fromLatin1(bytes->toBase64());
}

QString ToolString::base64Encode(const QString &string)
{
    return base64String(string);
}

QString ToolString::base64Decode(const QString &string)
{
    if (string.isNull()) {
        return {};
    }
    const std::optional<QByteArray> bytes = asciiBytes(string);
    if (!bytes) {
        return {};
    }
    const std::optional<QByteArray> decoded = decodeBase64Bytes(*bytes);
    if (!decoded) {
        return {};
    }
    // The bytes are taken as they are, a leading byte-order mark included.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(*decoded);
    if (decoder.hasError()) {
        return {};
    }
    return text.isNull() ? emptyText() : text;
}

QString ToolString::md5(const QString &string)
{
    return QString::fromLatin1(QCryptographicHash::hash(string.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString ToolString::substring(const QString &string, int fromInex, int length)
{
    // NSString raises on a range outside the text; here that gives "".
    if (fromInex < 0 || length < 0 || qint64(fromInex) + qint64(length) > string.size()) {
        return emptyText();
    }
    const QString part = string.mid(fromInex, length);
    return part.isNull() ? emptyText() : part;
}

// --- machine facts -----------------------------------------------------------

QString ToolString::getOSversion()
{
    // Read once: every request names it, and the system reads a file for it each time.
    static const QString version = []() -> QString {
        const QString versionText = QStringLiteral("Version ") + QSysInfo::productVersion() + QStringLiteral(" (") +
                                    QSysInfo::prettyProductName() + QLatin1Char(')');
        const QStringList words = versionText.split(QLatin1Char(' '));
        return QStringLiteral("Mac version: ") + words.value(1);
    }();
    return version;
}

QString ToolString::getOSLanguage()
{
    const QStringList languages = QLocale::system().uiLanguages();
    if (languages.isEmpty()) {
        return QStringLiteral("en");
    }
    const QString first = languages.first();
    // The POSIX locale ("C") names no language; its messages are English.
    if (first == QLatin1String("C") || first == QLatin1String("POSIX")) {
        return QStringLiteral("en");
    }
    return first;
}

QString ToolString::getOSHash()
{
    try {
        const HardwareAddressResult result = hardwareAddressOfInterface("en0");
        if (!result.failure.isEmpty()) {
            logSystem(QStringLiteral("Error: %1").arg(result.failure));
            return kHashFailure;
        }
        logSystem(QStringLiteral("Mac Address: %1").arg(hardwareAddressText(result.address)));
        const QString hash = hashForHardwareAddress(result.address);
        logSystem(QStringLiteral("hash is: %1").arg(hash));
        return hash;
    } catch (const std::exception &exception) {
        logException(QString::fromLatin1(typeid(exception).name()), QString::fromUtf8(exception.what()));
    } catch (...) {
        logException(QStringLiteral("unknown"), QStringLiteral("unknown exception"));
    }
    return kHashFailure;
}

QString ToolString::hashForHardwareAddress(const QByteArray &address)
{
    if (address.size() != 6) {
        return kHashFailure;
    }
    return md5(hardwareAddressText(address)).left(20);
}

// --- sizes -------------------------------------------------------------------

QString ToolString::formatSizeFromByte(qint64 bytes, int withDecimalCount)
{
    // "KB" to "TB" as described; "PB" and "EB" added so that every 64-bit
    // size has a unit (the largest, about 9.2e18 bytes, is "9 EB").
    static const char *const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    constexpr int unitCount = int(sizeof(units) / sizeof(units[0]));
    double value = 0;
    int index = 0;
    if (bytes < 1001) {
        value = double(bytes) / 1000;
    } else {
        value = double(bytes);
        index = -1;
        do {
            value /= 1000;
            ++index;
        } while (value > 1000 && index < unitCount - 1);
    }
    const int decimals = (withDecimalCount >= 1 && withDecimalCount <= 4) ? withDecimalCount : 0;
    // snprintf, not QString::asprintf: printf rounds ties to even ("%4.0f" of 0.5 is "   0").
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%4.*f %s", decimals, value, units[index]);
    return QString::fromLatin1(buffer);
}

QString ToolString::formatSizeFromByte(qint64 bytes)
{
    return formatSizeFromByte(bytes, 0);
}

// --- identifiers and folders -------------------------------------------------

QString ToolString::getGUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString ToolString::getTempDir()
{
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Mirelune");
    QDir().mkpath(dir);
    return dir;
}

QString ToolString::getUniqeNameInTempDirWithExtenionName(const QString &extension)
{
    return getTempDir() + QLatin1Char('/') + getGUID() + QLatin1Char('.') + extension;
}
