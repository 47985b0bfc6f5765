#include "layout/UnscaledFontSizes.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kLeastSize = 0.5;    // points: a smaller size draws nothing a reader sees
constexpr double kLeastAdvance = 0.5; // points a glyph of an unscaled font advances at least
constexpr double kLeastUnits = 3;     // text units it advances at least: no em-based letter is 3 ems wide
constexpr double kSameSize = 0.1;     // share off a size of the page still taken as it
constexpr double kFounding = 1.5;     // ems of known letters a span needs to set a size of its own
constexpr double kMeanLetter = 0.5;   // em: a glyph's mean advance, where no size is known

// Computer Modern Roman's advances in ems, from its metrics.
constexpr double kLower[26] = {0.5,    0.5556, 0.4444, 0.5556, 0.4444, 0.3056, 0.5,    0.5556, 0.2778,
                               0.3056, 0.5278, 0.2778, 0.8333, 0.5556, 0.5,    0.5556, 0.5278, 0.3917,
                               0.3944, 0.3889, 0.5556, 0.5278, 0.7222, 0.5278, 0.5278, 0.4444};
constexpr double kUpper[26] = {0.75,   0.7083, 0.7222, 0.7639, 0.6806, 0.6528, 0.7847, 0.75,   0.3611,
                               0.5139, 0.7778, 0.625,  0.9167, 0.75,   0.7778, 0.6806, 0.7778, 0.7361,
                               0.5556, 0.7222, 0.75,   0.75,   1.0278, 0.75,   0.75,   0.6111};
constexpr double kDigit = 0.5;

} // namespace

bool UnscaledFontSizes::unscaled(double size, double advance, double points)
{
    return size <= kLeastSize && advance >= kLeastUnits && points >= kLeastAdvance;
}

double UnscaledFontSizes::referenceEms(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 'a' && u <= 'z')
        return kLower[u - 'a'];
    if (u >= 'A' && u <= 'Z')
        return kUpper[u - 'A'];
    return u >= '0' && u <= '9' ? kDigit : 0;
}

void UnscaledFontSizes::add(QChar c, double points)
{
    ++mSpan.glyphs;
    mSpan.all += points;
    const double ems = referenceEms(c);
    if (ems > 0) {
        mSpan.points += points;
        mSpan.ems += ems;
    }
}

double UnscaledFontSizes::endSpan()
{
    const Span span = std::exchange(mSpan, Span());
    if (span.glyphs == 0)
        return 0;
    if (span.ems <= 0) {
        // Punctuation alone takes the size most of the page's letters have.
        const auto most =
            std::max_element(mSizes.begin(), mSizes.end(), [](const Size &a, const Size &b) { return a.ems < b.ems; });
        return most != mSizes.end() ? most->points : span.all / span.glyphs / kMeanLetter;
    }
    const double own = span.points / span.ems;
    const auto near = std::find_if(mSizes.begin(), mSizes.end(), [own](const Size &size) {
        return std::abs(own - size.points) <= kSameSize * size.points;
    });
    if (near != mSizes.end()) {
        near->ems += span.ems;
        return near->points;
    }
    if (span.ems >= kFounding)
        mSizes.append({own, span.ems});
    return own;
}

void UnscaledFontSizes::endPage()
{
    mSpan = Span();
    mSizes.clear();
}
