#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

// A cell's text read as a date, with the date format that shows it as the
// text did: "2026-01-06", "06/01/2026", "6 January 2026", "Jan 6, 2026".
// Whether "06/01/2026" is the sixth of January or the first of June is the
// column's to tell (a day over twelve somewhere in it); where nothing tells,
// such a text stays text. Years of two digits stay text too.
struct CellDate {
    enum class Order { Unknown, DayFirst, MonthFirst };

    QDate date;
    QString format; // a spreadsheet date format

    static std::optional<CellDate> read(const QString &text, Order order = Order::Unknown);
    // Which comes first in the column's dates written with numbers only.
    static Order orderOf(const QStringList &column);
};
