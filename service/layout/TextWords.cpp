#include "layout/TextWords.h"

#include "layout/BidiText.h"
#include "layout/SpreadLetters.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

struct Row {
    double baseline = 0; // of its largest glyphs while the rows are gathered
    double size = 0;
    double left = 0;
    double right = 0;
    QList<int> glyphs;
};

constexpr int kMaxShiftedGlyphs = 3;
constexpr double kMixedSizes = 1.5; // a size over this times another's is of other text
constexpr int kMinPitchedSteps = 8;
// The least gap, in em, that a space glyph leaves between the letters around it.
constexpr double kKernedSpace = 0.05;
constexpr double kLeastKern = 0.05; // ems a run's next one must start back to keep a kern
// Ems between two letters of a word, in a row whose letters touch, that a
// reader sees: the italic correction TeX sets after a slanted letter of a
// formula ("M x"), far above any pair kern of a text face. Less is within
// what a stand-in font's letters differ by.
constexpr double kSeenGap = 0.1;
// Ems of the smaller letter beside a gap that set two parts of a row apart
// like columns: a narrow gutter (one em of the text) beside a larger heading
// still parts them, and a wide word space parting one line does no harm, as
// both parts sit on one baseline.
constexpr double kGutter = 0.9;

// How far below a row's baseline a glyph still joins it: a quarter of the
// larger size, or of the smaller where one is over one and a half times the
// other (a big number beside small text). Raised and lowered glyphs kept
// apart here join their row later, where they stand beside it.
double rowTolerance(double rowSize, double glyphSize)
{
    const double larger = qMax(rowSize, glyphSize);
    const double smaller = qMin(rowSize, glyphSize);
    return 0.25 * (larger > kMixedSizes * smaller ? smaller : larger);
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
            if (glyph.baseline - row.baseline <= rowTolerance(row.size, glyph.size)) {
                // A raised smaller glyph may open the row; the text's own size then sets its baseline.
                if (glyph.size > row.size)
                    row.baseline = glyph.baseline;
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

// Whether `small` is set raised or lowered beside `large`:
// smaller glyphs (superscripts, subscripts, footnote marks) near its
// baseline, or a few glyphs of its size shifted by less than half an em
// within its extent.
bool shiftedBeside(const Row &small, const Row &large)
{
    const bool within =
        small.baseline > large.baseline - 0.75 * large.size && small.baseline < large.baseline + 0.35 * large.size;
    const bool beside = small.left < large.right + large.size && small.right > large.left - large.size;
    if (small.size <= 0.85 * large.size)
        return within && beside;
    return small.glyphs.size() <= kMaxShiftedGlyphs && large.glyphs.size() > small.glyphs.size() &&
           small.size <= 1.05 * large.size && std::abs(small.baseline - large.baseline) < 0.5 * large.size &&
           small.left > large.left && small.right < large.right + 0.5 * large.size;
}

// Whether glyphs of `row` stand over or under most of the span of `small`:
// two small lines stacked beside a larger one (a name above another) would
// interleave their letters if both joined it, even where the name above is
// the shorter by far. An exponent over a subscript shares a letter's width at
// most: one glyph alone covers nothing (a prime over a subscript's digit).
// Letters of up to twice its size sharing most of the small row's height
// stand beside it, not over it, however far they are kerned under it (the
// raised A of LaTeX's logo); a huge letter behind a line (a watermark) does not.
bool covers(const Row &row, const Row &small, const QList<Glyph> &glyphs)
{
    double top = glyphs[small.glyphs.first()].box.top();
    double bottom = glyphs[small.glyphs.first()].box.bottom();
    for (const int index : small.glyphs) {
        top = qMin(top, glyphs[index].box.top());
        bottom = qMax(bottom, glyphs[index].box.bottom());
    }
    double from = small.right;
    double to = small.left;
    int over = 0;
    for (const int index : row.glyphs) {
        const QRectF &box = glyphs[index].box;
        const bool beside = glyphs[index].size <= 2 * small.size &&
                            qMin(bottom, box.bottom()) - qMax(top, box.top()) >= 0.5 * (bottom - top);
        if (box.width() > 0 && box.right() > small.left && box.left() < small.right && !beside) {
            from = qMin(from, qMax(small.left, box.left()));
            to = qMax(to, qMin(small.right, box.right()));
            ++over;
        }
    }
    return over > 1 && to - from > qMin(0.5 * (small.right - small.left), 2 * small.size);
}

// Whether a glyph of `row` stands within an em of `small`. A row's extent
// may span columns with nothing between them: an index's entry in the middle
// column, its page number an em past its dots, lay within the extent of the
// next row down, which had entries in the outer columns only.
bool near(const Row &row, const Row &small, const QList<Glyph> &glyphs)
{
    return std::any_of(row.glyphs.cbegin(), row.glyphs.cend(), [&](int index) {
        const QRectF &box = glyphs[index].box;
        return box.right() > small.left - row.size && box.left() < small.right + row.size;
    });
}

qsizetype hostOf(const Row &small, const QList<Row> &rows, qsizetype at, const QList<Glyph> &glyphs)
{
    qsizetype best = -1;
    for (qsizetype j = qMax<qsizetype>(0, at - 2); j < qMin(rows.size(), at + 3); ++j) {
        if (j != at && shiftedBeside(small, rows[j]) && near(rows[j], small, glyphs) &&
            !covers(rows[j], small, glyphs) && (best < 0 || rows[j].size > rows[best].size))
            best = j;
    }
    return best;
}

void join(Row &row, const Row &other)
{
    const bool empty = row.glyphs.isEmpty();
    row.glyphs += other.glyphs;
    row.left = empty ? other.left : qMin(row.left, other.left);
    row.right = empty ? other.right : qMax(row.right, other.right);
}

// A row's pieces further apart than an em: the exponents of a displayed
// formula form one row over it, with the formula's own letters between them.
QList<Row> piecesOf(const Row &row, const QList<Glyph> &glyphs)
{
    QList<int> order = row.glyphs;
    std::stable_sort(order.begin(), order.end(),
                     [&glyphs](int a, int b) { return glyphs[a].box.left() < glyphs[b].box.left(); });
    QList<Row> pieces;
    for (const int index : std::as_const(order)) {
        const Glyph &glyph = glyphs[index];
        const Row single{row.baseline, glyph.size, glyph.box.left(), glyph.box.right(), {index}};
        if (pieces.isEmpty() || glyph.box.left() - pieces.last().right > row.size)
            pieces.append(single);
        else
            join(pieces.last(), single);
        pieces.last().size = qMax(pieces.last().size, glyph.size);
    }
    return pieces;
}

void mergeRaised(QList<Row> &rows, const QList<Glyph> &glyphs)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const qsizetype best = hostOf(rows[i], rows, i, glyphs);
        if (best >= 0) {
            join(rows[best], rows[i]);
            rows.removeAt(i);
            --i;
            continue;
        }
        const QList<Row> pieces = piecesOf(rows[i], glyphs);
        if (pieces.size() < 2)
            continue;
        Row rest{rows[i].baseline, 0, 0, 0, {}};
        for (const Row &piece : pieces) {
            const qsizetype host = hostOf(piece, rows, i, glyphs);
            join(host >= 0 ? rows[host] : rest, piece);
            if (host < 0)
                rest.size = qMax(rest.size, piece.size);
        }
        if (rest.glyphs.isEmpty()) {
            rows.removeAt(i);
            --i;
        } else {
            rows[i] = rest;
        }
    }
}

// The baseline most of a row's characters of its full size sit on; smaller
// ones (an exponent of several digits) are shifted from it.
double mainBaseline(const Row &row, const QList<Glyph> &glyphs)
{
    QHash<qint64, qsizetype> perBaseline;
    for (const int index : row.glyphs) {
        if (glyphs[index].size >= 0.95 * row.size)
            perBaseline[std::llround(glyphs[index].baseline * 10)] += glyphs[index].text.size();
    }
    qint64 best = std::llround(row.baseline * 10);
    for (auto it = perBaseline.cbegin(); it != perBaseline.cend(); ++it) {
        if (it.value() > perBaseline.value(best) || (it.value() == perBaseline.value(best) && it.key() < best))
            best = it.key();
    }
    return double(best) / 10;
}

// The baseline each glyph of a row (in order from the left) is measured
// from: that of its part of the row, parts being further apart than a
// column's gutter. Lines of two columns a little off each other's baselines
// gather into one row; measured from the row's one baseline, every letter of
// one column came out raised or lowered.
QList<double> partBaselines(const QList<int> &row, const Row &whole, const QList<Glyph> &glyphs)
{
    QList<double> baselines;
    qsizetype start = 0;
    for (qsizetype i = 1; i <= row.size(); ++i) {
        const bool gutter = i < row.size() && glyphs[row[i]].box.left() - glyphs[row[i - 1]].box.right() >
                                                  kGutter * qMin(glyphs[row[i]].size, glyphs[row[i - 1]].size);
        if (i < row.size() && !gutter)
            continue;
        Row part = whole;
        part.glyphs = row.mid(start, i - start);
        part.size = 0;
        for (const int index : std::as_const(part.glyphs))
            part.size = qMax(part.size, glyphs[index].size);
        const double baseline = mainBaseline(part, glyphs);
        baselines.insert(baselines.size(), i - start, baseline);
        start = i;
    }
    return baselines;
}

// Adds a glyph to a word. `gap` is its distance from the word's last glyph:
// a kern between runs (TeX's logo kerns its small A under the L) is kept on
// the run before, as a writer cannot kern across runs of its own accord, and
// so is a gap a reader sees, which parts a run.
void appendGlyph(TextWords::Word &word, const Glyph &glyph, double baseline, double gap = 0)
{
    word.text += glyph.text;
    word.box = word.box.isNull() ? glyph.box : word.box.united(glyph.box);
    word.size = qMax(word.size, glyph.size);
    // Shifts below a tenth of the size are the font's own, not the text's.
    const double shift = baseline - glyph.baseline;
    const double rise = std::abs(shift) >= 0.1 * glyph.size ? std::round(shift * 10) / 10 : 0;
    const bool seen = gap >= kSeenGap * glyph.size;
    if (!word.runs.isEmpty() && word.runs.last().style == glyph.style && word.runs.last().rise == rise && !seen)
        word.runs.last().length += int(glyph.text.size());
    else {
        if (!word.runs.isEmpty() && (gap < -kLeastKern * glyph.size || seen))
            word.runs.last().kern = std::round(gap * 100) / 100;
        word.runs.append({glyph.style, int(glyph.text.size()), rise});
    }
}

// Takes back the gaps kept in a word where more than one parts it: its
// letters are spread (a listing set in columns), not set apart by a formula.
void closeSpreadGaps(TextWords::Word &word)
{
    QList<TextWords::Run> &runs = word.runs;
    if (std::count_if(runs.cbegin(), runs.cend(), [](const TextWords::Run &run) { return run.kern > 0; }) < 2)
        return;
    QList<TextWords::Run> closed;
    for (TextWords::Run run : std::as_const(runs)) {
        TextWords::Run *last = closed.isEmpty() ? nullptr : &closed.last();
        if (last && last->kern > 0 && last->style == run.style && last->rise == run.rise) {
            last->length += run.length;
            last->kern = run.kern;
            continue;
        }
        if (last && last->kern > 0)
            last->kern = 0;
        closed.append(run);
    }
    runs = closed;
}

// Puts a ligature's further letter before its first one where they are of a
// right-to-left script: words hold letters as drawn, from the left, and the
// ligature's own letters come in typed order. False where the letter is of
// another style than the word's last run, which holds the ligature.
bool insertTurnedContinuation(TextWords::Word &word, qsizetype clusterStart, const Glyph &glyph)
{
    if (!BidiText::hasRightToLeft(glyph.text) || word.runs.isEmpty() || word.runs.last().style != glyph.style ||
        clusterStart < word.text.size() - word.runs.last().length)
        return false;
    word.text.insert(clusterStart, glyph.text);
    word.runs.last().length += int(glyph.text.size());
    return true;
}

// Letters set one by one in columns (a listing in a proportional font) stand
// a column apart, centre to centre, whatever their widths, so the gaps between
// them vary with the letters. Where the letters mostly do not touch and nearly
// every step from one glyph's centre to the next is close to a whole number
// of columns, some of them two or more and none near one and a half, that
// column is returned and words part where a column is skipped; else 0.
// Columns give a little to wide letters: a step counts within a quarter.
// Leader dots are set at one pitch too, but of their own: they are left out.
double pitchOf(const QList<int> &row, const QList<Glyph> &glyphs)
{
    const auto dot = [&](qsizetype at) {
        return at >= 0 && at < row.size() && TextWords::isLeader(glyphs[row[at]].text);
    };
    QList<double> steps;
    QList<double> gaps;
    double size = 0;
    const Glyph *previous = nullptr;
    for (qsizetype at = 0; at < row.size(); ++at) {
        const Glyph &glyph = glyphs[row[at]];
        if (glyph.blank() || glyph.box.width() <= 0 || (dot(at) && (dot(at - 1) || dot(at + 1))))
            continue;
        if (previous) {
            steps.append(glyph.box.center().x() - previous->box.center().x());
            gaps.append(glyph.box.left() - previous->box.right());
        }
        previous = &glyph;
        size = qMax(size, glyph.size);
    }
    if (steps.size() < kMinPitchedSteps)
        return 0;
    // Letters of running text touch; letters set in columns mostly do not.
    if (median(gaps) < 0.05 * size)
        return 0;
    QList<double> sorted = steps;
    std::sort(sorted.begin(), sorted.end());
    // Most steps of a listing's row are one column; a quarter of them surely.
    const double pitch = sorted[sorted.size() / 4];
    if (pitch < 0.35 * size || pitch > 0.9 * size)
        return 0;
    qsizetype onGrid = 0;
    qsizetype skipping = 0;
    for (const double step : std::as_const(steps)) {
        const double columns = step / pitch;
        if (columns > 1.4 && columns < 1.6)
            return 0;
        if (columns >= 0.75 && std::abs(columns - std::round(columns)) <= 0.25) {
            ++onGrid;
            skipping += columns > 1.5 ? 1 : 0;
        }
    }
    return onGrid >= 0.85 * double(steps.size()) && skipping > 0 ? pitch : 0;
}

// The combining mark of a spacing accent, or 0.
char16_t combiningOf(const QString &text)
{
    static const QHash<char16_t, char16_t> kMarks = {
        {u'`', 0x0300},   {0x00b4, 0x0301}, {0x02c6, 0x0302}, {u'^', 0x0302},   {0x02dc, 0x0303}, {u'~', 0x0303},
        {0x00af, 0x0304}, {0x02c9, 0x0304}, {0x02d8, 0x0306}, {0x02d9, 0x0307}, {0x00a8, 0x0308}, {0x02da, 0x030a},
        {0x02dd, 0x030b}, {0x02c7, 0x030c}, {0x00b8, 0x0327}, {0x02db, 0x0328},
    };
    return text.size() == 1 ? kMarks.value(text[0].unicode(), 0) : 0;
}

// TeX's older fonts have no accented letters: an accent glyph is drawn over
// (or under) the letter, which then reads "uˆ" instead of "û". An accent
// whose middle stands over a letter of the row becomes part of that letter;
// a dotless i or j under it is the plain letter.
void composeAccents(QList<int> &row, QList<Glyph> &glyphs)
{
    for (qsizetype a = row.size() - 1; a >= 0; --a) {
        const Glyph &accent = glyphs[row[a]];
        const char16_t mark = combiningOf(accent.text);
        if (mark == 0)
            continue;
        const double middle = accent.box.center().x();
        for (const int index : std::as_const(row)) {
            Glyph &letter = glyphs[index];
            const QRectF &box = letter.box;
            if (index == row[a] || letter.text.size() != 1 || !letter.text[0].isLetter() || combiningOf(letter.text) ||
                middle <= box.left() + 0.2 * box.width() || middle >= box.right() - 0.2 * box.width())
                continue;
            QChar base = letter.text[0];
            if (base == QChar(0x0131))
                base = QLatin1Char('i');
            else if (base == QChar(0x0237))
                base = QLatin1Char('j');
            letter.text = QString(QString(base) + QChar(mark)).normalized(QString::NormalizationForm_C);
            row.removeAt(a);
            break;
        }
    }
}

constexpr int kLeaderRun = 4; // dots in a row that lead, where three may end a sentence

// Whether the glyph at `at` parts a run of leader dots from letters set
// right against it, either side.
bool leaderEdge(const QList<int> &row, const QList<Glyph> &glyphs, qsizetype at, const QString &word)
{
    const auto isDot = [](QChar c) { return TextWords::isLeader(QString(c)); };
    if (word.isEmpty())
        return false;
    const QString &text = glyphs[row[at]].text;
    if (text.size() != 1 || !isDot(text.front())) {
        qsizetype dots = 0;
        while (dots < word.size() && isDot(word[word.size() - 1 - dots]))
            ++dots;
        return dots >= kLeaderRun;
    }
    if (isDot(word.back()))
        return false;
    qsizetype run = 0;
    while (at + run < row.size() && glyphs[row[at + run]].text.size() == 1 && isDot(glyphs[row[at + run]].text.front()))
        ++run;
    return run >= kLeaderRun;
}

} // namespace

bool TextWords::isLeader(const QString &word)
{
    if (word.isEmpty())
        return false;
    for (const QChar c : word) {
        if (c != QLatin1Char('.') && c != QChar(0x00B7) && c != QChar(0x2026) && c != QChar(0x2024))
            return false;
    }
    return true;
}

QList<TextWords::Word> TextWords::words(const QList<Glyph> &source)
{
    QList<Glyph> glyphs = source;
    QList<Row> rows = rowsOf(glyphs);
    mergeRaised(rows, glyphs);
    QList<QList<int>> rowGlyphs;
    for (Row &row : rows) {
        composeAccents(row.glyphs, glyphs);
        rowGlyphs.append(row.glyphs);
    }
    const SpreadLetters spreadLetters(rowGlyphs, glyphs);
    QList<Word> words;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        rows[r].baseline = mainBaseline(rows[r], glyphs);
        QList<int> row = rows[r].glyphs;
        std::stable_sort(row.begin(), row.end(),
                         [&glyphs](int a, int b) { return glyphs[a].box.left() < glyphs[b].box.left(); });
        const QList<double> baselines = partBaselines(row, rows[r], glyphs);
        const double pitch = pitchOf(row, glyphs);
        const double spread = pitch > 0 ? 0 : spreadLetters.wordGap(row);
        // Letters spread apart, or set on a grid, keep no gap of their own.
        const bool gapsKept = pitch <= 0 && spread <= 0;
        Word word;
        double lastRight = 0;
        double lastCentre = 0;
        const Glyph *previous = nullptr;
        bool spaced = false;        // a space glyph stands between the last letter and the next
        qsizetype clusterStart = 0; // where the last glyph with an advance begins in the word
        double wordBaseline = rows[r].baseline;
        const auto finish = [&] {
            if (!word.text.isEmpty()) {
                closeSpreadGaps(word);
                word.baseline = wordBaseline;
                word.row = int(r);
                words.append(word);
            }
            word = Word();
        };
        for (qsizetype g = 0; g < row.size(); ++g) {
            const Glyph &glyph = glyphs[row[g]];
            const double baseline = baselines[g];
            if (glyph.blank()) {
                spaced = true;
                previous = nullptr;
                continue;
            }
            // The same letter drawn again a hair to the side is fake bold or a
            // shadow; without advance it spells out a ligature ("ffi": f, f, i).
            // A hair is also less than half the letter: text squeezed sideways
            // (a chart scaled to fit) sets "ff" closer than a fifth of its size.
            const double shift = previous ? qAbs(previous->box.left() - glyph.box.left()) : 0;
            if (previous && previous->text == glyph.text && glyph.box.width() > 0 && shift < 0.2 * glyph.size &&
                shift < 0.5 * previous->box.width())
                continue;
            previous = &glyph;
            // A glyph without advance at the same place continues a ligature ("fi" gives "f", then "i").
            const bool continuation =
                previous && glyph.box.width() <= 0 && qAbs(glyph.box.left() - previous->box.left()) < 0.05 * glyph.size;
            if (continuation) {
                if (!insertTurnedContinuation(word, clusterStart, glyph))
                    appendGlyph(word, glyph, baseline);
                previous = &glyph;
                continue;
            }
            const double gap = glyph.box.left() - lastRight;
            // A glyph far behind the last one was drawn over it (bold by
            // overprinting, or text laid over text): it starts a word of its
            // own. Far is half an em of the larger letter, so that a small
            // letter kerned under a large one (LaTeX's A) stays in its word.
            const bool apart = pitch > 0 ? glyph.box.center().x() - lastCentre > 1.5 * pitch
                                         : gap > (spread > 0 ? spread : wordGap(qMax(word.size, glyph.size)));
            // A space whose advance was taken back (kerning across it, as
            // small capitals set by some typesetters have) leaves the letters
            // touching: they stay one word, as a reader sees them.
            const bool spaceShown = spaced && gap >= kKernedSpace * glyph.size;
            spaced = false;
            if (!word.text.isEmpty() && (spaceShown || apart || gap < -0.5 * qMax(word.size, glyph.size) ||
                                         leaderEdge(row, glyphs, g, word.text)))
                finish();
            clusterStart = word.text.size();
            if (word.text.isEmpty())
                wordBaseline = baseline;
            appendGlyph(word, glyph, baseline, word.text.isEmpty() || (gap > 0 && !gapsKept) ? 0 : gap);
            lastCentre = glyph.box.center().x();
            lastRight = qMax(lastRight, glyph.box.right());
            if (word.text.size() == glyph.text.size())
                lastRight = glyph.box.right();
        }
        finish();
    }
    return words;
}
