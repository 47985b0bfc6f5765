#include "layout/AlignedTables.h"
#include "layout/DocumentAnalyzer.h"
#include "layout/DocxWriter.h"
#include "layout/FigureRegions.h"
#include "layout/FontNames.h"
#include "layout/ImageAlpha.h"
#include "layout/ImageCatalog.h"
#include "layout/LinkReader.h"
#include "layout/PdfReader.h"
#include "layout/RuledTables.h"
#include "layout/ScanText.h"
#include "layout/ShadeColours.h"
#include "layout/ShapeRuns.h"
#include "layout/SheetBuilder.h"
#include "layout/TraceReader.h"
#include "layout/TurnedText.h"
#include "support/TestMain.h"
#include "support/Utf8Text.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

// The parts of the layout engine around the text: reading the drawing
// trace, fonts, images, tables from rules and from aligned columns, the
// workbook rows and the Word document's structure.
class TestLayoutParts : public QObject {
    Q_OBJECT

private slots:
    void traceGivesGlyphsRulesFillsAndImages();
    void traceSkipsHiddenContentAndBadCharacters();
    void traceDecodesTheBareCodesOfTexFonts();
    void traceDropsTextThatALaterBoxCovers();
    void traceThatIsNotXmlFails();
    void scanIsWhitedOutUnderItsWords();
    void fontNames_data();
    void fontNames();
    void designSizeFamilyOnlyWithTheFacesStyle();
    void standInForUnknownFamilies_data();
    void standInForUnknownFamilies();
    void traceNamesUnmappedDelimitersAndKeepsHairlines();
    void traceRestoresCharactersOfTheirNames();
    void traceMeasuresFontsByTheirLatinLetters();
    void traceGivesShadingsTheBoxOfTheirClip();
    void traceKeepsTheBoxesOfOtherShapes();
    void traceReadsABoxDrawnByHandAsABox();
    void traceCutsRulesAndBoxesToTheirClip();
    void figuresGatherShapesAroundText();
    void shadeColoursFromARendering();
    void pixmapHeaderIsChecked();
    void imageListMatchesPlacementsInOrder();
    void placementsOfOneImageShareOnePortableFile();
    void seeThroughAndClippedImagesShowAsDrawn();
    void imagesAndShadingsCutToAShapeShowIt();
    void framesDrawnOverPicturesStayOverThem();
    void thinBarWithRoundedEndsIsARule();
    void whiteLinesShowOnColour();
    void gridWithoutTextIsADrawing();
    void captionOverARuledTableStaysApart();
    void dashedLinesStayDashed();
    void seeThroughShapesKeepTheirOpacity();
    void drawingsBehindTheTextKeepTheirPaintOrder();
    void ruledGridBecomesTable();
    void missingRuleMergesCells();
    void gridRuledOnlyInsideHasOpenSides();
    void singleBoxIsNoTable();
    void linesOfOneRuledRowBecomeRows();
    void alignedColumnsBecomeTable();
    void alignedCellsHaveTheirOwnFace();
    void stackedLinesBesideARowStayInIt();
    void raggedLinesStayLines();
    void sheetRowsFollowTheFlow();
    void sheetHeadingsKeepTheirSize();
    void sheetAlignedTablesKeepTheirFillsAndFlushRightColumns();
    void squeezedTextKeepsItsProportions();
    void linkListIsReadSafely();
    void documentInformationIsReadAndWritten();
    void headingsByRelativeSize();
    void docxSectionsFollowColumnsAndPages();
    void docxTextIsEscapedAndCleaned();
    void docxStrokedRulesStayLines();
    void shapesDrawnPieceByPieceJoin();
    void docxStackedSingleLinesKeepTheirPitch();
    void docxColumnsOpeningWithTablesBecomeCells();
    void docxSideBySideTablesKeepTheirOffset();
    void docxStackedCellLinesKeepTheirPitch();
    void docxLetterSpacingMatchesTheSourceWidth_data();
    void docxLetterSpacingMatchesTheSourceWidth();
    void docxKernFollowsItsLetterOnly();
    void docxSpaceAfterCodeIsTheText();
    void docxTextEndingNearThePageFootIsSetCloser();
    void docxLinesAtThePageFootStandWhereTheyStood();
    void docxWriteFailureLeavesNoFile();
};

namespace {

const char kTrace[] = R"(<?xml version="1.0"?>
<document name="t.pdf">
<page mediabox="0 0 600 800">
<fill_text colorspace="DeviceRGB" color="1 0 0" transform="1 0 0 -1 0 800">
  <span font="ABCDEF+Helvetica-Bold" wmode="0" bidi="0" trm="10 0 0 10">
    <g unicode="H" glyph="H" x="100" y="700" adv=".7"/>
    <g unicode="i" glyph="i" x="107" y="700" adv=".3"/>
    <g unicode="&#xFB01;" glyph="fi" x="110" y="700" adv=".5"/>
  </span>
</fill_text>
<stroke_path linewidth=".5" colorspace="DeviceGray" color="0" transform="1 0 0 -1 0 800">
  <moveto x="50" y="600"/><lineto x="250" y="600"/>
</stroke_path>
<fill_path winding="nonzero" colorspace="DeviceCMYK" color="0 0 0 .5" transform="1 0 0 -1 0 800">
  <moveto x="50" y="500"/><lineto x="150" y="500"/><lineto x="150" y="540"/><lineto x="50" y="540"/><closepath/>
</fill_path>
<fill_path winding="nonzero" colorspace="DeviceGray" color="0" transform="1 0 0 -1 0 800">
  <moveto x="50" y="400"/><lineto x="300" y="400"/><lineto x="300" y="401"/><lineto x="50" y="401"/><closepath/>
</fill_path>
<fill_image alpha="1" colorspace="DeviceRGB" transform="0 100 -50 0 400 300" width="8" height="4"/>
<fill_image_mask transform=".5 0 -0 -100 335 516" colorspace="DeviceGray" color="0" width="1" height="1"/>
<fill_image_mask transform="20 0 -0 -10 500 700" colorspace="DeviceRGB" color="0 0 1" width="1" height="1"/>
<fill_image_mask transform="8 0 -0 -8 500 600" colorspace="DeviceGray" color="0" width="8" height="8"/>
</page>
</document>
)";

std::optional<SourceDocument> readTrace(const QByteArray &xml, QString *error)
{
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    return TraceReader::read(buffer, error);
}

Table grid(int rows, int columns)
{
    Table table;
    for (int c = 0; c <= columns; ++c)
        table.columnEdges << 100.0 + c * 50;
    for (int r = 0; r <= rows; ++r)
        table.rowEdges << 100.0 + r * 20;
    table.cells = QList<QList<TableCell>>(rows, QList<TableCell>(columns));
    return table;
}

Paragraph paragraph(const QString &text, int style, double baseline, double left = 72)
{
    Paragraph p;
    p.runs = {{text, style}};
    p.firstBaseline = p.lastBaseline = baseline;
    p.lineHeight = 12;
    p.box = QRectF(left, baseline - 10, 200, 12);
    return p;
}

// A page of one band with the given columns, each holding one paragraph.
StructuredPage pageWithColumns(int columns)
{
    StructuredPage page;
    page.size = QSizeF(600, 800);
    Band band{100, 200, {}};
    for (int c = 0; c < columns; ++c) {
        const double left = 72 + c * 240;
        page.paragraphs.append(paragraph(QStringLiteral("Column %1").arg(c + 1), 0, 110, left));
        band.columns.append({left, left + 220, {{FlowItem::Kind::Paragraph, c}}});
    }
    page.bands.append(band);
    return page;
}

const QList<TextStyle> kStyles = {{QStringLiteral("Body"), QStringLiteral("Liberation Serif"), 10}};

// The text of the first page's glyphs, in the order they were read.
QStringList glyphTexts(const SourceDocument &document)
{
    QStringList texts;
    for (const Glyph &glyph : document.pages.first().glyphs)
        texts << glyph.text;
    return texts;
}

// The texts of the glyphs of `spans`, drawn as one text on a page of the
// drawing trace; the reader's error where it fails.
QStringList tracedTexts(const QByteArray &spans)
{
    QString error;
    const std::optional<SourceDocument> document =
        readTrace("<document><page mediabox=\"0 0 100 100\"><fill_text color=\"0\" transform=\"1 0 0 -1 0 100\">" +
                      spans + "</fill_text></page></document>",
                  &error);
    return document ? glyphTexts(*document) : QStringList{error};
}

// A path of the drawing trace through `points`, closed where asked:
// `kind` is "fill_path" or "stroke_path", `paint` its colour and any
// other attributes (linewidth, alpha, dash).
QByteArray tracedPath(const char *kind, const QByteArray &paint, const QList<QPointF> &points, bool closed)
{
    QByteArray path = QByteArray("<") + kind + " winding=\"nonzero\" colorspace=\"DeviceRGB\" " + paint +
                      " transform=\"1 0 0 1 0 0\">";
    for (qsizetype i = 0; i < points.size(); ++i) {
        path += QByteArray(i == 0 ? "<moveto" : "<lineto") + " x=\"" + QByteArray::number(points[i].x()) + "\" y=\"" +
                QByteArray::number(points[i].y()) + "\"/>";
    }
    return path + (closed ? "<closepath/>" : "") + "</" + kind + ">";
}

// A box of the trace, filled.
QByteArray tracedBox(const QRectF &box, const QByteArray &paint)
{
    return tracedPath("fill_path", paint, {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()}, true);
}

} // namespace

void TestLayoutParts::traceGivesGlyphsRulesFillsAndImages()
{
    QString error;
    const std::optional<SourceDocument> document = readTrace(kTrace, &error);
    QVERIFY2(document, qPrintable(error));
    QCOMPARE(document->pages.size(), 1);
    const SourcePage &page = document->pages.first();
    QCOMPARE(page.size, QSizeF(600, 800));
    QCOMPARE(page.glyphs.size(), 3);
    QCOMPARE(page.glyphs[0].text, QStringLiteral("H"));
    QCOMPARE(page.glyphs[2].text, QStringLiteral("fi")); // a ligature is spelled out
    QCOMPARE(page.glyphs[0].baseline, 100.0);
    QCOMPARE(page.glyphs[0].box.left(), 100.0);
    QCOMPARE(page.glyphs[0].box.width(), 7.0);
    const TextStyle &style = document->styles[page.glyphs[0].style];
    QCOMPARE(style.sourceFont, QStringLiteral("Helvetica-Bold"));
    QCOMPARE(style.size, 10.0);
    QVERIFY(style.bold && !style.italic);
    QCOMPARE(style.color, Rgb(0xff0000));
    // The stroke and the one-point box are rules; the grey box is a fill.
    // A stencil of one pixel paints its box: a rule when thin (TeX's rules
    // through some converters), else a fill; a larger stencil is neither.
    QCOMPARE(page.rules.size(), 3);
    QVERIFY(page.rules[0].horizontal());
    QCOMPARE(page.rules[0].from.y(), 200.0);
    QCOMPARE(page.rules[1].width, 1.0);
    QVERIFY(!page.rules[2].horizontal());
    QVERIFY(qAbs(page.rules[2].from.x() - 335.25) < 0.01 && qAbs(page.rules[2].width - 0.5) < 0.01);
    QVERIFY(qAbs(qMin(page.rules[2].from.y(), page.rules[2].to.y()) - 416) < 0.01);
    QVERIFY(qAbs(qMax(page.rules[2].from.y(), page.rules[2].to.y()) - 516) < 0.01);
    QCOMPARE(page.fills.size(), 2);
    QCOMPARE(page.fills[0].box, QRectF(50, 260, 100, 40));
    QCOMPARE(page.fills[0].color, Rgb(0x808080));
    QVERIFY(qAbs(page.fills[1].box.left() - 500) < 0.01 && qAbs(page.fills[1].box.top() - 690) < 0.01);
    QVERIFY(qAbs(page.fills[1].box.width() - 20) < 0.01 && qAbs(page.fills[1].box.height() - 10) < 0.01);
    QCOMPARE(page.fills[1].color, Rgb(0x0000ff));
    // The image is turned a quarter clockwise: 100 wide and 50 high before turning.
    QCOMPARE(page.images.size(), 1);
    const ImagePlacement &image = page.images.first();
    QCOMPARE(image.rotation, 90);
    QCOMPARE(image.frame, QSizeF(100, 50));
    QVERIFY(qAbs(image.box.left() - 350) < 0.01 && qAbs(image.box.top() - 300) < 0.01);
    QVERIFY(qAbs(image.box.width() - 50) < 0.01 && qAbs(image.box.height() - 100) < 0.01);
    QCOMPARE(image.pixels, QSize(8, 4));
}

void TestLayoutParts::traceSkipsHiddenContentAndBadCharacters()
{
    // Text of a clip, a pattern tile and invisible text draw nothing; a
    // control character and U+FFFF from a broken font map do not stop the reading.
    const QByteArray trace = "<document><page mediabox=\"0 0 100 100\">"
                             "<clip_text transform=\"1 0 0 1 0 0\"><span font=\"F\" trm=\"10 0 0 10\">"
                             "<g unicode=\"a\" x=\"1\" y=\"1\" adv=\".5\"/></span></clip_text>"
                             "<tile><fill_path color=\"0\" transform=\"1 0 0 1 0 0\"><moveto x=\"0\" y=\"0\"/>"
                             "<lineto x=\"50\" y=\"0\"/><lineto x=\"50\" y=\"1\"/><lineto x=\"0\" y=\"1\"/>"
                             "</fill_path></tile>"
                             "<ignore_text transform=\"1 0 0 1 0 0\"><span font=\"F\" trm=\"10 0 0 10\">"
                             "<g unicode=\"b\" x=\"1\" y=\"1\" adv=\".5\"/></span></ignore_text>"
                             "<fill_text color=\"0\" transform=\"1 0 0 -1 0 100\"><span font=\"F\" trm=\"10 0 0 10\">"
                             "<g unicode=\"\x01\" x=\"1\" y=\"50\" adv=\".5\"/>"
                             "<g unicode=\"\xef\xbf\xbf\" x=\"6\" y=\"50\" adv=\".5\"/>"
                             "<g unicode=\"c\" x=\"11\" y=\"50\" adv=\".5\"/>"
                             "<g unicode=\"&#x13;\" x=\"16\" y=\"50\" adv=\".5\"/>"
                             "<g unicode=\"&#xFFFE;\" x=\"21\" y=\"50\" adv=\".5\"/>"
                             "<g unicode=\"&#55296;\" x=\"26\" y=\"50\" adv=\".5\"/>"
                             "<g unicode=\"&#x41;&amp;\" x=\"31\" y=\"50\" adv=\".5\"/></span></fill_text>"
                             "</page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const QStringList texts = glyphTexts(*document);
    QCOMPARE(texts, strings({" ", "?", "c", " ", "?", "?", "A&"}));
    QVERIFY(document->pages.first().rules.isEmpty());
    // Invisible text is kept aside: a scan's recognised words.
    QCOMPARE(document->pages.first().invisibleGlyphs.size(), 1);
    QCOMPARE(document->pages.first().invisibleGlyphs.first().text, QStringLiteral("b"));

    // A reference cut by the end of the trace's first megabyte is read whole.
    const QByteArray head = "<document><page mediabox=\"0 0 100 100\"><fill_text color=\"0\" "
                            "transform=\"1 0 0 -1 0 100\"><span font=\"F\" trm=\"10 0 0 10\"><g unicode=\"";
    const QByteArray padded = head + QByteArray((1 << 20) - head.size() - 3, ' ') +
                              "&#x13;b\" x=\"1\" y=\"50\" adv=\".5\"/></span></fill_text></page></document>";
    const std::optional<SourceDocument> cut = readTrace(padded, &error);
    QVERIFY2(cut, qPrintable(error));
    QCOMPARE(glyphTexts(*cut).size(), 1);
    QVERIFY(glyphTexts(*cut).first().endsWith(QStringLiteral(" b")));
}

namespace {

// A trace of one line per font, each glyph a string of `unicode` as mutool
// writes it, the glyphs of a line 5 points apart.
QByteArray texTrace(const QList<std::pair<QByteArray, QList<QByteArray>>> &lines)
{
    QByteArray trace = "<document><page mediabox=\"0 0 300 300\">";
    int y = 20;
    for (const auto &[font, glyphs] : lines) {
        trace += "<fill_text color=\"0\" transform=\"1 0 0 -1 0 300\"><span font=\"" + font + "\" trm=\"10 0 0 10\">";
        for (qsizetype g = 0; g < glyphs.size(); ++g)
            trace += "<g unicode=\"" + glyphs[g] + "\" x=\"" + QByteArray::number(10 + 5 * g) + "\" y=\"" +
                     QByteArray::number(y) + "\" adv=\".5\"/>";
        trace += "</span></fill_text>";
        y += 20;
    }
    return trace + "</page></document>";
}

QString tracedText(const QByteArray &trace)
{
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    return document ? glyphTexts(*document).join(QString()) : error;
}

} // namespace

void TestLayoutParts::traceDecodesTheBareCodesOfTexFonts()
{
    // TeX's bitmap fonts come without a map to text: their codes below 32
    // (tab and line end among them) are ligatures, dashes and quotes by the
    // encoding the font's own ligatures point to. Its typewriter font, with
    // no ligature of its own, takes the document's encoding for its bare
    // codes and keeps ASCII's punctuation.
    const QByteArray original = texTrace({
        {"T3a", {"o", "&#xb;", "i", "c", "e", " ", "&#xd;", "y", " ", "\\", "a", "&quot;", "{", "`", "b", "'"}},
        {"T3t", {"&#x19;", "\\", "{", "'"}},
    });
    QCOMPARE(tracedText(original), QStringLiteral("office fly \u201ca\u201d\u2013\u2018b\u2019\u00df\\{'"));
    // The extended encoding: its ligatures at 27..31, its dashes at 21 and
    // 22, a boundary mark at 23 that draws nothing, and its Central European
    // letters where Latin-1 has others (\u00ba is its z with caron). Another
    // font with a map of its own keeps its text.
    const QByteArray extended = texTrace({
        {"T3b", {"&#x1c;", "n", "e", "&#x15;", "&#x17;", "\xc2\xba", "&#x16;", "&#x9;", "&#xa;"}},
        {"Body", {"\xc2\xba", "'"}},
    });
    QCOMPARE(tracedText(extended), QStringLiteral("fine\u2013\u017e\u2014\u00af\u02d9\u00ba'"));
    // Bare codes of a font showing no encoding stay spaces.
    QCOMPARE(tracedText(texTrace({{"F", {"a", "&#x13;", "b"}}})), QStringLiteral("a b"));
}

void TestLayoutParts::traceDropsTextThatALaterBoxCovers()
{
    // One letter a row, each followed by a box over it: an opaque box hides
    // its letter; a frame (a box with a hole), a see-through box and a box
    // in a multiplying group (a highlighter) leave theirs readable, and so
    // does an opaque box drawn before its letter or clipped away from it.
    const auto letter = [](const char *text, int y) {
        return QStringLiteral("<fill_text color=\"0\" transform=\"1 0 0 -1 0 800\"><span font=\"Helvetica\" "
                              "trm=\"10 0 0 10\"><g unicode=\"%1\" x=\"100\" y=\"%2\" adv=\".6\"/></span>"
                              "</fill_text>")
            .arg(QLatin1String(text))
            .arg(y);
    };
    const auto box = [](int y, const QString &attributes, bool hole = false) {
        const auto rectangle = [](double left, double bottom, double right, double top) {
            return QStringLiteral("<moveto x=\"%1\" y=\"%2\"/><lineto x=\"%3\" y=\"%2\"/><lineto x=\"%3\" "
                                  "y=\"%4\"/><lineto x=\"%1\" y=\"%4\"/><closepath/>")
                .arg(left)
                .arg(bottom)
                .arg(right)
                .arg(top);
        };
        return QStringLiteral("<fill_path winding=\"eofill\" color=\"1\" %1 transform=\"1 0 0 -1 0 800\">%2%3"
                              "</fill_path>")
            .arg(attributes, rectangle(90, y - 10, 130, y + 20), hole ? rectangle(95, y - 5, 125, y + 15) : QString());
    };
    const QString page =
        letter("a", 700) + box(700, QString()) + letter("b", 650) + box(650, QString(), true) + letter("c", 600) +
        box(600, QStringLiteral("alpha=\".5\"")) + letter("d", 550) +
        QStringLiteral("<group blendmode=\"Multiply\" alpha=\"1\">") + box(550, QString()) +
        QStringLiteral("</group>") + box(500, QString()) + letter("e", 500) + letter("f", 450) +
        QStringLiteral("<clip_path winding=\"nonzero\" transform=\"1 0 0 -1 0 800\"><moveto x=\"0\" y=\"0\"/>"
                       "<lineto x=\"50\" y=\"0\"/><lineto x=\"50\" y=\"50\"/><lineto x=\"0\" y=\"50\"/>"
                       "<closepath/></clip_path>") +
        box(450, QString()) + QStringLiteral("<pop_clip/>");
    QString error;
    const std::optional<SourceDocument> document =
        readTrace("<document><page mediabox=\"0 0 600 800\">" + page.toUtf8() + "</page></document>", &error);
    QVERIFY2(document, qPrintable(error));
    QCOMPARE(glyphTexts(*document), strings({"b", "c", "d", "e", "f"}));
}

void TestLayoutParts::traceThatIsNotXmlFails()
{
    QString error;
    QVERIFY(!readTrace("<document><page mediabox=\"0 0 1 1\"><g unicode=\"a\"</document>", &error));
    QVERIFY(error.contains(QStringLiteral("not readable")));
}

void TestLayoutParts::fontNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("mono");
    QTest::addColumn<QString>("design");
    QTest::newRow("subset, PS suffix") << s("ABCDEF+TimesNewRomanPS-BoldItalicMT") << s("TimesNewRoman") << true << true
                                       << false << QString();
    QTest::newRow("comma style") << s("Arial,Bold") << s("Arial") << true << false << false << QString();
    QTest::newRow("glued style") << s("CalibriBold") << s("Calibri") << true << false << false << QString();
    QTest::newRow("TeX bold") << s("QWERTY+CMBX12") << s("Latin Modern Roman") << true << false << false
                              << s("LM Roman 12");
    QTest::newRow("TeX typewriter") << s("CMTT10") << s("Latin Modern Mono") << false << false << true
                                    << s("LM Mono 10");
    QTest::newRow("TeX italic") << s("CMTI10") << s("Latin Modern Roman") << false << true << false << s("LM Roman 10");
    QTest::newRow("TeX maths letters are italic")
        << s("CMMI10") << s("Latin Modern Roman") << false << true << false << s("LM Roman 10");
    QTest::newRow("TeX maths symbols") << s("CMSY7") << s("Latin Modern Math") << false << false << false << QString();
    QTest::newRow("Latin Modern condensed light typewriter")
        << s("SAMPLZ+LMMonoLtCond10-Regular") << s("Latin Modern Mono Light Cond") << false << false << true
        << s("LM Mono Light Cond 10");
    QTest::newRow("Latin Modern light typewriter bold")
        << s("LMMonoLt10-Bold") << s("Latin Modern Mono Light") << true << false << true << s("LM Mono Light 10");
    QTest::newRow("Latin Modern caps") << s("LMRomanCaps10-Regular") << s("Latin Modern Roman Caps") << false << false
                                       << false << s("LM Roman Caps 10");
    QTest::newRow("Latin Modern roman") << s("LMRoman12-Italic") << s("Latin Modern Roman") << false << true << false
                                        << s("LM Roman 12");
    QTest::newRow("URW") << s("NimbusRomNo9L-ReguItal") << s("Nimbus Roman No9 L") << false << true << false
                         << QString();
    QTest::newRow("URW bold") << s("NimbusSanL-Bold") << s("Nimbus Sans L") << true << false << false << QString();
    QTest::newRow("URW mono") << s("NimbusMonL-Regu") << s("Nimbus Mono PS") << false << false << true << QString();
    QTest::newRow("TeX's Vera") << s("LPTTMX+BeraSerif-Roman") << s("DejaVu Serif") << false << false << false
                                << QString();
    QTest::newRow("Vera mono") << s("BitstreamVeraSansMono-Oblique") << s("DejaVu Sans Mono") << false << true << true
                               << QString();
    QTest::newRow("Courier") << s("Courier") << s("Courier") << false << false << true << QString();
    QTest::newRow("Light is not bold") << s("SourceSansPro-Light") << s("SourceSansPro") << false << false << false
                                       << QString();
}

void TestLayoutParts::fontNames()
{
    QFETCH(QString, name);
    const FontNames::Face face = FontNames::describe(name);
    QTEST(face.family, "family");
    QTEST(face.bold, "bold");
    QTEST(face.italic, "italic");
    QTEST(face.mono, "mono");
    QTEST(face.design, "design");
    QCOMPARE(FontNames::pattern({QStringLiteral("A-B:C"), true, false, true, {}}),
             QStringLiteral("A B C:bold:spacing=mono"));
    QCOMPARE(FontNames::pattern(FontNames::describe(s("CMBX12"))), s("LM Roman 12,Latin Modern Roman:bold"));
    // East Asian faces of other systems fall back on a face of their kind
    // for their language; their letters of one width are no monospace.
    FontNames::Face mincho = FontNames::describe(s("JQZDPO+IPAMincho"));
    mincho.mono = true;
    QCOMPARE(FontNames::pattern(mincho), s("IPAMincho,serif:lang=ja"));
    QCOMPARE(FontNames::pattern(FontNames::describe(s("MS-Gothic"))), s("MS,sans-serif:lang=ja"));
    QCOMPARE(FontNames::pattern(FontNames::describe(s("SimHei,Bold"))), s("SimHei,sans-serif:bold:lang=zh-cn"));
    QCOMPARE(FontNames::pattern(FontNames::describe(s("CenturyGothic-Bold"))), s("CenturyGothic:bold"));
    // Latin Modern has no Cyrillic or Greek: TeX's faces drawing them are
    // set in Computer Modern Unicode, of the face's kind; other text and
    // other families stay as they are.
    QCOMPARE(FontNames::forText(s("LM Roman 10"), s("Песни 1")), s("CMU Serif"));
    QCOMPARE(FontNames::forText(s("Latin Modern Sans"), s("ωμέγα")), s("CMU Sans Serif"));
    QCOMPARE(FontNames::forText(s("LM Mono 10"), s("код")), s("CMU Typewriter Text"));
    QCOMPARE(FontNames::forText(s("LM Roman 10"), s("Songs «1»")), s("LM Roman 10"));
    QCOMPARE(FontNames::forText(s("Liberation Serif"), s("Песни")), s("Liberation Serif"));
    QCOMPARE(FontNames::forText(s("Latin Modern Math"), s("αβ")), s("Latin Modern Math"));
}

void TestLayoutParts::designSizeFamilyOnlyWithTheFacesStyle()
{
    const FontNames::Face bold = FontNames::describe(s("CMBX7"));
    QCOMPARE(FontNames::matchedFamily(bold, s("Latin Modern Roman,LM Roman 7\t200\t0\n")), s("LM Roman 7"));
    // No bold italic at that size: fontconfig's answer is the size's italic.
    const FontNames::Face boldItalic = FontNames::describe(s("CMBXTI7"));
    QCOMPARE(FontNames::matchedFamily(boldItalic, s("Latin Modern Roman,LM Roman 7\t80\t100")),
             s("Latin Modern Roman"));
    QCOMPARE(FontNames::matchedFamily(boldItalic, s("Latin Modern Roman,LM Roman 10\t200\t100")),
             s("Latin Modern Roman"));
    QCOMPARE(FontNames::matchedFamily(FontNames::describe(s("Arial")), s("Liberation Sans\t80\t0")),
             s("Liberation Sans"));
    QCOMPARE(FontNames::matchedFamily(bold, QString()), s("Latin Modern Roman"));
    // A Type 1 font is no match: office programs put a wide sans in its place.
    QCOMPARE(FontNames::matchedFamily(FontNames::describe(s("Utopia-Regular")), s("Utopia\t80\t0\tType 1\n")),
             QString());
    QCOMPARE(FontNames::matchedFamily(FontNames::describe(s("Utopia-Regular")), s("P052\t80\t0\tCFF")), s("P052"));
    // The design size's family is Latin Modern: its metrics, its advances.
    QVERIFY(FontNames::sameMetrics(s("CMBX12"), s("LM Roman 12")));
    // URW's clones have their originals' metrics, under their new names too;
    // a family merely of the same kind has not.
    QVERIFY(FontNames::sameMetrics(s("Helvetica"), s("Nimbus Sans")));
    QVERIFY(FontNames::sameMetrics(s("NimbusRomNo9L-Regu"), s("Nimbus Roman")));
    QVERIFY(FontNames::sameMetrics(s("URWPalladioL-Roma"), s("P052")));
    QVERIFY(FontNames::sameMetrics(s("PTLWNS+TeXGyrePagella-Regular"), s("P052")));
    QVERIFY(FontNames::sameMetrics(s("TeXGyreHeros-Bold"), s("Nimbus Sans")));
    QVERIFY(!FontNames::sameMetrics(s("Utopia-Regular"), s("Liberation Serif")));
    QCOMPARE(FontNames::spaceAdvance(s("LM Roman 12")), FontNames::spaceAdvance(s("Latin Modern Roman")));
    // Every metric clone that stands in has its advances measured, so that
    // a justified line's fill counts its own spaces.
    for (const char *clone : {"Liberation Serif", "Liberation Sans", "Liberation Mono", "Nimbus Roman", "Nimbus Sans",
                              "Nimbus Mono PS", "P052", "C059", "URW Bookman", "Carlito", "Caladea"})
        QVERIFY2(FontNames::spaceAdvance(QString::fromLatin1(clone)) > 0, clone);
    // A run of Cyrillic in a Latin Modern face is written in Computer Modern Unicode.
    StructuredPage page;
    page.size = QSizeF(600, 800);
    Paragraph songs = paragraph(s("Songs"), 0, 100);
    songs.runs.append({s(" Песни"), 0});
    page.paragraphs = {songs};
    page.bands = {{90, 110, {{0, 600, {{FlowItem::Kind::Paragraph, 0}}}}}};
    const QString xml =
        QString::fromUtf8(DocxWriter::documentXml({page}, {{s("SFRM1000"), s("LM Roman 10"), 10}}, nullptr));
    QVERIFY(xml.contains(s("w:ascii=\"LM Roman 10\"")));
    QVERIFY(xml.contains(s("w:ascii=\"CMU Serif\"")));
}

void TestLayoutParts::standInForUnknownFamilies_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("mono");
    QTest::addColumn<QString>("matched");
    QTest::addColumn<QString>("expected");
    QTest::newRow("installed match kept")
        << s("Nimbus Sans L") << false << s("Liberation Sans") << s("Liberation Sans");
    QTest::newRow("unknown serif") << s("URW Palladio L") << false << s("DejaVu Serif") << s("Liberation Serif");
    QTest::newRow("unknown sans") << s("SourceSansPro") << false << s("DejaVu Sans") << s("Liberation Sans");
    QTest::newRow("unknown mono") << s("Letter Gothic") << true << s("DejaVu Sans Mono") << s("Liberation Mono");
    QTest::newRow("DejaVu asked for") << s("DejaVuSans") << false << s("DejaVu Sans") << s("DejaVu Sans");
    QTest::newRow("TeX maths") << s("Latin Modern Math") << false << s("DejaVu Sans") << s("DejaVu Sans");
    QTest::newRow("no usable match") << s("Utopia") << false << QString() << s("Liberation Serif");
}

void TestLayoutParts::standInForUnknownFamilies()
{
    QFETCH(QString, family);
    QFETCH(bool, mono);
    QFETCH(QString, matched);
    QTEST(FontNames::standIn({family, false, false, mono, {}}, matched), "expected");
}

void TestLayoutParts::traceRestoresCharactersOfTheirNames()
{
    // The renderer writes U+1D44F (mathematical italic b) as U+D44F, a Hangul
    // syllable; the glyph's name says which it was. A Hangul syllable of any
    // other name stays what it is.
    QCOMPARE(tracedTexts("<span font=\"CambriaMath\" trm=\"10 0 0 10\">"
                         "<g unicode=\"\xed\x91\x8f\" glyph=\"u1D44F\" x=\"1\" y=\"50\" adv=\".5\"/>"
                         "<g unicode=\"\xed\x91\x8f\" glyph=\"uniD44F\" x=\"6\" y=\"50\" adv=\".5\"/>"
                         "<g unicode=\"x\" glyph=\"u1D465\" x=\"11\" y=\"50\" adv=\".5\"/></span>"),
             (QStringList{s("\U0001D44F"), s("\uD44F"), s("x")}));
    // A Zapf Dingbats glyph comes as its name's number; the name says which
    // it is (a form's check box, a circled number). Other fonts' glyphs of
    // such names keep their characters.
    QCOMPARE(tracedTexts("<span font=\"ABCDEF+ZapfDingbats\" trm=\"10 0 0 10\">"
                         "<g unicode=\"&#x14;\" glyph=\"a20\" x=\"1\" y=\"50\" adv=\".8\"/>"
                         "<g unicode=\"&#x7C;\" glyph=\"a124\" x=\"11\" y=\"50\" adv=\".8\"/>"
                         "<g unicode=\"&#xCE;\" glyph=\"a206\" x=\"21\" y=\"50\" adv=\".8\"/>"
                         "</span><span font=\"Helvetica\" trm=\"10 0 0 10\">"
                         "<g unicode=\"x\" glyph=\"a20\" x=\"31\" y=\"50\" adv=\".5\"/></span>"),
             (QStringList{s("\u2714"), s("\u2464"), s("\u2770"), s("x")}));
    // Old-style figures and small capitals that a font maps to the private
    // use area are their plain characters: a contents' "1" had read as a
    // symbol font's bullet. A private character of another name stays.
    QCOMPARE(tracedTexts("<span font=\"ABCDEF+SFBX1000\" trm=\"10 0 0 10\">"
                         "<g unicode=\"&#xF731;\" glyph=\"oneoldstyle\" x=\"1\" y=\"50\" adv=\".5\"/>"
                         "<g unicode=\"&#xF761;\" glyph=\"Asmall\" x=\"11\" y=\"50\" adv=\".5\"/>"
                         "<g unicode=\"&#xE123;\" glyph=\"seven.onum\" x=\"21\" y=\"50\" adv=\".5\"/>"
                         "<g unicode=\"&#xF0B7;\" glyph=\"uniF0B7\" x=\"31\" y=\"50\" adv=\".5\"/></span>"),
             (QStringList{s("1"), s("a"), s("7"), s("\uF0B7")}));
    // A bitmap font's glyph without a character comes as its code, a
    // control character: it is read as a symbol font's private character.
    QCOMPARE(tracedTexts("<span font=\"F41\" trm=\"10 0 0 10\">"
                         "<g unicode=\"&#x88;\" glyph=\"136\" x=\"1\" y=\"50\" adv=\".5\"/></span>"),
             (QStringList{s("\uF088")}));
}

void TestLayoutParts::traceMeasuresFontsByTheirLatinLetters()
{
    // A stand-in is measured against English text: Arabic letters, far
    // narrower, say nothing of a font's width, and letter-spaced to a Latin
    // font's width they ran together.
    const QByteArray trace = "<document><page mediabox=\"0 0 100 100\">"
                             "<fill_text color=\"0\" transform=\"1 0 0 -1 0 100\">"
                             "<span font=\"ABCDEF+Amiri-Regular\" trm=\"10 0 0 10\">"
                             "<g unicode=\"&#x628;\" glyph=\"g1\" x=\"1\" y=\"50\" adv=\".25\"/>"
                             "<g unicode=\"&#x639;\" glyph=\"g2\" x=\"4\" y=\"50\" adv=\".35\"/>"
                             "</span><span font=\"Times-Roman\" trm=\"10 0 0 10\">"
                             "<g unicode=\"a\" glyph=\"a\" x=\"11\" y=\"50\" adv=\".44\"/>"
                             "<g unicode=\"&#x3B1;\" glyph=\"alpha\" x=\"16\" y=\"50\" adv=\".9\"/>"
                             "<g unicode=\"b\" glyph=\"b\" x=\"21\" y=\"50\" adv=\".5\"/>"
                             "</span></fill_text></page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    QCOMPARE(document->styles.size(), 2);
    QCOMPARE(document->styles[0].letterWidth, 0.0);
    QCOMPARE(document->styles[1].letterWidth, 0.47);
}

void TestLayoutParts::traceNamesUnmappedDelimitersAndKeepsHairlines()
{
    // TeX's extension font maps its sized delimiters to U+FFFD; their names say
    // what they are. A glyph of an unknown name is no character at all. A
    // stroke of width 0 is the thinnest line a device draws, not an invisible one.
    const QByteArray trace = "<document><page mediabox=\"0 0 100 100\">"
                             "<fill_text color=\"0\" transform=\"1 0 0 -1 0 100\"><span font=\"CMEX10\" "
                             "trm=\"10 0 0 10\">"
                             "<g unicode=\"\xef\xbf\xbd\" glyph=\"parenleftBig\" x=\"1\" y=\"50\" adv=\".5\"/>"
                             "<g unicode=\"\xef\xbf\xbd\" glyph=\"summationdisplay\" x=\"6\" y=\"50\" adv=\"1\"/>"
                             "<g unicode=\"\xef\xbf\xbd\" glyph=\"g123\" x=\"16\" y=\"50\" adv=\".5\"/>"
                             "<g unicode=\"\xef\xbf\xbd\" glyph=\"parenrightbigg\" x=\"21\" y=\"50\" adv=\".5\"/>"
                             "</span></fill_text>"
                             "<stroke_path linewidth=\"0\" color=\"0\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"10\" y=\"10\"/><lineto x=\"90\" y=\"10\"/></stroke_path>"
                             "<stroke_path linewidth=\".8\" color=\"0\" transform=\"1 0 0 -1 2179 -1836\">"
                             "<moveto x=\"10\" y=\"0\"/><lineto x=\"31\" y=\"0\"/></stroke_path>"
                             "</page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const QStringList texts = glyphTexts(*document);
    QCOMPARE(texts, (QStringList{s("("), s("\u2211"), s(")")}));
    // They hang from their origin (y 50 from the top) and are centred on the
    // maths axis: the baseline of their formula lies half their height and a
    // quarter em lower.
    const QList<Glyph> &glyphs = document->pages.first().glyphs;
    QCOMPARE(glyphs.at(0).baseline, 50 + 10 * (1.8 / 2 + 0.25));
    QCOMPARE(glyphs.at(1).baseline, 50 + 10 * (1.4 / 2 + 0.25));
    QCOMPARE(glyphs.at(2).baseline, 50 + 10 * (2.4 / 2 + 0.25));
    QCOMPARE(document->pages.first().rules.size(), 2);
    QVERIFY(document->pages.first().rules.first().width > 0);
    QVERIFY(document->pages.first().rules.first().hairline);
    // In Word it is a line of width 0, which is a hairline there too. A line
    // drawn far off the page (a slide's hidden drawing) is no shape at all:
    // LibreOffice lost itself laying such lines out.
    const QList<StructuredPage> pages = DocumentAnalyzer::analyze(*document);
    QCOMPARE(pages.first().shapes.size(), 1);
    QVERIFY(pages.first().shapes.first().hairline);
    QVERIFY(QString::fromUtf8(DocxWriter::documentXml(pages, document->styles, nullptr))
                .contains(QStringLiteral("<a:ln w=\"0\"><a:solidFill>")));
}

void TestLayoutParts::traceGivesShadingsTheBoxOfTheirClip()
{
    // A shading clipped to a bar at the left; after the clip is popped a
    // second one covers the page. White over a shading is kept, white on
    // the bare page is not.
    const QByteArray trace = "<document><page mediabox=\"0 0 200 100\">"
                             "<clip_path winding=\"nonzero\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"10\" y=\"0\"/><lineto x=\"40\" y=\"0\"/>"
                             "<lineto x=\"40\" y=\"90\"/><lineto x=\"10\" y=\"90\"/><closepath/></clip_path>"
                             "<fill_shade alpha=\"1\" transform=\"1 0 0 1 0 0\" type=\"linear\"/>"
                             "<fill_path winding=\"nonzero\" color=\"1\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"15\" y=\"70\"/><lineto x=\"35\" y=\"70\"/><lineto x=\"35\" y=\"85\"/>"
                             "<lineto x=\"15\" y=\"85\"/><closepath/></fill_path>"
                             "<pop_clip/>"
                             "<fill_path winding=\"nonzero\" color=\"1\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"100\" y=\"10\"/><lineto x=\"150\" y=\"10\"/><lineto x=\"150\" y=\"50\"/>"
                             "<lineto x=\"100\" y=\"50\"/><closepath/></fill_path>"
                             "<fill_shade alpha=\"1\" transform=\"1 0 0 1 0 0\" type=\"radial\"/>"
                             // a line drawn as a shading, and one too thin to show
                             "<clip_path winding=\"nonzero\" transform=\"1 0 0 1 0 0\">"
                             "<moveto x=\"10\" y=\"20\"/><lineto x=\"190\" y=\"20\"/>"
                             "<lineto x=\"190\" y=\"20.6\"/><lineto x=\"10\" y=\"20.6\"/><closepath/></clip_path>"
                             "<fill_shade alpha=\"1\" transform=\"1 0 0 1 0 0\" type=\"linear\"/><pop_clip/>"
                             "<clip_path winding=\"nonzero\" transform=\"1 0 0 1 0 0\">"
                             "<moveto x=\"10\" y=\"30\"/><lineto x=\"190\" y=\"30\"/>"
                             "<lineto x=\"190\" y=\"30.05\"/><lineto x=\"10\" y=\"30.05\"/><closepath/></clip_path>"
                             "<fill_shade alpha=\"1\" transform=\"1 0 0 1 0 0\" type=\"linear\"/><pop_clip/>"
                             "</page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const SourcePage &page = document->pages.first();
    QCOMPARE(page.shades.size(), 3);
    QVERIFY2(qAbs(page.shades[2].box.height() - 0.6) < 1e-3, qPrintable(QDebug::toString(page.shades[2].box)));
    QCOMPARE(page.shades[0].box.toRect(), QRect(10, 10, 30, 90));
    QVERIFY(!page.shades[0].known);
    QCOMPARE(page.shades[1].box, QRectF(0, 0, 200, 100));
    QCOMPARE(page.fills.size(), 1);
    QCOMPARE(page.fills.first().box.toRect(), QRect(15, 15, 20, 15));
}

void TestLayoutParts::traceCutsRulesAndBoxesToTheirClip()
{
    // A plot clipped to its frame (100..200): its outline's foot runs on to
    // 300, under the next plot's grid. Only what the clip shows is kept; a
    // line wholly outside it is not drawn at all, and once the clip is
    // popped a line keeps its length.
    const QByteArray line = "color=\"0\" linewidth=\"1\"";
    const QByteArray trace = "<document><page mediabox=\"0 0 400 400\">"
                             "<clip_path winding=\"nonzero\" transform=\"1 0 0 1 0 0\"><moveto x=\"100\" y=\"100\"/>"
                             "<lineto x=\"200\" y=\"100\"/><lineto x=\"200\" y=\"200\"/><lineto x=\"100\" y=\"200\"/>"
                             "<closepath/></clip_path>" +
                             tracedPath("stroke_path", line, {{100, 150}, {300, 150}}, false) +
                             tracedPath("stroke_path", line, {{250, 120}, {250, 180}}, false) +
                             tracedPath("stroke_path", line, {{150, 50}, {150, 300}}, false) +
                             tracedBox(QRectF(150, 120, 110, 40), "color=\"0 0 1\"") + "<pop_clip/>" +
                             tracedPath("stroke_path", line, {{100, 300}, {300, 300}}, false) + "</page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const SourcePage &page = document->pages.first();
    QCOMPARE(page.rules.size(), 3);
    QCOMPARE(QLineF(page.rules[0].from, page.rules[0].to).toLine(), QLine(100, 150, 200, 150));
    QCOMPARE(QLineF(page.rules[1].from, page.rules[1].to).toLine(), QLine(150, 100, 150, 200));
    QCOMPARE(QLineF(page.rules[2].from, page.rules[2].to).toLine(), QLine(100, 300, 300, 300));
    QCOMPARE(page.fills.size(), 1);
    QCOMPARE(page.fills.first().box.toRect(), QRect(150, 120, 50, 40));
}

void TestLayoutParts::traceKeepsTheBoxesOfOtherShapes()
{
    // A curve (its control points count), a slanted stroke (its width counts),
    // a triangle, a white curve, two boxes and a turned letter: only the boxes
    // are fills, the white curve draws nothing on paper but does on a box, and
    // a clip (its curve counts by its points) cuts what is hidden.
    const QByteArray trace = "<document><page mediabox=\"0 0 200 100\">"
                             "<fill_path winding=\"nonzero\" color=\"0\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"10\" y=\"90\"/><curveto x1=\"10\" y1=\"99\" x2=\"30\" y2=\"99\" "
                             "x3=\"30\" y3=\"90\"/><closepath/></fill_path>"
                             "<stroke_path linewidth=\"2\" color=\"0\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"50\" y=\"90\"/><lineto x=\"70\" y=\"70\"/></stroke_path>"
                             "<fill_path winding=\"nonzero\" color=\"0\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"80\" y=\"90\"/><lineto x=\"100\" y=\"90\"/><lineto x=\"90\" y=\"70\"/>"
                             "<closepath/></fill_path>"
                             "<fill_path winding=\"nonzero\" color=\"1\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"110\" y=\"90\"/><curveto x1=\"110\" y1=\"99\" x2=\"130\" y2=\"99\" "
                             "x3=\"130\" y3=\"90\"/></fill_path>"
                             "<fill_path winding=\"nonzero\" color=\"0\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"140\" y=\"90\"/><lineto x=\"160\" y=\"90\"/><lineto x=\"160\" y=\"70\"/>"
                             "<lineto x=\"140\" y=\"70\"/><closepath/></fill_path>"
                             // a box drawn with "curves" that run straight along its edges
                             "<fill_path winding=\"eofill\" color=\"0\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"10\" y=\"40\"/><curveto x1=\"20\" y1=\"40\" x2=\"30\" y2=\"40\" "
                             "x3=\"40\" y3=\"40\"/><curveto x1=\"40\" y1=\"30\" x2=\"40\" y2=\"25\" x3=\"40\" "
                             "y3=\"20\"/><curveto x1=\"30\" y1=\"20\" x2=\"20\" y2=\"20\" x3=\"10\" y3=\"20\"/>"
                             "<curveto x1=\"10\" y1=\"25\" x2=\"10\" y2=\"30\" x3=\"10\" y3=\"40\"/><closepath/>"
                             "</fill_path>"
                             "<clip_path winding=\"nonzero\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"170\" y=\"50\"/><lineto x=\"200\" y=\"50\"/>"
                             "<curveto x1=\"200\" y1=\"30\" x2=\"200\" y2=\"20\" x3=\"200\" y3=\"0\"/>"
                             "<lineto x=\"170\" y=\"0\"/><closepath/></clip_path>"
                             "<fill_path winding=\"nonzero\" color=\"0\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"165\" y=\"60\"/><curveto x1=\"190\" y1=\"60\" x2=\"190\" y2=\"40\" "
                             "x3=\"180\" y3=\"40\"/></fill_path>"
                             "<pop_clip/>"
                             "<fill_text color=\"0\" transform=\"1 0 0 -1 0 100\"><span font=\"Helvetica\" "
                             "trm=\"0 10 -10 0\"><g unicode=\"A\" glyph=\"A\" x=\"50\" y=\"50\" adv=\".5\"/>"
                             "</span></fill_text>"
                             // a white curve on the black box drawn with "curves": an icon on a panel
                             "<fill_path winding=\"nonzero\" color=\"1\" transform=\"1 0 0 -1 0 100\">"
                             "<moveto x=\"15\" y=\"30\"/><curveto x1=\"15\" y1=\"35\" x2=\"25\" y2=\"35\" "
                             "x3=\"25\" y3=\"30\"/></fill_path>"
                             "</page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const SourcePage &page = document->pages.first();
    // Turned text stays out of the flow, but a figure may show it.
    QVERIFY(page.glyphs.isEmpty());
    QCOMPARE(page.glyphsByTurn[1], 1);         // it reads upwards
    QCOMPARE(PdfReader::uprightTurn(page), 0); // one glyph is a label, not a sideways page
    SourcePage sideways;
    sideways.glyphsByTurn = {12, 0, 3, 40};
    QCOMPARE(PdfReader::uprightTurn(sideways), 3);
    sideways.glyphsByTurn = {25, 0, 3, 40}; // a table with turned headings stays as it is
    QCOMPARE(PdfReader::uprightTurn(sideways), 0);
    QCOMPARE(page.fills.size(), 2);
    QCOMPARE(page.fills[1].box.toRect(), QRect(10, 60, 30, 20));
    QVERIFY(page.rules.isEmpty());
    QCOMPARE(page.drawings.size(), 5);
    QCOMPARE(page.drawings[4].toRect(), QRect(15, 65, 10, 5));
    QCOMPARE(page.drawings[0].toRect(), QRect(10, 1, 20, 9));
    QCOMPARE(page.drawings[1].toRect(), QRect(49, 9, 22, 22));
    QCOMPARE(page.drawings[2].toRect(), QRect(80, 10, 20, 20));
    QCOMPARE(page.drawings[3].toRect(), QRect(170, 50, 20, 10));
    // The turned glyph is read upright in the page turned a quarter, and
    // covers its advance upwards and its height to the left on the page.
    QCOMPARE(page.sideGlyphs[1].size(), 1);
    QCOMPARE(page.sideGlyphs[1].first().text, QStringLiteral("A"));
    const QRectF turned = TurnedText::onPage(page.sideGlyphs[1].first().box, 1, page.size);
    QVERIFY2(qAbs(turned.left() - 42.2) < 0.01 && qAbs(turned.top() - 45) < 0.01 && qAbs(turned.width() - 10) < 0.01 &&
                 qAbs(turned.height() - 5) < 0.01,
             qPrintable(QDebug::toString(turned)));
}

void TestLayoutParts::traceReadsABoxDrawnByHandAsABox()
{
    // A highlighter's mark behind a word: its long edges bow by nearly a
    // point. It is a box, as the words' shading needs; a trapezoid and an L
    // stay drawings.
    const QByteArray trace =
        "<document><page mediabox=\"0 0 600 800\">" +
        tracedPath(
            "fill_path", "color=\"1 0 0\" alpha=\".25\"",
            {{248.35, 633.05}, {248.35, 644.0}, {263.28, 643.19}, {277.22, 644.0}, {277.22, 633.05}, {262.42, 632.2}},
            true) +
        tracedPath("fill_path", "color=\"0\"", {{100, 100}, {140, 100}, {135, 120}, {105, 120}}, true) +
        tracedPath("fill_path", "color=\"0\"", {{200, 100}, {240, 100}, {240, 110}, {220, 110}, {220, 120}, {200, 120}},
                   true) +
        "</page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const SourcePage &page = document->pages.first();
    QCOMPARE(page.fills.size(), 1);
    QCOMPARE(page.fills.first().box.toRect(), QRect(248, 632, 29, 12));
    QCOMPARE(page.drawings.size(), 2);
}

void TestLayoutParts::figuresGatherShapesAroundText()
{
    SourcePage page;
    page.size = QSizeF(600, 800);
    // Two shapes 2 points apart are one figure, with the rule along its foot and the box over it.
    page.drawings = {QRectF(100, 100, 20, 20), QRectF(122, 100, 20, 20), QRectF(300, 300, 30, 30)};
    page.rules.append({QPointF(100, 120.5), QPointF(160, 120.5), 0.5, 0});
    page.fills.append({QRectF(105, 105, 10, 10), 0});
    // Too small: a bullet, and a curved underline. A turned word is long enough.
    page.drawings.append(QRectF(500, 500, 8, 8));
    page.drawings.append(QRectF(100, 700, 80, 3));
    page.drawings.append(QRectF(560, 100, 7, 60));
    // Text inside: a figure too, drawn without the text, which stays text.
    page.drawings.append(QRectF(100, 400, 200, 50));
    Glyph glyph;
    glyph.text = QStringLiteral("x");
    glyph.box = QRectF(150, 420, 6, 10);
    page.glyphs.append(glyph);
    // Over an image: a figure, which goes over the image; the image is still placed as itself.
    page.drawings.append(QRectF(400, 600, 40, 40));
    ImagePlacement image;
    image.box = QRectF(420, 620, 50, 50);
    page.images.append(image);
    // A page-wide background touching a figure is not taken in: the text would be inside.
    page.fills.append({QRectF(0, 0, 600, 800), 0xeeeeee});
    // A shape over a ruled table of text leaves the table to be read as one;
    // over a grid without text (a drawing's) it is a figure with the grid.
    for (const double top : {550.0, 650.0}) {
        for (const double y : {top, top + 20, top + 40})
            page.rules.append({QPointF(100, y), QPointF(200, y), 0.5, 0});
        for (const double x : {100.0, 150.0, 200.0})
            page.rules.append({QPointF(x, top), QPointF(x, top + 40), 0.5, 0});
        page.drawings.append(QRectF(120, top + 5, 60, 10));
    }
    glyph.box = QRectF(160, 575, 6, 10);
    page.glyphs.append(glyph);
    // A symbol within one cell of that table is a figure of its own.
    page.drawings.append(QRectF(110, 572, 16, 16));

    // The search is bounded: a document that spends its budget gets no figures.
    qint64 budget = 10;
    QVERIFY(FigureRegions::find(page, &budget).isEmpty());
    QVERIFY(budget < 0);

    const QList<QRectF> figures = FigureRegions::find(page);
    QCOMPARE(figures.size(), 7);
    QCOMPARE(figures[0], QRectF(100, 400, 200, 50)); // the largest first
    QVERIFY(FigureRegions::holdsText(page, figures[0]));
    QCOMPARE(figures[1], QRectF(99.75, 649.75, 100.5, 40.5)); // the grid without text, with its rules' width
    QCOMPARE(figures[2], QRectF(400, 600, 40, 40));
    QCOMPARE(figures[3], QRectF(99.75, 100, 60.5, 20.75));
    QVERIFY(!FigureRegions::holdsText(page, figures[3]));
    QCOMPARE(figures[4], QRectF(300, 300, 30, 30));
    QCOMPARE(figures[5], QRectF(560, 100, 7, 60));
    QCOMPARE(figures[6], QRectF(110, 572, 16, 16));

    // A page is rendered whole for its figures with text up to A0, not a poster's.
    QVERIFY(FigureRegions::renderableWithoutText(QSizeF(2384, 3370)));
    QVERIFY(!FigureRegions::renderableWithoutText(QSizeF(5000, 5000)));
    QVERIFY(!FigureRegions::renderableWithoutText(QSizeF(14400, 14400)));

    FigureRegions::absorb(page, figures[3]);
    QCOMPARE(page.fills.size(), 1);  // the background stays
    QCOMPARE(page.rules.size(), 12); // so do the grids
    QCOMPARE(page.drawings.size(), 9);
    FigureRegions::absorb(page, figures[2]);
    QCOMPARE(page.images.size(), 1); // the image under a figure stays
    QCOMPARE(page.drawings.size(), 8);

    // A grid with a letter in it and its diagonals drawn across it is a
    // placeholder picture, not a table; a drawing over half of it leaves it
    // a table.
    SourcePage placeholder;
    placeholder.size = QSizeF(600, 800);
    for (const double at : {100.0, 150.0, 200.0}) {
        placeholder.rules.append({QPointF(100, at), QPointF(300, at), 0.5, 0});
        placeholder.rules.append({QPointF(at * 2 - 100, 100), QPointF(at * 2 - 100, 200), 0.5, 0});
    }
    glyph.text = QStringLiteral("A");
    glyph.box = QRectF(185, 130, 30, 40);
    placeholder.glyphs = {glyph};
    placeholder.drawings = {QRectF(100, 100, 200, 50)};
    QVERIFY(FigureRegions::find(placeholder).isEmpty());
    placeholder.drawings = {QRectF(100, 100, 200, 100)};
    const QList<QRectF> pictured = FigureRegions::find(placeholder);
    QCOMPARE(pictured.size(), 1);
    QVERIFY(pictured.first().contains(QRectF(100, 100, 200, 100)));
}

void TestLayoutParts::shadeColoursFromARendering()
{
    // A 10 x 20 rendering of a 100 x 200 page: green at the top turning to
    // white at the bottom, with a white logo over the top right of the bar.
    QByteArray data = "P6\n# a comment\n10 20\n255\n";
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 10; ++x) {
            const int level = qMin(255, 100 + y * 8);
            const bool logo = y < 6 && x >= 7;
            data.append(char(logo ? 255 : level)).append(char(logo ? 255 : 200)).append(char(logo ? 255 : level));
        }
    }
    const std::optional<ShadeColours::Pixmap> pixmap = ShadeColours::parse(data);
    QVERIFY(pixmap);
    QCOMPARE(pixmap->width, 10);
    Shade shade{QRectF(0, 0, 100, 200)};
    ShadeColours::colour(*pixmap, QSizeF(100, 200), shade);
    QVERIFY(shade.known);
    QVERIFY(shade.vertical);
    // Read at rows 5 and 15 (140 and 220 in red), extended to the ends.
    QCOMPARE(shade.start, Rgb(100 << 16 | 200 << 8 | 100));
    QCOMPARE(shade.end, Rgb(255 << 16 | 200 << 8 | 255));

    // A line drawn as a shading, grey turning lighter to the right on black:
    // its colour changes along it, though a sample across it falls beside it.
    QByteArray lineData = "P6 40 40 255\n";
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x)
            lineData.append(QByteArray(3, char(y >= 19 && y <= 21 ? 50 + 5 * x : 0)));
    }
    Shade line{QRectF(0, 19, 40, 4)};
    ShadeColours::colour(*ShadeColours::parse(lineData), QSizeF(40, 40), line);
    QVERIFY(!line.vertical);
    QVERIFY(line.start < line.end && line.start > 0);

    // The renderer rounds the page up to whole pixels (100.5 points at 72
    // dots an inch are 101 rows): its own scale finds a thin line's row.
    QByteArray roundedData = "P6 100 101 255\n";
    for (int y = 0; y < 101; ++y) {
        for (int x = 0; x < 100; ++x)
            roundedData.append(QByteArray(3, char(y == 89 ? 50 + 2 * x : 0)));
    }
    std::optional<ShadeColours::Pixmap> rounded = ShadeColours::parse(roundedData);
    rounded->dpi = 72;
    Shade thin{QRectF(0, 89.5, 100, 0.6)};
    ShadeColours::colour(*rounded, QSizeF(100, 100.5), thin);
    QVERIFY(thin.start > 0 && thin.start < thin.end);

    // Pages are rendered small, but a line drawn as a shading is three
    // pixels across, within the largest pixmap read.
    SourcePage page;
    page.size = QSizeF(600, 800);
    page.shades = {{QRectF(0, 0, 600, 800)}};
    QCOMPARE(ShadeColours::dpiFor(page), 18);
    page.shades.append({QRectF(10, 300, 480, 1.47)});
    QCOMPARE(ShadeColours::dpiFor(page), 147);
    page.shades.append({QRectF(10, 400, 480, 0.1)});
    QCOMPARE(ShadeColours::dpiFor(page), 150);
    page.size = QSizeF(7200, 7200);
    QCOMPARE(ShadeColours::dpiFor(page), 47);
}

void TestLayoutParts::pixmapHeaderIsChecked()
{
    QVERIFY(!ShadeColours::parse("P5\n1 1\n255\n\x01"));                     // grey
    QVERIFY(!ShadeColours::parse("P6\n2 2\n255\nabc"));                      // short data
    QVERIFY(!ShadeColours::parse("P6\n2 2\n65535\n" + QByteArray(24, 'a'))); // 16 bits
    QVERIFY(!ShadeColours::parse("P6\n99999999 99999999\n255\n"));           // absurd size
    QVERIFY(ShadeColours::parse("P6 1 1 255 " + QByteArray(3, 'a')));
}

void TestLayoutParts::imageListMatchesPlacementsInOrder()
{
    const QString listing =
        QStringLiteral("page   num  type   width height color comp bpc  enc interp  object ID x-ppi y-ppi size ratio\n"
                       "--------------------------------------------------------------------------------------------\n"
                       "   1     0 image     100    50  rgb     3   8  jpeg   no        12  0    72    72 2000B 10%\n"
                       "   1     1 smask     100    50  gray    1   8  image  no        13  0    72    72  500B 10%\n"
                       "   1     2 image       8     4  rgb     3   8  image  no        14  0    72    72   96B 100%\n"
                       "   2     3 image     100    50  rgb     3   8  jpeg   no        12  0    72    72 2000B 10%\n");
    const QList<ImageCatalog::Entry> entries = ImageCatalog::parseList(listing);
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries[0].key, QStringLiteral("12 0"));
    QCOMPARE(entries[1].type, QStringLiteral("smask"));
    QList<SourcePage> pages(2);
    ImagePlacement small;
    small.pixels = QSize(8, 4);
    ImagePlacement large;
    large.pixels = QSize(100, 50);
    ImagePlacement unknown;
    unknown.pixels = QSize(1, 1);
    pages[0].images = {large, small, unknown};
    pages[1].images = {large};
    const QHash<int, QString> files = {{0, QStringLiteral("x-001-000.jpg")},
                                       {1, QStringLiteral("x-001-001.png")},
                                       {2, QStringLiteral("x-001-002.png")},
                                       {3, QStringLiteral("x-002-003.jpg")}};
    ImageCatalog::match(pages, entries, files);
    QCOMPARE(pages[0].images[0].file, QStringLiteral("x-001-000.jpg"));
    QCOMPARE(pages[0].images[1].file, QStringLiteral("x-001-002.png"));
    QVERIFY(pages[0].images[2].file.isEmpty());
    // The soft mask listed after an image is that image's.
    QCOMPARE(pages[0].images[0].maskFile, QStringLiteral("x-001-001.png"));
    QVERIFY(pages[0].images[1].maskFile.isEmpty());
    // The same object on another page is the same image.
    QCOMPARE(pages[1].images[0].key, pages[0].images[0].key);

    QTemporaryDir dir;
    for (const char *name : {"img-001-000.png", "img-002-017.jpg", "readme.txt"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QHash<int, QString> found = ImageCatalog::extractedFiles(dir.path());
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.value(17), dir.filePath(QStringLiteral("img-002-017.jpg")));
}

void TestLayoutParts::placementsOfOneImageShareOnePortableFile()
{
    // pdfimages writes an image once for each time it is drawn, in netpbm's
    // formats: each image becomes one PNG, its soft mask stays as written.
    QTemporaryDir dir;
    const auto placed = [&dir](const char *key, const char *file, const char *mask) {
        ImagePlacement placement;
        placement.key = QLatin1String(key);
        placement.file = file ? dir.filePath(QLatin1String(file)) : QString();
        placement.maskFile = mask ? dir.filePath(QLatin1String(mask)) : QString();
        return placement;
    };
    QImage colours(3, 2, QImage::Format_RGB32);
    colours.fill(QColor(200, 30, 40));
    colours.setPixel(2, 1, qRgb(0, 0, 255));
    QVERIFY(colours.save(dir.filePath(QStringLiteral("img-001-000.ppm")), "PPM"));
    QVERIFY(colours.save(dir.filePath(QStringLiteral("img-002-002.ppm")), "PPM"));
    QImage bits(8, 1, QImage::Format_Mono);
    bits.fill(1);
    QVERIFY(bits.save(dir.filePath(QStringLiteral("img-001-004.pbm")), "PBM"));
    QFile broken(dir.filePath(QStringLiteral("img-002-005.ppm")));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("P6\n2 2\n255\nshort") > 0);
    broken.close();
    QList<SourcePage> pages(2);
    pages[0].images = {placed("12 0", "img-001-000.ppm", "img-001-001.pgm"), placed("14 0", "img-001-003.jpg", nullptr),
                       placed("15 0", "img-001-004.pbm", nullptr), placed("16 0", nullptr, nullptr)};
    pages[1].images = {placed("12 0", "img-002-002.ppm", "img-002-003.pgm"),
                       placed("17 0", "img-002-005.ppm", nullptr)};
    ImageCatalog::settleFiles(pages);

    const QString png = dir.filePath(QStringLiteral("img-001-000.png"));
    QCOMPARE(pages[0].images[0].file, png);
    QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32), colours);
    QCOMPARE(pages[1].images[0].file, png);
    QCOMPARE(pages[1].images[0].maskFile, dir.filePath(QStringLiteral("img-001-001.pgm")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("img-002-002.png"))));
    // JPEG stays JPEG; a bitmap becomes PNG; a broken file is no picture.
    QCOMPARE(pages[0].images[1].file, dir.filePath(QStringLiteral("img-001-003.jpg")));
    QCOMPARE(QImage(pages[0].images[2].file).pixel(0, 0),
             QImage(dir.filePath(QStringLiteral("img-001-004.pbm"))).pixel(0, 0));
    QVERIFY(pages[0].images[2].file.endsWith(QStringLiteral(".png")));
    QVERIFY(pages[0].images[3].file.isEmpty());
    QVERIFY(pages[1].images[1].file.isEmpty());
}

void TestLayoutParts::seeThroughAndClippedImagesShowAsDrawn()
{
    // The trace: an image at 60 % in a group at 50 %, through a clip that
    // shows its left half; one drawn plainly after it.
    const QByteArray trace =
        "<document><page mediabox=\"0 0 600 800\">"
        "<group bbox=\"0 0 600 800\" isolated=\"0\" knockout=\"0\" blendmode=\"Normal\" alpha=\".5\">"
        "<clip_path winding=\"nonzero\" transform=\"1 0 0 1 0 0\"><moveto x=\"100\" y=\"100\"/>"
        "<lineto x=\"150\" y=\"100\"/><lineto x=\"150\" y=\"150\"/><lineto x=\"100\" y=\"150\"/>"
        "<closepath/></clip_path>"
        "<fill_image alpha=\".6\" transform=\"100 0 0 50 100 100\" width=\"4\" height=\"2\"/>"
        "<pop_clip/></group>"
        "<fill_image alpha=\"1\" transform=\"100 0 0 50 100 300\" width=\"4\" height=\"2\"/>"
        "</page></document>";
    QString error;
    std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    QList<ImagePlacement> &images = document->pages.first().images;
    QCOMPARE(images.size(), 2);
    const auto near = [](const QRectF &a, const QRectF &b) {
        return qAbs(a.left() - b.left()) < 0.01 && qAbs(a.top() - b.top()) < 0.01 &&
               qAbs(a.right() - b.right()) < 0.01 && qAbs(a.bottom() - b.bottom()) < 0.01;
    };
    QVERIFY(qAbs(images[0].opacity - 0.3) < 1e-9);
    QVERIFY(near(images[0].clip, QRectF(100, 100, 50, 50)));
    QCOMPARE(images[1].opacity, 1.0);
    QVERIFY(images[1].clip.isNull());

    // Composed: the soft mask (opaque left, clear right) times the opacity.
    QTemporaryDir dir;
    QImage red(4, 2, QImage::Format_RGB32);
    red.fill(Qt::red);
    QImage mask(2, 1, QImage::Format_Grayscale8);
    mask.setPixel(0, 0, qRgb(255, 255, 255));
    mask.setPixel(1, 0, qRgb(0, 0, 0));
    QVERIFY(red.save(dir.filePath(QStringLiteral("red.png"))) && mask.save(dir.filePath(QStringLiteral("mask.png"))));
    for (ImagePlacement &image : images)
        image.file = dir.filePath(QStringLiteral("red.png"));
    images[0].maskFile = dir.filePath(QStringLiteral("mask.png"));
    images[0].key = images[1].key = QStringLiteral("12 0");
    ImageAlpha::apply(document->pages, dir.path());
    QVERIFY(images[0].file != images[1].file);
    QVERIFY(images[0].key != images[1].key); // the same object, drawn two ways
    QCOMPARE(images[1].file, dir.filePath(QStringLiteral("red.png")));
    const QImage composed(images[0].file);
    QCOMPARE(composed.size(), QSize(4, 2));
    QCOMPARE(composed.pixelColor(0, 0).red(), 255);
    QVERIFY(qAbs(qAlpha(composed.pixel(0, 0)) - 77) <= 1); // 30 % of 255
    QCOMPARE(qAlpha(composed.pixel(3, 1)), 0);
    QVERIFY(
        !ImageAlpha::compose(dir.filePath(QStringLiteral("none.png")), {}, 0.5, dir.filePath(QStringLiteral("x.png"))));

    // Only the clipped part shows, cut from the picture; an image wholly off
    // the page shows nothing.
    ImagePlacement away = images[1];
    away.box.translate(0, 900);
    images.append(away);
    const QList<StructuredPage> pages = DocumentAnalyzer::analyze(*document);
    const QList<Picture> &pictures = pages.first().pictures;
    QCOMPARE(pictures.size(), 2);
    QVERIFY(near(pictures[0].box, QRectF(100, 100, 50, 50)));
    QVERIFY(qAbs(pictures[0].crop.right() - 0.5) < 1e-3 && pictures[0].crop.left() == 0);
    QVERIFY(pictures[1].crop.isNull());
    QList<DocxWriter::Media> media;
    const QString xml = QString::fromUtf8(DocxWriter::documentXml(pages, kStyles, &media));
    QCOMPARE(xml.count(QStringLiteral("<a:srcRect")), 1);
    QVERIFY(xml.contains(QStringLiteral("<a:srcRect l=\"0\" t=\"0\" r=\"50000\" b=\"0\"/>")));
}

void TestLayoutParts::imagesAndShadingsCutToAShapeShowIt()
{
    // A circle of radius 50 about (150, 150), drawn in four curves.
    const QByteArray circle = "<clip_path winding=\"nonzero\" transform=\"1 0 0 1 0 0\"><moveto x=\"200\" y=\"150\"/>"
                              "<curveto x1=\"200\" y1=\"177.6\" x2=\"177.6\" y2=\"200\" x3=\"150\" y3=\"200\"/>"
                              "<curveto x1=\"122.4\" y1=\"200\" x2=\"100\" y2=\"177.6\" x3=\"100\" y3=\"150\"/>"
                              "<curveto x1=\"100\" y1=\"122.4\" x2=\"122.4\" y2=\"100\" x3=\"150\" y3=\"100\"/>"
                              "<curveto x1=\"177.6\" y1=\"100\" x2=\"200\" y2=\"122.4\" x3=\"200\" y3=\"150\"/>"
                              "<closepath/></clip_path>";
    // A portrait cut round, one cut to a box, and a shading cut round.
    const QByteArray trace = "<document><page mediabox=\"0 0 600 800\">" + circle +
                             "<fill_image alpha=\"1\" transform=\"100 0 0 100 100 100\" width=\"20\" height=\"20\"/>"
                             "<pop_clip/>"
                             "<clip_path winding=\"nonzero\" transform=\"1 0 0 1 0 0\"><moveto x=\"100\" y=\"300\"/>"
                             "<lineto x=\"150\" y=\"300\"/><lineto x=\"150\" y=\"400\"/><lineto x=\"100\" y=\"400\"/>"
                             "<closepath/></clip_path>"
                             "<fill_image alpha=\"1\" transform=\"100 0 0 100 100 300\" width=\"20\" height=\"20\"/>"
                             "<pop_clip/>" +
                             circle +
                             "<fill_shade alpha=\"1\" transform=\"1 0 0 1 0 0\" type=\"linear\"/><pop_clip/>"
                             // a triangle whose corners are corners of its bounding box
                             "<clip_path winding=\"nonzero\" transform=\"1 0 0 1 0 0\"><moveto x=\"300\" "
                             "y=\"100\"/><lineto x=\"400\" y=\"100\"/><lineto x=\"300\" y=\"200\"/>"
                             "<closepath/></clip_path><fill_image alpha=\"1\" transform=\"100 0 0 100 300 "
                             "100\" width=\"20\" height=\"20\"/><pop_clip/>"
                             // the same triangle lower down, and the circle moved into it, nested
                             "<clip_path winding=\"nonzero\" transform=\"1 0 0 1 0 200\"><moveto x=\"300\" "
                             "y=\"100\"/><lineto x=\"400\" y=\"100\"/><lineto x=\"300\" y=\"200\"/>"
                             "<closepath/></clip_path>" +
                             QByteArray(circle).replace("transform=\"1 0 0 1 0 0\"", "transform=\"1 0 0 1 200 200\"") +
                             "<fill_image alpha=\"1\" transform=\"100 0 0 100 300 300\" width=\"20\" "
                             "height=\"20\"/><pop_clip/><pop_clip/></page></document>";
    QString error;
    std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    SourcePage &page = document->pages.first();
    QCOMPARE(page.images.size(), 4);
    QVERIFY(!page.images[0].clipShape.isEmpty());
    QVERIFY(page.images[1].clipShape.isEmpty());
    QVERIFY(!page.images[2].clipShape.isEmpty());
    // Nested outlines cut as both: inside the circle (about 350, 350) but
    // past the triangle's slant nothing shows.
    QVERIFY(page.images[3].clipShape.contains(QPointF(320, 320)));
    QVERIFY(!page.images[3].clipShape.contains(QPointF(380, 380)));
    QVERIFY(page.shades.isEmpty());
    QCOMPARE(page.drawings.size(), 1);
    QVERIFY(page.drawings.first().contains(QRectF(101, 101, 98, 98)));

    // The portrait becomes a picture whose corners show nothing.
    QTemporaryDir dir;
    QImage red(20, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(dir.filePath(QStringLiteral("red.png"))));
    for (ImagePlacement &image : page.images)
        image.file = dir.filePath(QStringLiteral("red.png"));
    ImageAlpha::apply(document->pages, dir.path());
    QVERIFY(page.images[0].key.contains(QStringLiteral(" cut ")));
    QCOMPARE(page.images[1].file, dir.filePath(QStringLiteral("red.png")));
    const QImage cut(page.images[0].file);
    QCOMPARE(cut.size(), QSize(20, 20));
    QCOMPARE(qAlpha(cut.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(cut.pixel(19, 19)), 0);
    QCOMPARE(qAlpha(cut.pixel(10, 10)), 255);
    QCOMPARE(QColor(cut.pixel(10, 10)).red(), 255);
}

void TestLayoutParts::framesDrawnOverPicturesStayOverThem()
{
    // A box behind a photograph, the photograph, then a frame stroked on it
    // and a box reaching from it to a word beside it.
    const QByteArray trace =
        "<document><page mediabox=\"0 0 600 800\">" + tracedBox(QRectF(80, 80, 140, 90), "color=\"0 0 1\"") +
        "<fill_image alpha=\"1\" transform=\"100 0 0 50 100 100\" width=\"4\" height=\"2\"/>" +
        tracedPath("stroke_path", "linewidth=\"2\" color=\".5 .3 .7\"",
                   {QPointF(105, 105), QPointF(195, 105), QPointF(195, 145), QPointF(105, 145)}, true) +
        tracedBox(QRectF(190, 120, 110, 20), "color=\"1 0 0\"") + "</page></document>";
    QString error;
    std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    SourcePage &page = document->pages.first();
    QCOMPARE(page.fills.size(), 2);
    QCOMPARE(page.rules.size(), 4);
    QCOMPARE(page.images.size(), 1);
    QVERIFY(page.fills[0].order < page.images[0].order && page.images[0].order < page.rules[0].order &&
            page.rules[3].order < page.fills[1].order);
    page.images[0].file = QStringLiteral("photo.png");
    Glyph glyph;
    glyph.text = QStringLiteral("x");
    glyph.size = 10;
    glyph.baseline = 138;
    glyph.box = QRectF(250, 128, 6, 10);
    page.glyphs.append(glyph);

    const StructuredPage structured = DocumentAnalyzer::analyze(*document).first();
    QCOMPARE(structured.pictures.size(), 1);
    QVERIFY(!structured.pictures.first().behindText);
    int front = 0;
    for (const Shape &shape : structured.shapes) {
        front += shape.inFront ? 1 : 0;
        // The box behind and the one holding text stay behind the text.
        QCOMPARE(shape.inFront, shape.lineWidth > 0);
    }
    QCOMPARE(front, 4);
    // The frame is written after the photograph, in front of the text as it is.
    QList<DocxWriter::Media> media;
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({structured}, kStyles, &media));
    const QStringList anchors = xml.split(QStringLiteral("<wp:anchor ")).mid(1);
    QStringList order;
    for (const QString &anchor : anchors) {
        const QString name = anchor.section(QStringLiteral("name=\""), 1).section(QLatin1Char(' '), 0, 0);
        order << name + (anchor.contains(QStringLiteral("behindDoc=\"1\"")) ? QStringLiteral(" behind") : QString());
    }
    QCOMPARE(order, strings({"Shape behind", "Shape behind", "Picture", "Line", "Line", "Line", "Line"}));
}

void TestLayoutParts::drawingsBehindTheTextKeepTheirPaintOrder()
{
    // A slide: a shading drawn as a line over a black panel, painted before
    // it in the list, and a background photograph between them; a figure
    // rendered from drawings has no place in the order and goes last.
    StructuredPage page;
    page.size = QSizeF(600, 400);
    Shape line{QRectF(10, 300, 480, 1.5), 0xcbcbcb, true, false, 0x333333};
    line.order = 7;
    Shape panel{QRectF(0, 200, 600, 200), 0};
    panel.order = 5;
    page.shapes = {line, panel};
    Picture photo{QRectF(0, 0, 600, 400),      QSizeF(600, 400),    0,   false,
                  QStringLiteral("photo.png"), QStringLiteral("1"), true};
    photo.order = 2;
    Picture figure{QRectF(300, 50, 100, 100),    QSizeF(100, 100),           0,   false,
                   QStringLiteral("figure.png"), QStringLiteral("figure 1"), true};
    page.pictures = {figure, photo};
    QList<DocxWriter::Media> media;
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, &media));
    QStringList order;
    for (const QString &anchor : xml.split(QStringLiteral("<wp:anchor ")).mid(1)) {
        const bool wide = anchor.contains(QStringLiteral("cx=\"7620000\"")); // 600 points
        order << anchor.section(QStringLiteral("name=\""), 1).section(QLatin1Char(' '), 0, 0) +
                     (anchor.contains(QStringLiteral("gradFill")) ? QStringLiteral(" shaded") : QString()) +
                     (wide ? QStringLiteral(" wide") : QString());
    }
    QCOMPARE(order, strings({"Picture wide", "Shape wide", "Shape shaded", "Picture"}));
}

void TestLayoutParts::thinBarWithRoundedEndsIsARule()
{
    // A slide's tick: a bar 0.6 points wide whose ends are rounded in many
    // small curves.
    QByteArray path = "<moveto x=\"318.784\" y=\"57.089\"/>";
    const auto curve = [&path](const char *points) { path += QByteArray("<curveto ") + points + "/>"; };
    curve("x1=\"318.756\" y1=\"57.089\" x2=\"318.699\" y2=\"57.089\" x3=\"318.643\" y3=\"57.061\"");
    curve("x1=\"318.614\" y1=\"57.032\" x2=\"318.557\" y2=\"56.976\" x3=\"318.529\" y3=\"56.947\"");
    curve("x1=\"318.501\" y1=\"56.891\" x2=\"318.501\" y2=\"56.834\" x3=\"318.501\" y3=\"56.777\"");
    path += "<lineto x=\"318.501\" y=\"18.963\"/>";
    curve("x1=\"318.501\" y1=\"18.878\" x2=\"318.529\" y2=\"18.821\" x3=\"318.643\" y3=\"18.708\"");
    curve("x1=\"318.699\" y1=\"18.68\" x2=\"318.756\" y2=\"18.68\" x3=\"318.813\" y3=\"18.68\"");
    curve("x1=\"318.898\" y1=\"18.68\" x2=\"318.983\" y2=\"18.736\" x3=\"319.096\" y3=\"18.963\"");
    path += "<lineto x=\"319.096\" y=\"56.777\"/>";
    curve("x1=\"319.096\" y1=\"56.891\" x2=\"319.039\" y2=\"56.976\" x3=\"318.954\" y3=\"57.061\"");
    curve("x1=\"318.898\" y1=\"57.089\" x2=\"318.841\" y2=\"57.089\" x3=\"318.784\" y3=\"57.089\"");
    const QByteArray trace = "<document><page mediabox=\"0 0 800 450\">"
                             "<fill_path winding=\"eofill\" color=\".8 .8 .8\" transform=\"1 0 0 -1 0 450\">" +
                             path + "<closepath/></fill_path></page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const SourcePage &page = document->pages.first();
    QVERIFY(page.drawings.isEmpty());
    QCOMPARE(page.rules.size(), 1);
    QVERIFY(!page.rules.first().horizontal());
    QVERIFY(qAbs(page.rules.first().width - 0.595) < 0.01);
}

void TestLayoutParts::whiteLinesShowOnColour()
{
    // A chart's white grid lines on a coloured panel are kept; on the bare
    // page they draw nothing.
    const QByteArray trace =
        "<document><page mediabox=\"0 0 600 800\">" + tracedBox(QRectF(0, 0, 600, 400), "color=\"0 .6 .7\"") +
        tracedPath("stroke_path", "linewidth=\"0\" color=\"1 1 1\"", {QPointF(50, 200), QPointF(550, 200)}, false) +
        tracedPath("stroke_path", "linewidth=\"0\" color=\"1 1 1\"", {QPointF(50, 600), QPointF(550, 600)}, false) +
        "</page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const QList<Rule> &rules = document->pages.first().rules;
    QCOMPARE(rules.size(), 1);
    QCOMPARE(rules.first().from.y(), 200.0);
    QCOMPARE(rules.first().color, Rgb(0xffffff));
}

void TestLayoutParts::gridWithoutTextIsADrawing()
{
    // A ruled grid of two by two cells: a drawing's lines while empty, a
    // table once a cell holds a word.
    SourceDocument document;
    SourcePage page;
    page.size = QSizeF(600, 800);
    for (const double at : {100.0, 130.0, 160.0}) {
        page.rules.append({QPointF(100, at), QPointF(300, at), 0.5, 0});
        page.rules.append({QPointF(at * 2 - 100, 100), QPointF(at * 2 - 100, 160), 0.5, 0});
    }
    document.pages = {page};
    const StructuredPage empty = DocumentAnalyzer::analyze(document).first();
    QVERIFY(empty.tables.isEmpty());
    QCOMPARE(empty.shapes.size(), 6);
    Glyph glyph;
    glyph.text = QStringLiteral("x");
    glyph.size = 10;
    glyph.baseline = 120;
    glyph.box = QRectF(120, 110, 6, 10);
    document.pages.first().glyphs.append(glyph);
    const StructuredPage filled = DocumentAnalyzer::analyze(document).first();
    QCOMPARE(filled.tables.size(), 1);
    QVERIFY(filled.shapes.isEmpty());
}

void TestLayoutParts::captionOverARuledTableStaysApart()
{
    // A caption, a table's top rule just under it (shorter than the caption
    // at both ends), a head row, a rule under it, three rows and a bottom rule.
    SourceDocument document;
    document.styles = kStyles;
    SourcePage page;
    page.size = QSizeF(400, 300);
    const auto write = [&page](const QString &text, double x, double baseline) {
        for (const QChar c : text) {
            Glyph glyph;
            glyph.text = c;
            glyph.size = 10;
            glyph.style = 0;
            glyph.baseline = baseline;
            glyph.box = QRectF(x, baseline - 7.8, 5, 10);
            page.glyphs.append(glyph);
            x += 5;
        }
    };
    // The caption and the head row are centred in the column, 15 points apart, like two lines of one title.
    write(QStringLiteral("Body text of the paragraph above runs the full way"), 72, 80);
    write(QStringLiteral("Table 1: Fruit counted here"), 129.5, 100);
    write(QStringLiteral("Name"), 167, 115);
    write(QStringLiteral("Count"), 199, 115);
    write(QStringLiteral("Quince"), 167, 131);
    write(QStringLiteral("3"), 219, 131);
    write(QStringLiteral("Medlar"), 167, 143);
    write(QStringLiteral("12"), 214, 143);
    write(QStringLiteral("Sloe"), 167, 155);
    write(QStringLiteral("7"), 219, 155);
    for (const double y : {103.5, 119.0, 159.0})
        page.rules.append({QPointF(139, y), QPointF(255, y), 0.8, 0, true});
    document.pages = {page};
    const StructuredPage structured = DocumentAnalyzer::analyze(document).first();
    const QList<const Paragraph *> order = structured.readingOrder();
    QVERIFY(order.size() > 1);
    QCOMPARE(order[1]->text(), QStringLiteral("Table 1: Fruit counted here"));
    QVERIFY(std::none_of(order[1]->runs.cbegin(), order[1]->runs.cend(),
                         [](const TextRun &run) { return run.marks.underline; }));
    // The rule under the head row parts nothing: the rows stay one table.
    QCOMPARE(structured.tables.size(), 1);
    QVERIFY(structured.tables.first().rows() >= 3);

    // The same rules as edges of a frame, its sides meeting them a few points
    // from their ends (rounded corners, as a listing's frame), part nothing:
    // what a frame holds is read with what is around it, as it always was.
    for (const double x : {135.5, 258.5})
        document.pages.first().rules.append({QPointF(x, 107), QPointF(x, 155.5), 0.8, 0, true});
    const StructuredPage framedPage = DocumentAnalyzer::analyze(document).first();
    const QList<const Paragraph *> framed = framedPage.readingOrder();
    QVERIFY(framed.size() > 1);
    QVERIFY2(framed[1]->text().startsWith(QStringLiteral("Table 1: Fruit counted here\nName")),
             qPrintable(framed[1]->text()));
}

void TestLayoutParts::dashedLinesStayDashed()
{
    // A dotted line (dashes no longer than it is wide, with round caps), a
    // dashed one and a solid one.
    const auto stroke = [](const char *dash, int y) {
        return tracedPath("stroke_path", QByteArray("linewidth=\".85\" linecap=\"1,1,1\" color=\"0 0 0\" ") + dash,
                          {QPointF(50, y), QPointF(300, y)}, false);
    };
    const QByteArray trace = "<document><page mediabox=\"0 0 600 800\">" +
                             stroke("dash_phase=\"0\" dash=\".85 2.55\"", 100) +
                             stroke("dash_phase=\"0\" dash=\"5 3.6\"", 200) + stroke("", 300) + "</page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const QList<Rule> &rules = document->pages.first().rules;
    QCOMPARE(rules.size(), 3);
    QVERIFY(rules[0].dash == Dash::Dots);
    QVERIFY(rules[1].dash == Dash::Dashes);
    QVERIFY(rules[2].dash == Dash::None);
    const QString xml =
        QString::fromUtf8(DocxWriter::documentXml(DocumentAnalyzer::analyze(*document), kStyles, nullptr));
    QCOMPARE(xml.count(QStringLiteral("<a:prstDash val=\"sysDot\"/>")), 1);
    QCOMPARE(xml.count(QStringLiteral("<a:prstDash val=\"dash\"/>")), 1);
}

void TestLayoutParts::seeThroughShapesKeepTheirOpacity()
{
    // A black panel, then white at 30 % in a group at half: grey on the slide.
    const QByteArray trace =
        "<document><page mediabox=\"0 0 600 800\">" + tracedBox(QRectF(0, 0, 600, 200), "color=\"0 0 0\"") +
        "<group bbox=\"0 0 600 800\" isolated=\"0\" knockout=\"1\" blendmode=\"Normal\" alpha=\".5\">" +
        tracedBox(QRectF(40, 20, 520, 60), "color=\"1 1 1\" alpha=\".6\"") + "</group></page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const QList<FilledBox> &fills = document->pages.first().fills;
    QCOMPARE(fills.size(), 2);
    QCOMPARE(fills[0].opacity, 1.0);
    QVERIFY(qAbs(fills[1].opacity - 0.3) < 1e-9);
    const QList<StructuredPage> pages = DocumentAnalyzer::analyze(*document);
    QCOMPARE(pages.first().shapes.size(), 2);
    const QString xml = QString::fromUtf8(DocxWriter::documentXml(pages, kStyles, nullptr));
    QCOMPARE(xml.count(QStringLiteral("<a:alpha ")), 1);
    QVERIFY(xml.contains(QStringLiteral("<a:srgbClr val=\"FFFFFF\"><a:alpha val=\"30000\"/></a:srgbClr>")));
}

void TestLayoutParts::ruledGridBecomesTable()
{
    QList<Rule> rules;
    for (int r = 0; r <= 3; ++r)
        rules.append({QPointF(100, 100 + r * 20), QPointF(300, 100 + r * 20), 0.5, 0});
    for (int c = 0; c <= 4; ++c)
        rules.append({QPointF(100 + c * 50, 100), QPointF(100 + c * 50, 160), 0.5, 0});
    // A shaded header cell, and a stray rule elsewhere on the page.
    rules.append({QPointF(100, 400), QPointF(300, 400), 0.5, 0});
    // Another, black at a quarter: grey over the paper.
    // A row's background drawn once behind all its cells shades each.
    const QList<FilledBox> fills = {{QRectF(100, 100, 50, 20), 0xdddddd},
                                    {QRectF(150, 100, 50, 20), 0, -1, 0.25},
                                    {QRectF(100, 140, 200, 20), 0xeeeeee}};
    const QList<RuledTables::Found> found = RuledTables::find(rules, fills);
    QCOMPARE(found.size(), 1);
    const Table &table = found.first().table;
    QCOMPARE(table.rows(), 3);
    QCOMPARE(table.columns(), 4);
    QCOMPARE(table.box(), QRectF(100, 100, 200, 60));
    QVERIFY(table.ruled);
    QVERIFY(table.cells[0][0].filled);
    QCOMPARE(table.cells[0][0].fill, Rgb(0xdddddd));
    QCOMPARE(table.cells[0][1].fill, Rgb(0xbfbfbf));
    QVERIFY(!table.cells[0][2].filled && !table.cells[1][0].filled);
    for (int c = 0; c < 4; ++c)
        QVERIFY(table.cells[2][c].filled && table.cells[2][c].fill == 0xeeeeee);
    QCOMPARE(found.first().rules.size(), 9);
    QVERIFY(!found.first().rules.contains(9));

    // A grid whose corner over the rows' labels and under the columns'
    // headings is left open is a table still.
    QList<Rule> cornered;
    for (int r = 0; r <= 4; ++r)
        cornered.append({QPointF(r == 0 ? 150 : 100, 300 + r * 20), QPointF(300, 300 + r * 20), 0.5, 0});
    for (int c = 0; c <= 4; ++c)
        cornered.append({QPointF(100 + c * 50, c == 0 ? 320 : 300), QPointF(100 + c * 50, 380), 0.5, 0});
    const QList<RuledTables::Found> withCorner = RuledTables::find(cornered, {});
    QCOMPARE(withCorner.size(), 1);
    QCOMPARE(withCorner.first().table.rows(), 4);
    QCOMPARE(withCorner.first().table.columns(), 4);

    // Two boxes of a diagram joined by a line, and a chart's grid over its
    // axis and ticks, line up as grids whose edges are open: no tables.
    QList<Rule> diagram;
    for (const double left : {100.0, 250.0}) {
        for (const double y : {500.0, 540.0})
            diagram.append({QPointF(left, y), QPointF(left + 100, y), 1, 0});
        for (const double x : {left, left + 100})
            diagram.append({QPointF(x, 500), QPointF(x, 540), 1, 0});
    }
    diagram.append({QPointF(200, 520), QPointF(250, 520), 1, 0});
    QVERIFY(RuledTables::find(diagram, {}).isEmpty());
    QList<Rule> chart;
    for (int y = 0; y <= 5; ++y)
        chart.append({QPointF(100, 600 + y * 20), QPointF(400, 600 + y * 20), 0.5, 0});
    chart.append({QPointF(100, 600), QPointF(100, 700), 0.5, 0});
    for (int x = 1; x <= 4; ++x)
        chart.append({QPointF(100 + x * 75, 700), QPointF(100 + x * 75, 704), 0.5, 0});
    QVERIFY(RuledTables::find(chart, {}).isEmpty());
    // A frame a line comes into at its side (a diagram's box) is a frame
    // still, not a table of one merged cell.
    QList<Rule> framed;
    framed.append({QPointF(100, 800), QPointF(200, 800), 1, 0});
    framed.append({QPointF(100, 840), QPointF(200, 840), 1, 0});
    framed.append({QPointF(100, 800), QPointF(100, 840), 1, 0});
    framed.append({QPointF(200, 800), QPointF(200, 840), 1, 0});
    framed.append({QPointF(200, 820), QPointF(260, 820), 1, 0});
    QVERIFY(RuledTables::find(framed, {}).isEmpty());
    QCOMPARE(RuledTables::cellAt(table, QPointF(260, 150)), std::make_pair(2, 3));
    QCOMPARE(RuledTables::cellAt(table, QPointF(10, 10)), std::make_pair(-1, -1));
}

void TestLayoutParts::missingRuleMergesCells()
{
    // Two rows of three columns; the first row has no rule between its first two cells.
    QList<Rule> rules;
    for (int r = 0; r <= 2; ++r)
        rules.append({QPointF(100, 100 + r * 20), QPointF(250, 100 + r * 20), 0.5, 0});
    rules.append({QPointF(100, 100), QPointF(100, 140), 0.5, 0});
    rules.append({QPointF(150, 120), QPointF(150, 140), 0.5, 0});
    rules.append({QPointF(200, 100), QPointF(200, 140), 0.5, 0});
    rules.append({QPointF(250, 100), QPointF(250, 140), 0.5, 0});
    const QList<RuledTables::Found> found = RuledTables::find(rules, {});
    QCOMPARE(found.size(), 1);
    const Table &table = found.first().table;
    QCOMPARE(table.columns(), 3);
    QCOMPARE(table.cells[0][0].columnSpan, 2);
    QCOMPARE(table.cells[0][1].columnSpan, 0);
    QCOMPARE(table.cells[1][0].columnSpan, 1);
    QCOMPARE(RuledTables::cellAt(table, QPointF(175, 110)), std::make_pair(0, 0));
}

void TestLayoutParts::gridRuledOnlyInsideHasOpenSides()
{
    // Three rows of four columns ruled only between them: the rules between
    // the rows run the table's width, those between the columns its height.
    QList<Rule> rules;
    for (int r = 1; r <= 2; ++r)
        rules.append({QPointF(100, 100 + r * 20), QPointF(300, 100 + r * 20), 0.5, 0});
    for (int c = 1; c <= 3; ++c)
        rules.append({QPointF(100 + c * 50, 100), QPointF(100 + c * 50, 160), 0.5, 0});
    const QList<RuledTables::Found> found = RuledTables::find(rules, {});
    QCOMPARE(found.size(), 1);
    Table table = found.first().table;
    QCOMPARE(table.rows(), 3);
    QCOMPARE(table.columns(), 4);
    QCOMPARE(table.box(), QRectF(100, 100, 200, 60));
    QCOMPARE(table.openRowEdges, (QSet<int>{0, 3}));
    QCOMPARE(table.openColumnEdges, (QSet<int>{0, 4}));

    // Two columns with one rule between them, ruled under each row: open
    // above and at the sides.
    QList<Rule> pairs;
    for (int r = 1; r <= 3; ++r)
        pairs.append({QPointF(100, 300 + r * 20), QPointF(300, 300 + r * 20), 0.5, 0});
    pairs.append({QPointF(180, 300), QPointF(180, 360), 0.5, 0});
    const QList<RuledTables::Found> paired = RuledTables::find(pairs, {});
    QCOMPARE(paired.size(), 1);
    QCOMPARE(paired.first().table.rows(), 3);
    QCOMPARE(paired.first().table.columnEdges, (QList<double>{100, 180, 300}));
    QCOMPARE(paired.first().table.openRowEdges, (QSet<int>{0}));

    // A page's column rule between its head and foot rules is no table, nor
    // is a frame with a rule running on past it a table with an open column.
    const QList<Rule> page = {{QPointF(50, 50), QPointF(550, 50), 0.5, 0},
                              {QPointF(50, 750), QPointF(550, 750), 0.5, 0},
                              {QPointF(300, 50), QPointF(300, 750), 0.5, 0}};
    QVERIFY(RuledTables::find(page, {}).isEmpty());
    QList<Rule> framed = rules;
    framed.append({{QPointF(100, 100), QPointF(300, 100), 0.5, 0},
                   {QPointF(100, 160), QPointF(400, 160), 0.5, 0},
                   {QPointF(100, 100), QPointF(100, 160), 0.5, 0},
                   {QPointF(300, 100), QPointF(300, 160), 0.5, 0}});
    const QList<RuledTables::Found> closed = RuledTables::find(framed, {});
    QCOMPARE(closed.size(), 1);
    QCOMPARE(closed.first().table.columns(), 4);
    QVERIFY(closed.first().table.openRowEdges.isEmpty() && closed.first().table.openColumnEdges.isEmpty());

    // The open sides stay open in the document and on the sheet.
    for (QList<TableCell> &row : table.cells)
        row[0].paragraphs = {paragraph(QStringLiteral("cell"), 0, 0, 105)};
    table.cells[0][0].paragraphs.first().box = QRectF(105, 105, 20, 10);
    StructuredPage structured;
    structured.tables = {table};
    structured.bands = {{0, 300, {{0, 600, {{FlowItem::Kind::Table, 0}}}}}};
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({structured}, kStyles, nullptr));
    QVERIFY(xml.contains(QStringLiteral("<w:tcBorders><w:top w:val=\"nil\"/><w:left w:val=\"nil\"/></w:tcBorders>")));
    QVERIFY(
        xml.contains(QStringLiteral("<w:tcBorders><w:bottom w:val=\"nil\"/><w:right w:val=\"nil\"/></w:tcBorders>")));
    QCOMPARE(xml.count(QStringLiteral("<w:tcBorders>")), 10); // all but the two inner cells of the middle row
    const XlsxWriter::Sheet sheet = SheetBuilder::sheets({structured}).first();
    using Look = XlsxWriter::Look;
    QCOMPARE(sheet.looks.value({0, 0}).borders, quint8(Look::Bottom | Look::Right));
    QCOMPARE(sheet.looks.value({1, 1}).borders, quint8(Look::AllSides));
    QCOMPARE(sheet.looks.value({2, 3}).borders, quint8(Look::Top | Look::Left));
}

void TestLayoutParts::linesOfOneRuledRowBecomeRows()
{
    // A header row and a body row of three columns; the body holds three
    // values a column, the header two lines a column.
    Table table;
    table.columnEdges = {100, 150, 200, 250};
    table.rowEdges = {100, 130, 180};
    table.cells = QList<QList<TableCell>>(2, QList<TableCell>(3));
    table.ruled = true;
    const auto value = [](double baseline, int words = 1, bool hyphenated = false) {
        return RuledTables::CellLine{baseline - 8, baseline, baseline + 2, words, hyphenated};
    };
    RuledTables::CellLines lines;
    for (int c = 0; c < 3; ++c) {
        lines[{0, c}] = {value(112), value(124)};
        lines[{1, c}] = {value(174), value(142), value(158)}; // in any order
    }
    Table split = table;
    QVERIFY(RuledTables::splitRows(split, lines));
    QCOMPARE(split.rows(), 4);
    QCOMPARE(split.rowEdges, (QList<double>{100, 130, 147, 163, 180}));
    QCOMPARE(split.openRowEdges, (QSet<int>{2, 3}));
    QCOMPARE(split.cells[3].size(), 3);

    // Running text, a word broken at a line end, or lines that do not pair
    // up across the row keep the row whole.
    RuledTables::CellLines running = lines;
    running[{1, 2}][0] = value(142, 6);
    RuledTables::CellLines broken = lines;
    broken[{1, 0}][1] = value(158, 1, true);
    RuledTables::CellLines uneven = lines;
    uneven[{1, 1}].removeLast();
    RuledTables::CellLines lonely;
    lonely[{1, 0}] = lines[{1, 0}];
    for (const RuledTables::CellLines &kept : {running, broken, uneven, lonely}) {
        Table whole = table;
        QVERIFY(!RuledTables::splitRows(whole, kept));
        QCOMPARE(whole.rows(), 2);
        QVERIFY(whole.openRowEdges.isEmpty());
    }
}

void TestLayoutParts::singleBoxIsNoTable()
{
    const QList<Rule> frame = {{QPointF(50, 50), QPointF(550, 50), 1, 0},
                               {QPointF(50, 750), QPointF(550, 750), 1, 0},
                               {QPointF(50, 50), QPointF(50, 750), 1, 0},
                               {QPointF(550, 50), QPointF(550, 750), 1, 0}};
    QVERIFY(RuledTables::find(frame, {}).isEmpty());
}

void TestLayoutParts::alignedColumnsBecomeTable()
{
    QList<TextLines::Line> lines;
    const QList<QStringList> rows = {strings({"Fruit", "Count"}), strings({"Quince", "3"}), strings({"Medlar", "12"})};
    for (qsizetype r = 0; r < rows.size(); ++r) {
        TextLines::Line line;
        line.baseline = 100 + r * 12;
        line.size = 10;
        for (qsizetype c = 0; c < 2; ++c) {
            TextWords::Word word;
            word.text = rows[r][c];
            word.box = QRectF(72 + c * 150, 92 + r * 12, 30, 10);
            word.row = int(r);
            line.words.append(word);
        }
        line.segmentStarts = {0, 1};
        line.leaders = {false, false};
        line.box = line.words.first().box.united(line.words.last().box);
        lines.append(line);
    }
    TextLines::Line after = lines.first();
    after.words.removeLast();
    after.segmentStarts = {0};
    after.baseline = 140;
    after.words.first().box.moveTop(132);
    after.box = after.words.first().box;
    lines.append(after);
    const QList<AlignedTables::Part> parts = AlignedTables::split(lines);
    QCOMPARE(parts.size(), 2);
    QVERIFY(parts[0].table);
    QCOMPARE(parts[0].table->rows(), 3);
    QCOMPARE(parts[0].table->columns(), 2);
    QCOMPARE(parts[0].cellLines.value({2, 1}).first().words.first().text, QStringLiteral("12"));
    QVERIFY(!parts[1].table);
    QCOMPARE(parts[1].lines.size(), 1);
}

void TestLayoutParts::alignedCellsHaveTheirOwnFace()
{
    // Rows of a long call in a monospaced face beside a short note in a
    // proportional one: most of each row's letters are monospaced, yet only
    // the code keeps its spacing; the note is text like any other.
    QByteArray trace = "<document><page mediabox=\"0 0 600 800\">";
    // Advances in em: one for every letter of the monospaced face, Helvetica's own for the other.
    const auto span = [&trace](const char *font, const QString &text, double x, double y,
                               const std::function<double(QChar)> &advanceOf) {
        trace += QStringLiteral("<fill_text color=\"0\" transform=\"1 0 0 -1 0 800\"><span font=\"%1\" "
                                "trm=\"10 0 0 10\">")
                     .arg(QLatin1String(font))
                     .toUtf8();
        for (const QChar c : text) {
            const double advance = advanceOf(c);
            trace += QStringLiteral("<g unicode=\"%1\" x=\"%2\" y=\"%3\" adv=\"%4\"/>")
                         .arg(c)
                         .arg(x)
                         .arg(y)
                         .arg(advance)
                         .toUtf8();
            x += 10 * advance;
        }
        trace += "</span></fill_text>";
    };
    for (int r = 0; r < 3; ++r) {
        const double y = 700 - 14 * r;
        span("ABCDEF+Courier", QStringLiteral("lookup_value_for_the_key(table, key%1)").arg(r), 72, y,
             [](QChar) { return 0.6; });
        span("ABCDEF+Helvetica", QStringLiteral("Finds it"), 330, y, [](QChar c) {
            static const QHash<QChar, double> helvetica{{u'F', 0.611}, {u'i', 0.222}, {u'n', 0.556}, {u'd', 0.556},
                                                        {u's', 0.5},   {u' ', 0.278}, {u't', 0.278}};
            return helvetica.value(c, 0.5);
        });
    }
    trace += "</page></document>";
    QString error;
    const std::optional<SourceDocument> document = readTrace(trace, &error);
    QVERIFY2(document, qPrintable(error));
    const QList<StructuredPage> pages = DocumentAnalyzer::analyze(*document);
    QCOMPARE(pages.first().tables.size(), 1);
    const Table &table = pages.first().tables.first();
    QCOMPARE(table.rows(), 3);
    QCOMPARE(table.columns(), 2);
    for (int r = 0; r < 3; ++r) {
        QVERIFY(table.cells[r][0].paragraphs.first().keepSpaces);
        QVERIFY(!table.cells[r][1].paragraphs.first().keepSpaces);
        QCOMPARE(table.cells[r][1].paragraphs.first().text(), QStringLiteral("Finds it"));
    }
}

void TestLayoutParts::stackedLinesBesideARowStayInIt()
{
    // A chart of codes and names, one name set in two small lines centred on
    // its row: neither line nor the row between them has two segments, yet
    // together they are one row whose name cell holds both lines. The lines
    // of a paragraph set as tightly stay lines.
    const auto line = [](const QList<std::pair<QString, double>> &words, double baseline, double size) {
        TextLines::Line result;
        result.baseline = baseline;
        result.size = size;
        for (const auto &[text, left] : words) {
            TextWords::Word word;
            word.text = text;
            word.box = QRectF(left, baseline - 0.8 * size, 8 * text.size() * size / 12, size);
            result.segmentStarts.append(int(result.words.size()));
            result.leaders.append(false);
            result.words.append(word);
            result.box = result.box.isNull() ? word.box : result.box.united(word.box);
        }
        return result;
    };
    const QList<TextLines::Line> lines = {
        line({{s("0210"), 72}, {s("Rdblgrave"), 200}}, 100, 12),
        line({{s("0211"), 72}, {s("rdblgrave"), 200}}, 116, 12),
        line({{s("uni0218"), 200}}, 128.5, 10),
        line({{s("0218"), 72}}, 132, 12),
        line({{s("Scommaaccent"), 200}}, 136.5, 10),
        // The next such row follows so closely that its first line touches the last one above.
        line({{s("uni0219"), 200}}, 144.5, 10),
        line({{s("0219"), 72}}, 148, 12),
        line({{s("scommaaccent"), 200}}, 152.5, 10),
        line({{s("0258"), 72}, {s("ereversed"), 200}}, 168, 12),
        // A name line above a row that is taller with its large samples: they
        // share 40 % of the name's height, which is what counts.
        line({{s("uni0306.cap"), 200}}, 184.5, 10),
        line({{s("EA07"), 72}, {s("Brevecomb"), 200}}, 193.7, 14),
        line({{s("Tight"), 72}}, 230, 10),
        line({{s("leading"), 72}}, 237, 10),
    };
    const QList<AlignedTables::Part> parts = AlignedTables::split(lines);
    QCOMPARE(parts.size(), 2);
    QVERIFY(parts[0].table);
    QCOMPARE(parts[0].table->rows(), 6);
    QCOMPARE(parts[0].table->columns(), 2);
    const QList<TextLines::Line> name = parts[0].cellLines.value({2, 1});
    QCOMPARE(name.size(), 2);
    QCOMPARE(name[0].words.first().text, s("uni0218"));
    QCOMPARE(name[1].words.first().text, s("Scommaaccent"));
    QCOMPARE(parts[0].cellLines.value({2, 0}).first().words.first().text, s("0218"));
    QCOMPARE(parts[0].cellLines.value({3, 1}).size(), 2);
    QCOMPARE(parts[0].cellLines.value({3, 0}).first().words.first().text, s("0219"));
    QCOMPARE(parts[0].cellLines.value({5, 1}).size(), 2);
    // The row's height holds all three lines, down to the last one's baseline
    // at least where the next row touches it.
    QVERIFY(parts[0].table->rowEdges[2] <= 128.5 - 8);
    QVERIFY(parts[0].table->rowEdges[3] >= 136.5);
    QVERIFY(!parts[1].table);
    QCOMPARE(parts[1].lines.size(), 2);
}

void TestLayoutParts::raggedLinesStayLines()
{
    // Two segments a line, but the second segment of one line stands under
    // the first of another: no empty strip runs between columns.
    const QList<std::pair<double, double>> second = {{200, 280}, {130, 210}, {250, 330}};
    QList<TextLines::Line> lines;
    for (int r = 0; r < 3; ++r) {
        TextLines::Line line;
        line.baseline = 100 + r * 12;
        line.size = 10;
        for (const auto &[from, to] : {std::pair<double, double>(72, r == 1 ? 110 : 152), second[r]}) {
            TextWords::Word word;
            word.text = s("w");
            word.box = QRectF(from, 92 + r * 12, to - from, 10);
            line.words.append(word);
        }
        line.segmentStarts = {0, 1};
        line.leaders = {false, false};
        lines.append(line);
    }
    const QList<AlignedTables::Part> parts = AlignedTables::split(lines);
    QCOMPARE(parts.size(), 1);
    QVERIFY(!parts.first().table);
    QCOMPARE(parts.first().lines.size(), 3);
}

void TestLayoutParts::sheetRowsFollowTheFlow()
{
    StructuredPage page;
    page.paragraphs = {paragraph(QStringLiteral("Name\tValue"), 1, 100), paragraph(QStringLiteral("After"), 3, 200)};
    Table table = grid(2, 2);
    table.cells[0][0].columnSpan = 2;
    table.cells[0][1].columnSpan = 0;
    table.cells[0][0].paragraphs = {paragraph(QStringLiteral("Merged"), 1, 110),
                                    paragraph(QStringLiteral("head"), 1, 120)};
    table.cells[1][1].paragraphs = {paragraph(QStringLiteral("7"), 2, 130)};
    table.cells[1][1].paragraphs[0].box = QRectF(180, 120, 16, 12); // flush right in 150–200
    table.cells[1][0].paragraphs = {paragraph(QStringLiteral("Sum"), 3, 130)};
    table.cells[1][0].filled = true;
    table.cells[1][0].fill = 0x1F4E79;
    table.ruled = true;
    table.ruleColor = 0x808080;
    page.tables = {table};
    page.bands = {
        {0,
         300,
         {{0, 600, {{FlowItem::Kind::Paragraph, 0}, {FlowItem::Kind::Table, 0}, {FlowItem::Kind::Paragraph, 1}}}}}};
    TextStyle bold;
    bold.bold = true;
    TextStyle red;
    red.color = 0xC00000;
    // White text stood on something the sheet does not have; it is shown black.
    TextStyle white;
    white.color = 0xFFFFFF;
    const QList<XlsxWriter::Sheet> sheets =
        SheetBuilder::sheets({page, StructuredPage()}, {TextStyle(), bold, red, white});
    QCOMPARE(sheets[0].rows, (QList<QStringList>{strings({"Name", "Value"}), strings({"Merged\nhead", ""}),
                                                 strings({"Sum", "7"}), strings({"After"})}));
    // The merged cell is merged on the sheet, below the row before the table.
    QVERIFY(sheets[0].merged == (QList<XlsxWriter::Range>{{1, 0, 1, 2}}));
    // Bold text is bold in its cells, the tab-split row's and the merged one;
    // the table's cells keep their rules, fill, text colour and alignment.
    const auto look = [](bool isBold, quint32 color, bool filled, bool border) {
        XlsxWriter::Look made;
        made.bold = isBold;
        made.color = color;
        made.filled = filled;
        made.fill = filled ? 0x1F4E79 : 0xFFFFFF;
        made.borders = border ? XlsxWriter::Look::AllSides : 0;
        made.borderColor = border ? 0x808080 : 0;
        made.top = border; // the table's cells
        return made;
    };
    QHash<XlsxWriter::Cell, XlsxWriter::Look> looks = {{{0, 0}, look(true, 0, false, false)},
                                                       {{0, 1}, look(true, 0, false, false)},
                                                       {{1, 0}, look(true, 0, false, true)},
                                                       {{2, 0}, look(false, 0xFFFFFF, true, true)},
                                                       {{2, 1}, look(false, 0xC00000, false, true)}};
    looks[{2, 1}].align = XlsxWriter::Look::Align::Right;
    QVERIFY(sheets[0].looks == looks);
    // The table's place on the sheet, with its columns' widths in the source.
    QCOMPARE(sheets[0].tables.size(), 1);
    QVERIFY(sheets[0].tables[0].range == (XlsxWriter::Range{1, 0, 2, 2}));
    QCOMPARE(sheets[0].tables[0].columnPoints, (QList<double>{50, 50}));
    QCOMPARE(sheets.size(), 2);
    QCOMPARE(sheets[1].name, QStringLiteral("Page 2"));
    QVERIFY(sheets[1].rows.isEmpty());
    QVERIFY(!sheets[0].rightToLeft);
    // Set from the right, the rightmost column comes first, and a merged cell's
    // text goes in the first cell it covers from there.
    for (Paragraph &each : page.paragraphs)
        each.rightToLeft = true;
    for (QList<TableCell> &row : page.tables[0].cells) {
        for (TableCell &cell : row) {
            for (Paragraph &each : cell.paragraphs)
                each.rightToLeft = true;
        }
    }
    const XlsxWriter::Sheet fromRight = SheetBuilder::sheets({page}).first();
    QCOMPARE(fromRight.rows, (QList<QStringList>{strings({"Name", "Value"}), strings({"Merged\nhead", ""}),
                                                 strings({"7", "Sum"}), strings({"After"})}));
    QVERIFY(fromRight.rightToLeft);
}

void TestLayoutParts::sheetHeadingsKeepTheirSize()
{
    StructuredPage page;
    page.paragraphs = {paragraph(QStringLiteral("Harvest report"), 1, 100),
                       paragraph(QStringLiteral("Orchards"), 2, 130),
                       paragraph(QStringLiteral("The quince crop was the largest in ten years."), 0, 160)};
    page.paragraphs[0].headingLevel = 1;
    page.paragraphs[1].headingLevel = 2;
    page.bands = {
        {0,
         300,
         {{0, 600, {{FlowItem::Kind::Paragraph, 0}, {FlowItem::Kind::Paragraph, 1}, {FlowItem::Kind::Paragraph, 2}}}}}};
    TextStyle body;
    body.size = 10;
    TextStyle title = body;
    title.size = 20;
    TextStyle section = body;
    section.size = 11; // hardly larger than the body: the sheet's own size
    const XlsxWriter::Sheet sheet = SheetBuilder::sheets({page}, {body, title, section}).first();
    // Twice the body's size, as on the page; headings are bold.
    QCOMPARE(sheet.looks.value({0, 0}).size, 22.0);
    QVERIFY(sheet.looks.value({0, 0}).bold);
    QCOMPARE(sheet.looks.value({1, 0}).size, 0.0);
    QVERIFY(!sheet.looks.contains({2, 0}));
    // A paragraph that is a link all through leads from its cell: to its
    // address, or to the sheet of the page it leads to; one linked in part does not.
    page.links = {{QRectF(), QStringLiteral("https://example.org/report")}, {QRectF(), QString(), 3}};
    page.paragraphs[1].runs.first().link = 0;
    page.paragraphs[2].runs = {{QStringLiteral("See "), 0}, {QStringLiteral("page four"), 0, 0, 1}};
    page.paragraphs[0].runs.first().link = 1;
    const XlsxWriter::Sheet linked = SheetBuilder::sheets({page}, {body, title, section}).first();
    QCOMPARE(linked.links.value({1, 0}), QStringLiteral("https://example.org/report"));
    QCOMPARE(linked.links.value({0, 0}), QStringLiteral("#3"));
    QVERIFY(!linked.links.contains({2, 0}));
}

void TestLayoutParts::sheetAlignedTablesKeepTheirFillsAndFlushRightColumns()
{
    // A header's band and a fill a little wider than the table's text, a
    // white box painted over the fill's first row, and the page's
    // background, which reaches far past the table.
    StructuredPage page;
    page.tables = {grid(3, 2)};
    page.bands = {{0, 300, {{0, 600, {{FlowItem::Kind::Table, 0}}}}}};
    const auto fill = [](QRectF box, Rgb color, int order) {
        Shape shape{box, color};
        shape.order = order;
        return shape;
    };
    page.shapes = {fill(QRectF(96, 99, 108, 21), 0x2E5E4E, 1), fill(QRectF(96, 119, 108, 41), 0xEAF2EE, 2),
                   fill(QRectF(96, 119, 108, 22), 0xFFFFFF, 3), fill(QRectF(0, 0, 600, 800), 0xFFF8E0, 0)};
    const XlsxWriter::Sheet sheet = SheetBuilder::sheets({page}).first();
    for (int c = 0; c < 2; ++c) {
        QVERIFY(sheet.looks.value({0, c}).filled && sheet.looks.value({0, c}).fill == 0x2E5E4E);
        QVERIFY(!sheet.looks.value({1, c}).filled);
        QVERIFY(sheet.looks.value({2, c}).filled && sheet.looks.value({2, c}).fill == 0xEAF2EE);
    }
    // A ruled table's cells are shaded by the fills its grid holds, as found with it.
    page.tables.first().ruled = true;
    QVERIFY(!SheetBuilder::sheets({page}).first().looks.value({0, 0}).filled);

    // A column of amounts set flush right keeps its heading flush right
    // with them; a column of words starting in one place is left as it is.
    Table amounts = grid(4, 2);
    const QList<double> wordEnds = {130, 142, 121, 138};
    const QList<double> amountStarts = {160, 172, 177, 168};
    for (int r = 0; r < 4; ++r) {
        amounts.cells[r][0].paragraphs = {paragraph(QStringLiteral("Word"), 0, 115 + r * 20, 102)};
        amounts.cells[r][0].paragraphs.first().box.setRight(wordEnds[r]);
        amounts.cells[r][1].paragraphs = {
            paragraph(r == 0 ? QStringLiteral("Paid out") : QStringLiteral("12.50"), 0, 115 + r * 20, amountStarts[r])};
        amounts.cells[r][1].paragraphs.first().box.setRight(196 + r * 0.3);
    }
    page.tables = {amounts};
    page.shapes.clear();
    const XlsxWriter::Sheet aligned = SheetBuilder::sheets({page}).first();
    for (int r = 0; r < 4; ++r) {
        QVERIFY(aligned.looks.value({r, 0}).align == XlsxWriter::Look::Align::General);
        QVERIFY(aligned.looks.value({r, 1}).align == XlsxWriter::Look::Align::Right);
    }
    // Dates set flush left under their heading stay so (a sheet would set
    // them right); the heading and words beside them are left as they are.
    Table dated = grid(4, 2);
    const QStringList dates = {QStringLiteral("Date"), QStringLiteral("01/10/2026"), QStringLiteral("13/10/2026"),
                               QStringLiteral("02/11/2026")};
    for (int r = 0; r < 4; ++r) {
        dated.cells[r][0].paragraphs = {paragraph(dates[r], 0, 115 + r * 20, 102)};
        dated.cells[r][0].paragraphs.first().box.setRight(r == 0 ? 122 : 150);
        dated.cells[r][1].paragraphs = {paragraph(QStringLiteral("Card payment"), 0, 115 + r * 20, 160)};
        dated.cells[r][1].paragraphs.first().box.setRight(wordEnds[r] + 60);
    }
    page.tables = {dated};
    const XlsxWriter::Sheet byDate = SheetBuilder::sheets({page}).first();
    QVERIFY(byDate.looks.value({0, 0}).align == XlsxWriter::Look::Align::General);
    for (int r = 1; r < 4; ++r)
        QVERIFY(byDate.looks.value({r, 0}).align == XlsxWriter::Look::Align::Left);
    for (int r = 0; r < 4; ++r)
        QVERIFY(byDate.looks.value({r, 1}).align == XlsxWriter::Look::Align::General);
}

void TestLayoutParts::squeezedTextKeepsItsProportions()
{
    StructuredPage page;
    page.paragraphs = {paragraph(QStringLiteral("Above"), 0, 20), paragraph(QStringLiteral("Below"), 0, 120)};
    Table table = grid(1, 1);
    table.cells[0][0].paragraphs = {paragraph(QStringLiteral("Cell"), 0, 115)};
    page.tables = {table};
    page.bands = {{100, 200, {}}};
    page.shapes = {{QRectF(10, 150, 50, 20)}};
    const StructuredPage squeezed = page.withTextSqueezed(50, 0.5);
    // Above `top` nothing moves; below it every distance from there halves.
    QCOMPARE(squeezed.paragraphs[0].top(), page.paragraphs[0].top());
    QCOMPARE(squeezed.paragraphs[1].top() - 50, (page.paragraphs[1].top() - 50) * 0.5);
    QCOMPARE(squeezed.paragraphs[1].lineHeight, 6.0);
    QCOMPARE(squeezed.paragraphs[1].box.bottom() - 50, (page.paragraphs[1].box.bottom() - 50) * 0.5);
    QCOMPARE(squeezed.tables[0].rowEdges, (QList<double>{75, 85}));
    QCOMPARE(squeezed.tables[0].cells[0][0].paragraphs[0].firstBaseline, 82.5);
    QCOMPARE(squeezed.bands[0].top, 75.0);
    QCOMPARE(squeezed.bands[0].bottom, 125.0);
    // Drawings keep their places.
    QCOMPARE(squeezed.shapes[0].box, page.shapes[0].box);
}

void TestLayoutParts::linkListIsReadSafely()
{
    SourceDocument document;
    document.pages.resize(2);
    LinkReader::parse("0\t10 20 110 32\thttps://example.org/a?b=1\n"
                      "0\t10 40 110 52\t#1\n"
                      "1\t10 40 110 52\tmailto:help@example.org\n"
                      "0\t10 60 110 72\tjavascript:alert(1)\n"
                      "0\t10 60 110 72\tfile:///etc/passwd\n"
                      "0\t10 60 110 72\t#7\n"               // a page the document lacks
                      "5\t10 60 110 72\thttp://a.example\n" // on a page the document lacks
                      "0\t10 60 10 72\thttp://a.example\n"  // an empty box
                      "0\tten 60 110 72\thttp://a.example\n"
                      "Error: something the script printed\n",
                      document);
    QCOMPARE(document.pages[0].links,
             (QList<PageLink>{{QRectF(10, 20, 100, 12), QStringLiteral("https://example.org/a?b=1"), -1},
                              {QRectF(10, 40, 100, 12), QString(), 1}}));
    QCOMPARE(document.pages[1].links.size(), 1);
    QCOMPARE(document.pages[1].links.first().url, QStringLiteral("mailto:help@example.org"));
    QVERIFY(LinkReader::isSafeAddress(QStringLiteral("ftp://files.example.org/x")));
    QVERIFY(!LinkReader::isSafeAddress(QStringLiteral("http://")));
    QVERIFY(!LinkReader::isSafeAddress(QStringLiteral("file://url(http://www.zlib.org)")));
    QVERIFY(!LinkReader::isSafeAddress(QStringLiteral("https://example.org/") + QString(3000, QLatin1Char('a'))));
}

void TestLayoutParts::documentInformationIsReadAndWritten()
{
    const DocumentInfo info = PdfReader::parseInfo("Syntax Warning: a broken object\n"
                                                   "Title:           Notes: part 2\n"
                                                   "Subject:         \n"
                                                   "Author:          Ada \xc3\x9c"
                                                   "ber\n"
                                                   "Keywords:        apples\n"
                                                   "CreationDate:    2024-05-06T07:08:09+02:00\n"
                                                   "Pages:           3\n");
    QCOMPARE(info.title, QStringLiteral("Notes: part 2"));
    QCOMPARE(info.author, QStringLiteral("Ada \u00dcber"));
    QVERIFY(info.subject.isEmpty());
    QCOMPARE(info.created, QDateTime(QDate(2024, 5, 6), QTime(5, 8, 9), Qt::UTC));
    QVERIFY(!PdfReader::parseInfo("CreationDate: yesterday\n").created.isValid());
    // Written with what it has; a control character a PDF may carry cannot break the XML.
    DocumentInfo written = info;
    written.title = QStringLiteral("Notes <1> & \x01more");
    const QString core = QString::fromUtf8(DocxWriter::coreXml(written));
    QVERIFY2(core.contains(QStringLiteral("<dc:title>Notes &lt;1&gt; &amp; more</dc:title>")) &&
                 core.contains(QStringLiteral("<dc:creator>Ada \u00dcber</dc:creator>")) &&
                 core.contains(QStringLiteral("<cp:keywords>apples</cp:keywords>")) &&
                 core.contains(QStringLiteral("xsi:type=\"dcterms:W3CDTF\">2024-05-06T05:08:09Z<")) &&
                 !core.contains(QStringLiteral("dc:subject")),
             qPrintable(core));
}

void TestLayoutParts::headingsByRelativeSize()
{
    QList<TextStyle> styles = {{QStringLiteral("Body"), {}, 10},
                               {QStringLiteral("Big"), {}, 18, true},
                               {QStringLiteral("Mid"), {}, 14},
                               {QStringLiteral("Body-Bold"), {}, 10, true}};
    StructuredPage page;
    page.paragraphs = {paragraph(QStringLiteral("Title"), 1, 100), paragraph(QStringLiteral("Section"), 2, 130),
                       paragraph(QStringLiteral("Run-in bold words"), 3, 160),
                       paragraph(QStringLiteral("A bold sentence ends."), 3, 180)};
    // A section number tabbed apart from its title is still a heading.
    page.paragraphs[1].runs = {{QStringLiteral("2\tSection"), 2}};
    page.paragraphs[1].numbered = true;
    page.paragraphs[1].tabStops = {{100, false, false}};
    Paragraph body = paragraph(QString(400, QLatin1Char('x')), 0, 200);
    body.lineCount = 8;
    page.paragraphs.append(body);
    QList<StructuredPage> pages = {page};
    DocumentAnalyzer::markHeadings(pages, styles);
    QList<int> levels;
    for (const Paragraph &p : std::as_const(pages.first().paragraphs))
        levels << p.headingLevel;
    QCOMPARE(levels, (QList<int>{1, 2, 3, 0, 0}));
}

void TestLayoutParts::docxSectionsFollowColumnsAndPages()
{
    // Page 1: one column, then two columns; page 2: one column.
    StructuredPage first = pageWithColumns(1);
    const StructuredPage columns = pageWithColumns(2);
    Band lower = columns.bands.first();
    lower.top = 300;
    for (Column &column : lower.columns)
        column.items.first().index += 1;
    for (Paragraph p : columns.paragraphs) {
        p.firstBaseline = p.lastBaseline = 310;
        first.paragraphs.append(p);
    }
    first.bands.append(lower);
    const QList<StructuredPage> pages = {first, pageWithColumns(1)};
    QList<DocxWriter::Media> media;
    const QString xml = QString::fromUtf8(DocxWriter::documentXml(pages, kStyles, &media));
    // Sections: the first column band, the two-column band (continuous), the last page (new page).
    QCOMPARE(xml.count(QStringLiteral("<w:sectPr>")), 3);
    QCOMPARE(xml.count(QStringLiteral("<w:type w:val=\"continuous\"/>")), 1);
    QCOMPARE(xml.count(QStringLiteral("<w:cols w:num=\"2\"")), 1);
    QCOMPARE(xml.count(QStringLiteral("w:type=\"column\"")), 1);
    // A new section starts the second page, so no page break is needed there.
    QCOMPARE(xml.count(QStringLiteral("<w:pageBreakBefore/>")), 0);
    QVERIFY(xml.endsWith(QStringLiteral("</w:sectPr></w:body></w:document>")));
    const qsizetype column1 = xml.indexOf(QStringLiteral("Column 1"), xml.indexOf(QStringLiteral("w:num=\"1\"")));
    QVERIFY(xml.indexOf(QStringLiteral("Column 2")) > column1);
    QVERIFY(media.isEmpty());

    // The space before the columns' first paragraphs, in twips, in order.
    const auto befores = [](const QString &document) {
        static const QRegularExpression paragraph(QStringLiteral("<w:p>(.*?)</w:p>"));
        static const QRegularExpression before(QStringLiteral("w:before=\"(\\d+)\""));
        QList<int> found;
        for (auto it = paragraph.globalMatch(document); it.hasNext();) {
            const QString body = it.next().captured(1);
            if (body.contains(QStringLiteral("Column ")))
                found << before.match(body).captured(1).toInt();
        }
        return found;
    };
    // The space above a section of columns opened within the page is a
    // spacer closing the section before (LibreOffice laid a page out for ever
    // when that space was the section's own), and the columns start at once.
    const QList<int> within = befores(xml);
    QCOMPARE(within.size(), 4);
    QVERIFY2(within[1] == 0 && within[2] == 0, qPrintable(QDebug::toString(within)));
    const qsizetype closing = xml.lastIndexOf(QStringLiteral("<w:p>"), xml.indexOf(QStringLiteral("<w:sectPr>")));
    static const QRegularExpression line(QStringLiteral("w:line=\"(\\d+)\""));
    QVERIFY(line.match(xml, closing).captured(1).toInt() > 1000);
    // Where the second column starts higher (beside a picture that opens the
    // first), the spacer reaches down to it, and the first column keeps the
    // rest of its space below a hairline spacer opening the section.
    first.paragraphs[2].firstBaseline = first.paragraphs[2].lastBaseline = 200;
    const QString higher = QString::fromUtf8(DocxWriter::documentXml({first}, kStyles, &media));
    const QList<int> spaced = befores(higher);
    QVERIFY2(spaced[1] > 2000 && spaced[2] == 0, qPrintable(QDebug::toString(spaced)));
    const qsizetype section = higher.indexOf(QStringLiteral("<w:sectPr>"));
    QVERIFY(higher.indexOf(QStringLiteral("w:line=\"20\""), section) <
            higher.indexOf(QStringLiteral("Column 1"), section));
    // Columns that open the page share its first section with the page's
    // carrier and start at its top: the second keeps the space the first has.
    StructuredPage low = pageWithColumns(2);
    for (Paragraph &p : low.paragraphs)
        p.firstBaseline = p.lastBaseline = 300;
    const QList<int> opening = befores(QString::fromUtf8(DocxWriter::documentXml({low}, kStyles, &media)));
    QCOMPARE(opening.size(), 2);
    QVERIFY2(opening[0] > 1000 && opening[1] == opening[0], qPrintable(QDebug::toString(opening)));
    // A section that ends with a table closes with a paragraph holding a
    // space: LibreOffice dropped an empty one, and laid the table's last
    // rows out in another column or on the next page.
    StructuredPage tabled = pageWithColumns(1);
    Table table = grid(2, 2);
    table.rowEdges = {130, 150, 170};
    tabled.tables.append(table);
    tabled.bands.first().columns.first().items.append({FlowItem::Kind::Table, 0});
    const QString ended = QString::fromUtf8(DocxWriter::documentXml({tabled, columns}, kStyles, &media));
    const qsizetype tableEnd = ended.indexOf(QStringLiteral("</w:tbl>"));
    const QString after = ended.mid(tableEnd, ended.indexOf(QStringLiteral("</w:p>"), tableEnd) - tableEnd);
    QVERIFY2(after.contains(QStringLiteral("<w:sectPr>")) &&
                 after.contains(QStringLiteral("<w:t xml:space=\"preserve\"> </w:t>")),
             qPrintable(after));
}

void TestLayoutParts::docxTextIsEscapedAndCleaned()
{
    StructuredPage page = pageWithColumns(1);
    page.paragraphs.first().runs = {{QStringLiteral("A < B & \"C\"\x01 tab\there"), 0}};
    page.paragraphs.first().tabStops = {{300, true, true}};
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
    QVERIFY(
        xml.contains(QStringLiteral("A &lt; B &amp; &quot;C&quot; tab</w:t><w:tab/><w:t xml:space=\"preserve\">here")));
    QVERIFY(xml.contains(QStringLiteral("<w:tab w:val=\"right\" w:leader=\"dot\"")));
    QVERIFY(!xml.contains(QChar(0x01)));
    // A raised run keeps its rise, in half points of what the office scales
    // by its font's line: 1.14 em for Liberation Serif, 1.41 for Latin Modern.
    page.paragraphs.first().runs = {{QStringLiteral("x"), 0}, {QStringLiteral("2"), 0, 3.5}};
    const QString raised = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
    QCOMPARE(raised.count(QStringLiteral("<w:position w:val=\"6\"/>")), 1);
    QCOMPARE(raised.count(QStringLiteral("<w:position")), 1);
    const QList<TextStyle> modern = {{QStringLiteral("CMR10"), QStringLiteral("LM Roman 10"), 10}};
    QVERIFY(QString::fromUtf8(DocxWriter::documentXml({page}, modern, nullptr))
                .contains(QStringLiteral("<w:position w:val=\"5\"/>")));
    // A prime set small and raised takes its letter's size and line, also
    // over a subscript: the character is drawn raised already. An exponent
    // and a subscript keep their places.
    const QList<TextStyle> math = {kStyles.first(), {QStringLiteral("CMSY7"), QStringLiteral("Latin Modern Math"), 7}};
    page.paragraphs.first().runs = {{QStringLiteral("v"), 0},        {QString(QChar(0x2032)) + u' ', 1, 3.5},
                                    {QStringLiteral("x"), 0},        {QString(QChar(0x2217)), 1, 3.5},
                                    {QStringLiteral("w"), 0},        {QStringLiteral("1"), 1, -2.5},
                                    {QString(QChar(0x2032)), 1, 3.5}};
    const QString primed = QString::fromUtf8(DocxWriter::documentXml({page}, math, nullptr));
    QCOMPARE(primed.count(QStringLiteral("<w:position")), 2);
    QCOMPARE(primed.count(QStringLiteral("<w:sz w:val=\"20\"/>")), 5);
    // Hyphenation is on only where the source hyphenated.
    QVERIFY(!QString::fromUtf8(DocxWriter::settingsXml({page})).contains(QStringLiteral("autoHyphenation")));
    page.paragraphs.first().hyphenated = true;
    QVERIFY(QString::fromUtf8(DocxWriter::settingsXml({page})).contains(QStringLiteral("<w:autoHyphenation/>")));
    // Text of a hyphenated document that broke no word around it is not
    // hyphenated: its lines end where they did.
    StructuredPage unbroken = page;
    unbroken.paragraphs.first().hyphenated = false;
    unbroken.paragraphs.first().mayHyphenate = false;
    const auto suppressed = [](const QList<StructuredPage> &pages) {
        return QString::fromUtf8(DocxWriter::documentXml(pages, kStyles, nullptr))
            .count(QStringLiteral("<w:suppressAutoHyphens/>"));
    };
    QCOMPARE(suppressed({page, unbroken}), 1);
    QCOMPARE(suppressed({unbroken}), 0);
    // A line end the source set stays a line break in the same paragraph.
    page.paragraphs.first().runs = {{QStringLiteral("First line\nsecond"), 0}};
    const QString broken = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
    QVERIFY(broken.contains(QStringLiteral("First line</w:t><w:br/><w:t xml:space=\"preserve\">second")));
}

void TestLayoutParts::shapesDrawnPieceByPieceJoin()
{
    const auto piece = [](QRectF box, Rgb color, int order, double lineWidth = 0) {
        Shape shape{box, color};
        shape.order = order;
        shape.lineWidth = lineWidth;
        return shape;
    };
    // A code listing's shading and its thick sides, drawn a line of text at
    // a time: one fill and two lines.
    QList<Shape> listing;
    for (int r = 0; r < 5; ++r) {
        const double top = 100 + r * 11;
        listing << piece(QRectF(10, top, 0, 11), 0xF2F2F2, 3 * r, 3)
                << piece(QRectF(11, top, 455.5, 11), 0xF2F2F2, 3 * r + 1)
                << piece(QRectF(468, top, 0, 11), 0xF2F2F2, 3 * r + 2, 3);
    }
    const QList<Shape> joined = ShapeRuns::joined(listing, {});
    QCOMPARE(joined.size(), 3);
    QCOMPARE(joined[0].box, QRectF(10, 100, 0, 55));
    QCOMPARE(joined[1].box, QRectF(11, 100, 455.5, 55));
    QCOMPARE(joined[2].box, QRectF(468, 100, 0, 55));
    // Each row's fill lies half over its left side, drawn just before it:
    // the joined fill takes the last piece's place in the paint order, so
    // that it stays over the side, which keeps its first piece's.
    QCOMPARE(joined[0].order, 0);
    QCOMPARE(joined[1].order, 13);
    QCOMPARE(joined[2].order, 2);

    // A box painted between two pieces over the later one: they join at the
    // later one's place. Over both, they stay apart, as do pieces a visible
    // gap apart, translucent pieces overlapping, and lines side by side or
    // a little off each other's axis.
    const Shape first = piece(QRectF(100, 300, 50, 10), 0x336699, 0);
    const Shape second = piece(QRectF(100, 310, 50, 10), 0x336699, 2);
    const QList<Shape> overLater = ShapeRuns::joined({first, piece(QRectF(120, 312, 5, 5), 0xFF0000, 1), second}, {});
    QCOMPARE(overLater.size(), 2);
    QCOMPARE(overLater[0].box, QRectF(100, 300, 50, 20));
    QCOMPARE(overLater[0].order, 2);
    QCOMPARE(ShapeRuns::joined({first, piece(QRectF(120, 305, 5, 10), 0xFF0000, 1), second}, {}).size(), 3);
    Picture photo;
    photo.box = QRectF(120, 305, 5, 10);
    photo.order = 1;
    QCOMPARE(ShapeRuns::joined({first, second}, {photo}).size(), 2);
    QCOMPARE(ShapeRuns::joined({first, piece(QRectF(100, 310.5, 50, 10), 0x336699, 2)}, {}).size(), 2);
    Shape glassA = first;
    Shape glassB = piece(QRectF(100, 308, 50, 10), 0x336699, 2);
    glassA.opacity = glassB.opacity = 0.5;
    QCOMPARE(ShapeRuns::joined({glassA, glassB}, {}).size(), 2);
    QCOMPARE(ShapeRuns::joined({piece(QRectF(10, 100, 0, 20), 0, 0, 1), piece(QRectF(10, 120, 0, 20), 0, 1, 1),
                                piece(QRectF(200, 100, 0, 20), 0, 2, 1), piece(QRectF(200.3, 100, 0, 20), 0, 3, 1),
                                piece(QRectF(300, 100, 0, 20), 0, 4, 1), piece(QRectF(300.3, 120, 0, 20), 0, 5, 1)},
                               {})
                 .size(),
             5);
}

void TestLayoutParts::docxStrokedRulesStayLines()
{
    // The trace strokes one rule and fills another as a thin box: the stroke
    // becomes an outline of its width, the box a filled shape.
    QString error;
    const std::optional<SourceDocument> document = readTrace(kTrace, &error);
    QVERIFY2(document, qPrintable(error));
    const QList<StructuredPage> pages = DocumentAnalyzer::analyze(*document);
    QList<Shape> lines;
    QList<Shape> boxes;
    for (const Shape &shape : pages.first().shapes)
        (shape.lineWidth > 0 ? lines : boxes).append(shape);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().lineWidth, 0.5);
    QCOMPARE(lines.first().box, QRectF(50, 200, 200, 0));
    QCOMPARE(boxes.size(), 4); // the grey box, the filled rule, and the stencils' rule and box
    const QString xml = QString::fromUtf8(DocxWriter::documentXml(pages, document->styles, nullptr));
    QCOMPARE(xml.count(QStringLiteral("<a:ln w=\"6350\"><a:solidFill><a:srgbClr val=\"000000\"/>")), 1);
    QCOMPARE(xml.count(QStringLiteral("<a:ln><a:noFill/></a:ln>")), 4);
}

void TestLayoutParts::docxStackedSingleLinesKeepTheirPitch()
{
    // Single lines of 12 points: the first sits 8 points above the second (a
    // name stacked over another), which takes its full height before the
    // third, 20 points on. One 4 points above the next closes up only to 60 %
    // of its height; the last line, late then, shortens by the 15 % late lines may.
    StructuredPage page;
    page.size = QSizeF(600, 800);
    page.paragraphs = {paragraph(QStringLiteral("upper name"), 0, 110), paragraph(QStringLiteral("lower name"), 0, 118),
                       paragraph(QStringLiteral("next row"), 0, 138), paragraph(QStringLiteral("squeezed"), 0, 158),
                       paragraph(QStringLiteral("last"), 0, 162)};
    Band band{100, 180, {{72, 292, {}}}};
    for (int i = 0; i < page.paragraphs.size(); ++i)
        band.columns.first().items.append({FlowItem::Kind::Paragraph, i});
    page.bands.append(band);
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
    static const QRegularExpression line(QStringLiteral("w:line=\"(\\d+)\""));
    QStringList heights;
    for (auto it = line.globalMatch(xml); it.hasNext();)
        heights << it.next().captured(1);
    QVERIFY(!heights.isEmpty());
    heights.removeFirst(); // the page's carrier paragraph
    QCOMPARE(heights, QStringList({QStringLiteral("160"), QStringLiteral("240"), QStringLiteral("240"),
                                   QStringLiteral("144"), QStringLiteral("204")}));
}

void TestLayoutParts::docxColumnsOpeningWithTablesBecomeCells()
{
    // Two columns, the second opening with a table of aligned text: no column
    // break can carry it across, so the band becomes one table of two cells
    // (the inner table nested in the second), in a section of one column.
    StructuredPage page = pageWithColumns(2);
    Table inner = grid(2, 2);
    inner.columnEdges = {312, 400, 500};
    page.tables.append(inner);
    page.bands.first().columns[1].items = {{FlowItem::Kind::Table, 0}};
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
    QCOMPARE(xml.count(QStringLiteral("<w:tbl>")), 2);
    QVERIFY(!xml.contains(QStringLiteral("w:type=\"column\"")));
    QVERIFY(!xml.contains(QStringLiteral("<w:cols w:num=\"2\"")));
    const qsizetype outer = xml.indexOf(QStringLiteral("<w:tbl>"));
    QVERIFY(xml.indexOf(QStringLiteral("Column 1"), outer) < xml.indexOf(QStringLiteral("<w:tbl>"), outer + 1));
    QVERIFY(xml.contains(QStringLiteral("</w:tbl><w:p>")));      // a cell ends with a paragraph
    QCOMPARE(xml.count(QStringLiteral("w:hRule=\"exact\"")), 2); // aligned rows keep their height
    // Justified lines of the first column end where they did (x 272), not
    // at the cell's edge where the next column starts (x 312).
    page.paragraphs.first().align = Paragraph::Align::Justify;
    page.paragraphs.first().lineCount = 2;
    const QString justified = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
    const qsizetype cell = justified.indexOf(QStringLiteral("<w:tc>"));
    const QRegularExpressionMatch right =
        QRegularExpression(QStringLiteral("w:right=\"(-?\\d+)\"")).match(justified, cell);
    QVERIFY(right.hasMatch());
    QVERIFY2(right.captured(1).toInt() >= 700, qPrintable(right.captured(1)));
    page.paragraphs.first().align = Paragraph::Align::Left;
    page.tables.first().ruled = true;
    const QString ruled = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
    QCOMPARE(ruled.count(QStringLiteral("w:hRule=\"atLeast\"")), 2); // ruled cells may wrap
    // So does a band whose last column ends with a table (the second half
    // of a contents): LibreOffice carries that table, and all after it, to
    // the next page.
    StructuredPage closing = pageWithColumns(2);
    inner.rowEdges = {130, 150, 170};
    closing.tables.append(inner);
    closing.bands.first().columns[1].items.append({FlowItem::Kind::Table, 0});
    const QString closed = QString::fromUtf8(DocxWriter::documentXml({closing}, kStyles, nullptr));
    QCOMPARE(closed.count(QStringLiteral("<w:tbl>")), 2);
    QVERIFY(!closed.contains(QStringLiteral("w:type=\"column\"")));
    QVERIFY(closed.indexOf(QStringLiteral("Column 2")) < closed.lastIndexOf(QStringLiteral("<w:tbl>")));
}

void TestLayoutParts::docxSideBySideTablesKeepTheirOffset()
{
    // Two charts side by side, the left one set 0.7 points lower: too little
    // for a spacer line, so its first row takes the difference (14 twips).
    StructuredPage page = pageWithColumns(2);
    Table left = grid(1, 2);
    left.columnEdges = {72, 150, 250};
    left.rowEdges = {100.7, 120.7};
    Table right = grid(1, 2);
    right.columnEdges = {312, 400, 500};
    right.rowEdges = {100, 120};
    page.tables = {left, right};
    page.bands.first().columns[0].items = {{FlowItem::Kind::Table, 0}};
    page.bands.first().columns[1].items = {{FlowItem::Kind::Table, 1}};
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
    static const QRegularExpression height(QStringLiteral("<w:trHeight w:val=\"(\\d+)\""));
    const auto heights = [](const QString &document) {
        QStringList found;
        for (auto it = height.globalMatch(document); it.hasNext();)
            found << it.next().captured(1);
        return found;
    };
    const QStringList kept{QStringLiteral("414"), QStringLiteral("400")};
    QCOMPARE(heights(xml), kept);
    // A line above ends 1.5 points into the band: the band moves down whole.
    page.paragraphs.append(paragraph(QStringLiteral("Above"), 0, 99.5));
    page.bands.prepend(Band{89.5, 100, {{72, 532, {{FlowItem::Kind::Paragraph, 2}}}}});
    QCOMPARE(heights(QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr))), kept);
}

void TestLayoutParts::docxStackedCellLinesKeepTheirPitch()
{
    // A name in two lines 8 points apart beside a row of 12-point lines: in
    // a row of exact height, lines of their full height would be cut off.
    StructuredPage page;
    page.size = QSizeF(600, 800);
    Table table = grid(1, 2);
    table.rowEdges = {120, 142};
    table.cells[0][0].paragraphs = {paragraph(s("0218"), 0, 132, 102)};
    table.cells[0][1].paragraphs = {paragraph(s("uni0218"), 0, 128.5, 152),
                                    paragraph(s("Scommaaccent"), 0, 136.5, 152)};
    page.tables.append(table);
    page.bands.append({100, 200, {{72, 292, {{FlowItem::Kind::Table, 0}}}}});
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
    static const QRegularExpression line(QStringLiteral("w:line=\"(\\d+)\""));
    static const QRegularExpression text(QStringLiteral("<w:t[^>]*>([^<]*[^<\\s][^<]*)<"));
    QStringList heights;
    for (const QString &each : xml.split(QStringLiteral("<w:p>"))) {
        const QRegularExpressionMatch words = text.match(each);
        if (words.hasMatch())
            heights << words.captured(1) + QLatin1Char('=') + line.match(each).captured(1);
    }
    QCOMPARE(heights, strings({"0218=240", "uni0218=160", "Scommaaccent=160"}));
}

void TestLayoutParts::docxLetterSpacingMatchesTheSourceWidth_data()
{
    // Liberation Serif's letters average 0.463 em.
    QTest::addColumn<QString>("sourceFont");
    QTest::addColumn<double>("letterWidth");
    QTest::addColumn<double>("condense"); // points the paragraph's squeezed spaces take from each character
    QTest::addColumn<int>("spacing");     // twentieths of a point added to each character; 0: none written
    QTest::newRow("wider original: spread") << s("URWPalladioL-Roma") << 0.52 << 0.0 << 10;
    QTest::newRow("narrower original: condensed") << s("Garamond") << 0.40 << 0.0 << -13;
    QTest::newRow("close enough") << s("Garamond") << 0.47 << 0.0 << 0;
    QTest::newRow("same metrics") << s("Times-Roman") << 0.40 << 0.0 << 0;
    QTest::newRow("far wider original: held back") << s("Palatino") << 0.80 << 0.0 << 16;
    QTest::newRow("squeezed spaces") << s("Times-Roman") << 0.40 << 0.06 << -1;
    // A line short by a point and a half over 90 letters: rounded to nothing, it wraps.
    QTest::newRow("slightly squeezed spaces") << s("Times-Roman") << 0.40 << 0.016 << -1;
    QTest::newRow("measuring's noise") << s("Times-Roman") << 0.40 << 0.005 << 0;
}

void TestLayoutParts::docxLetterSpacingMatchesTheSourceWidth()
{
    QFETCH(QString, sourceFont);
    QFETCH(double, letterWidth);
    QFETCH(double, condense);
    QFETCH(int, spacing);
    TextStyle style{sourceFont, QStringLiteral("Liberation Serif"), 10};
    style.letterWidth = letterWidth;
    StructuredPage page = pageWithColumns(1);
    page.paragraphs.first().condense = condense;
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, {style}, nullptr));
    static const QRegularExpression letterSpacing(QStringLiteral("<w:spacing w:val=\"(-?\\d+)\""));
    const QRegularExpressionMatch match = letterSpacing.match(xml);
    QCOMPARE(match.hasMatch() ? match.captured(1).toInt() : 0, spacing);
}

void TestLayoutParts::docxKernFollowsItsLetterOnly()
{
    // A kern before the next run (TeX's logo kerns its A under the L) is the
    // spacing of the run's last letter alone, added to the paragraph's own
    // squeeze; the letters before it keep the squeeze only. A run's own
    // spacing (a line set as full as it was) is added to the squeeze.
    StructuredPage page = pageWithColumns(1);
    Paragraph &paragraph = page.paragraphs.first();
    paragraph.condense = 0.06;
    paragraph.runs = {{QStringLiteral("a L"), 0, 0, -1, {}, -3.6},
                      {QStringLiteral("A"), 0, 2.2},
                      {QStringLiteral(" b"), 0, 0, -1, {}, 0, 0.5}};
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, {kStyles.first()}, nullptr));
    static const QRegularExpression spacing(QStringLiteral("<w:spacing w:val=\"(-?\\d+)\"/>"));
    static const QRegularExpression text(QStringLiteral("<w:t[^>]*>([^<]*)</w:t>"));
    QStringList spaced;
    for (const QString &run : xml.split(QStringLiteral("<w:r>")).mid(1)) {
        if (const QRegularExpressionMatch letters = text.match(run); letters.hasMatch())
            spaced << letters.captured(1) + QLatin1Char('=') + spacing.match(run).captured(1);
    }
    QCOMPARE(spaced, (QStringList{s("a =-1"), s("L=-73"), s("A=-1"), s(" b=9")}));
}

void TestLayoutParts::docxSpaceAfterCodeIsTheText()
{
    // A space between code and text is set in the text's face: a
    // monospaced space is half as wide again. Within code it stays.
    StructuredPage page = pageWithColumns(1);
    page.paragraphs.first().runs = {
        {QStringLiteral("see "), 0}, {QStringLiteral("make test "), 1}, {QStringLiteral("first"), 0}};
    TextStyle code{QStringLiteral("Courier"), QStringLiteral("Liberation Mono"), 10};
    code.mono = true;
    const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, {kStyles.first(), code}, nullptr));
    static const QRegularExpression text(QStringLiteral("<w:t[^>]*>([^<]*)</w:t>"));
    QStringList texts;
    for (QRegularExpressionMatchIterator it = text.globalMatch(xml); it.hasNext();)
        texts << it.next().captured(1);
    QCOMPARE(texts, (QStringList{s("see "), s("make test"), s(" first")}));
}

void TestLayoutParts::docxTextEndingNearThePageFootIsSetCloser()
{
    // LibreOffice sets a page's lines a point or so lower than their spacing
    // adds up to: text ending within a point and a half of the page's foot
    // ran over (a manual's page number went to a page of its own), so such a
    // page is set a little closer. The page's foot lies half the lowest
    // text's distance from the paper's edge below it.
    const auto lastBefore = [](double bottom) {
        StructuredPage page = pageWithColumns(1);
        Paragraph lowest = paragraph(QStringLiteral("Last lines"), 0, bottom - 14.4);
        lowest.lastBaseline = bottom - 2.4;
        lowest.lineCount = 2;
        page.paragraphs.append(lowest);
        page.bands.first().columns.first().items.append({FlowItem::Kind::Paragraph, 1});
        page.bands.first().bottom = bottom;
        const QString xml = QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, nullptr));
        static const QRegularExpression before(QStringLiteral("w:before=\"(\\d+)\""));
        int last = -1;
        for (auto it = before.globalMatch(xml.left(xml.indexOf(QStringLiteral("Last lines")))); it.hasNext();)
            last = it.next().captured(1).toInt();
        return last;
    };
    const int roomy = lastBefore(790); // 10 points above the edge: a foot 5 points further down
    QVERIFY(roomy > 0);
    QVERIFY2(lastBefore(798) < roomy + 160 - 2, qPrintable(QString::number(lastBefore(798)))); // 2 above: closer
}

void TestLayoutParts::docxLinesAtThePageFootStandWhereTheyStood()
{
    // A page number and a copyright line below the text by a gap: boxes at
    // their places, out of the flow, so that text running a line longer
    // than the source's cannot push them onto a page of their own.
    const auto written = [](const QList<Paragraph> &low, bool pictureBelow = false) {
        StructuredPage page = pageWithColumns(1);
        for (const Paragraph &each : low) {
            page.paragraphs.append(each);
            page.bands.first().columns.first().items.append(
                {FlowItem::Kind::Paragraph, int(page.paragraphs.size() - 1)});
        }
        if (pictureBelow)
            page.pictures.append(
                {QRectF(72, 780, 100, 15), QSizeF(100, 15), 0, false, QStringLiteral("logo.png"), QString(), false});
        QList<DocxWriter::Media> media;
        return QString::fromUtf8(DocxWriter::documentXml({page}, kStyles, &media));
    };
    const auto inBox = [](const QString &xml, const QString &text) {
        const qsizetype at = xml.indexOf(text);
        return at > 0 && xml.lastIndexOf(QStringLiteral("<w:txbxContent>"), at) >
                             xml.lastIndexOf(QStringLiteral("</w:txbxContent>"), at);
    };
    Paragraph body = paragraph(QStringLiteral("Body text"), 0, 660);
    body.lastBaseline = 700;
    body.lineCount = 5;
    const Paragraph copyright = paragraph(QStringLiteral("Copyright line"), 0, 760);
    const Paragraph number = paragraph(QStringLiteral("Folio 7"), 0, 775, 300);
    const QString xml = written({body, copyright, number});
    QVERIFY(!inBox(xml, QStringLiteral("Body text")));
    QVERIFY(inBox(xml, QStringLiteral("Copyright line")));
    QVERIFY(inBox(xml, QStringLiteral("Folio 7")));
    // Each box spans the page at its line's height, the line set in it as
    // in the flow, from the page's edge.
    static const QRegularExpression offset(QStringLiteral("<wp:positionV relativeFrom=\"page\"><wp:posOffset>(\\d+)<"));
    QStringList tops;
    for (auto it = offset.globalMatch(xml); it.hasNext();)
        tops << it.next().captured(1);
    QCOMPARE(tops, QStringList({QString::number(std::lround((760 - 9.6) * 12700)),
                                QString::number(std::lround((775 - 9.6) * 12700))}));
    QVERIFY(xml.contains(QStringLiteral("<w:ind w:left=\"6000\"")));
    // The text's own last line, close under it, stays in the flow; so do
    // lines with a picture below them, and a page of nothing but a foot line.
    const Paragraph close = paragraph(QStringLiteral("Last line"), 0, 712);
    QVERIFY(!inBox(written({body, close}), QStringLiteral("Last line")));
    QVERIFY(inBox(written({body, close, number}), QStringLiteral("Folio 7")));
    QVERIFY(!inBox(written({body, number}, true), QStringLiteral("Folio 7")));
    // Text the writer would set down into the foot lines (two paragraphs the
    // source overlapped) is set closer, to end above them.
    Paragraph upper = paragraph(QStringLiteral("Upper"), 0, 600);
    upper.lastBaseline = 720;
    upper.lineCount = 11;
    Paragraph lower = paragraph(QStringLiteral("Lower"), 0, 690);
    lower.lastBaseline = 750;
    lower.lineCount = 6;
    const auto upperLine = [](const QString &document) {
        static const QRegularExpression line(QStringLiteral("w:line=\"(\\d+)\"[^>]*/>(?:(?!</w:p>).)*Upper"));
        return line.match(document).captured(1).toInt();
    };
    QCOMPARE(upperLine(written({upper, lower})), 240);
    const Paragraph lowFolio = paragraph(QStringLiteral("Folio 7"), 0, 786, 300);
    QVERIFY(upperLine(written({upper, lower, lowFolio})) < 240);
    // Text that cannot end above them, however close it is set, is still
    // set closer to end above the page's foot.
    upper.firstBaseline = 120;
    upper.lastBaseline = 588;
    upper.lineCount = 40;
    lower.firstBaseline = 400;
    lower.lastBaseline = 748;
    lower.lineCount = 36;
    QVERIFY(upperLine(written({upper, lower, lowFolio})) < 240);
    StructuredPage alone;
    alone.size = QSizeF(600, 800);
    alone.paragraphs = {number};
    alone.bands = {{700, 790, {{72, 292, {{FlowItem::Kind::Paragraph, 0}}}}}};
    QVERIFY(!inBox(QString::fromUtf8(DocxWriter::documentXml({alone}, kStyles, nullptr)), QStringLiteral("Folio 7")));
}

void TestLayoutParts::docxWriteFailureLeavesNoFile()
{
    QTemporaryDir dir;
    // Below a regular file nothing can be created.
    const QString blocker = dir.filePath(QStringLiteral("file"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QString error;
    QVERIFY(!DocxWriter::write(blocker + QStringLiteral("/out.docx"), {pageWithColumns(1)}, kStyles, &error));
    QVERIFY(error.startsWith(QStringLiteral("Cannot write the Word document")));
    // A picture whose file is gone fails the document rather than leaving a hole.
    StructuredPage page = pageWithColumns(1);
    page.pictures.append({QRectF(0, 0, 10, 10), QSizeF(10, 10), 0, false, dir.filePath(QStringLiteral("gone.png")),
                          QStringLiteral("1 0"), false});
    const QString target = dir.filePath(QStringLiteral("out.docx"));
    QVERIFY(!DocxWriter::write(target, {page}, kStyles, &error));
    QVERIFY(!QFile::exists(target));
}

MIRELUNE_TEST_MAIN(TestLayoutParts)
void TestLayoutParts::scanIsWhitedOutUnderItsWords()
{
    // A scan on cream paper: a recognised word, and a photograph no word covers.
    QTemporaryDir dir;
    QImage drawn(200, 100, QImage::Format_RGB32);
    drawn.fill(qRgb(250, 245, 230));
    QPainter painter(&drawn);
    painter.fillRect(QRect(22, 22, 36, 8), QColor(0, 0, 0));
    painter.fillRect(QRect(22, 60, 36, 8), QColor(30, 70, 200));
    painter.fillRect(QRect(120, 40, 50, 40), QColor(20, 60, 20));
    painter.end();
    const QString file = dir.filePath(QStringLiteral("page.png"));
    QVERIFY(drawn.save(file));
    SourceDocument document;
    document.styles.append(TextStyle());
    document.styles.first().stretch = 0.6;
    document.styles.first().mono = true;
    SourcePage page;
    page.size = QSizeF(200, 100);
    ImagePlacement placement;
    placement.box = QRectF(0, 0, 200, 100);
    placement.file = file;
    page.images.append(placement);
    ImagePlacement turned = placement;
    turned.rotation = 90;
    page.images.append(turned);
    for (int letter = 0; letter < 12; ++letter) {
        Glyph glyph;
        glyph.text = QStringLiteral("w");
        glyph.size = 10;
        glyph.baseline = letter < 6 ? 29 : 67;
        glyph.style = 0;
        glyph.box = QRectF(22 + 6 * (letter % 6), glyph.baseline - 8, 6, 10);
        page.invisibleGlyphs.append(glyph);
    }
    document.pages.append(page);
    ScanText::reveal(document);
    QCOMPARE(document.pages.first().glyphs.size(), 12);
    QCOMPARE(document.styles.first().stretch, 1.0);
    QVERIFY(!document.styles.first().mono);
    ScanText::blank(document, dir.path());
    // The turned copy cannot be whited out, so it is left out rather than show the word twice.
    QCOMPARE(document.pages.first().images.size(), 1);
    const QImage blanked(document.pages.first().images.first().file);
    QVERIFY(document.pages.first().images.first().file != file);
    QCOMPARE(blanked.pixel(40, 26), qRgb(250, 245, 230));
    QCOMPARE(blanked.pixel(145, 60), qRgb(20, 60, 20));
    // Black ink keeps the style's black; the blue word takes its blue, rounded.
    const QList<Glyph> &words = document.pages.first().glyphs;
    QCOMPARE(words.first().style, 0);
    QVERIFY(words.last().style > 0);
    QCOMPARE(document.styles.value(words.last().style).color, Rgb(0x2040C0));
    QCOMPARE(blanked.pixel(40, 64), qRgb(250, 245, 230));
    // The original stays as it was.
    QCOMPARE(QImage(file).pixel(40, 26), qRgb(0, 0, 0));

    // A photographed page stays a JPEG, rather than grow as a PNG.
    const QString photo = dir.filePath(QStringLiteral("page.jpg"));
    QVERIFY(drawn.save(photo, "JPEG"));
    document.pages.first().images = {placement};
    document.pages.first().images.first().file = photo;
    document.pages.first().images.first().scan = true;
    ScanText::blank(document, dir.path());
    const QString photoScan = document.pages.first().images.first().file;
    QVERIFY2(photoScan.endsWith(QLatin1String(".jpg")), qPrintable(photoScan));
    QVERIFY(qGray(QImage(photoScan).pixel(40, 26)) > 200);
}

#include "tst_layout_parts.moc"
