#include "layout/DocxWriter.h"

#include "formats/ZipWriter.h"
#include "layout/FontNames.h"
#include "layout/PageFoot.h"
#include "layout/ParagraphBuilder.h"

#include <QFileInfo>
#include <QHash>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

namespace {

constexpr double kCarrierHeight = 1.0; // points: the paragraph that opens each page
// A page's text may be set closer to fit the page down to this share of its
// height; beyond it lines would overlap.
constexpr double kTightestPage = 0.8;
// Points above a page's foot that its text must leave free: LibreOffice
// moves a line that ends at the foot, or a point above it, to the next page
// (it sets a page's lines a little lower than their spacing adds up to).
// Text set closer is given twice that.
constexpr double kOverflowRoom = 1.5;
constexpr double kMinLine = 1.0;
constexpr double kTightestLine = 0.6; // of its height: a single line set closer to what follows keeps that much
constexpr double kCellMargin = 1.5;
constexpr double kJustifySlack = 0.5;  // points beyond a justified paragraph's right edge, for rounding
constexpr double kSideLineSlack = 0.5; // of its length: room a line along the side has past its end

const char *const kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const char *const kR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char *const kWp = "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
const char *const kA = "http://schemas.openxmlformats.org/drawingml/2006/main";
const char *const kPic = "http://schemas.openxmlformats.org/drawingml/2006/picture";
const char *const kWps = "http://schemas.microsoft.com/office/word/2010/wordprocessingShape";

// The distance of a single line of a cell to the next line of the cell, or
// for the last to the one before; 0 where a line has no such neighbour.
double stackPitch(const QList<Paragraph> &paragraphs, qsizetype i)
{
    const auto single = [&paragraphs](qsizetype at) {
        return at >= 0 && at < paragraphs.size() && paragraphs[at].lineCount == 1;
    };
    if (!single(i))
        return 0;
    if (single(i + 1))
        return paragraphs[i + 1].firstBaseline - paragraphs[i].firstBaseline;
    return single(i - 1) ? paragraphs[i].firstBaseline - paragraphs[i - 1].firstBaseline : 0;
}

QString twips(double points)
{
    return QString::number(std::lround(points * 20));
}

QString emu(double points)
{
    return QString::number(std::llround(points * 12700));
}

QString hex(Rgb color)
{
    return QStringLiteral("%1").arg(color & 0xffffff, 6, 16, QLatin1Char('0')).toUpper();
}

// Primes: single, double, triple and quadruple, with the space after them.
bool isPrimes(const QString &text)
{
    const QString marks = text.trimmed();
    return !marks.isEmpty() && std::all_of(marks.cbegin(), marks.cend(), [](QChar c) {
        return (c.unicode() >= 0x2032 && c.unicode() <= 0x2034) || c.unicode() == 0x2057;
    });
}

// XML 1.0 has no place for most control characters or unpaired surrogates.
QString xmlSafe(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            clean += c;
            clean += text[++i];
        } else if (!c.isSurrogate() && (c.unicode() >= 0x20 || c == QLatin1Char('\t')) && c.unicode() != 0xfffe &&
                   c.unicode() != 0xffff) {
            clean += c;
        }
    }
    return clean;
}

struct Margins {
    double left = 72;
    double right = 72;
    double top = 72;
    double bottom = 0;
};

// The column ranges a band asks of its section, in page x.
struct SectionLayout {
    QSizeF page;
    QList<std::pair<double, double>> columns;

    bool sameAs(const SectionLayout &other) const
    {
        if (std::abs(page.width() - other.page.width()) > 0.5 || std::abs(page.height() - other.page.height()) > 0.5 ||
            columns.size() != other.columns.size())
            return false;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            if (std::abs(columns[c].first - other.columns[c].first) > 3 ||
                std::abs(columns[c].second - other.columns[c].second) > 3)
                return false;
        }
        return true;
    }
};

struct Fragment {
    QString xml;
    bool paragraph = false;
};

bool hyphenates(const QList<StructuredPage> &pages)
{
    for (const StructuredPage &page : pages) {
        for (const Paragraph &paragraph : page.paragraphs) {
            if (paragraph.hyphenated)
                return true;
        }
    }
    return false;
}

class Writer {
public:
    Writer(const QList<StructuredPage> &pages, const QList<TextStyle> &styles, QList<DocxWriter::Media> *media)
        : mPages(pages), mStyles(styles), mMedia(media), mHyphenates(hyphenates(pages))
    {
        measureMargins();
        const QStringList addresses = DocxWriter::linkAddresses(pages);
        for (qsizetype i = 0; i < addresses.size(); ++i)
            mAddressIndex.insert(addresses[i], int(i));
        for (const StructuredPage &page : pages) {
            for (const PageLink &link : page.links) {
                if (link.url.isEmpty())
                    mLinkedPages.insert(link.page);
            }
        }
    }

    QByteArray document();

private:
    void measureMargins();
    SectionLayout layoutOf(const StructuredPage &page, const Band *band) const;
    // Writes a page, its text set closer where it would not fit otherwise.
    void writeFitting(int index);
    // Writes the page as `page`; where its text ends.
    double writePage(int index, const StructuredPage &page);
    // What is written so far, to go back to.
    struct Mark {
        qsizetype fragments = 0;
        Fragment last;
        std::optional<SectionLayout> section;
        bool sectionOnNewPage = true;
        qsizetype closedColumns = 0;
        int drawingId = 0;
    };
    Mark mark() const;
    void rewind(const Mark &mark);
    static double topOf(const StructuredPage &page, const FlowItem &item);
    void openSection(const SectionLayout &layout, bool newPage);
    void closeSection();
    // Breaks to the next column before the fragment at `from`.
    void columnBreak(qsizetype from);
    void carrier(const StructuredPage &page, bool pageBreak);
    // The items of one column, one below the other from `cursor`.
    void columnItems(const StructuredPage &page, const Column &column, double left, double right, double *cursor);
    // `nextTop`: where the column's next item starts in the source (infinity when none follows).
    void paragraph(const Paragraph &paragraph, double left, double right, double *cursor,
                   double nextTop = std::numeric_limits<double>::infinity());
    // LibreOffice drops an empty paragraph that closes a section, so one
    // that will (`closing`) holds a space.
    void spacer(double height, bool closing = false);
    void table(const Table &table, double left, double *cursor);
    static void openEdges(QXmlStreamWriter &xml, const Table &table, int row, int column, int end);
    static void tableHead(QXmlStreamWriter &xml, double width, std::optional<double> indent, const Table *ruled,
                          double sideMargin, const QList<double> &edges);
    static bool laidOutAsTable(const Band &band);
    // The band holds nothing but lines set at the page's foot.
    bool onlyFoot(const Band &band) const;
    static bool laterColumnStartsAbove(const StructuredPage &page, const Band &band, double y);
    double spaceAboveColumns(const StructuredPage &page, const Band &band, double cursor);
    void layoutTable(const StructuredPage &page, const Band &band, double *cursor);
    QString cellOf(qsizetype from, double width);
    void runs(QXmlStreamWriter &xml, const Paragraph &paragraph);
    QList<TextRun> spacedAsText(QList<TextRun> runs) const;
    void textRun(QXmlStreamWriter &xml, const Paragraph &paragraph, const TextRun &run, const TextRun *before);
    void hyperlinkStart(QXmlStreamWriter &xml, const PageLink &link) const;
    int condensing(const Paragraph &paragraph, int style) const;
    // `condense`: twentieths of a point taken from each character's advance;
    // `rise`: points above the baseline.
    // `size`: points, where not the style's.
    // `text`: the run's, whose letters may need another family than the style's.
    void runProperties(QXmlStreamWriter &xml, int style, bool tiny = false, int condense = 0, double rise = 0,
                       const TextMarks &marks = {}, double size = 0, const QString &text = QString());
    static void marksAfterSize(QXmlStreamWriter &xml, const TextStyle &style, const TextMarks &marks);
    void paragraphProperties(QXmlStreamWriter &xml, const Paragraph &paragraph, double before, double left,
                             double right);
    void picture(QXmlStreamWriter &xml, const Picture &picture);
    void shape(QXmlStreamWriter &xml, const Shape &shape);
    static void boxGeometry(QXmlStreamWriter &xml, const QString &element, const QSizeF &size, int rotation = 0,
                            bool flip = false);
    void sideLine(QXmlStreamWriter &xml, const SideLine &line);
    void footLine(QXmlStreamWriter &xml, const Paragraph &paragraph);
    // A box of text at `frame` on the page, without fill or outline, whose
    // one paragraph `content` writes; `direction`: its text's, when turned.
    void textBox(QXmlStreamWriter &xml, const QRectF &frame, const QString &direction,
                 const std::function<void()> &content);
    static void shapeFill(QXmlStreamWriter &xml, const Shape &shape);
    static void solidFill(QXmlStreamWriter &xml, Rgb color, double opacity);
    void anchorStart(QXmlStreamWriter &xml, const QRectF &frame, bool behind, const QString &name);
    void drawings(QXmlStreamWriter &xml, const StructuredPage &page, bool front);
    void anchorEnd(QXmlStreamWriter &xml);
    QString mediaFor(const Picture &picture);
    void append(const QString &xml, bool isParagraph) { mBody.append({xml, isParagraph}); }

    const QList<StructuredPage> &mPages;
    const QList<TextStyle> &mStyles;
    QList<DocxWriter::Media> *mMedia;
    const bool mHyphenates; // the document is hyphenated: some source line ends broke words
    QHash<QString, int> mMediaIndex;
    Margins mMargins;
    QList<Fragment> mBody;
    std::optional<SectionLayout> mSection;
    bool mSectionOnNewPage = true;
    qsizetype mClosedColumns = 0; // of the section closed last
    int mDrawingId = 0;
    QHash<QString, int> mAddressIndex; // of the links out of the document: their relationships, from 0
    QSet<int> mLinkedPages;            // pages a link inside the document leads to
    int mPageIndex = 0;                // of the page being written
    QList<int> mFoot;                  // the page's paragraphs set at its foot, out of the flow
};

// The bookmark a link inside the document leads to: hidden (an underscore
// first), as Word's own are.
QString pageBookmark(int page)
{
    return QStringLiteral("_Page%1").arg(page + 1);
}

void Writer::measureMargins()
{
    double left = 1e9;
    double top = 1e9;
    double right = 1e9;
    double bottom = 1e9;
    for (const StructuredPage &page : mPages) {
        for (const Paragraph &p : page.paragraphs) {
            left = qMin(left, p.box.left() + qMin(0.0, p.firstIndent));
            right = qMin(right, page.size.width() - p.box.right());
            top = qMin(top, p.top());
            bottom = qMin(bottom, page.size.height() - p.bottom());
        }
        for (const Table &t : page.tables) {
            left = qMin(left, t.box().left());
            right = qMin(right, page.size.width() - t.box().right());
            top = qMin(top, t.box().top());
            bottom = qMin(bottom, page.size.height() - t.box().bottom());
        }
    }
    if (left > 1e8)
        return;
    const double width = mPages.first().size.width();
    mMargins.left = qBound(0.0, std::floor(left) - 1, width / 3);
    // Room beyond the widest line, for a stand-in font a little wider than the original.
    mMargins.right = qBound(0.0, std::floor(right) - 6, width / 3);
    mMargins.top = qBound(0.0, std::floor(top) - kCarrierHeight - 1, 72.0);
    mMargins.bottom = qBound(0.0, bottom / 2, 14.0);
}

SectionLayout Writer::layoutOf(const StructuredPage &page, const Band *band) const
{
    SectionLayout layout;
    layout.page = page.size;
    const double left = mMargins.left;
    const double right = page.size.width() - mMargins.right;
    if (!band || band->columns.size() < 2 || laidOutAsTable(*band)) {
        layout.columns.append({left, right});
        return layout;
    }
    for (qsizetype c = 0; c < band->columns.size(); ++c) {
        const double from = c == 0 ? left : band->columns[c].left;
        const double to = c + 1 == band->columns.size() ? right : band->columns[c].right;
        layout.columns.append({from, qMax(from + 12, to)});
    }
    return layout;
}

void Writer::openSection(const SectionLayout &layout, bool newPage)
{
    mSection = layout;
    mSectionOnNewPage = newPage;
}

void Writer::closeSection()
{
    if (!mSection)
        return;
    QString text;
    QXmlStreamWriter xml(&text);
    xml.writeStartElement(QStringLiteral("w:sectPr"));
    xml.writeEmptyElement(QStringLiteral("w:type"));
    xml.writeAttribute(QStringLiteral("w:val"),
                       mSectionOnNewPage ? QStringLiteral("nextPage") : QStringLiteral("continuous"));
    xml.writeEmptyElement(QStringLiteral("w:pgSz"));
    xml.writeAttribute(QStringLiteral("w:w"), twips(mSection->page.width()));
    xml.writeAttribute(QStringLiteral("w:h"), twips(mSection->page.height()));
    if (mSection->page.width() > mSection->page.height())
        xml.writeAttribute(QStringLiteral("w:orient"), QStringLiteral("landscape"));
    xml.writeEmptyElement(QStringLiteral("w:pgMar"));
    xml.writeAttribute(QStringLiteral("w:top"), twips(mMargins.top));
    xml.writeAttribute(QStringLiteral("w:right"), twips(mMargins.right));
    xml.writeAttribute(QStringLiteral("w:bottom"), twips(mMargins.bottom));
    xml.writeAttribute(QStringLiteral("w:left"), twips(mMargins.left));
    xml.writeAttribute(QStringLiteral("w:header"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("w:footer"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("w:gutter"), QStringLiteral("0"));
    const auto &columns = mSection->columns;
    mClosedColumns = columns.size();
    xml.writeStartElement(QStringLiteral("w:cols"));
    xml.writeAttribute(QStringLiteral("w:num"), QString::number(columns.size()));
    if (columns.size() > 1) {
        xml.writeAttribute(QStringLiteral("w:equalWidth"), QStringLiteral("0"));
        for (qsizetype c = 0; c < columns.size(); ++c) {
            xml.writeEmptyElement(QStringLiteral("w:col"));
            xml.writeAttribute(QStringLiteral("w:w"), twips(columns[c].second - columns[c].first));
            if (c + 1 < columns.size())
                xml.writeAttribute(QStringLiteral("w:space"),
                                   twips(qMax(0.0, columns[c + 1].first - columns[c].second)));
        }
    } else {
        xml.writeAttribute(QStringLiteral("w:space"), QStringLiteral("0"));
    }
    xml.writeEndElement();
    xml.writeEndElement();
    if (mBody.isEmpty() || !mBody.last().paragraph)
        spacer(kMinLine, true);
    QString &last = mBody.last().xml;
    last.insert(last.indexOf(QLatin1String("</w:pPr>")), text);
    mSection.reset();
}

// A break after a paragraph's text would carry the rest of that paragraph's
// last line into the next column; at the start of the next column's first
// paragraph it carries nothing. Before a table it needs a one-point
// paragraph of its own.
void Writer::columnBreak(qsizetype from)
{
    const QString run = QStringLiteral("<w:r><w:br w:type=\"column\"/></w:r>");
    if (from < mBody.size() && mBody[from].paragraph) {
        QString &first = mBody[from].xml;
        first.insert(first.indexOf(QLatin1String("</w:pPr>")) + int(qstrlen("</w:pPr>")), run);
        return;
    }
    spacer(kMinLine);
    Fragment breaking = mBody.takeLast();
    breaking.xml.insert(breaking.xml.lastIndexOf(QLatin1String("</w:p>")), run);
    mBody.insert(from, breaking);
}

void Writer::spacer(double height, bool closing)
{
    QString text;
    QXmlStreamWriter xml(&text);
    xml.writeStartElement(QStringLiteral("w:p"));
    xml.writeStartElement(QStringLiteral("w:pPr"));
    xml.writeEmptyElement(QStringLiteral("w:spacing"));
    xml.writeAttribute(QStringLiteral("w:before"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("w:after"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("w:line"), twips(qMax(kMinLine, height)));
    xml.writeAttribute(QStringLiteral("w:lineRule"), QStringLiteral("exact"));
    runProperties(xml, -1, true);
    xml.writeEndElement();
    if (closing) {
        xml.writeStartElement(QStringLiteral("w:r"));
        xml.writeStartElement(QStringLiteral("w:t"));
        xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        xml.writeCharacters(QStringLiteral(" "));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndElement();
    append(text, true);
}

void Writer::carrier(const StructuredPage &page, bool pageBreak)
{
    QString text;
    QXmlStreamWriter xml(&text);
    xml.writeStartElement(QStringLiteral("w:p"));
    xml.writeStartElement(QStringLiteral("w:pPr"));
    if (pageBreak)
        xml.writeEmptyElement(QStringLiteral("w:pageBreakBefore"));
    xml.writeEmptyElement(QStringLiteral("w:spacing"));
    xml.writeAttribute(QStringLiteral("w:before"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("w:after"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("w:line"), twips(kCarrierHeight));
    xml.writeAttribute(QStringLiteral("w:lineRule"), QStringLiteral("exact"));
    runProperties(xml, -1, true);
    xml.writeEndElement();
    if (mLinkedPages.contains(mPageIndex)) {
        xml.writeEmptyElement(QStringLiteral("w:bookmarkStart"));
        xml.writeAttribute(QStringLiteral("w:id"), QString::number(mPageIndex));
        xml.writeAttribute(QStringLiteral("w:name"), pageBookmark(mPageIndex));
        xml.writeEmptyElement(QStringLiteral("w:bookmarkEnd"));
        xml.writeAttribute(QStringLiteral("w:id"), QString::number(mPageIndex));
    }
    drawings(xml, page, false);
    drawings(xml, page, true);
    for (const SideLine &line : page.sideLines)
        sideLine(xml, line);
    for (const int at : std::as_const(mFoot))
        footLine(xml, mPages[mPageIndex].paragraphs[at]);
    xml.writeEndElement();
    append(text, true);
}

// The shapes and pictures behind the text, or in front of it, in the order
// they were painted. A figure rendered from drawings, whose place in that
// order is not known, goes over the rest, as do items of unknown place.
void Writer::drawings(QXmlStreamWriter &xml, const StructuredPage &page, bool front)
{
    struct Item {
        int order = 0;
        const Shape *shape = nullptr;
        const Picture *picture = nullptr;
    };
    const auto place = [](int order) { return order < 0 ? std::numeric_limits<int>::max() : order; };
    QList<Item> items;
    for (const Shape &each : page.shapes) {
        if (each.inFront == front)
            items.append({place(each.order), &each, nullptr});
    }
    for (const Picture &each : page.pictures) {
        if (each.behindText != front)
            items.append({place(each.order), nullptr, &each});
    }
    std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.order < b.order; });
    for (const Item &item : std::as_const(items)) {
        if (item.shape)
            shape(xml, *item.shape);
        else
            picture(xml, *item.picture);
    }
}

void Writer::runProperties(QXmlStreamWriter &xml, int styleIndex, bool tiny, int condense, double rise,
                           const TextMarks &marks, double size, const QString &text)
{
    xml.writeStartElement(QStringLiteral("w:rPr"));
    if (tiny) {
        xml.writeEmptyElement(QStringLiteral("w:sz"));
        xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("2"));
        xml.writeEndElement();
        return;
    }
    const TextStyle style = mStyles.value(styleIndex);
    const QString font = style.font.isEmpty() ? style.sourceFont : style.font;
    if (!font.isEmpty()) {
        xml.writeEmptyElement(QStringLiteral("w:rFonts"));
        const QString family = FontNames::forText(font, text);
        for (const char *slot : {"w:ascii", "w:hAnsi", "w:cs", "w:eastAsia"})
            xml.writeAttribute(QLatin1String(slot), family);
    }
    // Hebrew and Arabic are complex script text, set by the *Cs properties.
    if (style.bold) {
        xml.writeEmptyElement(QStringLiteral("w:b"));
        xml.writeEmptyElement(QStringLiteral("w:bCs"));
    }
    if (style.italic) {
        xml.writeEmptyElement(QStringLiteral("w:i"));
        xml.writeEmptyElement(QStringLiteral("w:iCs"));
    }
    if (marks.strike)
        xml.writeEmptyElement(QStringLiteral("w:strike"));
    if ((style.color & 0xffffff) != 0) {
        xml.writeEmptyElement(QStringLiteral("w:color"));
        xml.writeAttribute(QStringLiteral("w:val"), hex(style.color));
    }
    if (condense != 0) {
        xml.writeEmptyElement(QStringLiteral("w:spacing"));
        xml.writeAttribute(QStringLiteral("w:val"), QString::number(-condense));
    }
    if (style.stretch != 1) {
        xml.writeEmptyElement(QStringLiteral("w:w"));
        xml.writeAttribute(QStringLiteral("w:val"), QString::number(std::lround(style.stretch * 100)));
    }
    if (const long halfPoints = std::lround(rise * 2 / FontNames::raiseScale(font)); halfPoints != 0) {
        xml.writeEmptyElement(QStringLiteral("w:position"));
        xml.writeAttribute(QStringLiteral("w:val"), QString::number(halfPoints));
    }
    if (size <= 0)
        size = style.size;
    if (size > 0) {
        const QString half = QString::number(qMax(2L, std::lround(size * 2)));
        xml.writeEmptyElement(QStringLiteral("w:sz"));
        xml.writeAttribute(QStringLiteral("w:val"), half);
        xml.writeEmptyElement(QStringLiteral("w:szCs"));
        xml.writeAttribute(QStringLiteral("w:val"), half);
    }
    marksAfterSize(xml, style, marks);
    xml.writeEndElement();
}

// The marks that the schema orders after the size: underline, then shading.
void Writer::marksAfterSize(QXmlStreamWriter &xml, const TextStyle &style, const TextMarks &marks)
{
    if (marks.underline) {
        xml.writeEmptyElement(QStringLiteral("w:u"));
        xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("single"));
        if ((marks.underlineColor & 0xffffff) != (style.color & 0xffffff))
            xml.writeAttribute(QStringLiteral("w:color"), hex(marks.underlineColor));
    }
    if (marks.shaded) {
        xml.writeEmptyElement(QStringLiteral("w:shd"));
        xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("clear"));
        xml.writeAttribute(QStringLiteral("w:color"), QStringLiteral("auto"));
        xml.writeAttribute(QStringLiteral("w:fill"), hex(marks.shade));
    }
}

void Writer::paragraphProperties(QXmlStreamWriter &xml, const Paragraph &paragraph, double before, double left,
                                 double right)
{
    // A right-to-left paragraph is measured mirrored: Word's "left" and
    // "right" are its start and its end, and its stops count from the right.
    QRectF box = paragraph.box;
    QList<TabStop> stops = paragraph.tabStops;
    if (paragraph.rightToLeft) {
        box = mirroredBox(box);
        std::tie(left, right) = std::pair(-right, -left);
        for (TabStop &stop : stops)
            stop.position = -stop.position;
    }
    xml.writeStartElement(QStringLiteral("w:pPr"));
    if (paragraph.headingLevel > 0) {
        xml.writeEmptyElement(QStringLiteral("w:pStyle"));
        xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("Heading%1").arg(paragraph.headingLevel));
    }
    if (!stops.isEmpty()) {
        xml.writeStartElement(QStringLiteral("w:tabs"));
        for (const TabStop &stop : stops) {
            xml.writeEmptyElement(QStringLiteral("w:tab"));
            xml.writeAttribute(QStringLiteral("w:val"), stop.right ? QStringLiteral("right") : QStringLiteral("left"));
            if (stop.dots)
                xml.writeAttribute(QStringLiteral("w:leader"), QStringLiteral("dot"));
            xml.writeAttribute(QStringLiteral("w:pos"), twips(qMax(0.0, stop.position - left)));
        }
        xml.writeEndElement();
    }
    // Hyphenation is the document's; text that broke no word at its line
    // ends breaks none here either, so that its lines end where they did.
    if (mHyphenates && !paragraph.mayHyphenate)
        xml.writeEmptyElement(QStringLiteral("w:suppressAutoHyphens"));
    if (paragraph.rightToLeft)
        xml.writeEmptyElement(QStringLiteral("w:bidi"));
    xml.writeEmptyElement(QStringLiteral("w:spacing"));
    xml.writeAttribute(QStringLiteral("w:before"), twips(qMax(0.0, before)));
    xml.writeAttribute(QStringLiteral("w:after"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("w:line"), twips(qMax(kMinLine, paragraph.lineHeight)));
    xml.writeAttribute(QStringLiteral("w:lineRule"), QStringLiteral("exact"));
    // Indents from the column's edges; centred text keeps its centre.
    double indentLeft = box.left() - left;
    double indentRight = 0;
    const double size = paragraph.lineHeight / 1.2;
    switch (paragraph.align) {
    // Centred and flush-right lines have their breaks set, and get the room
    // ragged lines have beyond their longest, past the column's edges if need
    // be: a line the source filled to the column's width would wrap at the
    // least difference in measuring.
    case Paragraph::Align::Center: {
        const double centre = box.center().x();
        const double half =
            qMax(box.width() / 2 + ParagraphBuilder::raggedRoom(size) / 2, qMin(centre - left, right - centre));
        indentLeft = centre - half - left;
        indentRight = right - (centre + half);
        break;
    }
    case Paragraph::Align::Right:
        indentLeft = qMin(0.0, box.left() - left - ParagraphBuilder::raggedRoom(size));
        indentRight = right - box.right();
        break;
    case Paragraph::Align::Justify:
        // Justified lines stretch to the right indent, so it is the source's
        // right edge itself; the lines fitted there with the same spaces.
        indentRight = right - box.right() - kJustifySlack;
        break;
    case Paragraph::Align::Left:
        // Wrapped lines get a little room beyond the longest line; a single
        // line all there is, and past the column's edge if need be.
        indentRight = right - box.right() - ParagraphBuilder::raggedRoom(size);
        if (paragraph.lineCount == 1)
            indentRight = qMin(0.0, indentRight);
        break;
    }
    xml.writeEmptyElement(QStringLiteral("w:ind"));
    xml.writeAttribute(QStringLiteral("w:left"), twips(indentLeft));
    // Lines that must not wrap may reach past the column's right edge.
    const bool unwrapped = paragraph.keepsLineBreaks() || paragraph.lineCount == 1;
    xml.writeAttribute(QStringLiteral("w:right"), twips(unwrapped ? indentRight : qMax(0.0, indentRight)));
    if (paragraph.firstIndent >= 0)
        xml.writeAttribute(QStringLiteral("w:firstLine"), twips(paragraph.firstIndent));
    else
        xml.writeAttribute(QStringLiteral("w:hanging"), twips(-paragraph.firstIndent));
    static const char *const kAlign[] = {"left", "center", "right", "both"};
    xml.writeEmptyElement(QStringLiteral("w:jc"));
    xml.writeAttribute(QStringLiteral("w:val"), QLatin1String(kAlign[int(paragraph.align)]));
    xml.writeEndElement();
}

// Twentieths of a point to take from each character: what the paragraph's
// squeezed spaces need, and what a stand-in font wider than the original
// needs (from the mean letter advances of the two); negative to spread the
// letters of a narrower stand-in.
int Writer::condensing(const Paragraph &paragraph, int styleIndex) const
{
    const TextStyle style = mStyles.value(styleIndex);
    const double standIn = FontNames::letterAdvance(style.font);
    const bool measured = standIn > 0 && style.letterWidth > 0 && !FontNames::sameMetrics(style.sourceFont, style.font);
    // Differences of a few per cent come from the text's own letters, not the font.
    const double ratio = measured ? standIn / style.letterWidth : 1;
    double wider = 0;
    if (ratio > 1.03)
        wider = standIn - style.letterWidth;
    else if (ratio < 0.97) // a narrower stand-in spreads its letters, short of the full difference
        wider = qMax(-0.08, 0.9 * (standIn - style.letterWidth));
    const double points = qBound(-0.08 * style.size, paragraph.condense + wider * style.size, 0.15 * style.size);
    return ParagraphBuilder::squeezeTwentieths(points, paragraph.condense);
}

// A space between code in a monospaced face and text goes with the text:
// TeX spaced it as the text around, and a monospaced space, half as wide
// again, widened every line with code in it until its last word wrapped.
QList<TextRun> Writer::spacedAsText(QList<TextRun> runs) const
{
    for (qsizetype i = 0; i + 1 < runs.size(); ++i) {
        TextRun &code = runs[i];
        if (code.text.size() > 1 && code.text.endsWith(QLatin1Char(' ')) && mStyles.value(code.style).mono &&
            !mStyles.value(runs[i + 1].style).mono) {
            code.text.chop(1);
            runs[i + 1].text.prepend(QLatin1Char(' '));
        }
    }
    return runs;
}

// Runs in a link of the page are wrapped in a hyperlink to its address or its page.
void Writer::runs(QXmlStreamWriter &xml, const Paragraph &paragraph)
{
    const QList<PageLink> &links = mPages[mPageIndex].links;
    int open = -1;
    const TextRun *before = nullptr;
    const QList<TextRun> written = paragraph.keepSpaces ? paragraph.runs : spacedAsText(paragraph.runs);
    for (const TextRun &run : written) {
        if (run.link != open) {
            if (open >= 0)
                xml.writeEndElement();
            open = run.link >= 0 && run.link < links.size() ? run.link : -1;
            if (open >= 0)
                hyperlinkStart(xml, links[open]);
        }
        textRun(xml, paragraph, run, before);
        // A subscript is passed over: a prime may stand over it.
        if (run.rise >= 0)
            before = &run;
    }
    if (open >= 0)
        xml.writeEndElement();
}

void Writer::hyperlinkStart(QXmlStreamWriter &xml, const PageLink &link) const
{
    xml.writeStartElement(QStringLiteral("w:hyperlink"));
    if (link.url.isEmpty())
        xml.writeAttribute(QStringLiteral("w:anchor"), pageBookmark(link.page));
    else
        xml.writeAttribute(QStringLiteral("r:id"), QStringLiteral("rIdLink%1").arg(mAddressIndex.value(link.url) + 1));
    xml.writeAttribute(QStringLiteral("w:history"), QStringLiteral("1"));
}

void Writer::textRun(QXmlStreamWriter &xml, const Paragraph &paragraph, const TextRun &run, const TextRun *before)
{
    // A kern after the run is the spacing of its last letter alone.
    const qsizetype last = run.text.size() > 1 && run.text.back().isLowSurrogate() ? 2 : 1;
    if (run.kern != 0 && run.text.size() > last) {
        TextRun head = run;
        head.text.chop(last);
        head.kern = 0;
        textRun(xml, paragraph, head, before);
        TextRun tail = run;
        tail.text = run.text.right(last);
        textRun(xml, paragraph, tail, before);
        return;
    }
    xml.writeStartElement(QStringLiteral("w:r"));
    // TeX sets a prime as a small raised glyph; Unicode's prime is drawn
    // raised already, so it takes the size and place of the letter it marks.
    const double baseSize = before ? mStyles.value(before->style).size : 0;
    const bool prime =
        before && run.rise > before->rise && baseSize > mStyles.value(run.style).size && isPrimes(run.text);
    const int kern = int(std::lround(-(run.kern + run.spacing) * 20));
    runProperties(xml, run.style, false, condensing(paragraph, run.style) + kern, prime ? before->rise : run.rise,
                  run.marks, prime ? baseSize : 0, run.text);
    // Line ends of the source become line breaks, tabs tabs.
    const QStringList lines = run.text.split(QLatin1Char('\n'));
    for (qsizetype l = 0; l < lines.size(); ++l) {
        if (l > 0)
            xml.writeEmptyElement(QStringLiteral("w:br"));
        const QStringList pieces = xmlSafe(lines[l]).split(QLatin1Char('\t'));
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                xml.writeEmptyElement(QStringLiteral("w:tab"));
            if (pieces[i].isEmpty())
                continue;
            xml.writeStartElement(QStringLiteral("w:t"));
            xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
            xml.writeCharacters(pieces[i]);
            xml.writeEndElement();
        }
    }
    xml.writeEndElement();
}

void Writer::columnItems(const StructuredPage &page, const Column &column, double left, double right, double *cursor)
{
    for (qsizetype i = 0; i < column.items.size(); ++i) {
        const FlowItem &item = column.items[i];
        if (item.kind == FlowItem::Kind::Table) {
            table(page.tables[item.index], left, cursor);
            continue;
        }
        if (mFoot.contains(item.index))
            continue;
        const double nextTop =
            i + 1 < column.items.size() ? topOf(page, column.items[i + 1]) : std::numeric_limits<double>::infinity();
        paragraph(page.paragraphs[item.index], left, right, cursor, nextTop);
    }
}

void Writer::paragraph(const Paragraph &source, double left, double right, double *cursor, double nextTop)
{
    // Text that runs late (its place is above where the page has got to)
    // takes up the delay from its line heights rather than pushing on.
    Paragraph paragraph = source;
    const double late = *cursor - paragraph.top();
    if (late > 0) {
        const double shorter = qMin(late / paragraph.lineCount, 0.15 * paragraph.lineHeight);
        paragraph.setLineHeightKeepingTop(paragraph.lineHeight - shorter);
        paragraph.firstBaseline += late;
    }
    // A single line the source set closer to what follows than its own height
    // (a name stacked over another beside a row) takes no more room than it had there.
    const double room = nextTop - source.top();
    if (paragraph.lineCount == 1 && room > 0 && room < paragraph.lineHeight) {
        paragraph.setLineHeightKeepingTop(qMax(room, kTightestLine * source.lineHeight));
    }
    const double before = paragraph.top() - *cursor;
    QString text;
    QXmlStreamWriter xml(&text);
    xml.writeStartElement(QStringLiteral("w:p"));
    paragraphProperties(xml, paragraph, before, left, right);
    runs(xml, paragraph);
    xml.writeEndElement();
    append(text, true);
    *cursor = qMax(*cursor, paragraph.top()) + paragraph.lineCount * paragraph.lineHeight;
}

// A table's properties and grid: its width, its indent when given, the
// borders of a ruled table, fixed columns at `edges` and cells with
// `sideMargin` left and right.
void Writer::tableHead(QXmlStreamWriter &xml, double width, std::optional<double> indent, const Table *ruled,
                       double sideMargin, const QList<double> &edges)
{
    xml.writeStartElement(QStringLiteral("w:tblPr"));
    xml.writeEmptyElement(QStringLiteral("w:tblW"));
    xml.writeAttribute(QStringLiteral("w:w"), twips(width));
    xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
    if (indent) {
        xml.writeEmptyElement(QStringLiteral("w:tblInd"));
        xml.writeAttribute(QStringLiteral("w:w"), twips(*indent));
        xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
    }
    if (ruled && ruled->ruled) {
        xml.writeStartElement(QStringLiteral("w:tblBorders"));
        const QString size = QString::number(qBound(2L, std::lround(ruled->ruleWidth * 8), 96L));
        for (const char *edge : {"w:top", "w:left", "w:bottom", "w:right", "w:insideH", "w:insideV"}) {
            xml.writeEmptyElement(QLatin1String(edge));
            xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("single"));
            xml.writeAttribute(QStringLiteral("w:sz"), size);
            xml.writeAttribute(QStringLiteral("w:space"), QStringLiteral("0"));
            xml.writeAttribute(QStringLiteral("w:color"), hex(ruled->ruleColor));
        }
        xml.writeEndElement();
    }
    xml.writeEmptyElement(QStringLiteral("w:tblLayout"));
    xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("fixed"));
    xml.writeStartElement(QStringLiteral("w:tblCellMar"));
    for (const char *edge : {"w:top", "w:left", "w:bottom", "w:right"}) {
        const bool side = edge[2] == 'l' || edge[2] == 'r';
        xml.writeEmptyElement(QLatin1String(edge));
        xml.writeAttribute(QStringLiteral("w:w"), side ? twips(sideMargin) : QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
    }
    xml.writeEndElement();
    xml.writeEndElement(); // tblPr
    xml.writeStartElement(QStringLiteral("w:tblGrid"));
    for (qsizetype c = 0; c + 1 < edges.size(); ++c) {
        xml.writeEmptyElement(QStringLiteral("w:gridCol"));
        xml.writeAttribute(QStringLiteral("w:w"), twips(edges[c + 1] - edges[c]));
    }
    xml.writeEndElement();
}

// No rule between the rows a ruled row of lines was split into, nor on the
// open sides of a table ruled only inside.
void Writer::openEdges(QXmlStreamWriter &xml, const Table &table, int row, int column, int end)
{
    const std::pair<bool, const char *> sides[] = {{table.openRowEdges.contains(row), "w:top"},
                                                   {table.openColumnEdges.contains(column), "w:left"},
                                                   {table.openRowEdges.contains(row + 1), "w:bottom"},
                                                   {table.openColumnEdges.contains(end), "w:right"}};
    if (std::none_of(std::begin(sides), std::end(sides), [](const auto &side) { return side.first; }))
        return;
    xml.writeStartElement(QStringLiteral("w:tcBorders"));
    for (const auto &[open, edge] : sides) {
        if (!open)
            continue;
        xml.writeEmptyElement(QLatin1String(edge));
        xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("nil"));
    }
    xml.writeEndElement();
}

void Writer::table(const Table &table, double left, double *cursor)
{
    const QRectF box = table.box();
    const double gap = box.top() - *cursor;
    // A gap too small for a spacer line goes into the first row: side by side
    // in a band, tables a fraction of a point apart keep that difference.
    const double lead = gap >= kMinLine ? 0 : qMax(0.0, gap);
    if (gap >= kMinLine)
        spacer(gap);
    QString text;
    QXmlStreamWriter xml(&text);
    xml.writeStartElement(QStringLiteral("w:tbl"));
    tableHead(xml, box.width(), box.left() - left, &table, kCellMargin, table.columnEdges);
    for (int r = 0; r < table.rows(); ++r) {
        xml.writeStartElement(QStringLiteral("w:tr"));
        xml.writeStartElement(QStringLiteral("w:trPr"));
        xml.writeEmptyElement(QStringLiteral("w:trHeight"));
        const double rowLead = r == 0 ? lead : 0;
        xml.writeAttribute(QStringLiteral("w:val"), twips(table.rowEdges[r + 1] - table.rowEdges[r] + rowLead));
        // A row of aligned text is one line of the source: it keeps its height
        // exactly, as ruled cells whose text may wrap cannot.
        xml.writeAttribute(QStringLiteral("w:hRule"),
                           table.ruled ? QStringLiteral("atLeast") : QStringLiteral("exact"));
        xml.writeEndElement();
        for (int c = 0; c < table.columns(); ++c) {
            const TableCell &cell = table.cells[r][c];
            if (cell.columnSpan == 0)
                continue;
            // A covered cell continues the merge of the cell above it, as wide as that one.
            int origin = r;
            while (origin > 0 && table.cells[origin][c].rowSpan == 0)
                --origin;
            const TableCell &owner = table.cells[origin][c];
            const int span = qMax(1, owner.columnSpan);
            const int end = qMin(c + span, table.columns());
            xml.writeStartElement(QStringLiteral("w:tc"));
            xml.writeStartElement(QStringLiteral("w:tcPr"));
            xml.writeEmptyElement(QStringLiteral("w:tcW"));
            xml.writeAttribute(QStringLiteral("w:w"), twips(table.columnEdges[end] - table.columnEdges[c]));
            xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
            if (span > 1) {
                xml.writeEmptyElement(QStringLiteral("w:gridSpan"));
                xml.writeAttribute(QStringLiteral("w:val"), QString::number(span));
            }
            if (cell.rowSpan == 0) {
                xml.writeEmptyElement(QStringLiteral("w:vMerge"));
            } else if (cell.rowSpan > 1) {
                xml.writeEmptyElement(QStringLiteral("w:vMerge"));
                xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("restart"));
            }
            openEdges(xml, table, r, c, end);
            if (owner.filled) {
                xml.writeEmptyElement(QStringLiteral("w:shd"));
                xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("clear"));
                xml.writeAttribute(QStringLiteral("w:color"), QStringLiteral("auto"));
                xml.writeAttribute(QStringLiteral("w:fill"), hex(owner.fill));
            }
            xml.writeEndElement(); // tcPr
            const double cellLeft = table.columnEdges[c] + kCellMargin;
            const double cellRight = table.columnEdges[end] - kCellMargin;
            double inCell = table.rowEdges[r] - rowLead;
            const QList<Paragraph> &paragraphs = cell.rowSpan == 0 ? QList<Paragraph>() : cell.paragraphs;
            if (paragraphs.isEmpty()) {
                xml.writeStartElement(QStringLiteral("w:p"));
                xml.writeStartElement(QStringLiteral("w:pPr"));
                xml.writeEmptyElement(QStringLiteral("w:spacing"));
                xml.writeAttribute(QStringLiteral("w:before"), QStringLiteral("0"));
                xml.writeAttribute(QStringLiteral("w:after"), QStringLiteral("0"));
                xml.writeAttribute(QStringLiteral("w:line"), twips(kMinLine));
                xml.writeAttribute(QStringLiteral("w:lineRule"), QStringLiteral("exact"));
                runProperties(xml, -1, true);
                xml.writeEndElement();
                xml.writeEndElement();
            }
            for (qsizetype i = 0; i < paragraphs.size(); ++i) {
                // Lines the source stacked closer than their height (a name in two
                // lines beside a row) keep that pitch: an exact row clips the rest.
                Paragraph each = paragraphs[i];
                const double pitch = stackPitch(paragraphs, i);
                if (pitch > 0 && pitch < each.lineHeight)
                    each.lineHeight = qMax(pitch, kTightestLine * each.lineHeight);
                xml.writeStartElement(QStringLiteral("w:p"));
                paragraphProperties(xml, each, each.top() - inCell, cellLeft, cellRight);
                runs(xml, each);
                xml.writeEndElement();
                inCell = qMax(inCell, each.top()) + each.lineCount * each.lineHeight;
            }
            xml.writeEndElement(); // tc
        }
        xml.writeEndElement(); // tr
    }
    xml.writeEndElement(); // tbl
    append(text, false);
    *cursor = qMax(*cursor, box.top()) + box.height();
}

bool Writer::onlyFoot(const Band &band) const
{
    qsizetype items = 0;
    for (const Column &column : band.columns) {
        for (const FlowItem &item : column.items) {
            if (item.kind != FlowItem::Kind::Paragraph || !mFoot.contains(item.index))
                return false;
            ++items;
        }
    }
    return items > 0;
}

bool Writer::laterColumnStartsAbove(const StructuredPage &page, const Band &band, double y)
{
    return std::any_of(band.columns.cbegin() + 1, band.columns.cend(), [&](const Column &column) {
        return !column.items.isEmpty() && topOf(page, column.items.first()) < y - kMinLine;
    });
}

// LibreOffice takes the space above a section of columns opening within the
// page as the section's own, and lays the page out for ever when that space
// is more than about half of what the page has left. So the space down to the
// highest column's start is a spacer of one column closing the section
// before; returns its height.
double Writer::spaceAboveColumns(const StructuredPage &page, const Band &band, double cursor)
{
    double top = std::numeric_limits<double>::infinity();
    for (const Column &column : band.columns) {
        if (!column.items.isEmpty())
            top = qMin(top, topOf(page, column.items.first()));
    }
    const double space = top - cursor;
    if (!std::isfinite(space) || space <= kMinLine)
        return 0;
    if (mSection->columns.size() > 1) {
        closeSection();
        openSection(layoutOf(page, nullptr), false);
    }
    spacer(space, true);
    return space;
}

// LibreOffice honours no column break before a table: a band whose later
// columns open with one is laid out as a borderless table, a cell a column.
bool Writer::laidOutAsTable(const Band &band)
{
    for (qsizetype c = 1; c < band.columns.size(); ++c) {
        if (!band.columns[c].items.isEmpty() && band.columns[c].items.first().kind == FlowItem::Kind::Table)
            return true;
    }
    const QList<FlowItem> &last = band.columns.last().items;
    return !last.isEmpty() && last.last().kind == FlowItem::Kind::Table;
}

void Writer::layoutTable(const StructuredPage &page, const Band &band, double *cursor)
{
    const double gap = band.top - *cursor;
    if (gap >= kMinLine)
        spacer(gap);
    const double top = qMax(*cursor, band.top);
    // The columns' items are placed from the highest of them down; a band
    // that starts a little above the cursor is moved down whole, so its
    // columns keep their places relative to one another.
    double origin = band.top;
    for (const Column &column : band.columns) {
        if (!column.items.isEmpty())
            origin = qMin(origin, topOf(page, column.items.first()));
    }
    const double shift = top - origin;
    double bottom = top;
    QList<double> edges = {mMargins.left};
    for (qsizetype c = 1; c < band.columns.size(); ++c)
        edges.append(qMax(edges.last() + 12, band.columns[c].left));
    edges.append(qMax(edges.last() + 12, page.size.width() - mMargins.right));
    QString cells;
    for (qsizetype c = 0; c < band.columns.size(); ++c) {
        const qsizetype from = mBody.size();
        double columnCursor = origin;
        columnItems(page, band.columns[c], edges[c], edges[c + 1], &columnCursor);
        bottom = qMax(bottom, columnCursor + shift);
        cells += cellOf(from, edges[c + 1] - edges[c]);
    }
    QString text;
    QXmlStreamWriter xml(&text);
    xml.writeStartElement(QStringLiteral("w:tbl"));
    tableHead(xml, edges.last() - edges.first(), std::nullopt, nullptr, 0, edges);
    xml.writeStartElement(QStringLiteral("w:tr"));
    xml.writeCharacters(QString());
    text += cells;
    append(text + QStringLiteral("</w:tr></w:tbl>"), false);
    *cursor = bottom;
}

// The fragments written from `from` on, taken out of the body as the content of a cell.
QString Writer::cellOf(qsizetype from, double width)
{
    // A cell ends with a paragraph, also after a table.
    if (mBody.size() == from || !mBody.last().paragraph)
        spacer(kMinLine);
    QString cell = QStringLiteral("<w:tc><w:tcPr><w:tcW w:w=\"%1\" w:type=\"dxa\"/></w:tcPr>").arg(twips(width));
    for (qsizetype f = from; f < mBody.size(); ++f)
        cell += mBody[f].xml;
    mBody.remove(from, mBody.size() - from);
    return cell + QStringLiteral("</w:tc>");
}

QString Writer::mediaFor(const Picture &picture)
{
    const QString key = picture.key.isEmpty() ? picture.file : picture.key;
    auto found = mMediaIndex.constFind(key);
    if (found == mMediaIndex.constEnd()) {
        QString suffix = QFileInfo(picture.file).suffix().toLower();
        if (suffix == QLatin1String("jpeg"))
            suffix = QStringLiteral("jpg");
        mMedia->append({QStringLiteral("image%1.%2").arg(mMedia->size() + 1).arg(suffix), picture.file});
        found = mMediaIndex.insert(key, int(mMedia->size()));
    }
    return QStringLiteral("rIdImage%1").arg(*found);
}

void Writer::anchorStart(QXmlStreamWriter &xml, const QRectF &frame, bool behind, const QString &name)
{
    ++mDrawingId;
    xml.writeStartElement(QStringLiteral("w:r"));
    xml.writeStartElement(QStringLiteral("w:drawing"));
    xml.writeStartElement(QStringLiteral("wp:anchor"));
    for (const char *distance : {"distT", "distB", "distL", "distR"})
        xml.writeAttribute(QLatin1String(distance), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("simplePos"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("relativeHeight"), QString::number(mDrawingId * 2));
    xml.writeAttribute(QStringLiteral("behindDoc"), behind ? QStringLiteral("1") : QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("locked"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("layoutInCell"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("allowOverlap"), QStringLiteral("1"));
    xml.writeEmptyElement(QStringLiteral("wp:simplePos"));
    xml.writeAttribute(QStringLiteral("x"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("y"), QStringLiteral("0"));
    xml.writeStartElement(QStringLiteral("wp:positionH"));
    xml.writeAttribute(QStringLiteral("relativeFrom"), QStringLiteral("page"));
    xml.writeTextElement(QStringLiteral("wp:posOffset"), emu(frame.left()));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("wp:positionV"));
    xml.writeAttribute(QStringLiteral("relativeFrom"), QStringLiteral("page"));
    xml.writeTextElement(QStringLiteral("wp:posOffset"), emu(frame.top()));
    xml.writeEndElement();
    xml.writeEmptyElement(QStringLiteral("wp:extent"));
    xml.writeAttribute(QStringLiteral("cx"), emu(frame.width()));
    xml.writeAttribute(QStringLiteral("cy"), emu(frame.height()));
    xml.writeEmptyElement(QStringLiteral("wp:effectExtent"));
    for (const char *side : {"l", "t", "r", "b"})
        xml.writeAttribute(QLatin1String(side), QStringLiteral("0"));
    xml.writeEmptyElement(QStringLiteral("wp:wrapNone"));
    xml.writeEmptyElement(QStringLiteral("wp:docPr"));
    xml.writeAttribute(QStringLiteral("id"), QString::number(mDrawingId));
    xml.writeAttribute(QStringLiteral("name"), name + QLatin1Char(' ') + QString::number(mDrawingId));
    xml.writeEmptyElement(QStringLiteral("wp:cNvGraphicFramePr"));
    xml.writeStartElement(QStringLiteral("a:graphic"));
}

void Writer::anchorEnd(QXmlStreamWriter &xml)
{
    xml.writeEndElement(); // a:graphic
    xml.writeEndElement(); // wp:anchor
    xml.writeEndElement(); // w:drawing
    xml.writeEndElement(); // w:r
}

void Writer::picture(QXmlStreamWriter &xml, const Picture &picture)
{
    // The frame is the unturned image, centred where the turned one is.
    const QSizeF size = picture.frame.isEmpty() ? picture.box.size() : picture.frame;
    const QRectF frame(picture.box.center() - QPointF(size.width() / 2, size.height() / 2), size);
    const QString relation = mediaFor(picture);
    anchorStart(xml, frame, picture.behindText, QStringLiteral("Picture"));
    xml.writeStartElement(QStringLiteral("a:graphicData"));
    xml.writeAttribute(QStringLiteral("uri"), QLatin1String(kPic));
    xml.writeStartElement(QStringLiteral("pic:pic"));
    xml.writeStartElement(QStringLiteral("pic:nvPicPr"));
    xml.writeEmptyElement(QStringLiteral("pic:cNvPr"));
    xml.writeAttribute(QStringLiteral("id"), QString::number(mDrawingId));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("Picture %1").arg(mDrawingId));
    xml.writeEmptyElement(QStringLiteral("pic:cNvPicPr"));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("pic:blipFill"));
    xml.writeEmptyElement(QStringLiteral("a:blip"));
    xml.writeAttribute(QStringLiteral("r:embed"), relation);
    if (!picture.crop.isNull()) {
        // In thousandths of a percent of the image, from each side.
        const auto share = [](double fraction) { return QString::number(qRound(qBound(0.0, fraction, 1.0) * 1e5)); };
        xml.writeEmptyElement(QStringLiteral("a:srcRect"));
        xml.writeAttribute(QStringLiteral("l"), share(picture.crop.left()));
        xml.writeAttribute(QStringLiteral("t"), share(picture.crop.top()));
        xml.writeAttribute(QStringLiteral("r"), share(picture.crop.right()));
        xml.writeAttribute(QStringLiteral("b"), share(picture.crop.bottom()));
    }
    xml.writeStartElement(QStringLiteral("a:stretch"));
    xml.writeEmptyElement(QStringLiteral("a:fillRect"));
    xml.writeEndElement();
    xml.writeEndElement();
    boxGeometry(xml, QStringLiteral("pic:spPr"), size, picture.rotation, picture.flip);
    xml.writeEndElement(); // spPr
    xml.writeEndElement(); // pic
    xml.writeEndElement(); // graphicData
    anchorEnd(xml);
}

void Writer::shape(QXmlStreamWriter &xml, const Shape &shape)
{
    const bool line = shape.lineWidth > 0;
    anchorStart(xml, shape.box, !shape.inFront, line ? QStringLiteral("Line") : QStringLiteral("Shape"));
    xml.writeStartElement(QStringLiteral("a:graphicData"));
    xml.writeAttribute(QStringLiteral("uri"), QLatin1String(kWps));
    xml.writeStartElement(QStringLiteral("wps:wsp"));
    xml.writeEmptyElement(QStringLiteral("wps:cNvSpPr"));
    // A line is the outline of a box without height (or width): LibreOffice
    // tilts a line shape by a rounding step, and a tilted hairline is drawn faint.
    boxGeometry(xml, QStringLiteral("wps:spPr"), shape.box.size());
    if (line) {
        xml.writeEmptyElement(QStringLiteral("a:noFill"));
        xml.writeStartElement(QStringLiteral("a:ln"));
        // Width 0 is a hairline in Word and LibreOffice alike.
        xml.writeAttribute(QStringLiteral("w"), shape.hairline ? QStringLiteral("0") : emu(shape.lineWidth));
        solidFill(xml, shape.color, shape.opacity);
        if (shape.dash != Dash::None) {
            xml.writeEmptyElement(QStringLiteral("a:prstDash"));
            xml.writeAttribute(QStringLiteral("val"),
                               shape.dash == Dash::Dots ? QStringLiteral("sysDot") : QStringLiteral("dash"));
        }
        xml.writeEndElement();
    } else {
        shapeFill(xml, shape);
        xml.writeStartElement(QStringLiteral("a:ln"));
        xml.writeEmptyElement(QStringLiteral("a:noFill"));
        xml.writeEndElement();
    }
    xml.writeEndElement(); // spPr
    xml.writeEmptyElement(QStringLiteral("wps:bodyPr"));
    xml.writeEndElement(); // wsp
    xml.writeEndElement(); // graphicData
    anchorEnd(xml);
}

// Opens a shape's properties (`element`) with the frame and geometry of a
// box, turned clockwise by `rotation` degrees and mirrored where asked.
void Writer::boxGeometry(QXmlStreamWriter &xml, const QString &element, const QSizeF &size, int rotation, bool flip)
{
    xml.writeStartElement(element);
    xml.writeStartElement(QStringLiteral("a:xfrm"));
    if (rotation != 0)
        xml.writeAttribute(QStringLiteral("rot"), QString::number(rotation * 60000));
    if (flip)
        xml.writeAttribute(QStringLiteral("flipV"), QStringLiteral("1"));
    xml.writeEmptyElement(QStringLiteral("a:off"));
    xml.writeAttribute(QStringLiteral("x"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("y"), QStringLiteral("0"));
    xml.writeEmptyElement(QStringLiteral("a:ext"));
    xml.writeAttribute(QStringLiteral("cx"), emu(size.width()));
    xml.writeAttribute(QStringLiteral("cy"), emu(size.height()));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("a:prstGeom"));
    xml.writeAttribute(QStringLiteral("prst"), QStringLiteral("rect"));
    xml.writeEmptyElement(QStringLiteral("a:avLst"));
    xml.writeEndElement();
}

// A text box standing where the line stood, its text turned as it was:
// LibreOffice turns a box's text by the box's direction, not by a turn of
// the shape. It wraps a box's text even when told not to, and a stand-in
// font may set the line longer than the source's: the box reaches on past
// the line's end, to the page's edge at most.
void Writer::sideLine(QXmlStreamWriter &xml, const SideLine &line)
{
    QRectF box = line.box;
    const double more = kSideLineSlack * box.height();
    if (line.upwards)
        box.setTop(qMax(0.0, box.top() - more));
    else
        box.setBottom(qMin(mPages[mPageIndex].size.height(), box.bottom() + more));
    textBox(xml, box, line.upwards ? QStringLiteral("vert270") : QStringLiteral("vert"), [&] {
        xml.writeStartElement(QStringLiteral("w:pPr"));
        xml.writeEmptyElement(QStringLiteral("w:spacing"));
        xml.writeAttribute(QStringLiteral("w:before"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("w:after"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("w:line"), twips(line.box.width()));
        xml.writeAttribute(QStringLiteral("w:lineRule"), QStringLiteral("exact"));
        xml.writeEndElement();
        runs(xml, line.paragraph);
    });
}

// A line at the page's foot, in a box across the page at its height: set
// as in the flow, from the page's edges, it stands where it stood.
void Writer::footLine(QXmlStreamWriter &xml, const Paragraph &paragraph)
{
    const double width = mPages[mPageIndex].size.width();
    const QRectF frame(0, paragraph.top(), width, paragraph.lineCount * paragraph.lineHeight + kMinLine);
    textBox(xml, frame, QString(), [&] {
        paragraphProperties(xml, paragraph, 0, 0, width);
        runs(xml, paragraph);
    });
}

void Writer::textBox(QXmlStreamWriter &xml, const QRectF &frame, const QString &direction,
                     const std::function<void()> &content)
{
    anchorStart(xml, frame, false, QStringLiteral("Text"));
    xml.writeStartElement(QStringLiteral("a:graphicData"));
    xml.writeAttribute(QStringLiteral("uri"), QLatin1String(kWps));
    xml.writeStartElement(QStringLiteral("wps:wsp"));
    xml.writeEmptyElement(QStringLiteral("wps:cNvSpPr"));
    xml.writeAttribute(QStringLiteral("txBox"), QStringLiteral("1"));
    boxGeometry(xml, QStringLiteral("wps:spPr"), frame.size());
    xml.writeEmptyElement(QStringLiteral("a:noFill"));
    xml.writeStartElement(QStringLiteral("a:ln"));
    xml.writeEmptyElement(QStringLiteral("a:noFill"));
    xml.writeEndElement();
    xml.writeEndElement(); // spPr
    xml.writeStartElement(QStringLiteral("wps:txbx"));
    xml.writeStartElement(QStringLiteral("w:txbxContent"));
    xml.writeStartElement(QStringLiteral("w:p"));
    content();
    xml.writeEndElement(); // w:p
    xml.writeEndElement(); // w:txbxContent
    xml.writeEndElement(); // wps:txbx
    xml.writeStartElement(QStringLiteral("wps:bodyPr"));
    if (!direction.isEmpty())
        xml.writeAttribute(QStringLiteral("vert"), direction);
    for (const char *inset : {"lIns", "tIns", "rIns", "bIns"})
        xml.writeAttribute(QLatin1String(inset), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("wrap"), QStringLiteral("none"));
    xml.writeEmptyElement(QStringLiteral("a:noAutofit"));
    xml.writeEndElement(); // bodyPr
    xml.writeEndElement(); // wsp
    xml.writeEndElement(); // graphicData
    anchorEnd(xml);
}

void Writer::solidFill(QXmlStreamWriter &xml, Rgb color, double opacity)
{
    xml.writeStartElement(QStringLiteral("a:solidFill"));
    xml.writeStartElement(QStringLiteral("a:srgbClr"));
    xml.writeAttribute(QStringLiteral("val"), hex(color));
    // In thousandths of a per cent.
    if (const long alpha = std::lround(opacity * 100000); alpha < 99500) {
        xml.writeEmptyElement(QStringLiteral("a:alpha"));
        xml.writeAttribute(QStringLiteral("val"), QString::number(qMax(0L, alpha)));
    }
    xml.writeEndElement();
    xml.writeEndElement();
}

void Writer::shapeFill(QXmlStreamWriter &xml, const Shape &shape)
{
    if (!shape.gradient) {
        solidFill(xml, shape.color, shape.opacity);
        return;
    }
    xml.writeStartElement(QStringLiteral("a:gradFill"));
    xml.writeStartElement(QStringLiteral("a:gsLst"));
    for (const auto &[position, color] : {std::pair{0, shape.color}, std::pair{100000, shape.endColor}}) {
        xml.writeStartElement(QStringLiteral("a:gs"));
        xml.writeAttribute(QStringLiteral("pos"), QString::number(position));
        xml.writeEmptyElement(QStringLiteral("a:srgbClr"));
        xml.writeAttribute(QStringLiteral("val"), hex(color));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    // Angles in 60000ths of a degree: 90 degrees runs top to bottom.
    xml.writeEmptyElement(QStringLiteral("a:lin"));
    xml.writeAttribute(QStringLiteral("ang"), shape.vertical ? QStringLiteral("5400000") : QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("scaled"), QStringLiteral("0"));
    xml.writeEndElement();
}

double Writer::topOf(const StructuredPage &page, const FlowItem &item)
{
    return item.kind == FlowItem::Kind::Paragraph ? page.paragraphs[item.index].top()
                                                  : page.tables[item.index].box().top();
}

Writer::Mark Writer::mark() const
{
    return {mBody.size(), mBody.isEmpty() ? Fragment() : mBody.last(), mSection, mSectionOnNewPage, mClosedColumns,
            mDrawingId};
}

void Writer::rewind(const Mark &mark)
{
    // Closing a section writes into the last paragraph written before.
    mBody.resize(mark.fragments);
    if (!mBody.isEmpty())
        mBody.last() = mark.last;
    mSection = mark.section;
    mSectionOnNewPage = mark.sectionOnNewPage;
    mClosedColumns = mark.closedColumns;
    mDrawingId = mark.drawingId;
}

// Text the writer would push past the page's foot (lines the source set
// overlapping, text running off the page, stand-ins taller than their
// originals) would start a page of its own and move every page after it.
// The page's text is set closer instead, by as little as fits, and by no
// more than kTightestPage, beyond which its lines would overlap.
void Writer::writeFitting(int index)
{
    const StructuredPage &page = mPages[index];
    const double top = mMargins.top + kCarrierHeight;
    const Mark start = mark();
    // Lines at the page's foot stay where they stood however close its text
    // is set, and the text is set to end above them, or where it cannot, so
    // close, above the page's foot.
    mFoot = PageFoot::paragraphs(page);
    const double pageLimit = page.size.height() - mMargins.bottom;
    double limit = pageLimit;
    for (const int at : std::as_const(mFoot))
        limit = qMin(limit, page.paragraphs[at].top());
    double end = writePage(index, page);
    if (end > limit - kOverflowRoom && limit - 2 * kOverflowRoom - top < kTightestPage * (end - top))
        limit = pageLimit;
    double factor = 1;
    for (int attempt = 0; attempt < 4 && end > limit - kOverflowRoom && end > top; ++attempt) {
        factor *= (limit - 2 * kOverflowRoom - top) / (end - top);
        if (factor < kTightestPage)
            break;
        rewind(start);
        end = writePage(index, page.withTextSqueezed(top, factor));
    }
}

double Writer::writePage(int index, const StructuredPage &page)
{
    mPageIndex = index;
    const SectionLayout first = layoutOf(page, page.bands.isEmpty() ? nullptr : &page.bands.first());
    bool pageBreak = index > 0;
    if (!mSection || !mSection->sameAs(first)) {
        closeSection();
        openSection(first, true);
        pageBreak = false;
    }
    carrier(page, pageBreak);
    double cursor = mMargins.top + kCarrierHeight;
    for (const Band &band : page.bands) {
        if (onlyFoot(band))
            continue;
        const SectionLayout layout = layoutOf(page, &band);
        const bool opened = !mSection || !mSection->sameAs(layout);
        if (opened) {
            if (layout.columns.size() > 1 && !laidOutAsTable(band))
                cursor += spaceAboveColumns(page, band, cursor);
            closeSection();
            openSection(layout, false);
        }
        if (band.columns.size() > 1 && laidOutAsTable(band)) {
            layoutTable(page, band, &cursor);
            continue;
        }
        double bandBottom = cursor;
        double firstGap = 0;
        for (qsizetype c = 0; c < band.columns.size(); ++c) {
            const Column &column = band.columns[c];
            const bool several = layout.columns.size() > 1;
            const double left = several ? layout.columns[c].first : mMargins.left;
            const double right = several ? layout.columns[c].second : page.size.width() - mMargins.right;
            // The space above a section that opens within the page went into
            // the spacer before it (spaceAboveColumns). LibreOffice would take
            // any spacing before the section's first paragraph as the
            // section's own too, and start every column below it. The page's
            // first section opens with the page's carrier paragraph, so there
            // every column starts at its top.
            double columnCursor = c == 0 ? cursor : cursor + firstGap;
            const qsizetype columnStart = mBody.size();
            if (c == 0 && opened && !column.items.isEmpty()) {
                firstGap = qMax(0.0, topOf(page, column.items.first()) - cursor);
                // Where a later column starts higher (beside a picture that
                // opens the first), a hairline spacer opens the section, so
                // that no column starts below the first one's spacing.
                if (firstGap > kMinLine && laterColumnStartsAbove(page, band, cursor + firstGap)) {
                    spacer(kMinLine);
                    columnCursor += kMinLine;
                    firstGap = kMinLine;
                }
            }
            columnItems(page, column, left, right, &columnCursor);
            if (c > 0)
                columnBreak(columnStart);
            bandBottom = qMax(bandBottom, columnCursor);
        }
        cursor = bandBottom;
        // A band of several columns is a section of its own: what follows starts below it.
        if (layout.columns.size() > 1)
            closeSection();
    }
    return cursor;
}

QByteArray Writer::document()
{
    for (int i = 0; i < mPages.size(); ++i)
        writeFitting(i);
    if (mPages.isEmpty())
        spacer(kMinLine);
    // Written as bytes, so that the declaration names its encoding: without
    // one, LibreOffice guesses it from the text and may refuse the file.
    QByteArray head;
    QXmlStreamWriter xml(&head);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeStartElement(QStringLiteral("w:document"));
    xml.writeAttribute(QStringLiteral("xmlns:w"), QLatin1String(kW));
    xml.writeAttribute(QStringLiteral("xmlns:r"), QLatin1String(kR));
    xml.writeAttribute(QStringLiteral("xmlns:wp"), QLatin1String(kWp));
    xml.writeAttribute(QStringLiteral("xmlns:a"), QLatin1String(kA));
    xml.writeAttribute(QStringLiteral("xmlns:pic"), QLatin1String(kPic));
    xml.writeAttribute(QStringLiteral("xmlns:wps"), QLatin1String(kWps));
    xml.writeStartElement(QStringLiteral("w:body"));
    xml.writeCharacters(QString());
    // The last section's properties close the body rather than a paragraph.
    closeSection();
    // LibreOffice balances the columns of a document's last section and then
    // drops the space before them, pulling them up over what stands there; a
    // one-point section of one column after them keeps them in place.
    if (mClosedColumns > 1) {
        openSection(layoutOf(mPages.last(), nullptr), false);
        spacer(kMinLine);
        closeSection();
    }
    QString last;
    if (!mBody.isEmpty()) {
        QString &holder = mBody.last().xml;
        const qsizetype from = holder.indexOf(QLatin1String("<w:sectPr>"));
        if (from >= 0) {
            const QLatin1String end("</w:sectPr>");
            const qsizetype to = holder.indexOf(end, from) + end.size();
            last = holder.mid(from, to - from);
            holder.remove(from, to - from);
        }
    }
    QString body;
    for (const Fragment &fragment : std::as_const(mBody))
        body += fragment.xml;
    QByteArray out = head;
    out += body.toUtf8();
    out += last.toUtf8();
    out += "</w:body></w:document>";
    return out;
}

QByteArray part(const QString &root, const QList<std::pair<QString, QString>> &attributes,
                const std::function<void(QXmlStreamWriter &)> &content)
{
    QByteArray data;
    QXmlStreamWriter xml(&data);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeStartElement(root);
    for (const auto &[name, value] : attributes)
        xml.writeAttribute(name, value);
    content(xml);
    xml.writeEndElement();
    xml.writeEndDocument();
    return data;
}

// `core`: the package holds document properties (docProps/core.xml).
QByteArray contentTypes(bool core)
{
    return part(
        QStringLiteral("Types"),
        {{QStringLiteral("xmlns"), QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types")}},
        [core](QXmlStreamWriter &xml) {
            const QList<std::pair<const char *, const char *>> defaults = {
                {"rels", "application/vnd.openxmlformats-package.relationships+xml"},
                {"xml", "application/xml"},
                {"png", "image/png"},
                {"jpg", "image/jpeg"},
                {"jpeg", "image/jpeg"},
                {"gif", "image/gif"},
                {"tif", "image/tiff"},
                {"bmp", "image/bmp"}};
            for (const auto &[extension, type] : defaults) {
                xml.writeEmptyElement(QStringLiteral("Default"));
                xml.writeAttribute(QStringLiteral("Extension"), QLatin1String(extension));
                xml.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
            }
            QList<std::pair<const char *, const char *>> overrides = {
                {"/word/document.xml",
                 "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"},
                {"/word/styles.xml", "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"},
                {"/word/settings.xml", "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml"}};
            if (core)
                overrides.append(std::pair<const char *, const char *>(
                    "/docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml"));
            for (const auto &[name, type] : overrides) {
                xml.writeEmptyElement(QStringLiteral("Override"));
                xml.writeAttribute(QStringLiteral("PartName"), QLatin1String(name));
                xml.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
            }
        });
}

// `addresses`: links out of the document, relationships "rIdLinkN".
QByteArray relationships(const QList<std::pair<QString, QString>> &targets, const QStringList &addresses = {})
{
    return part(
        QStringLiteral("Relationships"),
        {{QStringLiteral("xmlns"), QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships")}},
        [&targets, &addresses](QXmlStreamWriter &xml) {
            for (qsizetype i = 0; i < addresses.size(); ++i) {
                xml.writeEmptyElement(QStringLiteral("Relationship"));
                xml.writeAttribute(QStringLiteral("Id"), QStringLiteral("rIdLink%1").arg(i + 1));
                xml.writeAttribute(QStringLiteral("Type"), QLatin1String(kR) + QStringLiteral("/hyperlink"));
                xml.writeAttribute(QStringLiteral("Target"), addresses[i]);
                xml.writeAttribute(QStringLiteral("TargetMode"), QStringLiteral("External"));
            }
            for (qsizetype i = 0; i < targets.size(); ++i) {
                xml.writeEmptyElement(QStringLiteral("Relationship"));
                xml.writeAttribute(QStringLiteral("Id"), targets[i].first);
                const bool image = targets[i].second.startsWith(QLatin1String("media/"));
                const QString kind = image ? QStringLiteral("image")
                                     : targets[i].second.startsWith(QLatin1String("word/"))
                                         ? QStringLiteral("officeDocument")
                                         : targets[i].second.section(QLatin1Char('.'), 0, 0);
                // Document properties are the package's own, named in its namespace.
                const QString type =
                    targets[i].second.startsWith(QLatin1String("docProps/"))
                        ? QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
                                         "core-properties")
                        : QLatin1String(kR) + QLatin1Char('/') + kind;
                xml.writeAttribute(QStringLiteral("Type"), type);
                xml.writeAttribute(QStringLiteral("Target"), targets[i].second);
            }
        });
}

// A source that broke words at its line ends is hyphenated again, so that
// its lines hold as many words as they did.
QByteArray settings(bool hyphenate)
{
    return part(QStringLiteral("w:settings"), {{QStringLiteral("xmlns:w"), QLatin1String(kW)}},
                [hyphenate](QXmlStreamWriter &xml) {
                    xml.writeEmptyElement(QStringLiteral("w:defaultTabStop"));
                    xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("720"));
                    if (hyphenate)
                        xml.writeEmptyElement(QStringLiteral("w:autoHyphenation"));
                    xml.writeStartElement(QStringLiteral("w:compat"));
                    xml.writeEmptyElement(QStringLiteral("w:compatSetting"));
                    xml.writeAttribute(QStringLiteral("w:name"), QStringLiteral("compatibilityMode"));
                    xml.writeAttribute(QStringLiteral("w:uri"),
                                       QStringLiteral("http://schemas.microsoft.com/office/word"));
                    xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("15"));
                    xml.writeEndElement();
                });
}

} // namespace

QByteArray DocxWriter::documentXml(const QList<StructuredPage> &pages, const QList<TextStyle> &styles,
                                   QList<Media> *media)
{
    return Writer(pages, styles, media).document();
}

QStringList DocxWriter::linkAddresses(const QList<StructuredPage> &pages)
{
    QStringList addresses;
    QSet<QString> seen;
    for (const StructuredPage &page : pages) {
        for (const PageLink &link : page.links) {
            if (!link.url.isEmpty() && !seen.contains(link.url)) {
                seen.insert(link.url);
                addresses.append(link.url);
            }
        }
    }
    return addresses;
}

QByteArray DocxWriter::settingsXml(const QList<StructuredPage> &pages)
{
    return settings(hyphenates(pages));
}

QByteArray DocxWriter::stylesXml(const QList<TextStyle> &styles)
{
    // The font of most text is the document default, so that empty lines and new text match it.
    QHash<QString, int> uses;
    for (const TextStyle &style : styles)
        ++uses[style.font.isEmpty() ? style.sourceFont : style.font];
    QString font = QStringLiteral("Liberation Serif");
    for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
        const int most = uses.value(font);
        // Ties go to the first name, whatever order the hash keeps.
        if (!it.key().isEmpty() && (it.value() > most || (it.value() == most && it.key() < font)))
            font = it.key();
    }
    return part(QStringLiteral("w:styles"), {{QStringLiteral("xmlns:w"), QLatin1String(kW)}},
                [&font](QXmlStreamWriter &xml) {
                    xml.writeStartElement(QStringLiteral("w:docDefaults"));
                    xml.writeStartElement(QStringLiteral("w:rPrDefault"));
                    xml.writeStartElement(QStringLiteral("w:rPr"));
                    xml.writeEmptyElement(QStringLiteral("w:rFonts"));
                    for (const char *slot : {"w:ascii", "w:hAnsi", "w:cs", "w:eastAsia"})
                        xml.writeAttribute(QLatin1String(slot), font);
                    // Pair kerning, as nearly every PDF producer sets its text.
                    xml.writeEmptyElement(QStringLiteral("w:kern"));
                    xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("2"));
                    xml.writeEmptyElement(QStringLiteral("w:sz"));
                    xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("20"));
                    xml.writeEndElement();
                    xml.writeEndElement();
                    xml.writeStartElement(QStringLiteral("w:pPrDefault"));
                    xml.writeStartElement(QStringLiteral("w:pPr"));
                    // Widow control would move lines to the next page, which must never happen here.
                    xml.writeEmptyElement(QStringLiteral("w:widowControl"));
                    xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("0"));
                    xml.writeEmptyElement(QStringLiteral("w:spacing"));
                    xml.writeAttribute(QStringLiteral("w:after"), QStringLiteral("0"));
                    xml.writeEndElement();
                    xml.writeEndElement();
                    xml.writeEndElement(); // docDefaults
                    xml.writeStartElement(QStringLiteral("w:style"));
                    xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("paragraph"));
                    xml.writeAttribute(QStringLiteral("w:default"), QStringLiteral("1"));
                    xml.writeAttribute(QStringLiteral("w:styleId"), QStringLiteral("Normal"));
                    xml.writeEmptyElement(QStringLiteral("w:name"));
                    xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("Normal"));
                    xml.writeEmptyElement(QStringLiteral("w:qFormat"));
                    xml.writeEndElement();
                    for (int level = 1; level <= 3; ++level) {
                        xml.writeStartElement(QStringLiteral("w:style"));
                        xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("paragraph"));
                        xml.writeAttribute(QStringLiteral("w:styleId"), QStringLiteral("Heading%1").arg(level));
                        xml.writeEmptyElement(QStringLiteral("w:name"));
                        xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("heading %1").arg(level));
                        xml.writeEmptyElement(QStringLiteral("w:basedOn"));
                        xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("Normal"));
                        xml.writeEmptyElement(QStringLiteral("w:next"));
                        xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("Normal"));
                        xml.writeEmptyElement(QStringLiteral("w:qFormat"));
                        xml.writeStartElement(QStringLiteral("w:pPr"));
                        xml.writeEmptyElement(QStringLiteral("w:outlineLvl"));
                        xml.writeAttribute(QStringLiteral("w:val"), QString::number(level - 1));
                        xml.writeEndElement();
                        xml.writeEndElement();
                    }
                });
}

QByteArray DocxWriter::coreXml(const DocumentInfo &info)
{
    return part(QStringLiteral("cp:coreProperties"),
                {{QStringLiteral("xmlns:cp"),
                  QStringLiteral("http://schemas.openxmlformats.org/package/2006/metadata/core-properties")},
                 {QStringLiteral("xmlns:dc"), QStringLiteral("http://purl.org/dc/elements/1.1/")},
                 {QStringLiteral("xmlns:dcterms"), QStringLiteral("http://purl.org/dc/terms/")},
                 {QStringLiteral("xmlns:xsi"), QStringLiteral("http://www.w3.org/2001/XMLSchema-instance")}},
                [&info](QXmlStreamWriter &xml) {
                    const QList<std::pair<QString, QString>> fields = {{QStringLiteral("dc:title"), info.title},
                                                                       {QStringLiteral("dc:subject"), info.subject},
                                                                       {QStringLiteral("dc:creator"), info.author},
                                                                       {QStringLiteral("cp:keywords"), info.keywords}};
                    for (const auto &[name, value] : fields) {
                        if (!value.isEmpty())
                            xml.writeTextElement(name, xmlSafe(value));
                    }
                    if (info.created.isValid()) {
                        xml.writeStartElement(QStringLiteral("dcterms:created"));
                        xml.writeAttribute(QStringLiteral("xsi:type"), QStringLiteral("dcterms:W3CDTF"));
                        xml.writeCharacters(info.created.toUTC().toString(Qt::ISODate));
                        xml.writeEndElement();
                    }
                });
}

bool DocxWriter::write(const QString &path, const QList<StructuredPage> &pages, const QList<TextStyle> &styles,
                       QString *error, const DocumentInfo &info)
{
    QList<Media> media;
    const QByteArray document = documentXml(pages, styles, &media);
    QList<std::pair<QString, QString>> targets = {{QStringLiteral("rIdStyles"), QStringLiteral("styles.xml")},
                                                  {QStringLiteral("rIdSettings"), QStringLiteral("settings.xml")}};
    for (qsizetype i = 0; i < media.size(); ++i)
        targets.append({QStringLiteral("rIdImage%1").arg(i + 1), QStringLiteral("media/") + media[i].name});
    const bool core = info != DocumentInfo();
    QList<std::pair<QString, QString>> packageTargets = {
        {QStringLiteral("rIdDocument"), QStringLiteral("word/document.xml")}};
    if (core)
        packageTargets.append({QStringLiteral("rIdCore"), QStringLiteral("docProps/core.xml")});
    ZipWriter zip(path);
    bool ok = zip.open() && zip.addData(QStringLiteral("[Content_Types].xml"), contentTypes(core)) &&
              zip.addData(QStringLiteral("_rels/.rels"), relationships(packageTargets)) &&
              (!core || zip.addData(QStringLiteral("docProps/core.xml"), coreXml(info))) &&
              zip.addData(QStringLiteral("word/document.xml"), document) &&
              zip.addData(QStringLiteral("word/styles.xml"), stylesXml(styles)) &&
              zip.addData(QStringLiteral("word/settings.xml"), DocxWriter::settingsXml(pages)) &&
              zip.addData(QStringLiteral("word/_rels/document.xml.rels"),
                          relationships(targets, DocxWriter::linkAddresses(pages)));
    for (const Media &each : std::as_const(media))
        ok = ok && zip.addFile(QStringLiteral("word/media/") + each.name, each.source);
    if (ok && zip.close())
        return true;
    if (error)
        *error = QStringLiteral("Cannot write the Word document: %1").arg(zip.errorString());
    return false;
}
