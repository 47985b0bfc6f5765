#include "layout/BidiText.h"

#include <unicode/ubidi.h>

#include <memory>

namespace {

struct BidiClose {
    void operator()(UBiDi *bidi) const { ubidi_close(bidi); }
};

bool rightToLeftLetter(QChar c)
{
    return c.direction() == QChar::DirR || c.direction() == QChar::DirAL;
}

bool arabicLetter(const QString &text, qsizetype at)
{
    return at >= 0 && at < text.size() && text.at(at).direction() == QChar::DirAL && text.at(at).isLetter();
}

// A hyphen inside an Arabic word: the stretch (kashida) of a justified line,
// which some writers map to "-". Arabic words hold no hyphens of their own.
bool isKashida(const QString &drawn, qsizetype at)
{
    if (drawn.at(at) != QLatin1Char('-'))
        return false;
    qsizetype before = at - 1;
    while (before >= 0 && drawn.at(before) == QLatin1Char('-'))
        --before;
    qsizetype after = at + 1;
    while (after < drawn.size() && drawn.at(after) == QLatin1Char('-'))
        ++after;
    return arabicLetter(drawn, before) && arabicLetter(drawn, after);
}

BidiText::Logical unchanged(const QString &drawn)
{
    BidiText::Logical logical{drawn, {}};
    for (int i = 0; i < drawn.size(); ++i)
        logical.sources.append(i);
    return logical;
}

} // namespace

bool BidiText::hasRightToLeft(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), rightToLeftLetter);
}

bool BidiText::mostlyRightToLeft(const QString &text)
{
    int rightToLeft = 0;
    int leftToRight = 0;
    for (const QChar c : text) {
        if (rightToLeftLetter(c))
            ++rightToLeft;
        else if (c.direction() == QChar::DirL)
            ++leftToRight;
    }
    return rightToLeft > leftToRight;
}

BidiText::Logical BidiText::typedOrder(const QString &drawn, bool rightToLeftLine)
{
    if (drawn.isEmpty() || !hasRightToLeft(drawn))
        return unchanged(drawn);
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UBiDi, BidiClose> bidi(ubidi_open());
    if (!bidi)
        return unchanged(drawn);
    // The input is in display order; reordering it "like direct" gives the typed order.
    ubidi_setReorderingMode(bidi.get(), UBIDI_REORDER_INVERSE_LIKE_DIRECT);
    const auto *units = reinterpret_cast<const UChar *>(drawn.utf16());
    ubidi_setPara(bidi.get(), units, int32_t(drawn.size()), rightToLeftLine ? UBIDI_RTL : UBIDI_LTR, nullptr, &status);
    const int32_t length = ubidi_getResultLength(bidi.get());
    if (U_FAILURE(status) || length != drawn.size())
        return unchanged(drawn);
    Logical logical;
    logical.sources.resize(length);
    ubidi_getVisualMap(bidi.get(), logical.sources.data(), &status);
    if (U_FAILURE(status))
        return unchanged(drawn);
    // Writers map a mirrored sign to the character typed ("(" drawn as ")"
    // maps to "("), so signs keep their characters.
    QList<int> kept;
    kept.reserve(length);
    for (const int source : std::as_const(logical.sources)) {
        if (!isKashida(drawn, source))
            kept.append(source);
    }
    logical.sources = kept;
    logical.text.reserve(kept.size());
    for (const int source : std::as_const(kept))
        logical.text.append(drawn.at(source));
    return logical;
}
