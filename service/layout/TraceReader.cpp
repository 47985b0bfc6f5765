#include "layout/TraceReader.h"

#include "layout/TexEncodings.h"
#include "layout/TurnedText.h"

#include "layout/FontNames.h"
#include "layout/UnscaledFontSizes.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kAscent = 0.78;
constexpr double kDescent = 0.22;
constexpr double kThinBox = 3.0;        // points: a filled box this thin is a rule
constexpr qsizetype kRecentFills = 256; // boxes and shadings a white shape is checked against
constexpr double kStraight = 0.6;       // points of drift still counted as axis-aligned
constexpr double kHairline = 0.3;       // points: a stroke of width 0 is the thinnest line the device draws
constexpr qint64 kChunk = 1 << 20;      // bytes of the trace read at a time
constexpr double kClipSlack = 0.01;     // points off its bounding box that a box clip's corner may lie
constexpr int kCoverageSide = 64;       // pixels of the rendering a clip's cut is judged on
constexpr double kCutShare = 0.97;      // of its bounding box, that an outline covering less cuts into it
constexpr int kMaxIntersected = 2000;   // points of two nested clip outlines that are intersected
constexpr double kMinStretch = 0.03;    // a letters' width off their size by less is left as it is
constexpr double kLeastStretch = 0.33;  // the narrowest and widest a run may be scaled to
constexpr double kMostStretch = 3;
constexpr double kBowSlope = 0.1;   // the most an edge of a box drawn by hand leans off its axis
constexpr double kBowedCover = 0.9; // of its bounding box, that a box drawn by hand covers at least

QList<double> numbers(QStringView text)
{
    QList<double> values;
    const auto parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QStringView part : parts)
        values.append(part.toDouble());
    return values;
}

// A PDF matrix [a b c d e f]: a point (x, y) maps to (ax + cy + e, bx + dy + f).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    QPointF map(const QPointF &p) const { return {a * p.x() + c * p.y() + e, b * p.x() + d * p.y() + f}; }
    double determinant() const { return a * d - b * c; }
    // This matrix, then the linear part of `then`.
    Matrix linearThen(const Matrix &then) const
    {
        return {
            a * then.a + b * then.c, a * then.b + b * then.d, c * then.a + d * then.c, c * then.b + d * then.d, 0, 0};
    }
};

Matrix matrix(QStringView text)
{
    const QList<double> m = numbers(text);
    return m.size() == 6 ? Matrix{m[0], m[1], m[2], m[3], m[4], m[5]} : Matrix();
}

Rgb rgb(int r, int g, int b)
{
    return Rgb(r) << 16 | Rgb(g) << 8 | Rgb(b);
}

Rgb colour(QStringView values)
{
    const QList<double> c = numbers(values);
    const auto channel = [](double v) { return qBound(0, int(std::lround(v * 255)), 255); };
    if (c.size() == 1)
        return rgb(channel(c[0]), channel(c[0]), channel(c[0]));
    if (c.size() == 3)
        return rgb(channel(c[0]), channel(c[1]), channel(c[2]));
    if (c.size() == 4)
        return rgb(channel((1 - c[0]) * (1 - c[3])), channel((1 - c[1]) * (1 - c[3])),
                   channel((1 - c[2]) * (1 - c[3])));
    return 0;
}

// The renderer's trace writes a character beyond the first 65 536 as its
// low sixteen bits (U+1D44F, a mathematical italic b, as U+D44F, a Hangul
// syllable); a glyph name of the form "u1D44F" says which it was.
QString repairedAstral(const QString &text, const QString &glyphName)
{
    static const QRegularExpression named(QStringLiteral("^u([0-9A-Fa-f]{5,6})(\\..*)?$"));
    const QRegularExpressionMatch match = named.match(glyphName);
    if (text.size() != 1 || !match.hasMatch())
        return text;
    bool ok = false;
    const char32_t code = match.captured(1).toUInt(&ok, 16);
    if (!ok || code <= 0xffff || code > 0x10ffff || (code & 0xffff) != text[0].unicode())
        return text;
    return QString::fromUcs4(&code, 1);
}

// A bitmap font names its glyphs by their codes. A control code its own
// table gives a glyph of a printable code (a "c" read as a carriage return)
// is a fault of that table: the code is the character.
QString printableCode(const QString &text, const QString &glyphName)
{
    if (text.size() != 1 || !TexEncodings::isStandIn(text[0]))
        return text;
    bool ok = false;
    const int code = glyphName.toInt(&ok);
    return ok && code > 0x20 && code < 0x7f ? QString(QChar(code)) : text;
}

// The character of a Zapf Dingbats glyph from its name ("a20" is U+2714,
// a heavy check mark): the renderer's trace gives the name's number as its
// character, and no installed library maps these names. Runs of names whose
// characters follow each other, from the font's published glyph list; a80
// and a113 to a116 are not in the font. Empty for other names.
QString fromDingbatName(const QString &name)
{
    struct Run {
        int first;
        char32_t code;
        int count;
    };
    static const Run kRuns[] = {
        {1, 0x2701, 2},   {3, 0x2704, 1},   {4, 0x260E, 1},   {5, 0x2706, 1},    {6, 0x271D, 5},    {11, 0x261B, 1},
        {12, 0x261E, 1},  {13, 0x270C, 4},  {17, 0x2711, 12}, {29, 0x2722, 6},   {35, 0x2605, 1},   {36, 0x2729, 35},
        {71, 0x25CF, 1},  {72, 0x274D, 1},  {73, 0x25A0, 1},  {74, 0x274F, 1},   {75, 0x2751, 1},   {76, 0x25B2, 1},
        {77, 0x25BC, 1},  {78, 0x25C6, 1},  {79, 0x2756, 1},  {81, 0x25D7, 1},   {82, 0x2758, 3},   {85, 0x276F, 1},
        {86, 0x2771, 3},  {89, 0x2768, 2},  {91, 0x276C, 2},  {93, 0x276A, 2},   {95, 0x2774, 2},   {97, 0x275B, 4},
        {101, 0x2761, 4}, {105, 0x2710, 1}, {106, 0x2765, 3}, {109, 0x2660, 1},  {110, 0x2665, 2},  {112, 0x2663, 1},
        {117, 0x2709, 1}, {118, 0x2708, 1}, {119, 0x2707, 1}, {120, 0x2460, 10}, {130, 0x2776, 31}, {161, 0x2192, 1},
        {162, 0x27A3, 1}, {163, 0x2194, 2}, {165, 0x2799, 1}, {166, 0x279B, 8},  {174, 0x27A4, 6},  {180, 0x27AB, 1},
        {181, 0x27AD, 1}, {182, 0x27AF, 1}, {183, 0x27B2, 2}, {185, 0x27B5, 1},  {186, 0x27B8, 1},  {187, 0x27BA, 5},
        {192, 0x279A, 1}, {193, 0x27AA, 1}, {194, 0x27B6, 1}, {195, 0x27B9, 1},  {196, 0x2798, 1},  {197, 0x27B4, 1},
        {198, 0x27B7, 1}, {199, 0x27AC, 1}, {200, 0x27AE, 1}, {201, 0x27B1, 1},  {202, 0x2703, 1},  {203, 0x2750, 1},
        {204, 0x2752, 1}, {205, 0x276E, 1}, {206, 0x2770, 1},
    };
    static const QRegularExpression numbered(QStringLiteral("^a(\\d{1,3})$"));
    const QRegularExpressionMatch match = numbered.match(name);
    if (!match.hasMatch())
        return {};
    const int number = match.captured(1).toInt();
    for (const Run &run : kRuns) {
        if (number >= run.first && number < run.first + run.count) {
            const char32_t code = run.code + char32_t(number - run.first);
            return QString::fromUcs4(&code, 1);
        }
    }
    return {};
}

// The character of a glyph that the font's character map left unknown
// (U+FFFD), from its name: TeX's extension fonts name their sized
// delimiters and operators ("parenleftBig", "summationdisplay") but map
// none of them. Empty when the name says nothing.
QString fromGlyphName(QString name)
{
    static const QRegularExpression sized(QStringLiteral("(bigg|Bigg|big|Big|display|text)$"));
    name.remove(sized);
    static const QHash<QString, QString> kNames = {
        {QStringLiteral("parenleft"), QStringLiteral("(")},
        {QStringLiteral("parenright"), QStringLiteral(")")},
        {QStringLiteral("bracketleft"), QStringLiteral("[")},
        {QStringLiteral("bracketright"), QStringLiteral("]")},
        {QStringLiteral("braceleft"), QStringLiteral("{")},
        {QStringLiteral("braceright"), QStringLiteral("}")},
        {QStringLiteral("floorleft"), QStringLiteral("\u230A")},
        {QStringLiteral("floorright"), QStringLiteral("\u230B")},
        {QStringLiteral("ceilingleft"), QStringLiteral("\u2308")},
        {QStringLiteral("ceilingright"), QStringLiteral("\u2309")},
        {QStringLiteral("angbracketleft"), QStringLiteral("\u27E8")},
        {QStringLiteral("angbracketright"), QStringLiteral("\u27E9")},
        {QStringLiteral("slash"), QStringLiteral("/")},
        {QStringLiteral("backslash"), QStringLiteral("\\")},
        {QStringLiteral("bar"), QStringLiteral("|")},
        {QStringLiteral("summation"), QStringLiteral("\u2211")},
        {QStringLiteral("product"), QStringLiteral("\u220F")},
        {QStringLiteral("coproduct"), QStringLiteral("\u2210")},
        {QStringLiteral("integral"), QStringLiteral("\u222B")},
        {QStringLiteral("contintegral"), QStringLiteral("\u222E")},
        {QStringLiteral("union"), QStringLiteral("\u22C3")},
        {QStringLiteral("intersection"), QStringLiteral("\u22C2")},
        {QStringLiteral("radical"), QStringLiteral("\u221A")},
    };
    return kNames.value(name);
}

// The character of a figure or letter that a font draws in another style
// and maps to the private use area ("oneoldstyle" is U+F731, "Asmall"
// U+F761): its plain character, lower case for a small capital. Empty for
// other names.
QString fromVariantName(const QString &name)
{
    static const QRegularExpression variant(
        QStringLiteral("^([A-Za-z]|zero|one|two|three|four|five|six|seven|eight|nine)(oldstyle|small|\\..+)$"));
    static const QStringList kDigits = {QStringLiteral("zero"),  QStringLiteral("one"),   QStringLiteral("two"),
                                        QStringLiteral("three"), QStringLiteral("four"),  QStringLiteral("five"),
                                        QStringLiteral("six"),   QStringLiteral("seven"), QStringLiteral("eight"),
                                        QStringLiteral("nine")};
    const QRegularExpressionMatch match = variant.match(name);
    if (!match.hasMatch())
        return {};
    const QString base = match.captured(1);
    const qsizetype digit = kDigits.indexOf(base);
    if (digit >= 0)
        return QString::number(digit);
    const bool small = match.captured(2) == QLatin1String("small") || match.captured(2) == QLatin1String(".sc");
    return small ? base.toLower() : base;
}

// How far below its origin, in ems, the baseline of the text around a sized
// glyph of TeX's extension font lies. Those glyphs hang from their origin and
// TeX centres them on the maths axis, a quarter em above the baseline; read
// at their origin they would sit on a line of their own above the formula.
double hangingDrop(QStringView glyphName)
{
    struct Height {
        QLatin1String suffix;
        double ems; // the glyph's height and depth together
    };
    static const Height kHeights[] = {
        {QLatin1String("integraldisplay"), 2.22},
        {QLatin1String("integraltext"), 1.11},
        {QLatin1String("display"), 1.4},
        {QLatin1String("text"), 1.0},
        {QLatin1String("Bigg"), 3.0},
        {QLatin1String("bigg"), 2.4},
        {QLatin1String("Big"), 1.8},
        {QLatin1String("big"), 1.2},
    };
    constexpr double kAxis = 0.25;
    for (const Height &height : kHeights) {
        if (glyphName.endsWith(height.suffix))
            return height.ems / 2 + kAxis;
    }
    return 0;
}

// Widens `box` to take in `point`; a null box becomes the point.
void include(QRectF &box, const QPointF &point)
{
    const QRectF dot(point, QSizeF(0.0001, 0.0001));
    box = box.isNull() ? dot : box.united(dot);
}

// The points of a path element in user space: a curve's two control points and its end, or the one point.
QList<QPointF> elementPoints(const QXmlStreamAttributes &attributes, bool curve)
{
    const auto at = [&attributes](QLatin1String x, QLatin1String y) {
        return QPointF(attributes.value(x).toDouble(), attributes.value(y).toDouble());
    };
    if (!curve)
        return {at(QLatin1String("x"), QLatin1String("y"))};
    return {at(QLatin1String("x1"), QLatin1String("y1")), at(QLatin1String("x2"), QLatin1String("y2")),
            at(QLatin1String("x3"), QLatin1String("y3"))};
}

// Whether an "alpha" attribute lets what lies under a paint show through (none is opaque).
bool seeThrough(QStringView alpha)
{
    return !alpha.isEmpty() && alpha.toDouble() < 1;
}

// An "alpha" attribute's value, 1 (opaque) when there is none.
double alphaOf(QStringView alpha)
{
    return alpha.isEmpty() ? 1.0 : qBound(0.0, alpha.toDouble(), 1.0);
}

// Whether a path is one box along the axes, however it is started: a few
// straight edges that enclose all of their bounding box.
bool isBox(const QPainterPath &path)
{
    if (path.elementCount() > 6)
        return false;
    double twiceArea = 0;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element a = path.elementAt(i);
        const QPainterPath::Element b = path.elementAt((i + 1) % path.elementCount());
        if (a.isCurveTo() || (i > 0 && a.isMoveTo()))
            return false;
        twiceArea += a.x * b.y - b.x * a.y;
    }
    const QRectF bounds = path.boundingRect();
    return std::abs(std::abs(twiceArea) / 2 - bounds.width() * bounds.height()) <=
           kClipSlack * (bounds.width() + bounds.height());
}

// Whether a filled polygon is a box drawn by hand: every edge runs close to
// an axis, and it covers nearly all of its bounding box (a highlighter's
// mark, its long edges bowed by a point).
bool bowedBox(const QList<QPointF> &points, const QRectF &box)
{
    double twiceArea = 0;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QPointF &a = points[i];
        const QPointF &b = points[(i + 1) % points.size()];
        const double dx = std::abs(b.x() - a.x());
        const double dy = std::abs(b.y() - a.y());
        if (qMin(dx, dy) > kBowSlope * qMax(dx, dy))
            return false;
        twiceArea += a.x() * b.y() - b.x() * a.y();
    }
    return points.size() >= 4 && std::abs(twiceArea) / 2 >= kBowedCover * box.width() * box.height();
}

// Whether a clip's outline hides a visible share of what it clips within its
// bounding box (a photograph cut round, or to a leaf): read from a small
// rendering of the outline over the box.
bool cutsInto(const QPainterPath &shape, const QRectF &box)
{
    const QRectF visible = box.intersected(shape.boundingRect());
    if (visible.width() <= 0 || visible.height() <= 0)
        return false;
    QImage coverage(kCoverageSide, kCoverageSide, QImage::Format_Grayscale8);
    coverage.fill(0);
    QPainter painter(&coverage);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kCoverageSide / visible.width(), kCoverageSide / visible.height());
    painter.translate(-visible.topLeft());
    painter.fillPath(shape, Qt::white);
    painter.end();
    qint64 sum = 0;
    for (int y = 0; y < kCoverageSide; ++y) {
        const uchar *row = coverage.constScanLine(y);
        for (int x = 0; x < kCoverageSide; ++x)
            sum += row[x];
    }
    return double(sum) < kCutShare * 255.0 * kCoverageSide * kCoverageSide;
}

// A stroke's dash pattern ("on off on off ..." in points): dots where no
// dash is longer than the line is wide (its round caps make them dots).
Dash dashOf(QStringView pattern, double width)
{
    const QList<double> lengths = numbers(pattern);
    if (lengths.size() < 2)
        return Dash::None;
    for (qsizetype i = 0; i < lengths.size(); i += 2) {
        if (lengths[i] > qMax(width, 0.5) * 1.5)
            return Dash::Dashes;
    }
    return Dash::Dots;
}

bool nearlyWhite(Rgb c)
{
    return (c >> 16 & 0xff) > 250 && (c >> 8 & 0xff) > 250 && (c & 0xff) > 250;
}

struct FontWidths {
    QHash<QChar, double> advances;
    double space = 0;   // the advance of its space glyph, when it drew one
    double letters = 0; // the sum of the advances of the letters it drew
    int letterCount = 0;
};

class Parser {
public:
    explicit Parser(QIODevice &device) : mDevice(device) {}

    std::optional<SourceDocument> run(QString *error);

private:
    void startElement();
    void endElement();
    void startPage();
    void startText(bool invisible);
    void addGlyph();
    void addImage();
    double opacity(QStringView alpha) const;
    void finishPath();
    void addBox(const QRectF &box, bool whole);
    void addMaskBox();
    void pathPoint(bool move);
    void curvePoints();
    void addDrawing(const QRectF &box);
    bool clipRule(Rule &rule) const;
    bool overColour(const QRectF &box) const;
    static int quarterTurn(const QPointF &along);
    static QRectF turnedBox(const Matrix &full, const QPointF &origin, double advance);
    void clipStart(QStringView name);
    void clipEnd(QStringView name);
    void groupStart(QStringView name);
    void groupEnd(QStringView name);
    void hideCoveredGlyphs(const QRectF &box);
    int styleFor(const QString &font, double size, double stretch, Rgb colour);
    void sizeUnscaledSpan();
    void markMonospaced();

    QIODevice &mDevice;
    QXmlStreamReader mXml;
    SourceDocument mDocument;
    SourcePage *mPage = nullptr;
    QPointF mOrigin;
    int mHidden = 0; // depth inside patterns, masks and clip paths
    bool mInText = false;
    bool mInvisible = false; // in text drawn invisibly: a scan's recognised words
    Matrix mCtm;
    Rgb mColour = 0;
    QString mFont;
    Matrix mTrm;
    // The path being read: device-space subpaths, and whether it curves.
    enum class PathKind { None, Fill, Stroke } mPathKind = PathKind::None;
    QList<QList<QPointF>> mSubpaths;
    QList<bool> mClosed;
    bool mCurved = false;
    QRectF mCurveBounds; // of the curves' points, control points included
    double mLineWidth = 0;
    bool mHairline = false;
    int mPaintOrder = 0; // of the rules, boxes, shadings and images read so far
    // The boxes of the clips in force, innermost last, and the one being read.
    QList<QRectF> mClips;
    std::optional<QRectF> mClipBox;
    Matrix mClipCtm;
    // The outline of the clips in force that are no boxes, per clip as
    // mClips; empty while every clip is a box. The one being read.
    QList<QPainterPath> mClipShapes;
    QPainterPath mClipPath;
    // Whether the fill being read covers what lies under it: no transparency
    // of its own, and no group around it that blends (a highlighter's
    // multiplied yellow leaves the text under it readable).
    bool mOpaque = true;
    double mAlpha = 1; // the opacity it is drawn at
    Dash mDash = Dash::None;
    QList<bool> mBlendingGroups; // per open group, innermost last
    QList<double> mGroupAlphas;  // per open group, innermost last
    QHash<QString, int> mStyleIndex;
    QHash<QString, FontWidths> mWidths;
    // Glyphs of the span being read in a font without ems: where each one's
    // baseline would stand at size 0, and how far it hangs per point of size.
    UnscaledFontSizes mUnscaled;
    QList<std::pair<double, double>> mUnscaledBaselines;
};

std::optional<SourceDocument> Parser::run(QString *error)
{
    QByteArray carry;
    bool more = true;
    while (true) {
        const QXmlStreamReader::TokenType token = mXml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            startElement();
        } else if (token == QXmlStreamReader::EndElement) {
            endElement();
        } else if (token == QXmlStreamReader::Invalid) {
            if (mXml.error() != QXmlStreamReader::PrematureEndOfDocumentError || !more)
                break;
            // The trace is read in chunks, each made valid XML text on the way.
            QByteArray chunk = carry + mDevice.read(kChunk);
            more = !mDevice.atEnd();
            qsizetype keep = more ? qMin<qsizetype>(2, chunk.size()) : 0;
            // A character reference cut at the chunk's end waits for the rest of it.
            const qsizetype amp = chunk.lastIndexOf('&');
            if (more && amp >= 0 && chunk.size() - amp <= TraceReader::kMaxReference && chunk.indexOf(';', amp) < 0)
                keep = qMax(keep, chunk.size() - amp);
            carry = chunk.right(keep);
            chunk.chop(keep);
            mXml.addData(TraceReader::sanitized(chunk));
        } else if (token == QXmlStreamReader::EndDocument) {
            break;
        }
    }
    if (mXml.hasError()) {
        *error = QStringLiteral("The drawing trace is not readable (line %1: %2)")
                     .arg(mXml.lineNumber())
                     .arg(mXml.errorString());
        return std::nullopt;
    }
    markMonospaced();
    TexEncodings::decode(mDocument);
    return mDocument;
}

void Parser::startElement()
{
    const QStringView name = mXml.name();
    clipStart(name);
    groupStart(name);
    if (name == QLatin1String("page")) {
        startPage();
    } else if (name == QLatin1String("ignore_text") && mHidden == 0 && mPage) {
        startText(true);
    } else if (name == QLatin1String("tile") || name == QLatin1String("mask") ||
               name.startsWith(QLatin1String("clip_")) || name == QLatin1String("ignore_text")) {
        ++mHidden;
    } else if (mHidden > 0 || !mPage) {
        return;
    } else if (name == QLatin1String("fill_text") || name == QLatin1String("stroke_text")) {
        startText(false);
    } else if (name == QLatin1String("span") && mInText) {
        mFont = FontNames::withoutSubset(mXml.attributes().value(QLatin1String("font")).toString());
        const QList<double> trm = numbers(mXml.attributes().value(QLatin1String("trm")));
        mTrm = trm.size() == 4 ? Matrix{trm[0], trm[1], trm[2], trm[3], 0, 0} : Matrix();
    } else if (name == QLatin1String("g") && mInText) {
        addGlyph();
    } else if (name == QLatin1String("fill_image")) {
        addImage();
    } else if (name == QLatin1String("fill_image_mask")) {
        addMaskBox();
    } else if (name == QLatin1String("fill_shade")) {
        const QRectF page(QPointF(0, 0), mPage->size);
        const QRectF box = mClips.isEmpty() ? page : mClips.last().intersected(page);
        // A shading cut to another shape than a box (a leaf, a circle) is a
        // drawing of that shape, for the figures to show as drawn.
        if (!mClipShapes.isEmpty() && cutsInto(mClipShapes.last(), box))
            mPage->drawings.append(box);
        // A line may be drawn as a shading, thinner than a point.
        else if (qMax(box.width(), box.height()) >= 1 && qMin(box.width(), box.height()) >= 0.1)
            mPage->shades.append({box, false, true, 0xffffff, 0xffffff, mPaintOrder++});
    } else if (name == QLatin1String("fill_path") || name == QLatin1String("stroke_path")) {
        mPathKind = name == QLatin1String("fill_path") ? PathKind::Fill : PathKind::Stroke;
        mCtm = matrix(mXml.attributes().value(QLatin1String("transform")));
        mColour = colour(mXml.attributes().value(QLatin1String("color")));
        mLineWidth =
            mXml.attributes().value(QLatin1String("linewidth")).toDouble() * std::sqrt(std::abs(mCtm.determinant()));
        mHairline = mPathKind == PathKind::Stroke && mLineWidth <= 0;
        // The pattern is in the stroke's own units, as its width is.
        mDash = dashOf(mXml.attributes().value(QLatin1String("dash")),
                       mXml.attributes().value(QLatin1String("linewidth")).toDouble());
        mOpaque = !seeThrough(mXml.attributes().value(QLatin1String("alpha"))) && !mBlendingGroups.contains(true);
        mAlpha = opacity(mXml.attributes().value(QLatin1String("alpha")));
        if (mHairline)
            mLineWidth = kHairline;
        mSubpaths.clear();
        mClosed.clear();
        mCurved = false;
        mCurveBounds = QRectF();
    } else if (mPathKind != PathKind::None) {
        if (name == QLatin1String("moveto") || name == QLatin1String("lineto"))
            pathPoint(name == QLatin1String("moveto"));
        else if (name == QLatin1String("curveto"))
            curvePoints();
        else if (name == QLatin1String("closepath") && !mClosed.isEmpty())
            mClosed.last() = true;
    }
}

// A clip path's box lasts until its pop_clip; clips of text or strokes
// keep the box in force, so that every pop finds its push.
void Parser::clipStart(QStringView name)
{
    if (name == QLatin1String("clip_path")) {
        mClipCtm = matrix(mXml.attributes().value(QLatin1String("transform")));
        mClipBox = QRectF();
        mClipPath = QPainterPath();
        mClipPath.setFillRule(mXml.attributes().value(QLatin1String("winding")) == QLatin1String("eofill")
                                  ? Qt::OddEvenFill
                                  : Qt::WindingFill);
    } else if (mClipBox && (name == QLatin1String("moveto") || name == QLatin1String("lineto") ||
                            name == QLatin1String("curveto"))) {
        QList<QPointF> points;
        for (const QPointF &point : elementPoints(mXml.attributes(), name == QLatin1String("curveto")))
            points.append(mClipCtm.map(point) - mOrigin);
        for (const QPointF &point : std::as_const(points))
            include(*mClipBox, point);
        if (name == QLatin1String("moveto"))
            mClipPath.moveTo(points.first());
        else if (name == QLatin1String("lineto"))
            mClipPath.lineTo(points.first());
        else
            mClipPath.cubicTo(points[0], points[1], points[2]);
    } else if (mClipBox && name == QLatin1String("closepath")) {
        mClipPath.closeSubpath();
    } else if (name == QLatin1String("pop_clip") && !mClips.isEmpty()) {
        mClips.removeLast();
        mClipShapes.removeLast();
    }
}

void Parser::groupStart(QStringView name)
{
    if (name != QLatin1String("group"))
        return;
    const QXmlStreamAttributes attributes = mXml.attributes();
    const QStringView blend = attributes.value(QLatin1String("blendmode"));
    mBlendingGroups.append((!blend.isEmpty() && blend != QLatin1String("Normal")) ||
                           seeThrough(attributes.value(QLatin1String("alpha"))));
    mGroupAlphas.append(alphaOf(attributes.value(QLatin1String("alpha"))));
}

void Parser::groupEnd(QStringView name)
{
    if (name == QLatin1String("group") && !mBlendingGroups.isEmpty()) {
        mBlendingGroups.removeLast();
        mGroupAlphas.removeLast();
    }
}

// Text that an opaque box drawn later covers is not on the page as printed
// (a chart drawn over an earlier one with its white background).
void Parser::hideCoveredGlyphs(const QRectF &box)
{
    const QRectF visible = mClips.isEmpty() ? box : box.intersected(mClips.last());
    if (visible.isEmpty())
        return;
    const QRectF covered = visible.adjusted(-0.5, -0.5, 0.5, 0.5);
    mPage->glyphs.removeIf([&covered](const Glyph &glyph) { return covered.contains(glyph.box); });
}

void Parser::clipEnd(QStringView name)
{
    if (!name.startsWith(QLatin1String("clip_")))
        return;
    const QRectF outer = mClips.isEmpty() ? QRectF(-1e6, -1e6, 2e6, 2e6) : mClips.last();
    const bool path = name == QLatin1String("clip_path") && mClipBox;
    mClips.append(path ? mClipBox->intersected(outer) : outer);
    const QPainterPath outerShape = mClipShapes.isEmpty() ? QPainterPath() : mClipShapes.last();
    // Outlines of many points are not intersected (the work grows with both):
    // the inner one stands for both.
    const bool small = outerShape.elementCount() + mClipPath.elementCount() <= kMaxIntersected;
    if (path && !isBox(mClipPath))
        mClipShapes.append(outerShape.isEmpty() || !small ? mClipPath : outerShape.intersected(mClipPath));
    else
        mClipShapes.append(outerShape);
    mClipBox.reset();
}

void Parser::endElement()
{
    const QStringView name = mXml.name();
    clipEnd(name);
    groupEnd(name);
    if (name == QLatin1String("ignore_text") && mInvisible) {
        mInText = false;
        mInvisible = false;
    } else if (name == QLatin1String("tile") || name == QLatin1String("mask") ||
               name.startsWith(QLatin1String("clip_")) || name == QLatin1String("ignore_text")) {
        mHidden = qMax(0, mHidden - 1);
    } else if (mHidden > 0) {
        return;
    } else if (name == QLatin1String("span")) {
        sizeUnscaledSpan();
    } else if (name == QLatin1String("fill_text") || name == QLatin1String("stroke_text")) {
        sizeUnscaledSpan();
        mInText = false;
    } else if (name == QLatin1String("fill_path") || name == QLatin1String("stroke_path")) {
        finishPath();
        mPathKind = PathKind::None;
    } else if (name == QLatin1String("page")) {
        mUnscaled.endPage();
        mPage = nullptr;
    }
}

// Text drawn, or drawn invisibly (no colour: a scan's recognised words).
void Parser::startText(bool invisible)
{
    mInText = true;
    mInvisible = invisible;
    mCtm = matrix(mXml.attributes().value(QLatin1String("transform")));
    mColour = invisible ? 0 : colour(mXml.attributes().value(QLatin1String("color")));
}

void Parser::startPage()
{
    const QList<double> box = numbers(mXml.attributes().value(QLatin1String("mediabox")));
    mDocument.pages.append(SourcePage());
    mPage = &mDocument.pages.last();
    if (box.size() == 4) {
        mOrigin = QPointF(box[0], box[1]);
        mPage->size = QSizeF(box[2] - box[0], box[3] - box[1]);
    }
    mHidden = 0;
    mInText = false;
    mInvisible = false;
    mPathKind = PathKind::None;
    mClips.clear();
    mClipShapes.clear();
    mClipBox.reset();
    mBlendingGroups.clear();
    mGroupAlphas.clear();
}

int Parser::styleFor(const QString &font, double size, double stretch, Rgb colour)
{
    const double rounded = std::round(size * 10) / 10;
    const QString key = font + QLatin1Char('|') + QString::number(rounded) + QLatin1Char('|') +
                        QString::number(colour, 16) + QLatin1Char('|') + QString::number(stretch);
    const auto found = mStyleIndex.constFind(key);
    if (found != mStyleIndex.constEnd())
        return *found;
    const FontNames::Face face = FontNames::describe(font);
    TextStyle style;
    style.sourceFont = font;
    style.size = rounded;
    style.bold = face.bold;
    style.italic = face.italic;
    style.mono = face.mono;
    style.color = colour;
    style.stretch = stretch;
    mDocument.styles.append(style);
    mStyleIndex.insert(key, int(mDocument.styles.size() - 1));
    return int(mDocument.styles.size() - 1);
}

// How much wider (or narrower) the matrix draws letters than their size:
// a horizontal scaling, or a font scaled taller than wide (groff's code).
// Differences of a few per cent are left alone.
double stretchOf(const Matrix &full, double size)
{
    const double stretch = std::round(std::hypot(full.a, full.b) / size * 100) / 100;
    return std::abs(stretch - 1) < kMinStretch ? 1 : qBound(kLeastStretch, stretch, kMostStretch);
}

void Parser::addGlyph()
{
    const QXmlStreamAttributes attributes = mXml.attributes();
    const QString name = attributes.value(QLatin1String("glyph")).toString();
    QString text = repairedAstral(attributes.value(QLatin1String("unicode")).toString(), name);
    if (mFont.contains(QLatin1String("Dingbats"))) {
        const QString dingbat = fromDingbatName(name);
        text = dingbat.isEmpty() ? text : dingbat;
    }
    if (text.size() == 1 && text[0].unicode() >= 0xE000 && text[0].unicode() <= 0xF8FF) {
        const QString plain = fromVariantName(name);
        text = plain.isEmpty() ? text : plain;
    }
    // A code its font gives no character (a bitmap font's bullet, 136) comes
    // as a control character of Latin-1's upper half, which is no text: it
    // is read as a symbol font's codes are, in the private use area.
    if (text.size() == 1 && text[0].unicode() >= 0x80 && text[0].unicode() <= 0x9F)
        text = QChar(0xF000 + text[0].unicode());
    double drop = 0;
    if (text == QStringLiteral("\uFFFD")) {
        text = fromGlyphName(name);
        drop = hangingDrop(name);
    }
    if (text.isEmpty())
        return;
    // Ligatures ("ﬁ") become their letters, so that words can be searched and spelled.
    if (text.size() == 1 && text[0].unicode() >= 0xfb00 && text[0].unicode() <= 0xfb06)
        text = text.normalized(QString::NormalizationForm_KC);
    const Matrix full = mTrm.linearThen(mCtm);
    const QPointF along(full.a, full.b);
    const double size = std::hypot(full.c, full.d);
    const QPointF at = mCtm.map(QPointF(attributes.value(QLatin1String("x")).toDouble(),
                                        attributes.value(QLatin1String("y")).toDouble())) -
                       mOrigin;
    const double advance = attributes.value(QLatin1String("adv")).toDouble();
    const bool unscaled = UnscaledFontSizes::unscaled(size, advance, advance * std::hypot(along.x(), along.y()));
    if (size <= 0.5 && !unscaled)
        return;
    if (unscaled)
        text = printableCode(text, name);
    const int turn = quarterTurn(along);
    if (turn >= 0)
        ++mPage->glyphsByTurn[turn];
    if (turn != 0 && (mInvisible || unscaled))
        return;
    // Text along the page's side is read as the page turned would show it.
    const bool side = turn == 1 || turn == 3;
    if (turn != 0 && !side) {
        // Text upside down or slanted stays out of the flow; a figure may still show it.
        const QRectF box = turnedBox(full, at, advance);
        addDrawing(box);
        mPage->turnedText.append(box);
        return;
    }
    const QPointF origin = side ? TurnedText::upright(at, turn, mPage->size) : at;
    const double width = advance * std::hypot(along.x(), along.y());
    Glyph glyph;
    glyph.text = text;
    glyph.baseline = origin.y() + drop * size;
    glyph.size = size;
    glyph.box = QRectF(origin.x(), glyph.baseline - kAscent * size, qMax(0.0, width), (kAscent + kDescent) * size);
    glyph.style = styleFor(mFont, size, stretchOf(full, size), mColour);
    // Text wholly off the page (a cropped figure's page number) is not seen.
    // A glyph without advance (a combining accent) has a box without area.
    const QRectF onPage = side ? TurnedText::onPage(glyph.box, turn, mPage->size) : glyph.box;
    const QRectF page(QPointF(0, 0), mPage->size);
    if (!page.intersects(onPage) && !page.contains(onPage.center()))
        return;
    if (side) {
        mPage->sideGlyphs[turn].append(glyph);
        return;
    }
    (mInvisible ? mPage->invisibleGlyphs : mPage->glyphs).append(glyph);
    if (unscaled) {
        // Sized when its span ends; its advances are no ems to measure the font by.
        mUnscaled.add(text.at(0), width);
        mUnscaledBaselines.append({at.y(), drop});
        return;
    }
    if (!text.at(0).isSpace() && advance > 0)
        mWidths[mFont].advances.insert(text.at(0), advance);
    // The stand-ins' widths are those of English text: only Latin letters
    // measure a font against them (Arabic letters are far narrower).
    if (text.at(0).isLetter() && text.at(0).script() == QChar::Script_Latin && advance > 0) {
        mWidths[mFont].letters += advance;
        ++mWidths[mFont].letterCount;
    } else if (text.at(0) == QLatin1Char(' ') && advance > 0)
        mWidths[mFont].space = advance;
}

// The glyphs of the span just read, the last ones of their list, take the
// size their advances tell.
void Parser::sizeUnscaledSpan()
{
    const qsizetype count = mUnscaled.spanGlyphs();
    const double size = mUnscaled.endSpan();
    const QList<std::pair<double, double>> baselines = std::exchange(mUnscaledBaselines, {});
    if (count == 0 || !mPage)
        return;
    QList<Glyph> &glyphs = mInvisible ? mPage->invisibleGlyphs : mPage->glyphs;
    if (glyphs.size() < count)
        return;
    for (qsizetype i = 0; i < count; ++i) {
        Glyph &glyph = glyphs[glyphs.size() - count + i];
        const TextStyle style = mDocument.styles.value(glyph.style);
        glyph.size = size;
        glyph.baseline = baselines[i].first + baselines[i].second * size;
        glyph.box =
            QRectF(glyph.box.x(), glyph.baseline - kAscent * size, glyph.box.width(), (kAscent + kDescent) * size);
        glyph.style = styleFor(style.sourceFont, size, 1, style.color);
    }
}

// The clockwise quarter turns of the page that would make text running along
// `along` (page space, y down) read left to right; -1 when it runs slanted.
int Parser::quarterTurn(const QPointF &along)
{
    const double x = along.x();
    const double y = along.y();
    if (std::abs(y) < 0.05 * std::abs(x))
        return x > 0 ? 0 : 2;
    if (std::abs(x) < 0.05 * std::abs(y))
        return y < 0 ? 1 : 3; // reading upwards, the page turns a quarter clockwise
    return -1;
}

// The box a turned glyph covers: its advance along the baseline, ascent and descent across it.
QRectF Parser::turnedBox(const Matrix &full, const QPointF &origin, double advance)
{
    QRectF box;
    for (const double x : {0.0, advance}) {
        for (const double y : {-kDescent, kAscent}) {
            include(box, origin + QPointF(full.a * x + full.c * y, full.b * x + full.d * y));
        }
    }
    return box;
}

void Parser::addImage()
{
    const QXmlStreamAttributes attributes = mXml.attributes();
    const Matrix m = matrix(attributes.value(QLatin1String("transform")));
    QRectF box;
    for (const QPointF corner : {QPointF(0, 0), QPointF(1, 0), QPointF(0, 1), QPointF(1, 1)})
        include(box, m.map(corner));
    ImagePlacement image;
    image.box = box.translated(-mOrigin);
    image.frame = QSizeF(std::hypot(m.a, m.b), std::hypot(m.c, m.d));
    // The image's first row runs along the mapped unit x axis.
    const double angle = std::atan2(m.b, m.a) * 180 / M_PI;
    image.rotation = ((int(std::lround(angle / 90)) % 4 + 4) % 4) * 90;
    image.flip = m.determinant() < 0;
    image.pixels =
        QSize(attributes.value(QLatin1String("width")).toInt(), attributes.value(QLatin1String("height")).toInt());
    if (!mClips.isEmpty())
        image.clip = mClips.last();
    if (!mClipShapes.isEmpty() && cutsInto(mClipShapes.last(), image.box))
        image.clipShape = mClipShapes.last();
    image.opacity = opacity(attributes.value(QLatin1String("alpha")));
    image.order = mPaintOrder++;
    if (image.box.width() > 0.5 && image.box.height() > 0.5)
        mPage->images.append(image);
}

// A paint's opacity: its own alpha times that of the groups it is drawn in.
double Parser::opacity(QStringView alpha) const
{
    double result = alphaOf(alpha);
    for (const double group : mGroupAlphas)
        result *= group;
    return result;
}

void Parser::pathPoint(bool move)
{
    const QPointF point = mCtm.map(elementPoints(mXml.attributes(), false).first()) - mOrigin;
    if (move || mSubpaths.isEmpty()) {
        mSubpaths.append(QList<QPointF>());
        mClosed.append(false);
    }
    mSubpaths.last().append(point);
}

// A curved path is a drawing as a whole: its bounds, control points included,
// are all it keeps. A "curve" whose control points lie on the straight line
// along an axis to its end is that line (presentation programs draw boxes so).
void Parser::curvePoints()
{
    QList<QPointF> points;
    for (const QPointF &point : elementPoints(mXml.attributes(), true))
        points.append(mCtm.map(point) - mOrigin);
    if (!mSubpaths.isEmpty() && !mSubpaths.last().isEmpty()) {
        const QPointF from = mSubpaths.last().last();
        const QRectF span =
            QRectF(from, points.last()).normalized().adjusted(-kStraight, -kStraight, kStraight, kStraight);
        const bool alongX = std::all_of(points.cbegin(), points.cend(),
                                        [&](const QPointF &p) { return std::abs(p.y() - from.y()) < kStraight; });
        const bool alongY = std::all_of(points.cbegin(), points.cend(),
                                        [&](const QPointF &p) { return std::abs(p.x() - from.x()) < kStraight; });
        const bool within =
            std::all_of(points.cbegin(), points.cend(), [&span](const QPointF &p) { return span.contains(p); });
        if ((alongX || alongY) && within) {
            mSubpaths.last().append(points.last());
            return;
        }
    }
    mCurved = true;
    for (const QPointF &point : std::as_const(points))
        include(mCurveBounds, point);
}

// White draws nothing on paper, but does over a shading or a coloured box
// drawn before it (a white icon on a coloured panel). Only the latest boxes
// are looked at, so that a page of very many stays quick.
bool Parser::overColour(const QRectF &box) const
{
    const qsizetype shades = qMax<qsizetype>(0, mPage->shades.size() - kRecentFills);
    if (std::any_of(mPage->shades.cbegin() + shades, mPage->shades.cend(),
                    [&box](const Shade &shade) { return shade.box.intersects(box); }))
        return true;
    const qsizetype fills = qMax<qsizetype>(0, mPage->fills.size() - kRecentFills);
    return std::any_of(mPage->fills.cbegin() + fills, mPage->fills.cend(),
                       [&box](const FilledBox &fill) { return !nearlyWhite(fill.color) && fill.box.intersects(box); });
}

// What the page shows of a shape that is no rule and no box, for the figures made of such shapes.
void Parser::addDrawing(const QRectF &box)
{
    if (nearlyWhite(mColour) && !overColour(box))
        return;
    const QRectF page(QPointF(0, 0), mPage->size);
    const QRectF visible = (mClips.isEmpty() ? box : box.intersected(mClips.last())).intersected(page);
    if (!visible.isEmpty())
        mPage->drawings.append(visible);
}

void Parser::finishPath()
{
    if (mCurved) {
        QRectF box = mCurveBounds;
        for (const QList<QPointF> &points : std::as_const(mSubpaths)) {
            for (const QPointF &p : points)
                include(box, p);
        }
        const double half = mPathKind == PathKind::Stroke ? mLineWidth / 2 : 0;
        addDrawing(box.adjusted(-half, -half, half, half));
        return;
    }
    for (qsizetype s = 0; s < mSubpaths.size(); ++s) {
        QList<QPointF> points = mSubpaths[s];
        if (points.size() < 2)
            continue;
        if (mPathKind == PathKind::Stroke) {
            if (mClosed[s])
                points.append(points.first());
            for (qsizetype i = 1; i < points.size(); ++i) {
                const QPointF a = points[i - 1];
                const QPointF b = points[i];
                const bool straight = std::abs(a.x() - b.x()) < kStraight || std::abs(a.y() - b.y()) < kStraight;
                const double half = mLineWidth / 2;
                if (!straight) {
                    addDrawing(QRectF(a, b).normalized().adjusted(-half, -half, half, half));
                    continue;
                }
                Rule rule{a, b, mLineWidth, mColour, true, mHairline, -1, mAlpha, mDash};
                if (a != b && mLineWidth > 0 && clipRule(rule) && (!nearlyWhite(mColour) || overColour(rule.box()))) {
                    rule.order = mPaintOrder++;
                    mPage->rules.append(rule);
                }
            }
            continue;
        }
        // A filled subpath counts only when it is an axis-aligned box.
        double left = points.first().x(), right = left, top = points.first().y(), bottom = top;
        for (const QPointF &p : std::as_const(points)) {
            left = qMin(left, p.x());
            right = qMax(right, p.x());
            top = qMin(top, p.y());
            bottom = qMax(bottom, p.y());
        }
        const QRectF box(QPointF(left, top), QPointF(right, bottom));
        // Every edge runs along an axis and every corner lies on the bounding box
        // (drawing programs start a box anywhere along an edge, and round its
        // corners, a slide's thin tick by a third of a point, in many steps).
        bool isBox = points.size() >= 4;
        for (qsizetype i = 0; i < points.size() && isBox; ++i) {
            const QPointF &p = points[i];
            const QPointF &q = points[(i + 1) % points.size()];
            const bool straight = std::abs(p.x() - q.x()) < kStraight || std::abs(p.y() - q.y()) < kStraight;
            const bool onEdge =
                (std::abs(p.x() - box.left()) < kStraight || std::abs(p.x() - box.right()) < kStraight) ||
                (std::abs(p.y() - box.top()) < kStraight || std::abs(p.y() - box.bottom()) < kStraight);
            isBox = straight && onEdge;
        }
        if (!isBox && !bowedBox(points, box)) {
            addDrawing(box);
            continue;
        }
        // A box of several (a frame: a box and the hole in it) covers only its rim.
        addBox(box, mSubpaths.size() == 1);
    }
}

// A filled box in the current colour: a rule when thin, else a fill. `whole`
// when the box is all that is filled, so that it covers what lies under it.
void Parser::addBox(const QRectF &box, bool whole)
{
    if (mOpaque && whole)
        hideCoveredGlyphs(box);
    if (box.isEmpty() || (nearlyWhite(mColour) && !overColour(box)))
        return;
    const QRectF shown = mClips.isEmpty() ? box : box.intersected(mClips.last());
    if (shown.isEmpty())
        return;
    if (shown.height() <= kThinBox && shown.width() > 2 * shown.height()) {
        const double y = shown.center().y();
        mPage->rules.append({QPointF(shown.left(), y), QPointF(shown.right(), y), shown.height(), mColour, false, false,
                             mPaintOrder++, mAlpha});
    } else if (shown.width() <= kThinBox && shown.height() > 2 * shown.width()) {
        const double x = shown.center().x();
        mPage->rules.append({QPointF(x, shown.top()), QPointF(x, shown.bottom()), shown.width(), mColour, false, false,
                             mPaintOrder++, mAlpha});
    } else {
        mPage->fills.append({shown, mColour, mPaintOrder++, mAlpha});
    }
}

// Cuts a straight stroke to the clip in force; false when none of it shows.
// A plot's outline runs on past its frame, cut there by the clip, and would
// otherwise join the grid of the plot beside it into one table.
bool Parser::clipRule(Rule &rule) const
{
    if (mClips.isEmpty())
        return true;
    const QRectF &clip = mClips.last();
    const double half = rule.width / 2;
    const bool horizontal = rule.horizontal();
    const double at = horizontal ? rule.from.y() : rule.from.x();
    if (at < (horizontal ? clip.top() : clip.left()) - half || at > (horizontal ? clip.bottom() : clip.right()) + half)
        return false;
    const double low = horizontal ? clip.left() : clip.top();
    const double high = horizontal ? clip.right() : clip.bottom();
    double &from = horizontal ? rule.from.rx() : rule.from.ry();
    double &to = horizontal ? rule.to.rx() : rule.to.ry();
    if (qMax(from, to) < low || qMin(from, to) > high)
        return false;
    from = std::clamp(from, low, high);
    to = std::clamp(to, low, high);
    return from != to;
}

// A stencil of a single pixel paints its whole upright box in one colour:
// some converters draw TeX's rules so. Larger stencils (a bitmap font's
// letters) stay unread.
void Parser::addMaskBox()
{
    const QXmlStreamAttributes attributes = mXml.attributes();
    const Matrix m = matrix(attributes.value(QLatin1String("transform")));
    if (attributes.value(QLatin1String("width")) != QLatin1String("1") ||
        attributes.value(QLatin1String("height")) != QLatin1String("1") || std::abs(m.b) > kStraight ||
        std::abs(m.c) > kStraight)
        return;
    mColour = colour(attributes.value(QLatin1String("color")));
    mAlpha = opacity(attributes.value(QLatin1String("alpha")));
    mOpaque = !seeThrough(attributes.value(QLatin1String("alpha"))) && !mBlendingGroups.contains(true);
    QRectF box;
    for (const QPointF &corner : {QPointF(0, 0), QPointF(1, 1)})
        include(box, m.map(corner) - mOrigin);
    addBox(box, true);
}

void Parser::markMonospaced()
{
    QHash<QString, bool> monospaced;
    for (auto it = mWidths.constBegin(); it != mWidths.constEnd(); ++it) {
        const QList<double> advances = it->advances.values();
        if (advances.size() < 4)
            continue;
        const auto [low, high] = std::minmax_element(advances.cbegin(), advances.cend());
        monospaced.insert(it.key(), *high <= *low * 1.01);
    }
    for (TextStyle &style : mDocument.styles) {
        style.mono = style.mono || monospaced.value(style.sourceFont);
        const double drawn = mWidths.value(style.sourceFont).space;
        // TeX draws no spaces; its fonts' spaces are a third of an em.
        const bool tex = FontNames::describe(style.sourceFont).family.startsWith(QLatin1String("Latin Modern"));
        style.spaceWidth = (drawn > 0 ? drawn : tex ? 0.333 : 0.28) * style.stretch;
        const FontWidths &widths = mWidths.value(style.sourceFont);
        style.letterWidth = widths.letterCount > 0 ? widths.letters / widths.letterCount : 0;
    }
}

} // namespace

namespace {

// A character XML may carry, in text or as a reference.
bool xmlCharacter(uint code)
{
    return code == '\t' || code == '\n' || code == '\r' || (code >= 0x20 && code < 0xd800) ||
           (code >= 0xe000 && code < 0xfffe) || (code >= 0x10000 && code <= 0x10ffff);
}

// The length of the character reference at `at` ("&#12;", "&#x1F;") when it
// names a character XML may not carry; else 0. `replacement` is what stands
// in for it.
qsizetype badReference(const QByteArray &chunk, qsizetype at, QByteArray *replacement)
{
    if (chunk.mid(at, 2) != "&#")
        return 0;
    const qsizetype end = chunk.indexOf(';', at);
    if (end < 0 || end - at > TraceReader::kMaxReference)
        return 0;
    const bool hex = chunk.mid(at + 2, 1).toLower() == "x";
    bool ok = false;
    const qulonglong code = chunk.mid(at + (hex ? 3 : 2), end - at - (hex ? 3 : 2)).toULongLong(&ok, hex ? 16 : 10);
    // Tabs and line ends too: no glyph draws one.
    if (!ok || (code >= 0x20 && xmlCharacter(uint(qMin<qulonglong>(code, 0xffffffff)))))
        return 0;
    // A control character is a bare code of a font without a map to text:
    // its stand-in is decoded once the document is read.
    *replacement =
        code < 0x20 ? QString(QChar(char16_t(TexEncodings::kFirstStandIn + code))).toUtf8() : QByteArray("?");
    return end - at + 1;
}

} // namespace

QByteArray TraceReader::sanitized(const QByteArray &chunk)
{
    // Written anew rather than replaced in place: a hostile trace may hold a bad character every few bytes.
    QByteArray clean;
    clean.reserve(chunk.size());
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        const uchar c = uchar(chunk[i]);
        QByteArray replacement;
        if (const qsizetype length = c == '&' ? badReference(chunk, i, &replacement) : 0; length > 0) {
            // mutool writes a control character as a reference, which XML forbids as well.
            clean.append(replacement);
            i += length - 1;
        } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            clean.append(' ');
        } else if (i + 2 < chunk.size() && c == 0xef && uchar(chunk[i + 1]) == 0xbf && uchar(chunk[i + 2]) >= 0xbe) {
            clean.append('?');
            i += 2;
        } else if (i + 2 < chunk.size() && c == 0xed && uchar(chunk[i + 1]) >= 0xa0) {
            clean.append('?'); // a surrogate, which UTF-8 may not carry
            i += 2;
        } else {
            clean.append(char(c));
        }
    }
    return clean;
}

std::optional<SourceDocument> TraceReader::read(QIODevice &trace, QString *error)
{
    Parser parser(trace);
    return parser.run(error);
}

std::optional<SourceDocument> TraceReader::readFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the drawing trace: %1").arg(file.errorString());
        return std::nullopt;
    }
    return read(file, error);
}
