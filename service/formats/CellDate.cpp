#include "formats/CellDate.h"

#include <QRegularExpression>

namespace {

// Spreadsheets count days from 1900; earlier dates are no dates to them.
constexpr int kFirstYear = 1900;
// Month names are shown in English, as the text had them, whatever the reader's language.
const QString kEnglish = QStringLiteral("[$-409]");

const QRegularExpression &numericPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2})([/.\\-])(\\d{1,2})\\2(\\d{4})$"));
    return pattern;
}

// 1 to 12 for an English month's name or its abbreviation, 0 for none.
int monthNumber(const QString &name, bool *abbreviated)
{
    static const QStringList months = {
        QStringLiteral("january"), QStringLiteral("february"), QStringLiteral("march"),
        QStringLiteral("april"),   QStringLiteral("may"),      QStringLiteral("june"),
        QStringLiteral("july"),    QStringLiteral("august"),   QStringLiteral("september"),
        QStringLiteral("october"), QStringLiteral("november"), QStringLiteral("december")};
    QString key = name.toLower();
    if (key.endsWith(QLatin1Char('.')))
        key.chop(1);
    for (int m = 0; m < 12; ++m) {
        if (key == months[m] || (key.size() == 3 && months[m].startsWith(key))) {
            *abbreviated = key != months[m];
            return m + 1;
        }
    }
    return 0;
}

std::optional<CellDate> made(int year, int month, int day, const QString &format)
{
    const QDate date(year, month, day);
    if (!date.isValid() || year < kFirstYear)
        return std::nullopt;
    return CellDate{date, format};
}

QString digits(const QString &part, QChar code)
{
    return QString(part.size() == 2 ? 2 : 1, code);
}

std::optional<CellDate> numeric(const QString &text, CellDate::Order order)
{
    const QRegularExpressionMatch match = numericPattern().match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString first = match.captured(1);
    const QString separator = match.captured(2);
    const QString second = match.captured(3);
    // Dotted dates are written day first wherever they are used.
    if (separator == QLatin1String("."))
        order = CellDate::Order::DayFirst;
    else if (order == CellDate::Order::Unknown)
        order = first.toInt() > 12    ? CellDate::Order::DayFirst
                : second.toInt() > 12 ? CellDate::Order::MonthFirst
                                      : CellDate::Order::Unknown;
    if (order == CellDate::Order::Unknown)
        return std::nullopt;
    const bool dayFirst = order == CellDate::Order::DayFirst;
    const QString &day = dayFirst ? first : second;
    const QString &month = dayFirst ? second : first;
    const QString dayCode = digits(day, QLatin1Char('d'));
    const QString monthCode = digits(month, QLatin1Char('m'));
    const QString format = (dayFirst ? dayCode + separator + monthCode : monthCode + separator + dayCode) + separator +
                           QStringLiteral("yyyy");
    return made(match.captured(4).toInt(), month.toInt(), day.toInt(), format);
}

std::optional<CellDate> named(const QString &text)
{
    static const QRegularExpression dayFirst(QStringLiteral("^(\\d{1,2})(\\.?) ([A-Za-z]{3,9}\\.?) (\\d{4})$"));
    static const QRegularExpression monthFirst(QStringLiteral("^([A-Za-z]{3,9}\\.?) (\\d{1,2})(,?) (\\d{4})$"));
    bool abbreviated = false;
    if (const QRegularExpressionMatch match = dayFirst.match(text); match.hasMatch()) {
        const int month = monthNumber(match.captured(3), &abbreviated);
        const QString format = digits(match.captured(1), QLatin1Char('d')) + match.captured(2) +
                               (abbreviated ? QStringLiteral(" mmm") : QStringLiteral(" mmmm")) +
                               (match.captured(3).endsWith(QLatin1Char('.')) ? QStringLiteral(".") : QString()) +
                               QStringLiteral(" yyyy");
        return month ? made(match.captured(4).toInt(), month, match.captured(1).toInt(), kEnglish + format)
                     : std::nullopt;
    }
    if (const QRegularExpressionMatch match = monthFirst.match(text); match.hasMatch()) {
        const int month = monthNumber(match.captured(1), &abbreviated);
        const QString format = (abbreviated ? QStringLiteral("mmm") : QStringLiteral("mmmm")) +
                               (match.captured(1).endsWith(QLatin1Char('.')) ? QStringLiteral(".") : QString()) +
                               QLatin1Char(' ') + digits(match.captured(2), QLatin1Char('d')) + match.captured(3) +
                               QStringLiteral(" yyyy");
        return month ? made(match.captured(4).toInt(), month, match.captured(2).toInt(), kEnglish + format)
                     : std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<CellDate> CellDate::read(const QString &text, Order order)
{
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const QString trimmed = text.simplified();
    if (const QRegularExpressionMatch match = iso.match(trimmed); match.hasMatch())
        return made(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                    QStringLiteral("yyyy-mm-dd"));
    if (std::optional<CellDate> date = numeric(trimmed, order))
        return date;
    return named(trimmed);
}

CellDate::Order CellDate::orderOf(const QStringList &column)
{
    bool dayFirst = false;
    bool monthFirst = false;
    for (const QString &text : column) {
        const QRegularExpressionMatch match = numericPattern().match(text.simplified());
        if (!match.hasMatch() || match.captured(2) == QLatin1String("."))
            continue;
        const int first = match.captured(1).toInt();
        const int second = match.captured(3).toInt();
        dayFirst = dayFirst || (first > 12 && second <= 12);
        monthFirst = monthFirst || (second > 12 && first <= 12);
    }
    if (dayFirst == monthFirst)
        return Order::Unknown;
    return dayFirst ? Order::DayFirst : Order::MonthFirst;
}
