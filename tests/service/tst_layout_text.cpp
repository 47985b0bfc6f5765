#include "layout/AlignedTables.h"
#include "layout/BidiText.h"
#include "layout/Hyphenation.h"
#include "layout/ParagraphBuilder.h"
#include "layout/ReadingOrder.h"
#include "layout/TextLines.h"
#include "layout/TextMarking.h"
#include "layout/TextWords.h"
#include "support/TestMain.h"
#include "support/Utf8Text.h"

#include <QHashSeed>
#include <QSet>

#include <algorithm>
#include <functional>

// The text side of the layout engine on small hand-made inputs: glyphs to
// words, words broken at line ends, lines to paragraphs, reading order.
class TestLayoutText : public QObject {
    Q_OBJECT

private slots:
    void wordsSplitAtGapsWithoutSpaceGlyphs();
    void ligatureContinuationStaysInTheWord();
    void overprintedBoldIsReadOnce();
    void raisedFootnoteMarkJoinsItsRow();
    void shiftedGlyphsKeepTheirRise();
    void formulaExponentsJoinTheirFormula();
    void lettersSetInColumnsFormWords();
    void lettersSpreadWordByWordFormWords();
    void accentsDrawnOverLettersJoinThem();
    void tiedStylesGiveTheSameLineEveryRun();
    void hyphenation_data();
    void hyphenation();
    void fullLinesJoinIntoOneParagraph();
    void shortLineEndsTheParagraph();
    void widerGapStartsAParagraph();
    void centredLinesKeepTheirBreaks();
    void flushRightLinesJoinAndKeepTheirBreaks();
    void justifiedLinesFitAtTheSizeWordSets();
    void justifiedLinesEndWhereTheSourceBrokeThem();
    void listItemsAndMonospacedLinesStandAlone();
    void sectionNumberIsSetApartByATab();
    void labelsCloseToTheirValuesStillPartAtSharedStops();
    void tightTableColumnsPartAtTheirGutters();
    void brokenWordIsJoinedAcrossLines();
    void dotLeadersBecomeARightTab();
    void rightToLeftTextReadsAsTyped_data();
    void rightToLeftTextReadsAsTyped();
    void rightToLeftLinesFormTheirOwnParagraphs();
    void rightToLeftPartsTabFromTheRight();
    void underlinesStrikesAndHighlightsMarkTheirWords();
    void rulesAndBoxesThatAreNoMarksStayDrawings();
    void alignment_data();
    void alignment();
    void twoColumnsReadColumnByColumn();
    void fullWidthHeadingAboveColumnsComesFirst();
    void tableLikeColumnsStayRows();
    void panelsSideBySideReadOneAfterTheOther();
    void ruleDownAGutterPartsOnlyBlocksWithGuttersOfTheirOwn();
    void notesInTheMarginReadAsAColumnOfTheirOwn();
};

namespace {

// Glyphs of a text set in a font whose every glyph is 0.5 em wide.
QList<Glyph> setText(const QString &text, double x, double baseline, double size = 10, int style = 0)
{
    QList<Glyph> glyphs;
    for (const QChar c : text) {
        Glyph glyph;
        glyph.text = c;
        glyph.size = size;
        glyph.baseline = baseline;
        glyph.style = style;
        glyph.box = QRectF(x, baseline - 0.78 * size, 0.5 * size, size);
        glyphs.append(glyph);
        x += 0.5 * size;
    }
    return glyphs;
}

// Single letters on a baseline at 100, each at its left edge with its width,
// as a row of a real page places them.
using Placed = QList<std::pair<QChar, std::pair<double, double>>>;
QList<Glyph> placedText(const Placed &letters)
{
    QList<Glyph> glyphs;
    for (const auto &[c, place] : letters) {
        glyphs += setText(QString(c), place.first, 100);
        glyphs.last().box.setWidth(place.second);
    }
    return glyphs;
}

QStringList texts(const QList<TextWords::Word> &words)
{
    QStringList result;
    for (const TextWords::Word &word : words)
        result << word.text;
    return result;
}

const QList<TextStyle> kStyles = {
    {QStringLiteral("Helvetica"), QStringLiteral("Liberation Sans"), 10, false, false, false, 0},
    {QStringLiteral("Courier"), QStringLiteral("Liberation Mono"), 10, false, false, true, 0},
};

QList<TextLines::Line> linesOf(const QList<std::pair<QString, double>> &rows, double x = 72, int style = 0)
{
    QList<Glyph> glyphs;
    for (const auto &[text, baseline] : rows)
        glyphs += setText(text, x, baseline, 10, style);
    return TextLines::lines(TextWords::words(glyphs), kStyles);
}

QStringList paragraphTexts(const QList<Paragraph> &paragraphs)
{
    QStringList result;
    for (const Paragraph &paragraph : paragraphs)
        result << paragraph.text();
    return result;
}

ReadingOrder::Item item(double x, double y, double width, int row)
{
    return {QRectF(x, y, width, 10), row};
}

// Rows `first` to `last` of two columns of four words each, the rows of both on shared baselines.
void appendTwoColumnRows(QList<ReadingOrder::Item> &items, int first, int last)
{
    for (int row = first; row <= last; ++row) {
        for (int word = 0; word < 4; ++word) {
            items.append(item(72 + word * 55, 100 + row * 12, 50, row));
            items.append(item(320 + word * 55, 100 + row * 12, 50, row));
        }
    }
}

// Where the words of one row of a half of a listing or chart stand: a code,
// four glyphs and a name.
struct HalfRow {
    double codeWidth = 0;
    double glyphLeft = 0;
    double glyphStep = 0;
    double glyphWidth = 0;
    double nameLeft = 0;
    double nameWidth = 0;
};

// Six rows 16 points apart, each in two halves 190 points apart.
QList<ReadingOrder::Item> twoHalves(const HalfRow &shape)
{
    QList<ReadingOrder::Item> items;
    for (int row = 0; row < 6; ++row) {
        for (const double half : {0.0, 190.0}) {
            items.append(item(half + 72, 100 + row * 16, shape.codeWidth, row));
            for (int glyph = 0; glyph < 4; ++glyph)
                items.append(
                    item(half + shape.glyphLeft + glyph * shape.glyphStep, 100 + row * 16, shape.glyphWidth, row));
            items.append(item(half + shape.nameLeft, 100 + row * 16, shape.nameWidth, row));
        }
    }
    return items;
}

} // namespace

void TestLayoutText::wordsSplitAtGapsWithoutSpaceGlyphs()
{
    // No space glyphs at all: the gaps alone separate the words, kerning does not.
    QList<Glyph> glyphs = setText(QStringLiteral("Plain"), 72, 100);
    glyphs += setText(QStringLiteral("text"), 72 + 25 + 3, 100);
    glyphs.last().box.translate(0.4, 0); // a kerned last letter
    glyphs += setText(QStringLiteral("here"), 72 + 25 + 3 + 20 + 3.5, 100);
    QCOMPARE(texts(TextWords::words(glyphs)), strings({"Plain", "text", "here"}));
    // Space glyphs split too, even without a gap.
    QCOMPARE(texts(TextWords::words(setText(QStringLiteral("a b"), 72, 100))), strings({"a", "b"}));
    // Unless the letter after it is drawn back against the one before: a space kerned away.
    QList<Glyph> kerned = setText(QStringLiteral("PA "), 72, 100);
    kerned += setText(QStringLiteral("TTERN"), 72 + 10 - 0.4, 100);
    QCOMPARE(texts(TextWords::words(kerned)), strings({"PATTERN"}));
}

void TestLayoutText::ligatureContinuationStaysInTheWord()
{
    QList<Glyph> glyphs = setText(QStringLiteral("de"), 72, 100);
    QList<Glyph> rest = setText(QStringLiteral("fnition"), 82, 100);
    Glyph continuation = rest.first();
    continuation.text = QStringLiteral("i");
    continuation.box.setWidth(0); // "fi" drawn as one glyph, the "i" without advance
    rest.insert(1, continuation);
    glyphs += rest;
    QCOMPARE(texts(TextWords::words(glyphs)), QStringList{QStringLiteral("definition")});
    // "ffi" drawn as one "f" glyph, then "f" and "i" without advance: the second f is no overprint.
    QList<Glyph> office = setText(QStringLiteral("o"), 72, 100);
    QList<Glyph> tail = setText(QStringLiteral("fcia"), 77, 100);
    for (const char *letter : {"f", "i"}) {
        Glyph spelled = tail.first();
        spelled.text = QLatin1String(letter);
        spelled.box.setWidth(0);
        tail.insert(tail.size() == 4 ? 1 : 2, spelled);
    }
    office += tail;
    QCOMPARE(texts(TextWords::words(office)), QStringList{QStringLiteral("officia")});
    // Arabic "بلا" drawn from the left: the lam-alef ligature ("ل", then "ا" without
    // advance), then the beh. Read in typed order, the ligature keeps its letters' order.
    QList<Glyph> arabic = setText(QStringLiteral("لب"), 72, 100);
    Glyph alef = arabic.first();
    alef.text = QStringLiteral("ا");
    alef.box.setWidth(0);
    arabic.insert(1, alef);
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(arabic), kStyles), 72, 167, {});
    QCOMPARE(paragraphTexts(paragraphs), QStringList{QStringLiteral("بلا")});
}

void TestLayoutText::overprintedBoldIsReadOnce()
{
    QList<Glyph> glyphs = setText(QStringLiteral("Bold"), 72, 100);
    glyphs += setText(QStringLiteral("Bold"), 72.3, 100);
    QCOMPARE(texts(TextWords::words(glyphs)), QStringList{QStringLiteral("Bold")});
    // A chart's label squeezed sideways to 0.3 of its width: "ff" stands closer
    // than a fifth of the size, but a whole letter apart, so both are letters.
    QList<Glyph> squeezed = setText(QStringLiteral("Efficiency"), 72, 100);
    for (qsizetype g = 0; g < squeezed.size(); ++g) {
        squeezed[g].box.setLeft(72 + 1.5 * double(g));
        squeezed[g].box.setWidth(1.5);
    }
    QCOMPARE(texts(TextWords::words(squeezed)), QStringList{QStringLiteral("Efficiency")});
}

void TestLayoutText::raisedFootnoteMarkJoinsItsRow()
{
    QList<Glyph> glyphs = setText(QStringLiteral("Note"), 72, 100);
    glyphs += setText(QStringLiteral("1"), 92, 96.5, 6);
    glyphs += setText(QStringLiteral("next"), 98, 100);
    const QList<TextWords::Word> words = TextWords::words(glyphs);
    QCOMPARE(texts(words), strings({"Note1", "next"}));
    QCOMPARE(words.first().row, words.last().row);
}

void TestLayoutText::shiftedGlyphsKeepTheirRise()
{
    // TeX's logo: a smaller A raised and kerned under the L by over half its
    // own em, then an E of the text's size lowered by a fifth of an em; a
    // raised A opens the row, before the text's own baseline. Each run keeps
    // the kern to the next; the E's own gap to the T is none.
    QList<Glyph> glyphs = setText(QStringLiteral("The"), 72, 100);
    glyphs += setText(QStringLiteral("L"), 92, 100);
    glyphs += setText(QStringLiteral("A"), 93.4, 97.8, 7);
    glyphs.last().box.setWidth(5.9);
    glyphs += setText(QStringLiteral("T"), 97.8, 100);
    glyphs.last().box.setWidth(6.2);
    glyphs += setText(QStringLiteral("E"), 104, 102.15);
    glyphs += setText(QStringLiteral("X"), 107.75, 100);
    glyphs += setText(QStringLiteral("support"), 117, 100);
    const QList<TextWords::Word> words = TextWords::words(glyphs);
    QCOMPARE(texts(words), strings({"The", "LATEX", "support"}));
    QCOMPARE(words[1].baseline, 100.0);
    QCOMPARE(words[1].runs,
             (QList<TextWords::Run>{{0, 1, 0, -3.6}, {0, 1, 2.2, -1.5}, {0, 1, 0}, {0, 1, -2.2, -1.25}, {0, 1, 0}}));
    // In the paragraph, the kern stays after its letter: the run up to the L
    // ends there, and the X runs on into the text after it.
    const QList<Paragraph> logo = ParagraphBuilder::paragraphs(TextLines::lines(words, kStyles), 72, 540, {});
    QCOMPARE(logo.size(), 1);
    QCOMPARE(logo.first().runs.size(), 5);
    QCOMPARE(logo.first().runs.first().text, QStringLiteral("The L"));
    QCOMPARE(logo.first().runs.first().kern, -3.6);
    QCOMPARE(logo.first().runs.last().text, QStringLiteral("X support"));
    QCOMPARE(logo.first().runs.last().kern, 0.0);
    // The logo in a title, its A raised further than a quarter of the A's
    // size: it gathers with the footnote mark after the title, and the L and
    // T kerned under it on both sides stand beside it, not over it.
    QList<Glyph> title = setText(QStringLiteral("L"), 100, 164, 17.28);
    title += setText(QStringLiteral("A"), 102.42, 160.4, 12);
    title.last().box.setWidth(10.1);
    title += setText(QStringLiteral("T"), 109.9, 164, 17.28);
    title += setText(QStringLiteral("E"), 115.66, 167.7, 17.28);
    title += setText(QStringLiteral("X"), 122.1, 164, 17.28);
    title += setText(QString(QChar(0x2217)), 130.8, 157.75, 12);
    QCOMPARE(texts(TextWords::words(title)), QStringList{QStringLiteral("LATEX") + QChar(0x2217)});
    // A line across huge letters behind it (a watermark) is no raised part of them.
    QList<Glyph> watermarked = setText(QStringLiteral("Suspendisse vitae elit aliquam arcu neque"), 72, 400);
    watermarked += setText(QStringLiteral("II"), 100, 420, 200);
    QSet<int> watermarkRows;
    for (const TextWords::Word &word : TextWords::words(watermarked))
        watermarkRows.insert(word.row);
    QCOMPARE(watermarkRows.size(), 2);
    // Lines of two columns two points off each other's baselines gather into
    // one row, but each keeps its own baseline: neither is raised nor lowered.
    QList<Glyph> columns = setText(QStringLiteral("harbour"), 72, 177.1);
    columns += setText(QStringLiteral("market"), 110, 177.1);
    columns += setText(QStringLiteral("quay"), 300, 179.2);
    columns += setText(QStringLiteral("traders"), 325, 179.2);
    const QList<TextWords::Word> twoColumns = TextWords::words(columns);
    QCOMPARE(texts(twoColumns), strings({"harbour", "market", "quay", "traders"}));
    for (const TextWords::Word &word : twoColumns) {
        QCOMPARE(word.baseline, word.box.left() < 200 ? 177.1 : 179.2);
        QCOMPARE(word.runs.size(), 1);
        QCOMPARE(word.runs.first().rise, 0.0);
    }
    // The first line of a column beside a larger heading in the next one, a
    // gutter of an em of the text between them: the line is not raised.
    QList<Glyph> besideHeading = setText(QStringLiteral("keeping"), 240, 367.8);
    besideHeading += setText(QStringLiteral("that"), 280, 367.8);
    besideHeading += setText(QStringLiteral("Method"), 310, 371.3, 14.3);
    const QList<TextWords::Word> headed = TextWords::words(besideHeading);
    QCOMPARE(texts(headed), strings({"keeping", "that", "Method"}));
    for (const TextWords::Word &word : headed)
        QCOMPARE(word.runs.first().rise, 0.0);
    // A superscript of more characters than the base it stands on.
    QList<Glyph> power = setText(QStringLiteral("m2"), 72, 100);
    power += setText(QStringLiteral("N-1-k"), 82, 96.4, 7);
    const QList<TextWords::Word> exponent = TextWords::words(power);
    QCOMPARE(texts(exponent), strings({"m2N-1-k"}));
    QCOMPARE(exponent.first().baseline, 100.0);
    QCOMPARE(exponent.first().runs.last().rise, 3.6);
    // An exponent over a subscript: both join the row.
    QList<Glyph> stacked = setText(QStringLiteral("m"), 72, 100);
    stacked += setText(QStringLiteral("k"), 77, 102, 7);
    stacked += setText(QStringLiteral("N-1"), 77, 96.4, 7);
    QCOMPARE(texts(TextWords::words(stacked)).size(), 1);
    // A prime over a subscript's digit, each a little narrower than the other.
    QList<Glyph> primed = setText(QStringLiteral("v"), 72, 100);
    primed += setText(QStringLiteral("1"), 77, 102.45, 7);
    primed += setText(QString(QChar(0x2032)), 77.4, 96.4, 7);
    primed.last().box.setWidth(2.3);
    QCOMPARE(texts(TextWords::words(primed)).size(), 1);
    // A big number beside two lines of small text whose first baseline lies
    // a sixth of the number's size below its own: three rows of their own.
    QList<Glyph> numbered = setText(QStringLiteral("1"), 72, 100, 28);
    numbered += setText(QStringLiteral("Ipsum"), 130, 104, 6);
    numbered += setText(QStringLiteral("dolor"), 130, 111, 6);
    QSet<int> numberedRows;
    for (const TextWords::Word &word : TextWords::words(numbered))
        numberedRows.insert(word.row);
    QCOMPARE(numberedRows.size(), 3);
    // Two small names stacked beside a row of larger glyphs stay two rows, letters in order.
    QList<Glyph> listing = setText(QStringLiteral("0307"), 72, 100, 12);
    listing += setText(QStringLiteral("uni0307"), 100, 95.5, 7);
    listing += setText(QStringLiteral("dotaccentcomb"), 100, 104, 7);
    QStringList names = texts(TextWords::words(listing));
    names.sort();
    QCOMPARE(names, strings({"0307", "dotaccentcomb", "uni0307"}));
    // Also where the name above covers less than half of the one below.
    QList<Glyph> shorter = setText(QStringLiteral("030B"), 72, 100, 12);
    shorter += setText(QStringLiteral("uni030B"), 100, 95.5, 7);
    shorter += setText(QStringLiteral("hungarumlautcomb"), 100, 104, 7);
    names = texts(TextWords::words(shorter));
    names.sort();
    QCOMPARE(names, strings({"030B", "hungarumlautcomb", "uni030B"}));
    // Its rise reaches the paragraph's runs.
    const QList<Paragraph> paragraphs = ParagraphBuilder::paragraphs(TextLines::lines(exponent, kStyles), 72, 540, {});
    QCOMPARE(paragraphs.first().runs,
             (QList<TextRun>{{QStringLiteral("m2"), 0, 0}, {QStringLiteral("N-1-k"), 0, 3.6}}));
    // The space after a footnote's mark is set at the text's size, not the mark's.
    QList<Glyph> noted = setText(QStringLiteral("pruning."), 72, 100);
    noted += setText(QStringLiteral("1"), 112, 96.4, 6);
    noted += setText(QStringLiteral(" Mill"), 115, 100);
    const QList<Paragraph> withMark =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(noted), kStyles), 72, 540, {});
    QCOMPARE(withMark.first().runs,
             (QList<TextRun>{
                 {QStringLiteral("pruning."), 0, 0}, {QStringLiteral("1"), 0, 3.6}, {QStringLiteral(" Mill"), 0, 0}}));
}

void TestLayoutText::formulaExponentsJoinTheirFormula()
{
    // A displayed formula's exponents are one row over it, with the
    // formula's own letters between them: each joins where it stands.
    QList<Glyph> glyphs = setText(QStringLiteral("(v-u)x"), 72, 100);
    glyphs += setText(QStringLiteral("|M|"), 102, 96, 7);
    glyphs += setText(QStringLiteral("+"), 116, 100);
    glyphs += setText(QStringLiteral("M(x)x"), 124, 100);
    glyphs += setText(QStringLiteral("D"), 149, 96, 7);
    glyphs += setText(QStringLiteral("+u"), 156, 100);
    const QList<TextLines::Line> lines = TextLines::lines(TextWords::words(glyphs), kStyles);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().baseline, 100.0);
    // Two exponents over a row they do not belong to (a line of their own
    // above running text, at a line's distance) stay a row.
    QList<Glyph> apart = setText(QStringLiteral("first"), 72, 100);
    apart += setText(QStringLiteral("second"), 160, 100);
    apart += setText(QStringLiteral("a"), 100, 88, 7);
    apart += setText(QStringLiteral("b"), 190, 88, 7);
    QCOMPARE(TextLines::lines(TextWords::words(apart), kStyles).size(), 2);
    // An index in three columns: the middle entry's page number, over an em
    // past its dots, stays in its row. The row below, a little lower, spans
    // the outer columns and has nothing near it.
    QList<Glyph> index = setText(QStringLiteral("\\origvec ...."), 200, 96);
    index += setText(QStringLiteral("13"), 285, 96);
    index += setText(QStringLiteral("\\DeclareOption"), 72, 100);
    index += setText(QStringLiteral("\\trans"), 400, 100);
    const QList<TextWords::Word> entries = TextWords::words(index);
    QCOMPARE(texts(entries), strings({"\\origvec", "....", "13", "\\DeclareOption", "\\trans"}));
    QCOMPARE(entries[2].row, entries[0].row);
    // A slanted letter's italic correction ("M x" of a formula, 1.1 points
    // at 10) is kept after it; a word whose letters are all spread (a
    // listing's "result" beside a name set tight) keeps no gaps.
    const Placed product = {{u'+', {284.3, 7.7}}, {u'M', {294.2, 9.7}}, {u'x', {305.0, 5.7}}, {u'+', {320.1, 7.7}}};
    const QList<TextWords::Word> formula = TextWords::words(placedText(product));
    QCOMPARE(texts(formula), strings({"+", "Mx", "+"}));
    QCOMPARE(formula[1].runs.size(), 2);
    QCOMPARE(formula[1].runs.first().kern, 1.1);
    QList<Glyph> listing = setText(QStringLiteral("MulWordByXpowD"), 72, 100);
    for (qsizetype i = 0; i < 6; ++i)
        listing += setText(QStringLiteral("result")[i], 150 + 6.0 * double(i), 100);
    const QList<TextWords::Word> code = TextWords::words(listing);
    QCOMPARE(texts(code), strings({"MulWordByXpowD", "result"}));
    QCOMPARE(code[1].runs.size(), 1);
    QCOMPARE(code[1].runs.first().kern, 0.0);
}

void TestLayoutText::lettersSetInColumnsFormWords()
{
    // A listing in a proportional font: every letter centred in a column of
    // 5 points whatever its width, so the gaps between letters differ; a
    // skipped column is a space.
    const QString text = QStringLiteral("for (int k = 0; k < D; ++k) least significant bits");
    QList<Glyph> glyphs;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char(' '))
            continue;
        const double width = QStringLiteral("iltfr(),;").contains(text[i]) ? 2.3
                             : text[i] == QLatin1Char('m')                 ? 6.6
                                                                           : 4.2;
        Glyph glyph;
        glyph.text = text[i];
        glyph.size = 8;
        glyph.baseline = 100;
        glyph.box = QRectF(72 + 5.0 * double(i) + 2.5 - width / 2, 94, width, 8);
        glyphs.append(glyph);
    }
    QCOMPARE(texts(TextWords::words(glyphs)).join(QLatin1Char(' ')), text);
    // Digits of one width with spaces of half of it between numbers are no
    // such columns: the numbers stay apart.
    QList<Glyph> digits;
    double x = 72;
    for (const QString &number : strings({"12", "345", "6789", "0", "42", "7"})) {
        digits += setText(number, x, 100);
        x += 5.0 * double(number.size()) + 2.5;
    }
    QCOMPARE(texts(TextWords::words(digits)), strings({"12", "345", "6789", "0", "42", "7"}));
    // Running text's letters touch, however much wider an M is than a u
    // (a row of a TeX manual: a word, then a formula).
    const Placed row = {{u'M', {154.10, 9.13}}, {u'u', {163.23, 5.53}}, {u'l', {168.77, 2.76}}, {u't', {171.54, 3.87}},
                        {u'i', {175.42, 2.76}}, {u'p', {178.19, 5.53}}, {u'l', {183.73, 2.76}}, {u'i', {186.50, 2.76}},
                        {u'c', {189.27, 4.42}}, {u'a', {193.69, 4.98}}, {u't', {198.67, 3.87}}, {u'i', {202.55, 2.76}},
                        {u'o', {205.32, 4.98}}, {u'n', {210.30, 5.53}}, {u':', {215.84, 2.76}}, {u'(', {223.03, 3.87}},
                        {u'x', {226.88, 5.69}}, {u'+', {234.79, 7.74}}, {u'1', {244.75, 4.98}}, {u')', {249.73, 3.87}},
                        {u'(', {253.61, 3.87}}, {u'x', {257.48, 5.69}}, {u'+', {265.39, 7.74}}, {u'1', {275.35, 4.98}},
                        {u')', {280.33, 3.87}}, {u'=', {286.98, 7.74}}, {u'x', {297.49, 5.69}}, {u'+', {309.87, 7.74}},
                        {u'2', {319.83, 4.98}}, {u'x', {324.81, 5.69}}, {u'+', {332.72, 7.74}}, {u'1', {342.68, 4.98}},
                        {u'=', {350.43, 7.74}}, {u'x', {360.95, 5.69}}, {u'+', {373.33, 7.74}}, {u'1', {383.29, 4.98}},
                        {u'.', {388.27, 2.76}}};
    QList<Glyph> running = placedText(row);
    running += setText(QStringLiteral("2"), 303.19, 95.9, 7);
    running += setText(QStringLiteral("2"), 366.64, 95.9, 7);
    QCOMPARE(texts(TextWords::words(running)).first(), QStringLiteral("Multiplication:"));
    // Leader dots are set at one pitch, but they make no listing of the row:
    // the words beside them keep their letters, a wide m beside an a too (a
    // row of a key to plants).
    const Placed key = {{u'o', {237.43, 4.98}}, {u'f', {242.41, 3.05}}, {u't', {245.46, 3.88}}, {u'e', {249.34, 4.42}},
                        {u'n', {253.76, 5.54}}, {u't', {262.62, 3.88}}, {u'o', {266.49, 4.98}}, {u'2', {274.79, 4.98}},
                        {u'm', {283.09, 8.30}}, {u'm', {291.40, 8.30}}, {u'A', {438.34, 8.63}}, {u'.', {446.97, 3.06}},
                        {u'm', {454.64, 9.40}}, {u'a', {464.05, 5.89}}, {u'c', {469.93, 5.30}}, {u'r', {475.23, 5.00}},
                        {u'o', {479.66, 5.89}}, {u'p', {485.55, 5.89}}, {u'e', {490.85, 5.30}}, {u't', {496.15, 3.84}},
                        {u'a', {499.98, 5.89}}, {u'l', {505.87, 2.96}}, {u'u', {508.83, 6.19}}, {u'm', {515.01, 9.40}}};
    QList<Glyph> led = placedText(key);
    for (int dot = 0; dot < 28; ++dot) {
        led += setText(QStringLiteral("."), 304.0 + 4.3835 * dot, 100);
        led.last().box.setWidth(2.77);
    }
    QStringList ledWords = texts(TextWords::words(led));
    ledWords.removeIf([](const QString &word) { return TextWords::isLeader(word); });
    QCOMPARE(ledWords, strings({"often", "to", "2", "mm", "A.", "macropetalum"}));
}

void TestLayoutText::lettersSpreadWordByWordFormWords()
{
    // A listing in flexible columns at 8 points: each word is spread to fill
    // its columns, so its letters stand apart by a gap of its own (0.8 to 1.4
    // points, above the word gap of 1.2), and a space is five points.
    using Tokens = QList<std::pair<QString, double>>;
    QList<Glyph> glyphs;
    const auto spreadRow = [&glyphs](const Tokens &tokens, double baseline) {
        double x = 72;
        for (const auto &[token, spread] : tokens) {
            for (const QChar c : token) {
                glyphs += setText(QString(c), x, baseline, 8);
                x += 4 + spread;
            }
            x += 5 - spread;
        }
    };
    const Tokens assertRow = {{QStringLiteral("assert(n"), 1.32},
                              {QStringLiteral("%"), 0},
                              {QStringLiteral("(N"), 0.26},
                              {QStringLiteral("*"), 0},
                              {QStringLiteral("StripeWidth)"), 0.84},
                              {QStringLiteral("=="), 0.9},
                              {QStringLiteral("0);"), 1.1}};
    spreadRow(assertRow, 100);
    glyphs += setText(QStringLiteral("4"), 40, 100, 8); // a line number far to the left
    spreadRow({{QStringLiteral("for"), 1.27}, {QStringLiteral("(int"), 1.21}, {QStringLiteral("stripe"), 1.39}}, 110);
    // Too few letters to judge by themselves: the font's gaps on the page decide.
    spreadRow({{QStringLiteral("}"), 0}, {QStringLiteral("else"), 1.42}, {QStringLiteral("{"), 0}}, 120);
    // Running text in the same font keeps its own word gaps of two points.
    glyphs += setText(QStringLiteral("plain"), 72, 130, 8);
    glyphs += setText(QStringLiteral("text"), 72 + 20 + 2, 130, 8);
    glyphs += setText(QStringLiteral("here"), 72 + 20 + 2 + 16 + 2, 130, 8);
    QStringList expected = {QStringLiteral("4")};
    for (const auto &token : assertRow)
        expected << token.first;
    expected << strings({"for", "(int", "stripe", "}", "else", "{", "plain", "text", "here"});
    QCOMPARE(texts(TextWords::words(glyphs)), expected);
    // Single letters a narrow space (a quarter em) apart all along are no spread word.
    QList<Glyph> letters;
    for (int i = 0; i < 8; ++i)
        letters += setText(QString(QChar(u'a' + i)), 72 + 7.5 * i, 100, 10);
    QCOMPARE(texts(TextWords::words(letters)), strings({"a", "b", "c", "d", "e", "f", "g", "h"}));
}

void TestLayoutText::accentsDrawnOverLettersJoinThem()
{
    // Fonts without accented letters draw the accent over the letter: a
    // circumflex over u, an acute over a dotless i, a tilde over n after it.
    QList<Glyph> glyphs = setText(QStringLiteral("qu"), 72, 100);
    glyphs += setText(QStringLiteral("\u02c6"), 77.5, 100);
    glyphs += setText(QStringLiteral("\u00b4"), 82, 100);
    glyphs += setText(QStringLiteral("\u0131ck"), 82, 100);
    glyphs += setText(QStringLiteral("brown"), 100, 100);
    glyphs += setText(QStringLiteral("\u02dc"), 119.5, 100);
    // An accent of its own width (a caret in code) stands beside the letters.
    glyphs += setText(QStringLiteral("x^y"), 130, 100);
    QCOMPARE(texts(TextWords::words(glyphs)), strings({"q\u00fb\u00edck", "brow\u00f1", "x^y"}));
}

void TestLayoutText::tiedStylesGiveTheSameLineEveryRun()
{
    // As many characters of 10 and of 12 points: the line takes the first
    // style's size in every run, whatever order a hash keeps its counts in.
    const QList<TextStyle> styles = {
        {QStringLiteral("Helvetica"), QStringLiteral("Liberation Sans"), 10, false, false, false, 0},
        {QStringLiteral("Helvetica"), QStringLiteral("Liberation Sans"), 12, false, false, false, 0},
    };
    for (int run = 0; run < 20; ++run) {
        QHashSeed::resetRandomGlobalSeed();
        QList<Glyph> glyphs = setText(QStringLiteral("small"), 72, 100, 10, 0);
        glyphs += setText(QStringLiteral("large"), 110, 100, 12, 1);
        const QList<TextLines::Line> lines = TextLines::lines(TextWords::words(glyphs), styles);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first().size, 10.0);
    }
}

void TestLayoutText::hyphenation_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("expected"); // empty: two words
    QTest::newRow("broken word") << s("hyphen-") << s("ated") << s("hyphenated");
    QTest::newRow("broken word before a comma") << s("conver-") << s("sion,") << s("conversion,");
    QTest::newRow("soft hyphen") << QStringLiteral("conver\u00ADsion").left(7) << s("sion") << s("conversion");
    QTest::newRow("compound written so elsewhere") << s("well-") << s("known") << s("well-known");
    QTest::newRow("capital after the hyphen") << s("Jean-") << s("Paul") << s("Jean-Paul");
    QTest::newRow("no hyphen") << s("plain") << s("word") << QString();
    QTest::newRow("a dash is no hyphen") << s("-") << s("word") << QString();
    QTest::newRow("digit before the hyphen") << s("1990-") << s("ies") << QString();
}

void TestLayoutText::hyphenation()
{
    QFETCH(QString, end);
    QFETCH(QString, start);
    QFETCH(QString, expected);
    const QSet<QString> vocabulary = {QStringLiteral("well-known"), QStringLiteral("hyphen")};
    const std::optional<QString> joined = Hyphenation::join(end, start, vocabulary);
    QCOMPARE(joined.value_or(QString()), expected);
}

void TestLayoutText::rightToLeftTextReadsAsTyped_data()
{
    QTest::addColumn<QString>("drawn");
    QTest::addColumn<bool>("rightToLeftLine");
    QTest::addColumn<QString>("typed");
    // As a PDF draws them, left to right.
    QTest::newRow("Hebrew") << QStringLiteral("םלוע םולש") << true << QStringLiteral("שלום עולם");
    QTest::newRow("numbers and Latin keep their order")
        << QStringLiteral("PDF 2024 םולש") << true << QStringLiteral("שלום 2024 PDF");
    QTest::newRow("a Hebrew word in a Latin line")
        << QStringLiteral("say םולש twice") << false << QStringLiteral("say שלום twice");
    // A justified Arabic line's stretch, mapped to hyphens by its writer: "مثل".
    QTest::newRow("kashida") << QStringLiteral("ل--ثم") << true << QStringLiteral("مثل");
    QTest::newRow("Latin alone") << QStringLiteral("e-mail (a) 3-4") << false << QStringLiteral("e-mail (a) 3-4");
}

void TestLayoutText::rightToLeftTextReadsAsTyped()
{
    QFETCH(QString, drawn);
    QFETCH(bool, rightToLeftLine);
    QFETCH(QString, typed);
    const BidiText::Logical logical = BidiText::typedOrder(drawn, rightToLeftLine);
    QCOMPARE(logical.text, typed);
    QCOMPARE(logical.sources.size(), typed.size());
    for (qsizetype i = 0; i < typed.size(); ++i)
        QCOMPARE(drawn.at(logical.sources[i]), typed.at(i));
}

void TestLayoutText::rightToLeftLinesFormTheirOwnParagraphs()
{
    // Two Hebrew lines set from the right edge (167), the second ending short
    // on the left, then a Latin line from the left edge.
    const QString first = QStringLiteral("דדדד גגגג בבבב "
                                         "אאאא");
    const QString second = QStringLiteral("וווו הההה");
    QList<Glyph> glyphs = setText(first, 167 - 5 * first.size(), 100);
    glyphs += setText(second, 167 - 5 * second.size(), 112);
    glyphs += setText(QStringLiteral("latin line"), 72, 124);
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(glyphs), kStyles), 72, 167, {});
    QCOMPARE(paragraphs.size(), 2);
    // Typed order: each line read from the right, the first line first.
    QCOMPARE(paragraphs[0].text(), QStringLiteral("אאאא בבבב "
                                                  "גגגג דדדד "
                                                  "הההה וווו"));
    QVERIFY(paragraphs[0].rightToLeft);
    QCOMPARE(paragraphs[0].lineCount, 2);
    QCOMPARE(paragraphs[0].firstIndent, 0.0);
    QCOMPARE(paragraphs[1].text(), QStringLiteral("latin line"));
    QVERIFY(!paragraphs[1].rightToLeft);
}

void TestLayoutText::rightToLeftPartsTabFromTheRight()
{
    // A Hebrew term on the right and its description far to its left, as drawn.
    QList<Glyph> glyphs = setText(QStringLiteral("\u05d1\u05d1\u05d1\u05d1"), 72, 100);
    glyphs += setText(QStringLiteral("\u05d0\u05d0"), 200, 100);
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(glyphs), kStyles), 72, 210, {});
    QCOMPARE(paragraphs.size(), 1);
    // Typed, the term comes first; the description starts at its right edge (72 + 4 x 5).
    QCOMPARE(paragraphs[0].text(), QStringLiteral("\u05d0\u05d0\t\u05d1\u05d1\u05d1\u05d1"));
    QCOMPARE(paragraphs[0].tabStops.size(), 1);
    QCOMPARE(paragraphs[0].tabStops[0].position, 92.0);
}

namespace {

// Words and marks of the rows set at 10 pt from x 72, each letter 5 pt wide.
struct MarkedRows {
    QList<TextWords::Word> words;
    TextMarking::Used used;
};

MarkedRows markRows(const QStringList &rows, const QList<Rule> &rules, const QList<FilledBox> &fills,
                    const TextMarking::Used &taken = {})
{
    QList<Glyph> glyphs;
    for (qsizetype r = 0; r < rows.size(); ++r)
        glyphs += setText(rows[r], 72, 100 + 20 * double(r));
    MarkedRows marked{TextWords::words(glyphs), {}};
    marked.used = TextMarking::mark(marked.words, rules, fills, taken);
    return marked;
}

QStringList wordsWith(const QList<TextWords::Word> &words, const std::function<bool(const TextMarks &)> &has)
{
    QStringList found;
    for (const TextWords::Word &word : words) {
        if (has(word.marks))
            found << word.text;
    }
    return found;
}

} // namespace

void TestLayoutText::underlinesStrikesAndHighlightsMarkTheirWords()
{
    // Underline 1.5 pt below the baseline, a line 3 pt above it, a yellow box a line high.
    const QList<Rule> rules = {{QPointF(97, 101.5), QPointF(152, 101.5), 0.7, 0x0000ff, true},
                               {QPointF(132, 117), QPointF(162, 117), 0.6, 0, false}};
    const QList<FilledBox> fills = {{QRectF(96, 131, 47, 12), 0xffff00}};
    const MarkedRows marked =
        markRows({QStringLiteral("Read these words now"), QStringLiteral("Prices were twelve pounds"),
                  QStringLiteral("Mark this part please")},
                 rules, fills);
    QCOMPARE(wordsWith(marked.words, [](const TextMarks &m) { return m.underline; }),
             QStringList({QStringLiteral("these"), QStringLiteral("words")}));
    QCOMPARE(marked.words[1].marks.underlineColor, Rgb(0x0000ff));
    QCOMPARE(wordsWith(marked.words, [](const TextMarks &m) { return m.strike; }),
             QStringList{QStringLiteral("twelve")});
    QCOMPARE(wordsWith(marked.words, [](const TextMarks &m) { return m.shaded && m.shade == 0xffff00; }),
             QStringList({QStringLiteral("this"), QStringLiteral("part")}));
    QCOMPARE(marked.used.rules, QSet<int>({0, 1}));
    QCOMPARE(marked.used.fills, QSet<int>{0});

    // The marks end at the last marked word: the space after it is plain.
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(TextLines::lines(marked.words.mid(0, 4), kStyles), 72, 540, {});
    QCOMPARE(paragraphs.size(), 1);
    QStringList runs;
    for (const TextRun &run : paragraphs.first().runs)
        runs << (run.marks.underline ? QStringLiteral("_%1_").arg(run.text) : run.text);
    QCOMPARE(runs, QStringList({QStringLiteral("Read "), QStringLiteral("_these words_"), QStringLiteral(" now")}));
}

void TestLayoutText::rulesAndBoxesThatAreNoMarksStayDrawings()
{
    const QStringList rows = {QStringLiteral("Heading"),
                              QStringLiteral("Bar"),
                              QStringLiteral("Two lines"),
                              QStringLiteral("behind one box"),
                              QStringLiteral("Wide band"),
                              QStringLiteral("a"),
                              QStringLiteral("Table 1: Results of the run"),
                              QStringLiteral("Document Pages")};
    const QList<Rule> rules = {
        {QPointF(72, 102), QPointF(500, 102), 0.5, 0, true},     // a separator running on past the heading
        {QPointF(72, 122), QPointF(87, 122), 3, 0, false},       // a bar too thick for the text
        {QPointF(72, 106), QPointF(107, 106), 0.5, 0, true},     // under the heading, but far below its baseline
        {QPointF(72, 101.5), QPointF(107, 101.5), 0.5, 0, true}, // a table's rule
        {QPointF(72, 202), QPointF(77, 202), 0.4, 0, false},     // a fraction's bar under a lone letter
        {QPointF(80, 223.5), QPointF(200, 223.5), 0.8, 0, true}, // a table's top rule under its wider caption
        {QPointF(66, 242), QPointF(148, 242), 0.4, 0, true},     // under a head row, past both ends by the padding
    };
    const QList<FilledBox> fills = {
        {QRectF(70, 131, 80, 32), 0xdddddd},  // behind two rows: a background
        {QRectF(60, 171, 480, 12), 0x336699}, // a band far wider than its words
    };
    TextMarking::Used taken;
    taken.rules = {3};
    const MarkedRows marked = markRows(rows, rules, fills, taken);
    QVERIFY(marked.used.rules.isEmpty());
    QVERIFY(marked.used.fills.isEmpty());
    QVERIFY(wordsWith(marked.words, [](const TextMarks &m) { return m.any(); }).isEmpty());
}

void TestLayoutText::fullLinesJoinIntoOneParagraph()
{
    // Three lines ending at the block's right edge, the last one short.
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(linesOf({{QStringLiteral("aaaa bbbb cccc dddd"), 100},
                                              {QStringLiteral("eeee ffff gggg hhhh"), 112},
                                              {QStringLiteral("iiii"), 124}}),
                                     72, 167, {});
    QCOMPARE(paragraphTexts(paragraphs), QStringList{QStringLiteral("aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii")});
    QCOMPARE(paragraphs.first().lineCount, 3);
    QCOMPARE(paragraphs.first().lineHeight, 12.0);
    QCOMPARE(paragraphs.first().firstBaseline, 100.0);
    // A line of a later paragraph sticks out three ems past the edge the
    // others are justified to (a file name TeX could not break): the lines
    // before it still reach the text's edge.
    const QList<Paragraph> overfull =
        ParagraphBuilder::paragraphs(linesOf({{QStringLiteral("aaaa bbbb cccc dddd"), 100},
                                              {QStringLiteral("ab cccccc dddd eeee"), 112},
                                              {QStringLiteral("ab cccccc dddd eeee"), 124},
                                              {QStringLiteral("ab cccccc dddd eeee"), 136},
                                              {QStringLiteral("ab cccccc dddd eeee"), 148},
                                              {QStringLiteral("ab ff"), 160},
                                              {QStringLiteral("gggg hhhh iiii jjjjjjjjjj"), 172},
                                              {QStringLiteral("kk"), 184}}),
                                     72, 167, {});
    QCOMPARE(overfull.size(), 2);
    QCOMPARE(overfull.first().lineCount, 6);
}

void TestLayoutText::shortLineEndsTheParagraph()
{
    // "eeee" would have fitted after "bb": the line before ended a paragraph.
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(linesOf({{QStringLiteral("aaaa bbbb cccc dddd"), 100},
                                              {QStringLiteral("aaaa bb"), 112},
                                              {QStringLiteral("eeee ffff gggg hhhh"), 124}}),
                                     72, 167, {});
    QCOMPARE(paragraphTexts(paragraphs), strings({"aaaa bbbb cccc dddd aaaa bb", "eeee ffff gggg hhhh"}));
    // Short lines of an address, as long as each other: they start together, so they are not centred.
    const QList<Paragraph> address = ParagraphBuilder::paragraphs(linesOf({{QStringLiteral("aaaa bbbb cccc dddd"), 100},
                                                                           {QStringLiteral("eeee"), 112},
                                                                           {QStringLiteral("John Smith"), 124},
                                                                           {QStringLiteral("12 Oak Way"), 136}}),
                                                                  72, 167, {});
    QCOMPARE(paragraphTexts(address), strings({"aaaa bbbb cccc dddd eeee", "John Smith", "12 Oak Way"}));
}

void TestLayoutText::widerGapStartsAParagraph()
{
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(linesOf({{QStringLiteral("aaaa bbbb cccc dddd"), 100},
                                              {QStringLiteral("aaaa bbbb cccc dddd"), 112},
                                              {QStringLiteral("eeee ffff gggg hhhh"), 136},
                                              {QStringLiteral("eeee"), 148}}),
                                     72, 167, {});
    QCOMPARE(paragraphs.size(), 2);
    QCOMPARE(paragraphs[1].firstBaseline, 136.0);
}

void TestLayoutText::centredLinesKeepTheirBreaks()
{
    // Two centred lines of an address: the short first line would take the
    // second's first word if the paragraph wrapped freely.
    QList<Glyph> glyphs = setText(QStringLiteral("Some Inc."), 277.5, 100, 10, 0);
    glyphs += setText(QStringLiteral("Other Corporation"), 257.5, 112, 10, 0);
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(glyphs), kStyles), 72, 540, {});
    QCOMPARE(paragraphTexts(paragraphs), strings({"Some Inc.\nOther Corporation"}));
    QCOMPARE(paragraphs.first().align, Paragraph::Align::Center);
    QCOMPARE(paragraphs.first().lineCount, 2);
    // A centred block whose first line fills its column, the last line a
    // little off centre (a space kept after it): one paragraph holding all.
    QList<Glyph> block = setText(QStringLiteral("aaaa bbbb cccc dddd eeee ffff gggg hhhh"), 102.5, 100);
    block += setText(QStringLiteral("iiii jjjj kkkk llll mmmm"), 140, 112);
    block += setText(QStringLiteral("nnnn"), 191.5, 124);
    const QList<Paragraph> centred =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(block), kStyles), 100, 300, {});
    QCOMPARE(paragraphTexts(centred),
             strings({"aaaa bbbb cccc dddd eeee ffff gggg hhhh\niiii jjjj kkkk llll mmmm\nnnnn"}));
    QCOMPARE(centred.first().align, Paragraph::Align::Center);
    QCOMPARE(centred.first().box.left(), 102.5);
    QCOMPARE(centred.first().firstIndent, 0.0);
    // A paragraph's short last line at the margin, and the indented line
    // opening the next on about its centre, are no centred text.
    QList<Glyph> prose = setText(QStringLiteral("aaaa bbbb cccc dddd eeee ffff gggg hhhh"), 72, 100);
    prose += setText(QStringLiteral("iiii jjjj"), 72, 112);
    prose += setText(QStringLiteral("kk llll"), 82, 124);
    const QList<Paragraph> two =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(prose), kStyles), 72, 540, {});
    QCOMPARE(paragraphTexts(two), strings({"aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii jjjj", "kk llll"}));
    // Paragraphs set ragged right with their first lines indented: an
    // indented line and the fuller line under it share a centre by chance,
    // but each starts where other lines of the block do.
    QList<Glyph> ragged;
    const QList<std::pair<QString, double>> lines{{QStringLiteral("aaaa bbbb cccc dddd eeee ffff gggg hhhh"), 100},
                                                  {QStringLiteral("iiii jjjj kkkk llll mmmm nnnnn"), 120},
                                                  {QStringLiteral("qqqq rrrr ssss tttt uuuu vvvv wwww xxx"), 100},
                                                  {QStringLiteral("yyyy"), 120},
                                                  {QStringLiteral("zzzz aaaa"), 100},
                                                  {QStringLiteral("bbbb"), 120}};
    for (qsizetype i = 0; i < lines.size(); ++i)
        ragged += setText(lines[i].first, lines[i].second, 100 + 12 * double(i));
    const QList<Paragraph> flush =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(ragged), kStyles), 100, 300, {});
    QVERIFY(std::none_of(flush.cbegin(), flush.cend(),
                         [](const Paragraph &paragraph) { return paragraph.align == Paragraph::Align::Center; }));
}

void TestLayoutText::flushRightLinesJoinAndKeepTheirBreaks()
{
    // A paragraph set flush right against 300, its last line ending a little
    // short (a space kept after it), then a short paragraph.
    QList<Glyph> glyphs;
    const auto flushRight = [&glyphs](const QString &text, double baseline, double right = 300) {
        glyphs += setText(text, right - 5 * double(text.size()), baseline);
    };
    flushRight(QStringLiteral("aaaa bbbb cccc"), 100);
    flushRight(QStringLiteral("dddddd eeee ffff gggg"), 112);
    flushRight(QStringLiteral("hhhh iiii jjjj kk"), 124);
    flushRight(QStringLiteral("ll."), 136, 297);
    flushRight(QStringLiteral("mmmm nnnn"), 148);
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(glyphs), kStyles), 72, 300, {});
    QCOMPARE(paragraphTexts(paragraphs),
             strings({"aaaa bbbb cccc\ndddddd eeee ffff gggg\nhhhh iiii jjjj kk\nll.", "mmmm nnnn"}));
    QCOMPARE(paragraphs[0].align, Paragraph::Align::Right);
    QCOMPARE(paragraphs[0].firstIndent, 0.0); // it would narrow the first line
    QCOMPARE(paragraphs[0].box.left(), 195.0);
    QCOMPARE(paragraphs[1].align, Paragraph::Align::Right);
}

void TestLayoutText::justifiedLinesFitAtTheSizeWordSets()
{
    // Text drawn at 9.96 points with spaces of their natural width: Word
    // sets it at 10 points, where a full justified line no longer fits
    // unless its letters come a little closer. Ragged text has room enough.
    QList<Glyph> glyphs;
    double x = 72;
    for (int w = 0; w < 8; ++w) {
        const QList<Glyph> word = setText(QStringLiteral("abcde"), x, 100, 9.96, 0);
        glyphs += word;
        x = word.last().box.right() + 0.3 * 9.96;
    }
    const QList<TextLines::Line> lines = TextLines::lines(TextWords::words(glyphs), kStyles);
    QCOMPARE(lines.size(), 1);
    const double justified = ParagraphBuilder::condensing(lines, true);
    const double ragged = ParagraphBuilder::condensing(lines, false);
    QVERIFY2(justified > 0.01, qPrintable(QString::number(justified)));
    QVERIFY2(ragged < 0.005, qPrintable(QString::number(ragged)));
    // A footnote's mark opening the line is no measure of the text's size:
    // the line is condensed as much as without it, not by the most allowed.
    QList<Glyph> footnote = setText(QStringLiteral("2"), 62, 96.4, 6.97, 0);
    footnote += glyphs;
    const QList<TextLines::Line> marked = TextLines::lines(TextWords::words(footnote), kStyles);
    QCOMPARE(marked.size(), 1);
    const double withMark = ParagraphBuilder::condensing(marked, true);
    QVERIFY2(withMark < 2 * justified, qPrintable(QString::number(withMark)));
    // Text drawn at 8.25 points (11 pixels) is set at 8.5: three per cent
    // wider, past the room even a ragged line has, so it is condensed too.
    QList<Glyph> pixels;
    x = 72;
    for (int w = 0; w < 12; ++w) {
        const QList<Glyph> word = setText(QStringLiteral("abcde"), x, 100, 8.25, 0);
        pixels += word;
        x = word.last().box.right() + 0.3 * 8.25;
    }
    const double raggedPixels =
        ParagraphBuilder::condensing(TextLines::lines(TextWords::words(pixels), kStyles), false);
    QVERIFY2(raggedPixels > 0.01, qPrintable(QString::number(raggedPixels)));
    // TeX's logo kerns its raised A back under the L: LibreOffice takes no
    // kern after a run, so a ragged line holding it is set that much wider,
    // past its room, and is condensed; without the kern it is not.
    const auto withLogo = [](double kern) {
        QList<Glyph> text;
        double at = 72;
        for (int w = 0; w < 6; ++w) {
            text += setText(QStringLiteral("abcde"), at, 100);
            at = text.last().box.right() + 3;
        }
        text += setText(QStringLiteral("L"), at, 100);
        text += setText(QStringLiteral("A"), text.last().box.right() - kern, 98, 7);
        text += setText(QStringLiteral("TEX"), text.last().box.right() - 0.5, 100);
        return ParagraphBuilder::condensing(TextLines::lines(TextWords::words(text), kStyles), false);
    };
    QVERIFY2(withLogo(3.6) > 0.01, qPrintable(QString::number(withLogo(3.6))));
    QVERIFY2(withLogo(0) < 0.005, qPrintable(QString::number(withLogo(0))));
    // A short last line holding it may run on to where the longest line
    // ends, as the writer sets it, and needs no squeeze.
    QList<Glyph> shortLast;
    for (int w = 0; w < 6; ++w)
        shortLast += setText(QStringLiteral("abcde"), shortLast.isEmpty() ? 72 : shortLast.last().box.right() + 3, 100);
    shortLast += setText(QStringLiteral("L"), 72, 112);
    shortLast += setText(QStringLiteral("A"), shortLast.last().box.right() - 3.6, 110, 7);
    shortLast += setText(QStringLiteral("TEX."), shortLast.last().box.right() - 0.5, 112);
    const double lastLine = ParagraphBuilder::condensing(TextLines::lines(TextWords::words(shortLast), kStyles), false);
    QVERIFY2(lastLine < 0.005, qPrintable(QString::number(lastLine)));
    // A paragraph's last line, its spaces squeezed as TeX squeezes them, is
    // short of the full measure yet would not fit it at natural spacing:
    // it is condensed too. A short last line is not.
    const auto paragraphEndingWith = [](const QStringList &lastWords, double gap) {
        QList<Glyph> text;
        for (const double baseline : {100.0, 112.0}) {
            double at = 72;
            for (int w = 0; w < 7; ++w) {
                text += setText(QStringLiteral("abcdef"), at, baseline);
                at = text.last().box.right() + 3;
            }
        }
        double at = 72;
        for (const QString &word : lastWords) {
            text += setText(word, at, 124);
            at = text.last().box.right() + gap;
        }
        return ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(text), kStyles), 72, 300, {});
    };
    const QList<Paragraph> tight =
        paragraphEndingWith(strings({"abcdefg", "abcdef", "abcdef", "abcdef", "abcdef", "abcdef", "abcdef"}), 2);
    QCOMPARE(tight.size(), 1);
    QVERIFY2(tight.first().condense > 0.01, qPrintable(QString::number(tight.first().condense)));
    const QList<Paragraph> loose = paragraphEndingWith(strings({"abcdef", "abcdef"}), 3);
    QCOMPARE(loose.size(), 1);
    QCOMPARE(loose.first().condense, 0.0);
    // A line on its own after a label and a tab (a résumé's entry after its
    // dates), squeezed up to the column's right edge, is condensed too; one
    // ending short of the edge is not.
    const auto entry = [](int words) {
        QList<Glyph> text = setText(QStringLiteral("1593"), 72, 100);
        double at = 112;
        for (int w = 0; w < words; ++w) {
            text += setText(QStringLiteral("abcdef"), at, 100);
            at = text.last().box.right() + 2;
        }
        return ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(text), kStyles), 72, 340, {});
    };
    const QList<Paragraph> fullEntry = entry(7);
    QCOMPARE(fullEntry.size(), 1);
    QCOMPARE(fullEntry.first().tabStops.size(), 1);
    QVERIFY2(fullEntry.first().condense > 0.01, qPrintable(QString::number(fullEntry.first().condense)));
    QCOMPARE(entry(3).first().condense, 0.0);
}

void TestLayoutText::justifiedLinesEndWhereTheSourceBrokeThem()
{
    // A justified paragraph from 72 to 330: a loose line with room at
    // natural spacing for the next line's short first word, a tight one
    // that would lose its last even at the paragraph's squeeze as written
    // (0.11 points a letter, written as 0.10), one that ends where it did
    // (the next word would not fit), and the last line.
    const auto paragraphOf = [](const QList<TextStyle> &styles) {
        QList<Glyph> text;
        const QList<std::pair<QStringList, double>> rows = {
            {strings({"aaaaaa", "aaaaaa", "aaaaaa", "aaaaaa", "aaaaaa", "aaaaaa", "aaaaaa"}), 8},
            {strings({"bb", "bbbbbb", "bbbbbb", "bbbbbb", "bbbbbb", "bbbbbb", "bbbbbb", "bbbbbb", "bbbb"}), 18.0 / 8},
            {strings({"cccccc", "cccccc", "cccccc", "cccccc", "cccccc", "cccccc", "cccccc", "cccc"}), 4},
            {strings({"dddddd", "dddddd"}), 3}};
        double baseline = 100;
        for (const auto &[words, gap] : rows) {
            double at = 72;
            for (const QString &word : words) {
                text += setText(word, at, baseline);
                at = text.last().box.right() + gap;
            }
            baseline += 12;
        }
        return ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(text), styles), 72, 330, {});
    };
    const QList<Paragraph> paragraphs = paragraphOf(kStyles);
    QCOMPARE(paragraphs.size(), 1);
    QCOMPARE(int(paragraphs.first().align), int(Paragraph::Align::Justify));
    const auto spacingOf = [](const Paragraph &paragraph, QChar letter) {
        for (const TextRun &run : paragraph.runs) {
            if (run.text.contains(letter))
                return run.spacing;
        }
        return -1.0;
    };
    const Paragraph &set = paragraphs.first();
    QVERIFY2(spacingOf(set, QLatin1Char('a')) > 0.3, qPrintable(QString::number(spacingOf(set, QLatin1Char('a')))));
    QVERIFY2(spacingOf(set, QLatin1Char('b')) < 0, qPrintable(QString::number(spacingOf(set, QLatin1Char('b')))));
    QCOMPARE(spacingOf(set, QLatin1Char('c')), 0.0);
    QCOMPARE(spacingOf(set, QLatin1Char('d')), 0.0);
    // A font standing in with other widths than the source's gives no
    // measure to fill a line by.
    QList<TextStyle> other = kStyles;
    other[0].sourceFont = QStringLiteral("Utopia-Regular");
    other[0].font = QStringLiteral("Liberation Serif");
    for (const QChar letter : {QLatin1Char('a'), QLatin1Char('b')})
        QCOMPARE(spacingOf(paragraphOf(other).first(), letter), 0.0);

    // Ten words of 20 points and a next word of 30. A squeeze of 0.02 points
    // a letter is written as a twentieth (0.05), which makes room for the
    // next word: the line is widened.
    QList<Glyph> row;
    for (int w = 0; w < 10; ++w)
        row += setText(QStringLiteral("aaaa"), 72 + w * 22.78, 200);
    const TextLines::Line line = TextLines::lines(TextWords::words(row), kStyles).first();
    const TextWords::Word next = TextWords::words(setText(QStringLiteral("bbbbbb"), 72, 212)).first();
    QVERIFY(ParagraphBuilder::fillSpacing(line, 330.5, next, 0.02, false) > 0);
    QCOMPARE(ParagraphBuilder::fillSpacing(line, 330.5, next, 0, false), 0.0);
    // In hyphenated text the least of the next word that may come up is two
    // of its letters and a hyphen (13.3 points here), not an em.
    QCOMPARE(ParagraphBuilder::fillSpacing(line, 313.5, next, 0, true), 0.0);
    QVERIFY(ParagraphBuilder::fillSpacing(line, 316.5, next, 0, true) > 0);
    // Spaces within code are monospaced (6 points here), and the space after
    // code goes with the text after it: counted so, the line leaves no room
    // for a space and the next word "ab".
    QList<TextStyle> styles = kStyles;
    styles[1].spaceWidth = 0.6;
    QList<Glyph> mixed;
    double at = 72;
    for (const QString &word : strings({"seeing", "int", "x", "here", "and", "more", "text"})) {
        mixed += setText(word, at, 300, 10, word == QStringLiteral("int") || word == QStringLiteral("x") ? 1 : 0);
        at += 5 * double(word.size()) + 5;
    }
    const TextLines::Line code = TextLines::lines(TextWords::words(mixed), styles).first();
    QList<double> flowing;
    for (const TextWords::Word &word : code.words)
        flowing.append(word.flowingSpaceAfter);
    QCOMPARE(flowing, (QList<double>{3, 6, 3, 3, 3, 3, 3}));
    const TextWords::Word ab = TextWords::words(setText(QStringLiteral("ab"), 72, 312)).first();
    QCOMPARE(ParagraphBuilder::fillSpacing(code, 230, ab, 0, false), 0.0);
}

void TestLayoutText::listItemsAndMonospacedLinesStandAlone()
{
    QList<TextLines::Line> lines = linesOf({{QStringLiteral("aaaa bbbb cccc dddd"), 100}});
    QList<Glyph> bullet = setText(QStringLiteral("-"), 72, 112);
    bullet += setText(QStringLiteral("item one goes here"), 84, 112);
    lines += TextLines::lines(TextWords::words(bullet), kStyles);
    lines += linesOf({{QStringLiteral("int  x = 0;"), 124}, {QStringLiteral("return x;"), 136}}, 72, 1);
    const QList<Paragraph> paragraphs = ParagraphBuilder::paragraphs(lines, 72, 167, {});
    QCOMPARE(paragraphTexts(paragraphs),
             strings({"aaaa bbbb cccc dddd", "-\titem one goes here", "int  x = 0;", "return x;"}));
    QVERIFY(paragraphs[1].listItem);
    QVERIFY(paragraphs[1].firstIndent < 0); // hanging: the text after the bullet sets the indent
    QVERIFY(paragraphs[2].keepSpaces);
    // A symbol font's bullet (a private use character) opens an item and is
    // written as a bullet; a short line after the item, on about its
    // centre, is no centred text joined to it.
    QList<Glyph> symbol = setText(QString(QChar(0xF015)), 84, 100);
    symbol += setText(QStringLiteral("Hire two"), 96, 100);
    symbol += setText(QStringLiteral("Next review soon"), 72, 112);
    const QList<Paragraph> items =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(symbol), kStyles), 72, 400, {});
    QCOMPARE(paragraphTexts(items), strings({"\u2022\tHire two", "Next review soon"}));
    QVERIFY(items.first().listItem);
    // Bullets a mere space before their text still open an item each: the
    // line before looked as if it had ended early for the small bullet.
    QList<Glyph> keys;
    for (const auto &[key, baseline] : QList<std::pair<QString, double>>{
             {QStringLiteral("Next"), 100}, {QStringLiteral("PgDown"), 114}, {QStringLiteral("Spacebar"), 128}}) {
        keys += setText(QStringLiteral("\u2022"), 72, baseline);
        keys += setText(key, 79.5, baseline);
    }
    QCOMPARE(
        paragraphTexts(ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(keys), kStyles), 72, 400, {})),
        strings({"\u2022 Next", "\u2022 PgDown", "\u2022 Spacebar"}));
    // Short lines each a link of its own are items too; a line that goes on
    // a link of the line before is the same paragraph.
    QList<TextLines::Line> linked = linesOf(
        {{QStringLiteral("Price list"), 100}, {QStringLiteral("Orders"), 112}, {QStringLiteral("Opening hours"), 124}});
    for (int l = 0; l < 3; ++l) {
        for (TextWords::Word &word : linked[l].words)
            word.link = l == 2 ? 1 : l;
    }
    QCOMPARE(paragraphTexts(ParagraphBuilder::paragraphs(linked, 72, 400, {})),
             strings({"Price list", "Orders Opening hours"}));
    // A wide gap in a line of code stays spaces; beside text of another face it parts segments.
    const QList<TextLines::Line> code = linesOf({{QStringLiteral("int       x;"), 100}}, 72, 1);
    QCOMPARE(code.first().segments(), 1);
    QList<Glyph> mixed = setText(QStringLiteral("1EA4"), 72, 100, 10, 1);
    mixed += setText(QStringLiteral("A"), 100, 100, 10, 0);
    mixed += setText(QStringLiteral("Acircumflexacute"), 130, 100, 10, 1);
    const QList<TextLines::Line> listing = TextLines::lines(TextWords::words(mixed), kStyles);
    QVERIFY(listing.first().mono);
    QCOMPARE(listing.first().segments(), 2);
    // Columns set halfway between character cells (a typesetter's table in a
    // monospaced face) round to the earlier cell, counted from the line's
    // start, so the line ends no later than it did: 17 cells, not 19.
    QList<Glyph> halves;
    for (const auto &[text, cells] : QList<std::pair<QString, double>>{{QStringLiteral("053"), 0},
                                                                       {QStringLiteral("43"), 5.5},
                                                                       {QStringLiteral("2B"), 11},
                                                                       {QStringLiteral("+"), 16.5}})
        halves += setText(text, 72 + 5 * cells, 100, 10, 1);
    const QList<Paragraph> table =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(halves), kStyles), 72, 540, {});
    QCOMPARE(paragraphTexts(table), strings({"053  43    2B   +"}));
    // The cell is the monospaced words' own, not that of a label in another
    // face before them: its narrower letters would widen every gap after it.
    QList<Glyph> labelled = setText(QStringLiteral("key"), 72, 100, 10, 0);
    for (qsizetype i = 0; i < labelled.size(); ++i)
        labelled[i].box = QRectF(72 + 4 * double(i), labelled[i].box.top(), 4, labelled[i].box.height());
    for (int i = 0; i < 4; ++i)
        labelled += setText(QString(2, QLatin1Char('a' + i)).prepend(QLatin1Char('\'')).append(QLatin1Char('\'')),
                            88 + 23.3 * i, 100, 10, 1);
    const QList<Paragraph> keyed =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(labelled), kStyles), 72, 540, {});
    QCOMPARE(paragraphTexts(keyed), strings({"key 'aa' 'bb' 'cc' 'dd'"}));
    // A label larger than the code after it, in the same face: the spaces
    // after it are set at its size, so they are counted in its cells. In
    // the code's smaller cells they were 11, carrying the code 25 points on.
    QList<TextStyle> sizes = kStyles;
    sizes[1].spaceWidth = 0.5; // the monospaced face's cell, as setText draws it
    sizes.append(sizes[1]);
    sizes[2].size = 8;
    QList<Glyph> sampled = setText(QStringLiteral("T1/lmtt/m/n/8:"), 72, 100, 10, 1);
    sampled +=
        setText(QStringLiteral("Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105 ja\u017a\u0144."), 172, 100, 8, 2);
    const QList<Paragraph> sample =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(sampled), sizes), 72, 540, {});
    QCOMPARE(paragraphTexts(sample),
             strings({"T1/lmtt/m/n/8:      Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105 ja\u017a\u0144."}));
    // An index entry: a command, then dots and a page number of the text
    // face. The spaces after a dot are that face's, 3 points here, not a
    // dot's width: four of those set the number 3 points late.
    QList<Glyph> entry = setText(QStringLiteral("\\talkautorefname"), 72, 100, 10, 1);
    for (const double x : {160.0, 166.0}) {
        entry += setText(QStringLiteral("."), x, 100);
        entry.last().box.setWidth(2.5);
    }
    entry += setText(QStringLiteral("67"), 180, 100);
    QCOMPARE(
        paragraphTexts(ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(entry), sizes), 72, 540, {})),
        strings({"\\talkautorefname  . .   67"}));
    // A listing's line number in a small text face: the code after it starts
    // at a tab stop where it stood, not after spaces of the number's width.
    QList<Glyph> listed = setText(QStringLiteral("8"), 72, 100, 7, 0);
    listed += setText(QStringLiteral("{\\check"), 85, 100, 10, 1);
    listed += setText(QStringLiteral("x}"), 85 + 5 * 9, 100, 10, 1);
    const QList<Paragraph> numberedCode =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(listed), kStyles), 72, 540, {});
    QCOMPARE(paragraphTexts(numberedCode), strings({"8\t{\\check  x}"}));
    QCOMPARE(numberedCode.first().tabStops, (QList<TabStop>{{85, false, false}}));
    // A long line of the listing, indented as the others, that happens to
    // stand about the column's middle: still flush left.
    QList<Glyph> longLine = setText(QStringLiteral("3"), 160, 100, 7, 0);
    longLine += setText(QStringLiteral("\\@ifnextchar[{\\NCC@dlist{#1}{#2}}{\\NCC@dlist{#1}{#2}[]}%"), 173, 100, 10, 1);
    const QList<Paragraph> middle =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(longLine), kStyles), 72, 540, {});
    QCOMPARE(middle.size(), 1);
    QCOMPARE(int(middle.first().align), int(Paragraph::Align::Left));
}

void TestLayoutText::sectionNumberIsSetApartByATab()
{
    // A number an em before its title is a heading's or contents entry's;
    // a number a space before the next word is text.
    QList<Glyph> heading = setText(QStringLiteral("4.11"), 72, 100);
    heading += setText(QStringLiteral("Rolling CRC"), 102, 100);
    QList<Glyph> text = setText(QStringLiteral("2 bits are set"), 72, 130);
    const QList<Paragraph> paragraphs =
        ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(heading + text), kStyles), 72, 540, {});
    QCOMPARE(paragraphTexts(paragraphs), strings({"4.11\tRolling CRC", "2 bits are set"}));
    QVERIFY(paragraphs[0].numbered);
    QCOMPARE(paragraphs[0].tabStops, (QList<TabStop>{{102, false, false}}));
    QVERIFY(!paragraphs[1].numbered);
    QVERIFY(paragraphs[1].tabStops.isEmpty());
}

void TestLayoutText::labelsCloseToTheirValuesStillPartAtSharedStops()
{
    // Labels and values at 160; the third label is long, 12 points (1.2 em)
    // short of its value: too close to part on its own, but the value starts
    // where the others do. A gap as wide elsewhere parts nothing.
    QList<Glyph> glyphs = setText(QStringLiteral("Name"), 72, 100);
    glyphs += setText(QStringLiteral("Joe Bloggs"), 160, 100);
    glyphs += setText(QStringLiteral("Address"), 72, 112);
    glyphs += setText(QStringLiteral("42 Main Street"), 160, 112);
    glyphs += setText(QStringLiteral("Feb. 2004 - 2006"), 68, 124); // ends at 148
    glyphs += setText(QStringLiteral("At vero eos"), 160, 124);
    glyphs += setText(QStringLiteral("Other words"), 72, 136); // ends at 127
    glyphs += setText(QStringLiteral("apart"), 139, 136);
    const QList<TextLines::Line> lines = TextLines::lines(TextWords::words(glyphs), kStyles);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[2].segments(), 2);
    QCOMPARE(lines[2].segmentWords(1).first().text, QStringLiteral("At"));
    QCOMPARE(lines[2].leaders, (QList<bool>{false, false}));
    QCOMPARE(lines[3].segments(), 1);
}

void TestLayoutText::tightTableColumnsPartAtTheirGutters()
{
    // A sheet printed without its grid: six columns 6 to 9 points apart,
    // numbers set flush right, a heading wider than its column, and a title
    // across the columns above.
    QList<Glyph> glyphs = setText(QStringLiteral("Sales report"), 150, 80);
    const auto row = [&glyphs](double baseline, const QStringList &cells) {
        const QList<std::pair<double, bool>> columns = {{72, false},  {102, false}, {190, true},
                                                        {196, false}, {290, true},  {296, false}};
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const auto [edge, flushRight] = columns[c];
            glyphs += setText(cells[c], flushRight ? edge - 5 * double(cells[c].size()) : edge, baseline);
        }
    };
    row(100, strings({"Area", "Product", "Units", "Unit price", "Revenue", "Date"}));
    row(112, strings({"South", "Gizmo large", "122", "59.08", "7207.76", "2026-08-19"}));
    row(124, strings({"West", "Widget", "4", "60.35", "241.4", "2026-09-13"}));
    row(136, strings({"North", "Doohickey", "99", "8.57", "848.43", "2026-07-12"}));
    row(148, strings({"East", "Gizmo large", "389", "94.83", "36888.87", "2026-01-14"}));
    row(160, strings({"West", "Gadget", "24", "59.29", "1422.96", "2026-07-19"}));
    const QList<AlignedTables::Part> parts = AlignedTables::split(TextLines::lines(TextWords::words(glyphs), kStyles));
    QCOMPARE(parts.size(), 2);
    QCOMPARE(parts[0].lines.size(), 1);
    QVERIFY(parts[1].table);
    QCOMPARE(parts[1].table->rows(), 6);
    QCOMPARE(parts[1].table->columns(), 6);
    const auto cell = [&parts](int r, int c) {
        QStringList words;
        for (const TextLines::Line &line : parts[1].cellLines.value({r, c}))
            words += texts(line.words);
        return words.join(QLatin1Char(' '));
    };
    QCOMPARE(cell(0, 3), QStringLiteral("Unit price"));
    QCOMPARE(cell(1, 1), QStringLiteral("Gizmo large"));
    QCOMPARE(cell(2, 2), QStringLiteral("4"));
    QCOMPARE(cell(4, 4), QStringLiteral("36888.87"));

    // Dates flush right a word space from the names after them: every row
    // crosses the strip at one place, so it parts them all the same.
    QList<Glyph> dated;
    const QStringList dates = strings({"2026-08-19", "2026-09-13", "2026-07-12", "2026-01-14", "2026-07-19"});
    const QStringList areas = strings({"South", "West", "North", "East", "West"});
    dated += setText(QStringLiteral("Date"), 72, 100) + setText(QStringLiteral("Area"), 125, 100) +
             setText(QStringLiteral("Units"), 190, 100);
    for (int r = 0; r < 5; ++r) {
        const double baseline = 112 + 12 * r;
        const QString units = QString::number(10 * r + 7);
        dated += setText(dates[r], 72, baseline) + setText(areas[r], 125, baseline) +
                 setText(units, 215 - 5 * double(units.size()), baseline);
    }
    const QList<AlignedTables::Part> byDate = AlignedTables::split(TextLines::lines(TextWords::words(dated), kStyles));
    QCOMPARE(byDate.size(), 1);
    QVERIFY(byDate[0].table);
    QCOMPARE(byDate[0].table->columns(), 3);
    QCOMPARE(texts(byDate[0].cellLines.value({2, 0}).first().words), strings({"2026-09-13"}));
    QCOMPARE(texts(byDate[0].cellLines.value({2, 1}).first().words), strings({"West"}));

    // A font's chart, each character shown in four faces: the faces are no columns of values.
    QList<Glyph> chart;
    const QString letters = QStringLiteral("abcdef");
    for (int r = 0; r < letters.size(); ++r) {
        chart += setText(QStringLiteral("00E%1").arg(r), 72, 100 + r * 12);
        for (int face = 0; face < 4; ++face)
            chart += setText(letters.mid(r, 1), 100 + face * 12, 100 + r * 12);
        chart += setText(QStringLiteral("name"), 160, 100 + r * 12);
    }
    const QList<AlignedTables::Part> charted = AlignedTables::split(TextLines::lines(TextWords::words(chart), kStyles));
    QCOMPARE(charted.size(), 1);
    QVERIFY(charted[0].table);
    QCOMPARE(charted[0].table->columns(), 2);

    // Prose whose word spaces (of the font's 0.3 em) happen to line up stays prose.
    QList<Glyph> prose;
    for (int line = 0; line < 6; ++line) {
        for (int word = 0; word < 5; ++word)
            prose += setText(QStringLiteral("abcd"), 72 + word * 23, 100 + line * 12);
    }
    const QList<AlignedTables::Part> plain = AlignedTables::split(TextLines::lines(TextWords::words(prose), kStyles));
    QCOMPARE(plain.size(), 1);
    QVERIFY(!plain[0].table);
    QCOMPARE(plain[0].lines.first().segments(), 1);
}

void TestLayoutText::brokenWordIsJoinedAcrossLines()
{
    const QList<Paragraph> paragraphs = ParagraphBuilder::paragraphs(linesOf({{QStringLiteral("a word hyphen-"), 100},
                                                                              {QStringLiteral("ated and a well-"), 112},
                                                                              {QStringLiteral("known end"), 124}}),
                                                                     72, 142, {QStringLiteral("well-known")});
    QCOMPARE(paragraphTexts(paragraphs), QStringList{QStringLiteral("a word hyphenated and a well-known end")});
    QVERIFY(paragraphs.first().hyphenated);
    // A compound broken at its own hyphen is no hyphenation.
    const QList<Paragraph> compound = ParagraphBuilder::paragraphs(
        linesOf({{QStringLiteral("and a well-"), 100}, {QStringLiteral("known end"), 112}}), 72, 142,
        {QStringLiteral("well-known")});
    QCOMPARE(paragraphTexts(compound), QStringList{QStringLiteral("and a well-known end")});
    QVERIFY(!compound.first().hyphenated);
    // Text that breaks words at its line ends may be hyphenated again;
    // text that breaks none may not.
    QVERIFY(paragraphs.first().mayHyphenate);
    const QList<Paragraph> unbroken = ParagraphBuilder::paragraphs(
        linesOf({{QStringLiteral("a line of words"), 100}, {QStringLiteral("and its end"), 112}}), 72, 142, {});
    QVERIFY(!unbroken.first().mayHyphenate);
}

void TestLayoutText::dotLeadersBecomeARightTab()
{
    QList<Glyph> glyphs = setText(QStringLiteral("Introduction"), 72, 100);
    for (int dot = 0; dot < 8; ++dot)
        glyphs += setText(QStringLiteral("."), 140 + dot * 6, 100);
    glyphs += setText(QStringLiteral("12"), 200, 100);
    const QList<TextLines::Line> lines = TextLines::lines(TextWords::words(glyphs), kStyles);
    const QList<Paragraph> paragraphs = ParagraphBuilder::paragraphs(lines, 72, 210, {});
    QCOMPARE(paragraphTexts(paragraphs), QStringList{QStringLiteral("Introduction\t12")});
    QCOMPARE(paragraphs.first().tabStops, (QList<TabStop>{{210, true, true}}));
    // Dots set right against the entry and its page number, as a word
    // processor sets a table of contents, lead all the same; three dots
    // ending a sentence stay the sentence's.
    const QList<TextWords::Word> glued = TextWords::words(setText(QStringLiteral("1.1 Scope.........3"), 72, 160));
    QCOMPARE(texts(glued), strings({"1.1", "Scope", ".........", "3"}));
    QCOMPARE(paragraphTexts(ParagraphBuilder::paragraphs(TextLines::lines(glued, kStyles), 72, 210, {})),
             QStringList{QStringLiteral("1.1 Scope\t3")});
    QCOMPARE(texts(TextWords::words(setText(QStringLiteral("and so on... 4"), 72, 190))),
             strings({"and", "so", "on...", "4"}));
    // Three spaced dots lead to a word set apart from them, but followed
    // at their own spacing they are an ellipsis, kept as text.
    QList<Glyph> shortLeader = setText(QStringLiteral("A long entry"), 72, 220);
    QList<Glyph> ellipsis = setText(QStringLiteral("2KB,"), 72, 250);
    for (int dot = 0; dot < 3; ++dot) {
        shortLeader += setText(QStringLiteral("."), 180 + dot * 7, 220);
        ellipsis += setText(QStringLiteral("."), 96 + dot * 7, 250);
    }
    shortLeader += setText(QStringLiteral("7"), 203.5, 220);
    ellipsis += setText(QStringLiteral(","), 117, 250);
    ellipsis += setText(QStringLiteral("1MB inputs"), 125, 250);
    const auto textOf = [](const QList<Glyph> &row) {
        return paragraphTexts(
            ParagraphBuilder::paragraphs(TextLines::lines(TextWords::words(row), kStyles), 72, 210, {}));
    };
    QCOMPARE(textOf(shortLeader), QStringList{QStringLiteral("A long entry\t7")});
    QCOMPARE(textOf(ellipsis), QStringList{QStringLiteral("2KB, . . . , 1MB inputs")});
    // One dot shown in four faces an em and a half apart is what the row shows, not a leader.
    QList<Glyph> chart = setText(QStringLiteral("00B7"), 72, 130);
    for (int face = 0; face < 4; ++face)
        chart += setText(QString(QChar(0x00B7)), 100 + face * 15, 130);
    chart += setText(QStringLiteral("periodcentered"), 180, 130);
    const QList<TextLines::Line> chartLines = TextLines::lines(TextWords::words(chart), kStyles);
    QCOMPARE(chartLines.size(), 1);
    QCOMPARE(chartLines.first().words.size(), 6);
    QVERIFY(!chartLines.first().leaders.contains(true));
}

void TestLayoutText::alignment_data()
{
    QTest::addColumn<QList<QRectF>>("lines");
    QTest::addColumn<int>("expected");
    const auto line = [](double left, double right, double y) { return QRectF(left, y, right - left, 10); };
    QTest::newRow("justified") << QList<QRectF>{line(72, 300, 0), line(72, 300, 12), line(72, 300, 24),
                                                line(72, 150, 36)}
                               << int(Paragraph::Align::Justify);
    QTest::newRow("ragged") << QList<QRectF>{line(72, 290, 0), line(72, 300, 12), line(72, 250, 24)}
                            << int(Paragraph::Align::Left);
    QTest::newRow("centred") << QList<QRectF>{line(100, 272, 0), line(120, 252, 12)} << int(Paragraph::Align::Center);
    QTest::newRow("right") << QList<QRectF>{line(100, 300, 0), line(180, 300, 12)} << int(Paragraph::Align::Right);
    QTest::newRow("right, far in") << QList<QRectF>{line(170, 300, 0), line(200, 300, 12)}
                                   << int(Paragraph::Align::Right);
    QTest::newRow("right, far in, longer below")
        << QList<QRectF>{line(200, 300, 0), line(170, 300, 12)} << int(Paragraph::Align::Right);
    QTest::newRow("hanging indent") << QList<QRectF>{line(72, 300, 0), line(90, 300, 12)}
                                    << int(Paragraph::Align::Justify);
    // A displayed formula's lines aligned on their signs: only roughly on one centre.
    QTest::newRow("display") << QList<QRectF>{line(122, 242, 0), line(114, 256, 12), line(150, 220, 24)}
                             << int(Paragraph::Align::Center);
    QTest::newRow("display, two lines") << QList<QRectF>{line(122, 242, 0), line(114, 256, 12)}
                                        << int(Paragraph::Align::Center);
    QTest::newRow("ragged, indented") << QList<QRectF>{line(84, 290, 0), line(72, 296, 12), line(72, 294, 24)}
                                      << int(Paragraph::Align::Left);
    QTest::newRow("centred title") << QList<QRectF>{line(150, 222, 0)} << int(Paragraph::Align::Center);
    QTest::newRow("short line") << QList<QRectF>{line(72, 150, 0)} << int(Paragraph::Align::Left);
}

void TestLayoutText::alignment()
{
    QFETCH(QList<QRectF>, lines);
    QFETCH(int, expected);
    QCOMPARE(int(ParagraphBuilder::alignment(lines, 72, 300)), expected);
}

void TestLayoutText::twoColumnsReadColumnByColumn()
{
    // Two columns of five rows of four words, the rows of both on shared baselines.
    QList<ReadingOrder::Item> items;
    appendTwoColumnRows(items, 0, 4);
    const QList<ReadingOrder::Band> bands = ReadingOrder::bands(items);
    QCOMPARE(bands.size(), 1);
    QCOMPARE(bands.first().columns.size(), 2);
    for (int c = 0; c < 2; ++c) {
        for (const QList<int> &leaf : bands.first().columns[c].leaves) {
            for (const int id : leaf)
                QCOMPARE(items[id].box.left() < 300, c == 0);
        }
    }
    QVERIFY(bands.first().columns[0].right <= 320 && bands.first().columns[1].left >= 287);
}

void TestLayoutText::fullWidthHeadingAboveColumnsComesFirst()
{
    QList<ReadingOrder::Item> items = {item(72, 60, 450, 0)};
    appendTwoColumnRows(items, 1, 4);
    const QList<ReadingOrder::Band> bands = ReadingOrder::bands(items);
    QCOMPARE(bands.size(), 2);
    QCOMPARE(bands[0].columns.size(), 1);
    QCOMPARE(bands[0].columns[0].leaves, (QList<QList<int>>{{0}}));
    QCOMPARE(bands[1].columns.size(), 2);

    // Authors centred under the title stay above the columns; a row of a
    // heading flush over the first column and a caption centred over the
    // second opens them, each in its column.
    QList<ReadingOrder::Item> paper = {item(72, 60, 450, 0), item(200, 80, 60, 1), item(330, 80, 50, 1),
                                       item(72, 100, 50, 2), item(385, 100, 90, 2)};
    appendTwoColumnRows(paper, 3, 6);
    const QList<ReadingOrder::Band> opened = ReadingOrder::bands(paper);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened[0].columns[0].leaves, (QList<QList<int>>{{0, 1, 2}}));
    QCOMPARE(opened[1].columns.size(), 2);
    QVERIFY(opened[1].columns[0].leaves.first().contains(3));
    QVERIFY(opened[1].columns[1].leaves.first().contains(4));

    // A large heading whose word space stands over the gap between the
    // labels and the figures of a table below: a word space, no gutter.
    QList<ReadingOrder::Item> slide = {{QRectF(200, 40, 100, 40), 0}, {QRectF(312, 40, 100, 40), 0}};
    for (int row = 1; row <= 6; ++row) {
        for (int word = 0; word < 4; ++word)
            slide.append(item(72 + word * 50, 100 + row * 20, 45, row));
        for (int word = 0; word < 6; ++word)
            slide.append(item(310 + word * 40, 100 + row * 20, 35, row));
    }
    bool together = false;
    for (const ReadingOrder::Band &band : ReadingOrder::bands(slide)) {
        for (const ReadingOrder::Column &column : band.columns) {
            for (const QList<int> &leaf : column.leaves)
                together = together || (leaf.contains(0) && leaf.contains(1));
        }
    }
    QVERIFY(together);
}

void TestLayoutText::tableLikeColumnsStayRows()
{
    // One word a cell: columns of a table, not of text.
    QList<ReadingOrder::Item> items;
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 3; ++column)
            items.append(item(72 + column * 150, 100 + row * 12, 40, row));
    }
    const QList<ReadingOrder::Band> bands = ReadingOrder::bands(items);
    QCOMPARE(bands.size(), 1);
    QCOMPARE(bands.first().columns.size(), 1);
    // Two halves of a listing, each row a code, four glyphs and a name: the
    // short words run on to the name across their gap, so only the gap between
    // the halves can part columns.
    const QList<ReadingOrder::Item> listing = twoHalves({20, 100, 10, 5, 160, 40});
    const QList<ReadingOrder::Band> listed = ReadingOrder::bands(listing);
    QCOMPARE(listed.size(), 1);
    QVERIFY(listed.first().columns.size() <= 2);
    QVERIFY(listed.first().columns.first().right >= 200);
}

void TestLayoutText::panelsSideBySideReadOneAfterTheOther()
{
    // An example's drawing (two rows of its labels over a formula) in a
    // shaded box beside its code in another: rows of two labels are no
    // prose, but each box holds its own text, so the two are read one after
    // the other; a heading below them is read after both.
    const QRectF drawing(72, 96, 200, 44);
    const QRectF code(280, 96, 200, 60);
    QList<ReadingOrder::Item> items;
    for (int row = 0; row < 2; ++row) {
        items << item(120, 100 + row * 12, 5, row) << item(180, 100 + row * 12, 5, row);
    }
    for (int word = 0; word < 12; ++word)
        items << item(80 + word * 15, 124, 10, 2);
    for (int row = 0; row < 5; ++row) {
        for (int word = 0; word < 3; ++word)
            items << item(285 + word * 50, 100 + row * 12, 40, row);
    }
    const qsizetype besideCount = items.size();
    items << item(72, 175, 80, 5);
    QCOMPARE(ReadingOrder::bands(items).first().columns.size(), 1);
    for (qsizetype i = 0; i < besideCount; ++i)
        items[i].panel = items[i].box.left() < 275 ? drawing : code;
    const QList<ReadingOrder::Band> bands = ReadingOrder::bands(items);
    QCOMPARE(bands.size(), 2);
    QCOMPARE(bands.first().columns.size(), 2);
    QCOMPARE(bands.first().columns.first().leaves.first().size(), 16);
    QCOMPARE(bands.last().columns.first().leaves.first(), QList<int>{int(besideCount)});
    // A row of boxes of a line each (a slide's foot) reads across as it is.
    QList<ReadingOrder::Item> foot;
    for (int box = 0; box < 3; ++box) {
        for (int word = 0; word < 2; ++word) {
            foot << item(72 + box * 150 + word * 30, 300, 25, 0);
            foot.last().panel = QRectF(70 + box * 150, 295, 140, 20);
        }
    }
    QCOMPARE(ReadingOrder::bands(foot).first().columns.size(), 1);
}

void TestLayoutText::ruleDownAGutterPartsOnlyBlocksWithGuttersOfTheirOwn()
{
    // A chart in two narrow halves, each row a code, four glyphs and a name:
    // too narrow for prose, so the halves stay one block of rows, unless a
    // rule runs down the gap between them. Then each half is read on its own.
    const QList<ReadingOrder::Item> chart = twoHalves({15, 90, 6, 4, 130, 20});
    QCOMPARE(ReadingOrder::bands(chart).first().columns.size(), 1);
    const QList<ReadingOrder::Band> halves = ReadingOrder::bands(chart, {{200, 95, 195}});
    QCOMPARE(halves.size(), 1);
    QCOMPARE(halves.first().columns.size(), 2);
    QCOMPARE(halves.first().columns.first().leaves.size(), 1);
    const QList<int> left = halves.first().columns.first().leaves.first();
    QCOMPARE(left.size(), 6 * 6);
    QVERIFY(std::all_of(left.cbegin(), left.cend(), [&chart](int id) { return chart[id].box.right() < 200; }));
    // The columns end with their rule: headings below it, short enough to
    // fit the first half, are read after the chart, not as part of that half.
    QList<ReadingOrder::Item> followed = chart;
    followed << item(72, 215, 60, 6) << item(72, 235, 70, 7);
    const QList<ReadingOrder::Band> ended = ReadingOrder::bands(followed, {{200, 95, 195}});
    QVERIFY(ended.size() >= 2);
    QCOMPARE(ended.first().columns.size(), 2);
    QCOMPARE(ended.first().columns.first().leaves.first().size(), 6 * 6);
    QCOMPARE(ended.last().columns.size(), 1);
    // Nor do the rules of a table ruled throughout, five columns of a
    // number, a code and a glyph: no block between two rules has a gutter of
    // its own, so the table is read as if it had no rules.
    QList<ReadingOrder::Item> ruledTable;
    QList<ReadingOrder::Divider> rules;
    for (int column = 0; column < 5; ++column) {
        const double columnLeft = 72 + column * 100;
        for (int row = 0; row < 6; ++row) {
            ruledTable.append(item(columnLeft, 100 + row * 16, 6, row));
            ruledTable.append(item(columnLeft + 8, 100 + row * 16, 15, row));
            ruledTable.append(item(columnLeft + 25, 100 + row * 16, 6, row));
        }
        if (column > 0)
            rules.append({columnLeft - 30, 95, 195});
    }
    QCOMPARE(ReadingOrder::bands(ruledTable, rules).first().columns.size(),
             ReadingOrder::bands(ruledTable).first().columns.size());
    // A rule too short, or one between the columns of a table of single
    // words, parts nothing.
    QCOMPARE(ReadingOrder::bands(chart, {{200, 95, 120}}).first().columns.size(), 1);
    QList<ReadingOrder::Item> cells;
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 3; ++column)
            cells.append(item(72 + column * 150, 100 + row * 12, 40, row));
    }
    QCOMPARE(ReadingOrder::bands(cells, {{150, 95, 175}}).first().columns.size(), 1);
}

MIRELUNE_TEST_MAIN(TestLayoutText)
#include "tst_layout_text.moc"

void TestLayoutText::notesInTheMarginReadAsAColumnOfTheirOwn()
{
    // Prose of six rows of five words, and beside it in the margin labels one
    // word a line, nine points apart: notes in smaller print on baselines of
    // their own are a column, read after the prose; labels of the prose's own
    // size on its rows (a résumé's dates) are read across with their rows.
    for (const bool notes : {true, false}) {
        QList<ReadingOrder::Item> items;
        for (int row = 0; row < 6; ++row) {
            for (int word = 0; word < 5; ++word)
                items.append(item(144 + word * 58, 100 + row * 12, 55, row));
        }
        for (int line = 0; line < 3; ++line)
            items.append(notes ? ReadingOrder::Item{QRectF(40, 103 + line * 8, 95, 6), 10 + line}
                               : item(40, 100 + line * 12, 95, line));
        const QList<ReadingOrder::Band> bands = ReadingOrder::bands(items);
        QCOMPARE(bands.size(), 1);
        QCOMPARE(bands.first().columns.size(), notes ? 2 : 1);
        if (notes)
            QCOMPARE(bands.first().columns.first().leaves, (QList<QList<int>>{{30, 31, 32}}));
    }
    // Notes a size smaller than the prose (nine points beside ten) are a
    // column where most of their lines fall between the prose's lines;
    // standing on its lines (a résumé's dates) they are read across.
    for (const bool between : {true, false}) {
        QList<ReadingOrder::Item> items;
        for (int row = 0; row < 6; ++row) {
            for (int word = 0; word < 5; ++word)
                items.append(item(144 + word * 58, 100 + row * 12, 55, row));
        }
        const QList<double> feet = between ? QList<double>{110, 127, 145} : QList<double>{110, 134, 158};
        for (qsizetype line = 0; line < feet.size(); ++line)
            items.append({QRectF(40, feet[line] - 9, 95, 9), int(feet[line] - 100) / 12});
        const QList<ReadingOrder::Band> bands = ReadingOrder::bands(items);
        QCOMPARE(bands.size(), 1);
        QCOMPARE(bands.first().columns.size(), between ? 2 : 1);
    }
    // A page's header over a larger heading: its page number is no note.
    const QList<ReadingOrder::Item> header = {{QRectF(90, 50, 40, 11), 0},  {QRectF(133, 50, 10, 11), 0},
                                              {QRectF(146, 50, 40, 11), 0}, {QRectF(516, 50, 5, 11), 0},
                                              {QRectF(90, 80, 20, 14), 1},  {QRectF(114, 80, 60, 14), 1},
                                              {QRectF(178, 80, 100, 14), 1}};
    for (const ReadingOrder::Band &band : ReadingOrder::bands(header))
        QCOMPARE(band.columns.size(), 1);
}
