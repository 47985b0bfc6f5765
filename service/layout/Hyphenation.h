#pragma once

#include <QSet>
#include <QString>

#include <optional>

// Words broken at the end of a line. A hyphen at a line end before a
// lower-case continuation marks a broken word and goes, unless the document
// writes the hyphenated form elsewhere and never the closed one ("well-" +
// "known" stays "well-known"); before a capital or a digit the hyphen is part
// of the word ("Jean-" + "Paul"). A soft hyphen always goes.
class Hyphenation final {
public:
    // Whether a line's last word ends as a word broken there may: a hyphen
    // after a letter, or a soft hyphen.
    static bool endsBroken(const QString &lineEnd);
    // The one word the two make, or nothing when they stay two words.
    static std::optional<QString> join(const QString &lineEnd, const QString &nextStart,
                                       const QSet<QString> &vocabulary);
    // The form a word takes in the vocabulary: lower case, without the
    // punctuation around it.
    static QString vocabularyForm(const QString &word);
};
