#pragma once

#include <QList>
#include <QString>

// Right-to-left text as a PDF draws it, letter by letter from left to right,
// back in the order it was typed. Hebrew and Arabic read backwards otherwise
// ("םולש" for "שלום"). ICU's inverse bidi algorithm does the work: runs of
// right-to-left letters turn round, numbers and Latin words inside them keep
// their own order. The stretches of justified Arabic lines, which some
// writers map to hyphens, are left out.
class BidiText final {
public:
    // Whether the text holds letters of a right-to-left script.
    static bool hasRightToLeft(const QString &text);
    // Whether most of the text's letters are right-to-left: the line is set
    // from right to left, the Latin words in it are embedded.
    static bool mostlyRightToLeft(const QString &text);

    struct Logical {
        QString text;       // in typed order
        QList<int> sources; // for each character of text, its index in the drawn text
    };
    // The drawn (left to right) text in typed order; as it is where ICU cannot read it.
    static Logical typedOrder(const QString &drawn, bool rightToLeftLine);
};
