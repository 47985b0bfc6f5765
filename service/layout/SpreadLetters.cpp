#include "layout/SpreadLetters.h"

#include "layout/TextWords.h"

#include <algorithm>

namespace {

constexpr qsizetype kMinRowGaps = 6;
constexpr qsizetype kMinFontGaps = 20;

bool isLetterOrDigit(const Glyph &glyph)
{
    return glyph.text.size() == 1 && glyph.text[0].isLetterOrNumber();
}

} // namespace

SpreadLetters::SpreadLetters(const QList<QList<int>> &rows, const QList<Glyph> &glyphs) : mGlyphs(glyphs)
{
    for (const Glyph &glyph : glyphs)
        mSizes[glyph.style] = qMax(mSizes.value(glyph.style), glyph.size);
    QHash<int, QList<double>> perStyle;
    for (QList<int> row : rows) {
        std::stable_sort(row.begin(), row.end(),
                         [&glyphs](int a, int b) { return glyphs[a].box.left() < glyphs[b].box.left(); });
        for (const auto &[gap, style] : letterGaps(row))
            perStyle[style].append(gap);
    }
    for (auto it = perStyle.cbegin(); it != perStyle.cend(); ++it) {
        const double threshold = thresholdOf(it.value(), mSizes.value(it.key()), kMinFontGaps);
        if (threshold > 0)
            mPerStyle.insert(it.key(), threshold);
    }
}

double SpreadLetters::wordGap(const QList<int> &row) const
{
    QList<double> gaps;
    QHash<int, int> perStyle;
    double size = 0;
    for (const auto &[gap, style] : letterGaps(row)) {
        gaps.append(gap);
        ++perStyle[style];
        size = qMax(size, mSizes.value(style));
    }
    const double own = thresholdOf(gaps, size, kMinRowGaps);
    if (own > 0)
        return own;
    // A row with letters enough that touch (running text) or stand a space
    // apart is no spread row, whatever its font does elsewhere.
    const double usual = median(gaps);
    if (gaps.size() >= kMinRowGaps && (usual < 0.03 * size || usual >= 0.05 * size))
        return 0;
    return mPerStyle.value(mostUsedStyle(perStyle), 0);
}

QList<std::pair<double, int>> SpreadLetters::letterGaps(const QList<int> &row) const
{
    QList<std::pair<double, int>> gaps;
    const Glyph *previous = nullptr;
    for (const int index : row) {
        const Glyph &glyph = mGlyphs[index];
        if (glyph.blank() || glyph.box.width() <= 0)
            continue;
        if (previous && previous->style == glyph.style && isLetterOrDigit(*previous) && isLetterOrDigit(glyph))
            gaps.append({glyph.box.left() - previous->box.right(), glyph.style});
        previous = &glyph;
    }
    return gaps;
}

double SpreadLetters::thresholdOf(const QList<double> &gaps, double size, qsizetype enough)
{
    if (gaps.size() < enough)
        return 0;
    const double usual = median(gaps);
    if (usual < 0.05 * size || usual > 0.2 * size)
        return 0;
    return qMax(2 * usual, TextWords::wordGap(size));
}
