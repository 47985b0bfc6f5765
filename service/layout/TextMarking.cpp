#include "layout/TextMarking.h"

#include <QHash>

#include <algorithm>

namespace {

using Word = TextWords::Word;

// A hostile page may draw many thousands of rules; past this many, the rest stay drawings.
constexpr int kMaxRules = 5000;
constexpr int kMaxFills = 5000;

// Where lines sit from the baseline, in em, down being positive: an underline
// just below it (deeper under descenders, as TeX sets one), a line through
// about the middle of the small letters.
constexpr double kUnderlineTop = -0.05;
constexpr double kUnderlineBottom = 0.4;
constexpr double kStrikeTop = -0.5;
constexpr double kStrikeBottom = -0.15;
constexpr double kMaxThickness = 0.15;
// How far a mark may reach past the words it goes with, and the widest gap between them, in em.
constexpr double kOverhang = 0.6;
constexpr double kMaxGap = 2.0;
constexpr double kPadding = 0.25; // reach past the words at both ends, in em, of a rule that is no mark
// A highlighter's box is about a line high.
constexpr double kMinShadeHeight = 0.7;
constexpr double kMaxShadeHeight = 2.2;
constexpr double kShadeOverhang = 1.0;

struct Row {
    double baseline = 0;
    QList<int> words; // left to right
};

class Marker {
public:
    explicit Marker(QList<Word> &words) : mWords(words) { buildRows(); }

    bool rule(const Rule &rule);
    bool fill(const FilledBox &fill);

private:
    void buildRows();
    // The rows whose baselines lie within `reach` of y, top to bottom.
    QList<const Row *> rowsNear(double y, double reach) const;
    // The words of the row that the span [left, right] covers, if it covers them
    // closely: from the first to the last without reaching far past them.
    QList<int> covered(const Row &row, double left, double right, double overhang) const;
    double emOf(const QList<int> &words) const;
    // Whether the words are set on their row's baseline and hold two letters or
    // digits at least: a rule by a lone symbol or a raised or lowered one is
    // part of a formula (a fraction's bar, a root's), not a mark of text.
    bool prose(const QList<int> &words) const;

    QList<Word> &mWords;
    QList<Row> mRows; // by baseline
    double mLargest = 0;
};

void Marker::buildRows()
{
    QHash<int, int> rowAt;
    for (qsizetype w = 0; w < mWords.size(); ++w) {
        const Word &word = mWords[w];
        mLargest = qMax(mLargest, word.size);
        auto found = rowAt.constFind(word.row);
        if (found == rowAt.constEnd()) {
            found = rowAt.insert(word.row, int(mRows.size()));
            mRows.append(Row{word.baseline, {}});
        }
        mRows[found.value()].words.append(int(w));
    }
    for (Row &row : mRows) {
        std::sort(row.words.begin(), row.words.end(),
                  [this](int a, int b) { return mWords[a].box.left() < mWords[b].box.left(); });
    }
    std::sort(mRows.begin(), mRows.end(), [](const Row &a, const Row &b) { return a.baseline < b.baseline; });
}

QList<const Row *> Marker::rowsNear(double y, double reach) const
{
    QList<const Row *> near;
    auto it = std::lower_bound(mRows.cbegin(), mRows.cend(), y - reach,
                               [](const Row &row, double at) { return row.baseline < at; });
    for (; it != mRows.cend() && it->baseline <= y + reach; ++it)
        near.append(&*it);
    return near;
}

double Marker::emOf(const QList<int> &words) const
{
    double em = 0;
    for (const int w : words)
        em = qMax(em, mWords[w].size);
    return em;
}

bool Marker::prose(const QList<int> &words) const
{
    int letters = 0;
    for (const int w : words) {
        const Word &word = mWords[w];
        if (std::any_of(word.runs.cbegin(), word.runs.cend(), [](const TextWords::Run &run) { return run.rise != 0; }))
            return false;
        letters +=
            int(std::count_if(word.text.cbegin(), word.text.cend(), [](QChar c) { return c.isLetterOrNumber(); }));
    }
    return letters >= 2;
}

QList<int> Marker::covered(const Row &row, double left, double right, double overhang) const
{
    QList<int> words;
    for (const int w : row.words) {
        const QRectF &box = mWords[w].box;
        const double overlap = qMin(right, box.right()) - qMax(left, box.left());
        if (overlap >= 0.5 * box.width() && box.width() > 0)
            words.append(w);
    }
    if (words.isEmpty() || !prose(words))
        return {};
    // A mark runs from the first word's start to the last word's end; a rule
    // well short of them at both ends (a table's top rule under its caption) is none.
    const double em = emOf(words);
    const double start = mWords[words.first()].box.left();
    const double end = mWords[words.last()].box.right();
    if (std::abs(left - start) > overhang * em && std::abs(right - end) > overhang * em)
        return {};
    if (left < start - overhang * em || right > end + overhang * em)
        return {};
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (mWords[words[i]].box.left() - mWords[words[i - 1]].box.right() > kMaxGap * em)
            return {};
    }
    return words;
}

bool Marker::rule(const Rule &rule)
{
    if (!rule.horizontal())
        return false;
    const double y = (rule.from.y() + rule.to.y()) / 2;
    const double left = qMin(rule.from.x(), rule.to.x());
    const double right = qMax(rule.from.x(), rule.to.x());
    for (const Row *row : rowsNear(y, mLargest)) {
        const QList<int> words = covered(*row, left, right, kOverhang);
        const double em = emOf(words);
        if (words.isEmpty() || rule.width > kMaxThickness * em)
            continue;
        // A table's rule under its head row reaches past the first and the
        // last word by the cells' padding; an underline runs from the first
        // word's start, and past the last word's end at most.
        if (mWords[words.first()].box.left() - left > kPadding * em &&
            right - mWords[words.last()].box.right() > kPadding * em)
            continue;
        const double below = (y - row->baseline) / em;
        const bool underline = below >= kUnderlineTop && below <= kUnderlineBottom;
        const bool strike = below >= kStrikeTop && below <= kStrikeBottom;
        if (!underline && !strike)
            continue;
        for (const int w : words) {
            TextMarks &marks = mWords[w].marks;
            if (underline) {
                marks.underline = true;
                marks.underlineColor = rule.color;
            } else {
                marks.strike = true;
            }
        }
        return true;
    }
    return false;
}

bool Marker::fill(const FilledBox &fill)
{
    const QRectF &box = fill.box;
    if (box.height() > kMaxShadeHeight * mLargest)
        return false;
    const QList<const Row *> rows = rowsNear(box.center().y(), box.height() / 2);
    const Row *held = nullptr;
    QList<int> words;
    for (const Row *row : rows) {
        QList<int> inside;
        for (const int w : row->words) {
            if (box.contains(mWords[w].box.center()))
                inside.append(w);
        }
        if (inside.isEmpty())
            continue;
        if (held)
            return false; // a box behind several lines is a background, not a mark
        held = row;
        words = inside;
    }
    if (!held)
        return false;
    const double em = emOf(words);
    const bool lineHigh = box.height() >= kMinShadeHeight * em && box.height() <= kMaxShadeHeight * em;
    if (!lineHigh || covered(*held, box.left(), box.right(), kShadeOverhang).size() != words.size())
        return false;
    for (const int w : words) {
        mWords[w].marks.shaded = true;
        mWords[w].marks.shade = seenOverWhite(fill.color, fill.opacity);
    }
    return true;
}

} // namespace

TextMarking::Used TextMarking::mark(QList<TextWords::Word> &words, const QList<Rule> &rules,
                                    const QList<FilledBox> &fills, const Used &taken)
{
    Used used;
    if (words.isEmpty())
        return used;
    Marker marker(words);
    for (int r = 0; r < qMin(int(rules.size()), kMaxRules); ++r) {
        if (!taken.rules.contains(r) && marker.rule(rules[r]))
            used.rules.insert(r);
    }
    for (int f = 0; f < qMin(int(fills.size()), kMaxFills); ++f) {
        if (!taken.fills.contains(f) && marker.fill(fills[f]))
            used.fills.insert(f);
    }
    return used;
}
