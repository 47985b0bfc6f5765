#include "layout/Hyphenation.h"

namespace {

bool isHyphen(QChar c)
{
    return c == QLatin1Char('-') || c == QChar(0x2010);
}

} // namespace

QString Hyphenation::vocabularyForm(const QString &word)
{
    qsizetype from = 0;
    qsizetype to = word.size();
    while (from < to && !word[from].isLetterOrNumber())
        ++from;
    while (to > from && !word[to - 1].isLetterOrNumber())
        --to;
    return word.mid(from, to - from).toLower();
}

bool Hyphenation::endsBroken(const QString &lineEnd)
{
    return lineEnd.endsWith(QChar(0x00AD)) ||
           (lineEnd.size() >= 3 && isHyphen(lineEnd.back()) && lineEnd[lineEnd.size() - 2].isLetter());
}

std::optional<QString> Hyphenation::join(const QString &lineEnd, const QString &nextStart,
                                         const QSet<QString> &vocabulary)
{
    if (nextStart.isEmpty() || !endsBroken(lineEnd))
        return std::nullopt;
    if (lineEnd.endsWith(QChar(0x00AD)))
        return lineEnd.chopped(1) + nextStart;
    const QString stem = lineEnd.chopped(1);
    if (!nextStart.front().isLower())
        return stem + QLatin1Char('-') + nextStart;
    const QString closed = stem + nextStart;
    const QString open = stem + QLatin1Char('-') + nextStart;
    if (vocabulary.contains(vocabularyForm(open)) && !vocabulary.contains(vocabularyForm(closed)))
        return open;
    return closed;
}
