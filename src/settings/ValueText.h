#pragma once

#include <QString>
#include <QVariant>

// How stored preference values read as text, numbers and booleans: the text
// form of an object and the leading-number and boolean rules applied to it.
class ValueText final {
public:
    ValueText() = delete;

    // "5" for 5, "3.5" for 3.5, "1"/"0" for booleans, the string itself.
    static QString textForm(const QVariant &value);
    // Leading decimal integer (white space and a sign allowed), 0 when none;
    // saturates at the 64-bit limits.
    static qint64 leadingInteger(const QString &text);
    // Leading floating-point number, 0 when none.
    static double leadingDouble(const QString &text);
    // True when, after white space, a sign and leading zeros, the text begins
    // with Y, y, T, t or a digit 1-9.
    static bool boolFromText(const QString &text);

    // The store's own readings of a value (no default involved).
    static qint64 integerReading(const QVariant &value);
    static double doubleReading(const QVariant &value);
    static bool boolReading(const QVariant &value);
};
