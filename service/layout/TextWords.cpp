#include "layout/TextWords.h"

#include <algorithm>
#include <numeric>

namespace {

struct Row {
    double baseline = 0;
    double size = 0;
    double left = 0;
    double right = 0;
    QList<int> glyphs;
};

bool isBlank(const Glyph &glyph)
{
    for (const QChar c : glyph.text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

QList<Row> rowsOf(const QList<Glyph> &glyphs)
{
    QList<int> order(glyphs.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&glyphs](int a, int b) { return glyphs[a].baseline < glyphs[b].baseline; });
    QList<Row> rows;
    for (const int index : std::as_const(order)) {
        const Glyph &glyph = glyphs[index];
        if (!rows.isEmpty()) {
            Row &row = rows.last();
            if (glyph.baseline - row.baseline <= 0.25 * qMax(row.size, glyph.size)) {
                row.glyphs.append(index);
                row.size = qMax(row.size, glyph.size);
                row.left = qMin(row.left, glyph.box.left());
                row.right = qMax(row.right, glyph.box.right());
                continue;
            }
        }
        rows.append({glyph.baseline, glyph.size, glyph.box.left(), glyph.box.right(), {index}});
    }
    return rows;
}

// A row of smaller glyphs raised or lowered beside a row of larger ones
// (superscripts, subscripts) belongs to it.
void mergeRaised(QList<Row> &rows)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const Row &small = rows[i];
        qsizetype best = -1;
        for (qsizetype j = qMax<qsizetype>(0, i - 2); j < qMin(rows.size(), i + 3); ++j) {
            const Row &large = rows[j];
            if (j == i || small.size > 0.85 * large.size)
                continue;
            const bool within = small.baseline > large.baseline - 0.75 * large.size &&
                                small.baseline < large.baseline + 0.35 * large.size;
            const bool beside = small.left < large.right + large.size && small.right > large.left - large.size;
            if (within && beside && (best < 0 || rows[j].size > rows[best].size))
                best = j;
        }
        if (best < 0)
            continue;
        rows[best].glyphs += small.glyphs;
        rows[best].left = qMin(rows[best].left, small.left);
        rows[best].right = qMax(rows[best].right, small.right);
        rows.removeAt(i);
        --i;
    }
}

void appendGlyph(TextWords::Word &word, const Glyph &glyph)
{
    word.text += glyph.text;
    word.box = word.box.isNull() ? glyph.box : word.box.united(glyph.box);
    word.size = qMax(word.size, glyph.size);
    if (!word.runs.isEmpty() && word.runs.last().style == glyph.style)
        word.runs.last().length += int(glyph.text.size());
    else
        word.runs.append({glyph.style, int(glyph.text.size())});
}

} // namespace

QList<TextWords::Word> TextWords::words(const QList<Glyph> &glyphs)
{
    QList<Row> rows = rowsOf(glyphs);
    mergeRaised(rows);
    QList<Word> words;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QList<int> row = rows[r].glyphs;
        std::stable_sort(row.begin(), row.end(),
                         [&glyphs](int a, int b) { return glyphs[a].box.left() < glyphs[b].box.left(); });
        Word word;
        double lastRight = 0;
        const Glyph *previous = nullptr;
        const auto finish = [&] {
            if (!word.text.isEmpty()) {
                word.baseline = rows[r].baseline;
                word.row = int(r);
                words.append(word);
            }
            word = Word();
        };
        for (const int index : std::as_const(row)) {
            const Glyph &glyph = glyphs[index];
            if (isBlank(glyph)) {
                finish();
                previous = nullptr;
                continue;
            }
            // The same letter drawn again a hair to the side is fake bold or a
            // shadow; without advance it spells out a ligature ("ffi": f, f, i).
            if (previous && previous->text == glyph.text && glyph.box.width() > 0 &&
                qAbs(previous->box.left() - glyph.box.left()) < 0.2 * glyph.size)
                continue;
            previous = &glyph;
            // A glyph without advance at the same place continues a ligature ("fi" gives "f", then "i").
            const bool continuation =
                previous && glyph.box.width() <= 0 && qAbs(glyph.box.left() - previous->box.left()) < 0.05 * glyph.size;
            if (continuation) {
                appendGlyph(word, glyph);
                previous = &glyph;
                continue;
            }
            const double gap = glyph.box.left() - lastRight;
            // A glyph far behind the last one was drawn over it (bold by
            // overprinting, or text laid over text): it starts a word of its own.
            if (!word.text.isEmpty() && (gap > wordGap(qMax(word.size, glyph.size)) || gap < -0.5 * glyph.size))
                finish();
            appendGlyph(word, glyph);
            lastRight = qMax(lastRight, glyph.box.right());
            if (word.text.size() == glyph.text.size())
                lastRight = glyph.box.right();
        }
        finish();
    }
    return words;
}
