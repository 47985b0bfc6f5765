#include "layout/TexEncodings.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <utility>

namespace {

enum class Encoding { Unknown, Original, Extended };

// The characters of codes 0..31 in each encoding; the extended encoding's
// code 23 marks a word boundary and draws nothing.
constexpr std::array<const char16_t *, 32> kOriginal = {
    u"\u0393", u"\u0394", u"\u0398", u"\u039b", u"\u039e", u"\u03a0", u"\u03a3", u"\u03a5",
    u"\u03a6", u"\u03a8", u"\u03a9", u"ff",     u"fi",     u"fl",     u"ffi",    u"ffl",
    u"\u0131", u"\u0237", u"`",      u"\u00b4", u"\u02c7", u"\u02d8", u"\u00af", u"\u02da",
    u"\u00b8", u"\u00df", u"\u00e6", u"\u0153", u"\u00f8", u"\u00c6", u"\u0152", u"\u00d8"};
constexpr std::array<const char16_t *, 32> kExtended = {
    u"`",      u"\u00b4", u"\u02c6", u"\u02dc", u"\u00a8", u"\u02dd", u"\u02da", u"\u02c7",
    u"\u02d8", u"\u00af", u"\u02d9", u"\u00b8", u"\u02db", u"\u201a", u"\u2039", u"\u203a",
    u"\u201c", u"\u201d", u"\u201e", u"\u00ab", u"\u00bb", u"\u2013", u"\u2014", u"",
    u"0",      u"\u0131", u"\u0237", u"ff",     u"fi",     u"fl",     u"ffi",    u"ffl"};

// The extended encoding's codes 128..191, which a reader takes for Latin-1's.
constexpr char16_t kExtendedUpper[] =
    u"\u0102\u0104\u0106\u010c\u010e\u011a\u0118\u011e\u0139\u013d\u0141\u0143\u0147\u014a\u0150\u0154"
    u"\u0158\u015a\u0160\u015e\u0164\u0162\u0170\u016e\u0178\u0179\u017d\u017b\u0132\u0130\u0111\u00a7"
    u"\u0103\u0105\u0107\u010d\u010f\u011b\u0119\u011f\u013a\u013e\u0142\u0144\u0148\u014b\u0151\u0155"
    u"\u0159\u015b\u0161\u015f\u0165\u0163\u0171\u016f\u00ff\u017a\u017e\u017c\u0133\u00a1\u00bf\u00a3";

using Replacement = std::pair<char16_t, char16_t>;

// Where the original encoding's text fonts put punctuation at ASCII codes.
constexpr Replacement kOriginalPunctuation[] = {{u'"', 0x201d}, {u'<', 0x00a1}, {u'>', 0x00bf}, {u'\\', 0x201c},
                                                {u'_', 0x02d9}, {u'{', 0x2013}, {u'|', 0x2014}, {u'}', 0x02dd},
                                                {u'~', 0x02dc}, {0x7f, 0x00a8}};
// The extended encoding's letters in Latin-1's upper quarter where Latin-1 has others.
constexpr Replacement kExtendedOthers[] = {{0xd7, 0x0152}, {0xf7, 0x0153}, {0xff, 0x00df}};

template <std::size_t N> QChar replaced(QChar c, const Replacement (&table)[N])
{
    for (const auto &[from, to] : table) {
        if (c.unicode() == from)
            return QChar(to);
    }
    return c;
}

QString extendedLetter(QChar c)
{
    if (c.unicode() >= 0x80 && c.unicode() < 0xc0)
        return QString(QChar(kExtendedUpper[c.unicode() - 0x80]));
    // Its capital sharp s is two letters.
    return c.unicode() == 0xdf ? QStringLiteral("SS") : QString(replaced(c, kExtendedOthers));
}

int codeOf(const Glyph &glyph)
{
    return glyph.text.size() == 1 && TexEncodings::isStandIn(glyph.text[0])
               ? int(glyph.text[0].unicode() - TexEncodings::kFirstStandIn)
               : -1;
}

bool hasStandIn(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), TexEncodings::isStandIn);
}

bool letterAt(const QList<Glyph> &glyphs, qsizetype at, const Glyph &beside)
{
    return at >= 0 && at < glyphs.size() && glyphs[at].style == beside.style &&
           qAbs(glyphs[at].baseline - beside.baseline) < 0.1 * beside.size && !glyphs[at].text.isEmpty() &&
           glyphs[at].text[0].isLetter();
}

// Per font that shows bare codes, the signs of each encoding: a ligature
// code with a letter of the same font on either side.
void countSigns(const SourceDocument &document, const QList<Glyph> &glyphs, QHash<QString, std::pair<int, int>> &signs)
{
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        if (!hasStandIn(glyphs[g].text))
            continue;
        auto &[original, extended] = signs[document.styles.value(glyphs[g].style).sourceFont];
        const int code = codeOf(glyphs[g]);
        if (code < 0 || (!letterAt(glyphs, g - 1, glyphs[g]) && !letterAt(glyphs, g + 1, glyphs[g])))
            continue;
        original += code >= 11 && code <= 15 ? 1 : 0;
        extended += code >= 27 ? 1 : 0;
    }
}

struct FontEncoding {
    Encoding encoding = Encoding::Unknown;
    bool shown = false; // by the font's own ligatures rather than the document's
};

QString standInText(QChar standIn, Encoding encoding)
{
    const int code = standIn.unicode() - TexEncodings::kFirstStandIn;
    switch (encoding) {
    case Encoding::Original:
        return QString::fromUtf16(kOriginal[code]);
    case Encoding::Extended:
        return QString::fromUtf16(kExtended[code]);
    case Encoding::Unknown:
        break;
    }
    return QStringLiteral(" ");
}

QString decoded(const QString &text, const FontEncoding &font)
{
    if (hasStandIn(text)) {
        QString result;
        for (const QChar c : text)
            result += TexEncodings::isStandIn(c) ? standInText(c, font.encoding) : QString(c);
        return result;
    }
    if (text.size() != 1)
        return text;
    QChar c = text[0];
    // Typewriter fonts keep ASCII's quotes and punctuation; they have no
    // ligatures, so a font whose own ligatures showed is a text font, with
    // curved quotes at ASCII's grave accent and apostrophe.
    if (font.shown) {
        c = c == QLatin1Char('`') ? QChar(0x2018) : c == QLatin1Char('\'') ? QChar(0x2019) : c;
        c = font.encoding == Encoding::Original ? replaced(c, kOriginalPunctuation) : c;
    }
    return font.encoding == Encoding::Extended ? extendedLetter(c) : QString(c);
}

void decodeGlyphs(const SourceDocument &document, QList<Glyph> &glyphs, const QHash<QString, FontEncoding> &fonts,
                  Encoding usual)
{
    for (qsizetype g = 0; g < glyphs.size(); ++g) {
        const auto found = fonts.constFind(document.styles.value(glyphs[g].style).sourceFont);
        if (found == fonts.cend())
            continue;
        const FontEncoding font = found->encoding == Encoding::Unknown ? FontEncoding{usual, false} : *found;
        glyphs[g].text = decoded(glyphs[g].text, font);
        if (glyphs[g].text.isEmpty())
            glyphs.removeAt(g--);
    }
}

} // namespace

void TexEncodings::decode(SourceDocument &document)
{
    QHash<QString, std::pair<int, int>> signs;
    for (const SourcePage &page : std::as_const(document.pages)) {
        countSigns(document, page.glyphs, signs);
        countSigns(document, page.invisibleGlyphs, signs);
    }
    // A font showing no sign of its own (a heading's, with no ligature) was
    // most likely set in the encoding the document's other fonts show.
    const auto choose = [](int original, int extended) {
        return original == extended ? Encoding::Unknown : original > extended ? Encoding::Original : Encoding::Extended;
    };
    int allOriginal = 0;
    int allExtended = 0;
    for (const auto &[original, extended] : std::as_const(signs)) {
        allOriginal += original;
        allExtended += extended;
    }
    QHash<QString, FontEncoding> fonts;
    for (auto it = signs.cbegin(); it != signs.cend(); ++it) {
        const Encoding own = choose(it->first, it->second);
        fonts.insert(it.key(), {own, own != Encoding::Unknown});
    }
    const Encoding usual = choose(allOriginal, allExtended);
    for (SourcePage &page : document.pages) {
        decodeGlyphs(document, page.glyphs, fonts, usual);
        decodeGlyphs(document, page.invisibleGlyphs, fonts, usual);
    }
}
