#pragma once

#include <QString>

#include <optional>

// A cell's text read as a number, with the number format that shows the value
// as the text showed it: "£1,234.50", "(12.00)", "7.5 %", "+2.5%" and
// "1 234,5" keep their decimals, grouping, currency and sign. Texts a reader
// would not add up stay text: codes with leading zeros ("007"), more digits
// than a double holds exactly, "+44 …", a lone "(3)".
struct CellNumber {
    double value = 0;
    QString format; // a spreadsheet number format; empty for the general one

    static std::optional<CellNumber> read(const QString &text);
};
