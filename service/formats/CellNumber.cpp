#include "formats/CellNumber.h"

#include <QList>
#include <QRegularExpression>

namespace {

// A double holds fifteen significant decimal digits exactly.
constexpr qsizetype kMaxDigits = 15;

// What stands around the digits: sign, currency and percent, as written.
struct Affixes {
    QString core; // the digits with their separators
    QString prefix;
    QString suffix; // currency, or the space before a percent sign
    bool negative = false;
    bool plus = false;          // a change written with its sign: "+2.5%"
    bool parenthesised = false; // accountants' negative: "(1,200.00)"
    bool percent = false;
};

struct Digits {
    QString integer; // without separators
    QString fraction;
    bool grouped = false;
};

bool isCurrency(QChar c)
{
    return c.category() == QChar::Symbol_Currency;
}

// Spaces of every width group digits alike.
QString withPlainSpaces(QString text)
{
    for (QChar &c : text) {
        if (c.isSpace())
            c = QLatin1Char(' ');
    }
    return text;
}

bool takeSign(QString &text, Affixes &affixes)
{
    if (affixes.negative || affixes.plus || affixes.parenthesised || text.isEmpty())
        return false;
    const QChar sign = text.front();
    if (sign == QLatin1Char('+'))
        affixes.plus = true;
    else if (sign == QLatin1Char('-') || sign == QChar(0x2212))
        affixes.negative = true;
    else
        return false;
    text.remove(0, 1);
    return true;
}

// The currency symbol opening the text, with the spaces after it.
QString takeLeadingCurrency(QString &text)
{
    if (text.isEmpty() || !isCurrency(text.front()))
        return {};
    qsizetype end = 1;
    while (end < text.size() && text[end] == QLatin1Char(' '))
        ++end;
    const QString taken = text.left(end);
    text.remove(0, end);
    return taken;
}

// The currency symbol or percent sign closing the text, with the spaces before it.
QString takeTrailing(QString &text, QChar wanted)
{
    if (text.isEmpty() || !(text.back() == wanted || (wanted.isNull() && isCurrency(text.back()))))
        return {};
    qsizetype start = text.size() - 1;
    while (start > 0 && text[start - 1] == QLatin1Char(' '))
        --start;
    const QString taken = text.mid(start);
    text.truncate(start);
    return taken;
}

Affixes affixesOf(QString text)
{
    Affixes affixes;
    if (text.size() > 2 && text.front() == QLatin1Char('(') && text.back() == QLatin1Char(')')) {
        affixes.parenthesised = true;
        text = text.mid(1, text.size() - 2).trimmed();
    }
    takeSign(text, affixes);
    affixes.prefix = takeLeadingCurrency(text);
    if (!affixes.prefix.isEmpty())
        takeSign(text, affixes); // "£-5" as well as "-£5"
    const QString percent = takeTrailing(text, QLatin1Char('%'));
    if (!percent.isEmpty()) {
        affixes.percent = true;
        affixes.suffix = percent.chopped(1);
    } else if (affixes.prefix.isEmpty()) {
        affixes.suffix = takeTrailing(text, QChar());
    }
    affixes.core = text;
    return affixes;
}

// "1,234,567" → "1234567": a first group of one to three digits, then groups
// of three after one kind of separator, which is not the decimal one.
std::optional<QString> ungrouped(const QString &integer, QChar decimal, bool *grouped)
{
    static const QRegularExpression plain(QStringLiteral("^[0-9]+$"));
    static const QRegularExpression groups(QStringLiteral("^[0-9]{1,3}([,. ])[0-9]{3}(\\1[0-9]{3})*$"));
    *grouped = false;
    if (plain.match(integer).hasMatch())
        return integer;
    const QRegularExpressionMatch match = groups.match(integer);
    if (!match.hasMatch() || match.captured(1).front() == decimal)
        return std::nullopt;
    *grouped = true;
    return QString(integer).remove(match.captured(1).front());
}

std::optional<Digits> digitsWith(const QString &core, QChar decimal)
{
    static const QRegularExpression fractionDigits(QStringLiteral("^[0-9]+$"));
    Digits digits;
    QString integer = core;
    if (!decimal.isNull()) {
        const qsizetype at = core.indexOf(decimal);
        if (at < 0 || core.indexOf(decimal, at + 1) >= 0)
            return std::nullopt;
        integer = core.left(at);
        digits.fraction = core.mid(at + 1);
        if (!fractionDigits.match(digits.fraction).hasMatch())
            return std::nullopt;
    }
    const std::optional<QString> plain = ungrouped(integer, decimal, &digits.grouped);
    // Leading zeros mark a code ("007"), not an amount.
    if (!plain || (plain->size() > 1 && plain->startsWith(QLatin1Char('0'))))
        return std::nullopt;
    if (plain->size() + digits.fraction.size() > kMaxDigits)
        return std::nullopt;
    digits.integer = *plain;
    return digits;
}

// A lone point or comma may separate decimals or thousands. A point is read
// as decimals first ("1.234"), a comma as thousands first ("1,234"), as
// English writes them; where both stand, the last one separates decimals.
QList<QChar> decimalSeparators(const QString &core)
{
    const QChar point(QLatin1Char('.'));
    const QChar comma(QLatin1Char(','));
    const qsizetype lastPoint = core.lastIndexOf(point);
    const qsizetype lastComma = core.lastIndexOf(comma);
    if (lastPoint >= 0 && lastComma >= 0)
        return {lastPoint > lastComma ? point : comma};
    if (lastPoint >= 0)
        return {point, QChar()};
    if (lastComma >= 0)
        return {QChar(), comma};
    return {QChar()};
}

std::optional<Digits> digitsOf(const QString &core)
{
    for (const QChar decimal : decimalSeparators(core)) {
        if (const std::optional<Digits> digits = digitsWith(core, decimal))
            return digits;
    }
    return std::nullopt;
}

QString quoted(const QString &literal)
{
    return literal.isEmpty() ? QString() : QLatin1Char('"') + literal + QLatin1Char('"');
}

QString formatOf(const Affixes &affixes, const Digits &digits)
{
    QString body = digits.grouped ? QStringLiteral("#,##0") : QStringLiteral("0");
    if (!digits.fraction.isEmpty())
        body += QLatin1Char('.') + QString(digits.fraction.size(), QLatin1Char('0'));
    body = quoted(affixes.prefix) + body + quoted(affixes.suffix);
    if (affixes.percent)
        body += QLatin1Char('%');
    if (affixes.parenthesised)
        return body + QStringLiteral(";(") + body + QLatin1Char(')');
    if (affixes.plus)
        return QLatin1Char('+') + body + QStringLiteral(";-") + body + QLatin1Char(';') + body;
    return body == QStringLiteral("0") ? QString() : body;
}

} // namespace

std::optional<CellNumber> CellNumber::read(const QString &text)
{
    const Affixes affixes = affixesOf(withPlainSpaces(text.trimmed()));
    const std::optional<Digits> digits = digitsOf(affixes.core);
    if (!digits)
        return std::nullopt;
    // "(3)" numbers a note; an amount in brackets has decimals, groups or a currency.
    const bool looksLikeAmount = digits->grouped || !digits->fraction.isEmpty() || !affixes.prefix.isEmpty() ||
                                 (!affixes.suffix.isEmpty() && !affixes.percent);
    if (affixes.parenthesised && !looksLikeAmount)
        return std::nullopt;
    // "+44" dials a country; a signed change has decimals or a percent sign.
    if (affixes.plus && digits->fraction.isEmpty() && !affixes.percent)
        return std::nullopt;
    CellNumber number;
    const QString fraction = digits->fraction.isEmpty() ? QStringLiteral("0") : digits->fraction;
    number.value = QString(digits->integer + QLatin1Char('.') + fraction).toDouble();
    if (affixes.percent)
        number.value /= 100;
    if ((affixes.negative || affixes.parenthesised) && number.value != 0)
        number.value = -number.value;
    number.format = formatOf(affixes, *digits);
    return number;
}
