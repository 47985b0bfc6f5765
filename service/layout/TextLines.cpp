#include "layout/TextLines.h"

#include "layout/BidiText.h"
#include "layout/FontNames.h"

#include <QHash>
#include <QMap>

#include <algorithm>
#include <cmath>

QRectF TextLines::Line::segmentBox(int segment) const
{
    QRectF box;
    for (const TextWords::Word &word : segmentWords(segment))
        box = box.isNull() ? word.box : box.united(word.box);
    return box;
}

QList<TextWords::Word> TextLines::Line::segmentWords(int segment) const
{
    const int from = segmentStarts.value(segment);
    const int to = segment + 1 < segmentStarts.size() ? segmentStarts[segment + 1] : int(words.size());
    return words.mid(from, to - from);
}

namespace {

// Single dots of a leader follow each other at less than an em; dots further
// apart are the row's content (a chart showing one dot in several faces).
bool leaderGoesOn(const TextWords::Word &previous, const TextWords::Word &next)
{
    if (previous.text.size() > 1 || next.text.size() > 1)
        return true;
    return next.box.center().x() - previous.box.center().x() <= 0.9 * qMax(previous.size, next.size);
}

// Takes rows of dots out of a row of words; returns the indices (into the
// remaining words) of the words that rows of dots led up to.
QList<int> removeLeaders(QList<TextWords::Word> &row)
{
    QList<int> led;
    QList<TextWords::Word> kept;
    for (qsizetype i = 0; i < row.size();) {
        qsizetype end = i;
        while (end < row.size() && TextWords::isLeader(row[end].text) &&
               (end == i || leaderGoesOn(row[end - 1], row[end])))
            ++end;
        const qsizetype dots = end - i;
        // Three dots lead only to a word set apart from them (a page number
        // after a long entry); followed at their own spacing they are an
        // ellipsis ("2KB, . . . , 1MB").
        const bool ellipsis =
            dots == 3 && end < row.size() &&
            row[end].box.left() - row[end - 1].box.right() <= 1.5 * (row[i + 1].box.left() - row[i].box.right());
        const bool leader = (dots >= 3 && !ellipsis) || (dots >= 1 && row[i].text.size() >= 4);
        if (leader && !kept.isEmpty() && end < row.size()) {
            led.append(int(kept.size()));
            i = end;
            continue;
        }
        kept.append(row[i]);
        ++i;
    }
    row = kept;
    return led;
}

// A gap too narrow to part columns on its own still does where the word
// after it starts where segments of two other lines start: a label a little
// longer than the others, closer to its value.
void splitAtSharedStops(QList<TextLines::Line> &lines)
{
    QList<double> stops;
    for (const TextLines::Line &line : std::as_const(lines)) {
        for (int s = 1; s < line.segments(); ++s)
            stops.append(line.words[line.segmentStarts[s]].box.left());
    }
    if (stops.size() < 2)
        return;
    for (qsizetype l = 0; l < lines.size(); ++l) {
        TextLines::Line &line = lines[l];
        if (line.mono)
            continue;
        for (int i = 1; i < line.words.size(); ++i) {
            const double gap = line.words[i].box.left() - line.words[i - 1].box.right();
            if (gap < qMax(3 * line.space, 0.8 * line.size) || gap >= TextLines::segmentGap(line.size) ||
                line.segmentStarts.contains(i))
                continue;
            const double at = line.words[i].box.left();
            const auto shared =
                std::count_if(stops.cbegin(), stops.cend(), [at](double stop) { return std::abs(stop - at) < 1.0; });
            if (shared < 2)
                continue;
            const auto place = std::upper_bound(line.segmentStarts.begin(), line.segmentStarts.end(), i);
            line.leaders.insert(place - line.segmentStarts.begin(), false);
            line.segmentStarts.insert(place, i);
        }
    }
}

} // namespace

QList<TextLines::Line> TextLines::lines(const QList<TextWords::Word> &words, const QList<TextStyle> &styles)
{
    QMap<int, QList<TextWords::Word>> rows;
    for (const TextWords::Word &word : words)
        rows[word.row].append(word);
    QHash<int, bool> exactOf; // per style: whether its stand-in has the source font's metrics
    const auto exactWidths = [&](int index) {
        auto found = exactOf.constFind(index);
        if (found == exactOf.constEnd()) {
            const TextStyle style = styles.value(index);
            found = exactOf.insert(index, FontNames::sameMetrics(style.sourceFont, style.font));
        }
        return *found;
    };
    QList<Line> result;
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        QList<TextWords::Word> &row = it.value();
        std::sort(row.begin(), row.end(),
                  [](const TextWords::Word &a, const TextWords::Word &b) { return a.box.left() < b.box.left(); });
        const QList<int> led = removeLeaders(row);
        Line line;
        line.words = row;
        line.baseline = row.first().baseline;
        QHash<int, int> charsPerStyle;
        int monoChars = 0;
        int boldChars = 0;
        int allChars = 0;
        bool exact = true;
        QString text;
        for (qsizetype i = 0; i < row.size(); ++i) {
            line.box = line.box.isNull() ? row[i].box : line.box.united(row[i].box);
            text += row[i].text;
            if (!row[i].runs.isEmpty()) {
                const TextStyle last = styles.value(row[i].runs.last().style);
                line.words[i].spaceAfter = last.spaceWidth * last.size;
                const TextStyle next = i + 1 < row.size() && !row[i + 1].runs.isEmpty()
                                           ? styles.value(row[i + 1].runs.first().style)
                                           : last;
                line.words[i].flowingSpaceAfter =
                    last.mono && !next.mono ? next.spaceWidth * next.size : line.words[i].spaceAfter;
            }
            for (const TextWords::Run &run : row[i].runs) {
                const TextStyle style = styles.value(run.style);
                exact = exact && exactWidths(run.style);
                charsPerStyle[run.style] += run.length;
                monoChars += style.mono ? run.length : 0;
                boldChars += style.bold ? run.length : 0;
                allChars += run.length;
            }
        }
        const int dominant = mostUsedStyle(charsPerStyle);
        line.size = dominant >= 0 ? styles.value(dominant).size : row.first().size;
        if (line.size <= 0)
            line.size = row.first().size;
        line.space = (dominant >= 0 ? styles.value(dominant).spaceWidth : 0.3) * line.size;
        line.mono = allChars > 0 && monoChars * 10 >= allChars * 8;
        line.exactWidths = exact;
        line.bold = allChars > 0 && boldChars == allChars;
        line.rightToLeft = BidiText::mostlyRightToLeft(text);
        line.segmentStarts.append(0);
        line.leaders.append(false);
        // Lines all in a monospaced face (code) keep their spacing as spaces
        // instead; mixed with other faces, a wide gap parts columns as anywhere.
        const bool allMono = allChars > 0 && monoChars == allChars;
        for (qsizetype i = 1; i < row.size(); ++i) {
            const bool wide = !allMono && row[i].box.left() - row[i - 1].box.right() >= segmentGap(line.size);
            if (wide || led.contains(int(i))) {
                line.segmentStarts.append(int(i));
                line.leaders.append(led.contains(int(i)));
            }
        }
        result.append(line);
    }
    splitAtSharedStops(result);
    return result;
}
