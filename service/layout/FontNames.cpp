#include "layout/FontNames.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int kBoldWeight = 180; // fontconfig's FC_WEIGHT_BOLD is 200, semibold 180

struct TexFamily {
    const char *prefix; // upper-case start of the name
    const char *family;
    bool bold;
    bool italic;
    bool mono;
};

// Computer Modern and cm-super faces, replaced by Latin Modern, which has
// their metrics. Maths italic letters are text italic's; the symbol and
// extension fonts' characters are in Latin Modern Math. Longer prefixes first.
const TexFamily kTexFamilies[] = {
    {"CMSSBX", "Latin Modern Sans", true, false, false},
    {"CMSSI", "Latin Modern Sans", false, true, false},
    {"CMSS", "Latin Modern Sans", false, false, false},
    {"CMBXTI", "Latin Modern Roman", true, true, false},
    {"CMBX", "Latin Modern Roman", true, false, false},
    {"CMTT", "Latin Modern Mono", false, false, true},
    {"CMITT", "Latin Modern Mono", false, true, true},
    {"CMSLTT", "Latin Modern Mono", false, true, true},
    {"CMTI", "Latin Modern Roman", false, true, false},
    {"CMSL", "Latin Modern Roman", false, true, false},
    {"CMCSC", "Latin Modern Roman Caps", false, false, false},
    {"CMMIB", "Latin Modern Roman", true, true, false},
    {"CMMI", "Latin Modern Roman", false, true, false},
    {"CMBSY", "Latin Modern Math", true, false, false},
    {"CMSY", "Latin Modern Math", false, false, false},
    {"CMEX", "Latin Modern Math", false, false, false},
    {"MSAM", "Latin Modern Math", false, false, false},
    {"MSBM", "Latin Modern Math", false, false, false},
    {"CMB", "Latin Modern Roman", true, false, false},
    {"CMR", "Latin Modern Roman", false, false, false},
    {"SFBX", "Latin Modern Roman", true, false, false},
    {"SFTI", "Latin Modern Roman", false, true, false},
    {"SFSL", "Latin Modern Roman", false, true, false},
    {"SFTT", "Latin Modern Mono", false, false, true},
    {"SFSS", "Latin Modern Sans", false, false, false},
    {"SFRM", "Latin Modern Roman", false, false, false},
    {"LMROMANCAPS", "Latin Modern Roman Caps", false, false, false},
    {"LMROMANSLANT", "Latin Modern Roman Slanted", false, false, false},
    {"LMROMANDEMI", "Latin Modern Roman Demi", false, false, false},
    {"LMROMANDUNH", "Latin Modern Roman Dunhill", false, false, false},
    {"LMROMANUNSL", "Latin Modern Roman Unslanted", false, false, false},
    {"LMSANSDEMICOND", "Latin Modern Sans Demi Cond", false, false, false},
    {"LMSANSQUOT", "Latin Modern Sans Quotation", false, false, false},
    {"LMMONOLTCOND", "Latin Modern Mono Light Cond", false, false, true},
    {"LMMONOPROPLT", "Latin Modern Mono Prop Light", false, false, false},
    {"LMMONOPROP", "Latin Modern Mono Prop", false, false, false},
    {"LMMONOLT", "Latin Modern Mono Light", false, false, true},
    {"LMMONOCAPS", "Latin Modern Mono Caps", false, false, true},
    {"LMMONOSLANT", "Latin Modern Mono Slanted", false, false, true},
    {"LMROMAN", "Latin Modern Roman", false, false, false},
    {"LMSANS", "Latin Modern Sans", false, false, false},
    {"LMMONO", "Latin Modern Mono", false, false, true},
};

// URW names whose abbreviations fontconfig does not know. Nimbus Mono goes by
// its current name: fontconfig's alias for the old one loses to any
// monospaced family once a pattern asks for one. Vera's faces, and TeX's
// copies of them named Bera, are DejaVu's Latin letters unchanged.
const std::pair<const char *, const char *> kAliases[] = {
    {"NimbusRomNo9L", "Nimbus Roman No9 L"}, {"NimbusSanL", "Nimbus Sans L"},
    {"NimbusMonL", "Nimbus Mono PS"},        {"URWPalladioL", "URW Palladio L"},
    {"URWBookmanL", "URW Bookman L"},        {"CenturySchL", "Century Schoolbook L"},
    {"BeraSerif", "DejaVu Serif"},           {"BeraSans", "DejaVu Sans"},
    {"BeraSansMono", "DejaVu Sans Mono"},    {"BitstreamVeraSerif", "DejaVu Serif"},
    {"BitstreamVeraSans", "DejaVu Sans"},    {"BitstreamVeraSansMono", "DejaVu Sans Mono"},
};

// East Asian faces by the words of their names: their kind and language.
// "Gothic" alone is a Latin face's word too ("Century Gothic").
struct EastAsian {
    const char *words;
    const char *generic;
    const char *language;
};
const EastAsian kEastAsian[] = {
    {"Mincho|Ryumin|HeiseiMin|KozMin", "serif", "ja"},
    {"(MS|IPAex|IPA|Yu|Hiragino\\w*|Takao|VL|Kozuka)[ -]?Gothic|Meiryo|GothicBBB|HeiseiKakuGo|KozGo", "sans-serif",
     "ja"},
    {"SimSun|STSong|SongTi|FangSong|STFangsong|KaiTi|STKaiti|AdobeSong", "serif", "zh-cn"},
    {"SimHei|STHeiti|HeiTi|YaHei|DengXian|AdobeHeiti", "sans-serif", "zh-cn"},
    {"MingLiU|MSung|AdobeMing", "serif", "zh-tw"},
    {"JhengHei|MHei", "sans-serif", "zh-tw"},
    {"Batang|Myeongjo|Gungsuh|AdobeMyungjo", "serif", "ko"},
    {"Gulim|Dotum|Malgun|AdobeGothicStd", "sans-serif", "ko"},
};

void markEastAsian(FontNames::Face &face, const QString &name)
{
    // Made once: every font of every document is described.
    static const QList<QRegularExpression> kWords = [] {
        QList<QRegularExpression> made;
        for (const EastAsian &kind : kEastAsian)
            made.append(QRegularExpression(QLatin1String(kind.words), QRegularExpression::CaseInsensitiveOption));
        return made;
    }();
    for (qsizetype k = 0; k < kWords.size(); ++k) {
        if (kWords[k].match(name).hasMatch()) {
            face.generic = QLatin1String(kEastAsian[k].generic);
            face.language = QLatin1String(kEastAsian[k].language);
            return;
        }
    }
}

// "LM Roman 12" for Latin Modern Roman at TeX's design size 12: sizes are
// the one or two digits after the name's prefix ("CMBX12", "LMRoman10-Bold");
// cm-super's four ("SFRM1095") have no family of their own.
QString designFamily(const QString &family, const QString &rest)
{
    static const QRegularExpression size(QStringLiteral("^(\\d{1,2})(?!\\d)"));
    const QRegularExpressionMatch match = size.match(rest);
    const QLatin1String latinModern("Latin Modern ");
    if (!match.hasMatch() || !family.startsWith(latinModern) || family.endsWith(QLatin1String("Math")))
        return {};
    return QStringLiteral("LM ") + family.mid(latinModern.size()) + QLatin1Char(' ') + match.captured(1);
}

bool texFace(const QString &name, FontNames::Face *face)
{
    const QString upper = name.toUpper();
    for (const TexFamily &tex : kTexFamilies) {
        const QLatin1String prefix(tex.prefix);
        // "CMR10", "SFRM1095", "LMRoman10-Bold": the prefix is followed by a size or a dash.
        if (!upper.startsWith(prefix))
            continue;
        const QString rest = upper.mid(prefix.size());
        if (!rest.isEmpty() && !rest[0].isDigit() && rest[0] != QLatin1Char('-'))
            continue;
        face->family = QLatin1String(tex.family);
        face->design = designFamily(face->family, rest);
        face->bold = tex.bold || rest.contains(QLatin1String("BOLD"));
        face->italic = tex.italic || rest.contains(QLatin1String("ITALIC")) || rest.contains(QLatin1String("OBLIQUE"));
        face->mono = tex.mono;
        return true;
    }
    return false;
}

} // namespace

namespace {

struct Advances {
    const char *family;
    double letter;
    double space;
    double raise; // how far the office moves a run per point of raise it is given
};

// Measured on English text with the fonts Debian installs for the service;
// Latin Modern Roman's space is TeX's third of an em. The office scales a
// run's raise by the height of its font's line, not by its size: measured
// from raised runs set by the office.
const Advances kAdvances[] = {
    {"DejaVu Serif", 0.580, 0.318, 1.169},
    {"DejaVu Sans", 0.567, 0.318, 1.165},
    {"DejaVu Sans Mono", 0.602, 0.602, 1.165},
    {"Liberation Serif", 0.463, 0.250, 1.139},
    {"Liberation Sans", 0.502, 0.278, 1.149},
    {"Liberation Mono", 0.600, 0.600, 1.119},
    {"Latin Modern Roman", 0.487, 0.333, 1.409},
    {"Latin Modern Sans", 0.497, 0.354, 1.469},
    {"Latin Modern Mono", 0.525, 0.525, 1.319},
    {"Carlito", 0.463, 0.226, 1.234},
    {"Caladea", 0.469, 0.220, 1.154},
    {"Nimbus Roman", 0.450, 0.250, 1.200},
    {"Nimbus Sans", 0.496, 0.278, 1.200},
    {"Nimbus Mono PS", 0.600, 0.600, 1.200},
    {"P052", 0.506, 0.250, 1.200},
    {"C059", 0.519, 0.278, 1.200},
    {"URW Bookman", 0.548, 0.320, 1.200},
};

const Advances *advancesOf(const QString &family)
{
    // A design size's family ("LM Roman 12") has its family's proportions.
    static const QRegularExpression design(QStringLiteral("^LM (.+) \\d+$"));
    const QRegularExpressionMatch match = design.match(family);
    const QString broad = match.hasMatch() ? QStringLiteral("Latin Modern ") + match.captured(1) : family;
    for (const Advances &each : kAdvances) {
        if (broad.compare(QLatin1String(each.family), Qt::CaseInsensitive) == 0)
            return &each;
    }
    return nullptr;
}

} // namespace

double FontNames::letterAdvance(const QString &family)
{
    const Advances *found = advancesOf(family);
    return found ? found->letter : 0;
}

double FontNames::spaceAdvance(const QString &family)
{
    const Advances *found = advancesOf(family);
    return found ? found->space : 0;
}

double FontNames::raiseScale(const QString &family)
{
    // A common line height for the families not measured.
    constexpr double kTypical = 1.15;
    const Advances *found = advancesOf(family);
    return found ? found->raise : kTypical;
}

bool FontNames::sameMetrics(const QString &pdfName, const QString &standIn)
{
    const auto squeezed = [](QString text) { return text.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).toLower(); };
    const QString family = squeezed(describe(pdfName).family);
    const QString target = squeezed(standIn);
    if (family.isEmpty() || target.isEmpty())
        return false;
    if (family == target ||
        (family.startsWith(QLatin1String("latinmodern")) &&
         (target.startsWith(QLatin1String("latinmodern")) || target.startsWith(QLatin1String("lm")))))
        return true;
    static const std::pair<const char *, const char *> kClones[] = {
        {"times", "liberationserif"},
        {"nimbusroman", "liberationserif"},
        {"texgyretermes", "liberationserif"},
        {"times", "nimbusroman"},
        {"arial", "liberationsans"},
        {"helvetica", "liberationsans"},
        {"nimbussans", "liberationsans"},
        {"texgyreheros", "liberationsans"},
        {"arial", "nimbussans"},
        {"helvetica", "nimbussans"},
        {"courier", "liberationmono"},
        {"nimbusmon", "liberationmono"},
        {"texgyrecursor", "liberationmono"},
        {"courier", "nimbusmonops"},
        {"nimbussans", "nimbussans"},
        {"nimbusroman", "nimbusroman"},
        {"nimbusmon", "nimbusmonops"},
        {"urwpalladio", "p052"},
        {"palatino", "p052"},
        {"centurysch", "c059"},
        {"newcenturyschlbk", "c059"},
        {"urwbookman", "urwbookman"},
        {"bookman", "urwbookman"},
        // TeX's own clones of URW's fonts, which fontconfig maps back to them.
        {"texgyretermes", "nimbusroman"},
        {"texgyreheros", "nimbussans"},
        {"texgyrecursor", "nimbusmonops"},
        {"texgyrepagella", "p052"},
        {"texgyreschola", "c059"},
        {"texgyrebonum", "urwbookman"},
        {"calibri", "carlito"},
        {"cambria", "caladea"},
    };
    for (const auto &[clone, metric] : kClones) {
        if (family.startsWith(QLatin1String(clone)) && target == QLatin1String(metric))
            return true;
    }
    return false;
}

QString FontNames::withoutSubset(const QString &pdfName)
{
    static const QRegularExpression subset(QStringLiteral("^[A-Z]{6}\\+"));
    return QString(pdfName).remove(subset);
}

FontNames::Face FontNames::describe(const QString &pdfName)
{
    Face face;
    const QString name = withoutSubset(pdfName).trimmed();
    if (texFace(name, &face))
        return face;
    // "Family-Style", "Family,Style" or "FamilyStyle" with a known style word at the end.
    static const QRegularExpression separator(QStringLiteral("[-,]"));
    QString family = name.section(separator, 0, 0);
    QString style = name.section(separator, 1);
    static const QRegularExpression glued(QStringLiteral(
        "(Bold|Black|Heavy|Semibold|SemiBold|Demi|Italic|Oblique|Medi|Regu|Ital|BoldItalic|Roman|Regular|Book)+$"));
    if (style.isEmpty()) {
        const QRegularExpressionMatch match = glued.match(family);
        if (match.hasMatch() && match.capturedStart() > 0) {
            style = match.captured();
            family.truncate(match.capturedStart());
        }
    }
    static const QRegularExpression vendorTail(QStringLiteral("(PSMT|PS|MT)$"));
    family.remove(vendorTail);
    for (const auto &[abbreviation, full] : kAliases) {
        if (family == QLatin1String(abbreviation))
            family = QLatin1String(full);
    }
    const QString lowerStyle = style.toLower();
    const QString lowerName = name.toLower();
    face.family = family.isEmpty() ? name : family;
    face.bold = lowerStyle.contains(QLatin1String("bold")) || lowerStyle.contains(QLatin1String("black")) ||
                lowerStyle.contains(QLatin1String("heavy")) || lowerStyle.contains(QLatin1String("demi")) ||
                lowerStyle.contains(QLatin1String("medi")) || lowerStyle == QLatin1String("bd") ||
                lowerStyle.startsWith(QLatin1String("bdit"));
    face.italic = lowerStyle.contains(QLatin1String("italic")) || lowerStyle.contains(QLatin1String("oblique")) ||
                  lowerStyle.contains(QLatin1String("ital")) || lowerStyle == QLatin1String("it") ||
                  lowerStyle.endsWith(QLatin1String("it"));
    face.mono = lowerName.contains(QLatin1String("mono")) || face.family.contains(QLatin1String("Mono")) ||
                lowerName.contains(QLatin1String("courier")) || lowerName.contains(QLatin1String("consol")) ||
                lowerName.contains(QLatin1String("typewriter"));
    markEastAsian(face, name);
    return face;
}

QString FontNames::standIn(const Face &face, const QString &matched)
{
    // fontconfig answers DejaVu for any family it does not know; DejaVu is far
    // wider and darker than most document faces, Liberation is close to them.
    if (!matched.isEmpty() &&
        (!matched.startsWith(QLatin1String("DejaVu")) || face.family.contains(QLatin1String("DejaVu")) ||
         face.family.startsWith(QLatin1String("Latin Modern"))))
        return matched;
    if (face.mono || matched.contains(QLatin1String("Mono")))
        return QStringLiteral("Liberation Mono");
    static const QRegularExpression sans(
        QStringLiteral("sans|helvet|arial|gothic|grotesk|verdana|tahoma|segoe|frutiger|univers|futura|myriad|"
                       "roboto|franklin|trebuchet|avenir|swiss|lucida|optima|gill"),
        QRegularExpression::CaseInsensitiveOption);
    return sans.match(face.family).hasMatch() ? QStringLiteral("Liberation Sans") : QStringLiteral("Liberation Serif");
}

QString FontNames::forText(const QString &family, const QString &text)
{
    // Latin Modern Math has Greek of its own.
    const bool latinModern =
        (family.startsWith(QLatin1String("Latin Modern ")) || family.startsWith(QLatin1String("LM "))) &&
        !family.endsWith(QLatin1String("Math"));
    const bool otherLetters = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.isLetter() && (c.script() == QChar::Script_Cyrillic || c.script() == QChar::Script_Greek);
    });
    if (!latinModern || !otherLetters)
        return family;
    if (family.contains(QLatin1String("Mono")))
        return QStringLiteral("CMU Typewriter Text");
    return family.contains(QLatin1String("Sans")) ? QStringLiteral("CMU Sans Serif") : QStringLiteral("CMU Serif");
}

QString FontNames::pattern(const Face &face)
{
    // fontconfig reads '-' and ':' in a family as syntax.
    QString family = face.family;
    family.replace(QLatin1Char('-'), QLatin1Char(' ')).replace(QLatin1Char(':'), QLatin1Char(' '));
    QString text = family.trimmed().isEmpty() ? QStringLiteral("sans") : family.trimmed();
    if (!face.design.isEmpty())
        text.prepend(face.design + QLatin1Char(','));
    if (!face.generic.isEmpty())
        text += QLatin1Char(',') + face.generic;
    if (face.bold)
        text += QStringLiteral(":bold");
    if (face.italic)
        text += QStringLiteral(":italic");
    if (face.mono && face.language.isEmpty())
        text += QStringLiteral(":spacing=mono");
    if (!face.language.isEmpty())
        text += QStringLiteral(":lang=") + face.language;
    return text;
}

QString FontNames::matchedFamily(const Face &face, const QString &answer)
{
    const QStringList fields = answer.trimmed().split(QLatin1Char('\t'));
    // Office programs no longer draw Type 1 fonts (TeX's copies of Utopia
    // and Charter are such): they put their fallback, a wide sans, in place.
    if (fields.size() > 3 && fields[3] == QLatin1String("Type 1"))
        return {};
    const QStringList names = fields.first().split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (names.isEmpty())
        return face.family;
    // fontconfig weighs the family above the style: asked for a bold face
    // of a size that has none, it answers that size's regular one.
    const bool bold = fields.size() > 1 && fields[1].toInt() >= kBoldWeight;
    const bool italic = fields.size() > 2 && fields[2].toInt() > 0;
    if (!face.design.isEmpty() && names.contains(face.design) && bold == face.bold && italic == face.italic)
        return face.design;
    return names.first().trimmed();
}
