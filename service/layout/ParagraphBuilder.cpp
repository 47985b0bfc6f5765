#include "layout/ParagraphBuilder.h"

#include "layout/BidiText.h"
#include "layout/Hyphenation.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

using Line = TextLines::Line;

constexpr double kSameEdge = 0.1;  // of a line's size, that lines ending this close end at one edge
constexpr int kJustifiedLines = 3; // the least lines that make an edge the text is justified to
constexpr int kOverfullShare = 5;  // lines at the edge for each line past it that is overfull
// Points short of its end a justified line is filled to: what a letter's
// spacing, rounded to twentieths of a point, may add up to over a line.
constexpr double kFillShort = 2.5;
// Points a line's measure may be off and the line still fit.
constexpr double kFits = 0.25;

// The width of a word's start up to where a line may break within it: after
// a backslash, slash or hyphen, as LibreOffice breaks; else the whole word.
double leadingPiece(const TextWords::Word &word)
{
    static const QRegularExpression breakAfter(QStringLiteral("[\\\\/\\-]"));
    const qsizetype at = word.text.indexOf(breakAfter);
    if (at < 0 || at + 1 >= word.text.size())
        return word.box.width();
    return word.box.width() * double(at + 1) / double(word.text.size());
}

// The mean advance of a word's letters.
double letterAdvance(const TextWords::Word &word)
{
    return word.box.width() / double(qMax<qsizetype>(1, word.text.size()));
}

// The least of a word that LibreOffice hyphenates onto a line: two
// letters and a hyphen (a third of an em in the common text faces).
double leastHyphenPiece(const TextWords::Word &word, double size)
{
    return 2 * letterAdvance(word) + size / 3;
}

// The words' advances added up, and their characters counted.
struct Extent {
    double glyphs = 0;
    qsizetype characters = 0;
};

Extent extentOf(const QList<TextWords::Word> &words)
{
    Extent extent;
    for (const TextWords::Word &word : words) {
        extent.glyphs += word.box.width();
        extent.characters += word.text.size();
    }
    return extent;
}

// The kerns back after runs, which LibreOffice does not take (it narrows
// no run's last character): TeX's logo sets about 8 points a 10-point line
// wider than the source.
double lostKernsOf(const QList<TextWords::Word> &words)
{
    double lost = 0;
    for (const TextWords::Word &word : words) {
        for (const TextWords::Run &run : word.runs)
            lost -= qMin(0.0, run.kern);
    }
    return lost;
}

double typicalPitch(const QList<Line> &lines)
{
    QList<double> pitches;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const double pitch = lines[i].baseline - lines[i - 1].baseline;
        if (pitch > 0.5 * lines[i].size && pitch < 2 * lines[i].size)
            pitches.append(pitch);
    }
    return median(pitches);
}

// How far apart two centres may be and still be one.
double centreTolerance(double width)
{
    return qMax(2.0, 0.02 * width);
}

bool centred(const QRectF &line, double left, double right)
{
    const double width = right - left;
    return std::abs(line.center().x() - (left + right) / 2) < centreTolerance(width) && line.width() < 0.9 * width;
}

// Lines well inside the column on about one centre, sharing neither edge: a
// displayed formula's lines, aligned on their signs. Flowed as one paragraph,
// they would wrap anywhere.
bool displayed(const QList<QRectF> &lines, double left, double right)
{
    const double width = right - left;
    return std::all_of(lines.cbegin(), lines.cend(), [&](const QRectF &line) {
        return line.left() - left > 0.1 * width && right - line.right() > 0.1 * width &&
               std::abs(line.center().x() - lines.first().center().x()) < centreTolerance(width);
    });
}

// The edge a block's lines are justified to, where a line or two stick out
// past it (an overfull line: a long file name TeX could not break).
// Measured against that line, every other line seemed to end early and
// began a paragraph of its own. `right` where no edge holds most lines.
double justifiedEdge(const QList<Line> &lines, double right)
{
    qsizetype most = 0;
    double edge = right;
    for (const Line &line : lines) {
        qsizetype count = 0;
        double reach = line.box.right();
        for (const Line &other : lines) {
            if (std::abs(other.box.right() - line.box.right()) < kSameEdge * line.size) {
                ++count;
                reach = qMax(reach, other.box.right());
            }
        }
        if (count > most) {
            most = count;
            edge = reach;
        }
    }
    const auto beyond = std::count_if(lines.cbegin(), lines.cend(),
                                      [edge](const Line &line) { return line.box.right() > edge + 0.5 * line.size; });
    return most >= kJustifiedLines && beyond * kOverfullShare <= most ? edge : right;
}

// A block set flush right: most of its lines end at its right edge and few
// start at its left one, so where a line starts says nothing of paragraphs.
bool flushRight(const QList<Line> &lines, double textLeft, double textRight)
{
    if (lines.size() < 3)
        return false;
    qsizetype atRight = 0;
    qsizetype atLeft = 0;
    for (const Line &line : lines) {
        if (line.rightToLeft || line.segments() > 1)
            return false;
        atRight += std::abs(line.box.right() - textRight) < 0.5 * line.size ? 1 : 0;
        atLeft += std::abs(line.box.left() - textLeft) < 0.5 * line.size ? 1 : 0;
    }
    return 3 * atRight >= 2 * lines.size() && 3 * atLeft <= lines.size();
}

bool opensList(const Line &line)
{
    if (line.rightToLeft || line.words.size() < 2 || !ParagraphBuilder::isListMarker(line.words.first().text))
        return false;
    return line.words[1].box.left() - line.words.first().box.right() >= 0.4 * line.size;
}

// A bullet opens an item however close the text after it stands: set a
// space after it, its small width made the line before look as if it had
// ended early, and the items ran together.
bool opensWithBullet(const Line &line)
{
    static const QString bullets = QStringLiteral("\u2022\u25E6\u25AA\u25AB\u2023\u2043\u2219\u25CF\u25CB\u25A0\u25A1");
    const QString first = line.words.isEmpty() ? QString() : line.words.first().text;
    return line.words.size() >= 2 && !line.rightToLeft &&
           ((first.size() == 1 && bullets.contains(first.front())) || ParagraphBuilder::isSymbolMarker(first));
}

// The link every word of the line stands in; -1 where any stands in none or another.
int wholeLink(const Line &line)
{
    const int link = line.words.isEmpty() ? -1 : line.words.first().link;
    for (const TextWords::Word &word : line.words) {
        if (word.link != link)
            return -1;
    }
    return link;
}

// Lines that are each a link of their own (a list of addresses, of places
// to go) are items, however short: joined, every link but the first was
// cut off from the start of its line.
bool linksApart(const Line &a, const Line &b)
{
    const int first = wholeLink(a);
    const int second = wholeLink(b);
    return first >= 0 && second >= 0 && first != second;
}

// A section number ("2", "4.11.1", "A.3") set apart from its title by far
// more than a space, as headings and contents entries are.
bool opensNumbered(const Line &line)
{
    static const QRegularExpression number(QStringLiteral("^(\\d{1,3}|[A-Z])(\\.\\d{1,3})*\\.?$"));
    if (line.rightToLeft || line.words.size() < 2 || (line.segments() > 1 && line.segmentStarts[1] == 1))
        return false;
    return number.match(line.words.first().text).hasMatch() &&
           line.words[1].box.left() - line.words.first().box.right() >= 0.7 * line.size;
}

// Two other lines of the block start where this one does, to half a point:
// it starts at one of the block's edges or indents, where no centred line
// but by chance does.
bool startsAtAStop(const QList<Line> &lines, const Line &line)
{
    constexpr double kSameStart = 0.5;
    const auto together = [&line](const Line &other) {
        return std::abs(other.box.left() - line.box.left()) < kSameStart;
    };
    return std::count_if(lines.cbegin(), lines.cend(), together) >= 3;
}

class Grouper {
public:
    Grouper(const QList<Line> &lines, double left, double right)
        : mLines(lines), mLeft(left), mRight(right), mTextLeft(right), mTextRight(left), mPitch(typicalPitch(lines))
    {
        for (const Line &line : lines) {
            mTextLeft = qMin(mTextLeft, line.box.left());
            mTextRight = qMax(mTextRight, line.box.right());
        }
        mTextRight = justifiedEdge(lines, mTextRight);
        mFlushRight = flushRight(lines, mTextLeft, mTextRight);
        // The measure of flush-right text is its own longest line's: a line
        // elsewhere in the block (a credit at the left margin) is no part of it.
        for (const Line &line : lines) {
            if (endsAtRight(line))
                mRightMeasure = qMax(mRightMeasure, line.box.width());
        }
    }

    QList<QList<int>> groups() const
    {
        QList<QList<int>> result;
        for (int i = 0; i < mLines.size(); ++i) {
            if (!result.isEmpty() && continues(result.last(), i))
                result.last().append(i);
            else
                result.append(QList<int>{i});
        }
        return result;
    }

private:
    bool continues(const QList<int> &paragraph, int next) const
    {
        const Line &a = mLines[paragraph.last()];
        const Line &b = mLines[next];
        if (a.mono || b.mono || a.segments() > 1 || b.segments() > 1 || a.bold != b.bold ||
            a.rightToLeft != b.rightToLeft)
            return false;
        if (std::abs(a.size - b.size) > 0.1 * qMax(a.size, b.size))
            return false;
        const double pitch = b.baseline - a.baseline;
        const double usual = mPitch > 0 ? mPitch : 1.2 * a.size;
        if (pitch > qMax(1.5 * a.size, 1.3 * usual) || pitch < 0.5 * a.size)
            return false;
        if (opensList(b) || opensWithBullet(b) || linksApart(a, b))
            return false;
        // A list item is no centred text, whatever its lines' centres.
        const bool listItem = opensList(mLines[paragraph.first()]);
        if (!listItem && ((centred(a.box, mLeft, mRight) && centred(b.box, mLeft, mRight)) || centredOnEachOther(a, b)))
            return true;
        if (mFlushRight && endsAtRight(a) && endsAtRight(b)) {
            // The line before ended early if the next line's first word would have fitted before it.
            return a.box.width() + 0.3 * a.size + b.words.first().box.width() >= mRightMeasure - 0.5 * a.size;
        }
        // The short last line of a paragraph set flush right, after full lines.
        if (!a.rightToLeft && endsAtRight(a) && std::abs(b.box.right() - a.box.right()) < 0.5 * a.size &&
            b.box.left() - a.box.left() > qMax(4 * a.size, 0.25 * (mTextRight - mTextLeft)))
            return true;
        // Right-to-left lines are measured mirrored: they start at their right edge.
        const bool mirrored = a.rightToLeft;
        const auto start = [mirrored](const QRectF &box) { return mirrored ? -box.right() : box.left(); };
        const auto end = [mirrored](const QRectF &box) { return mirrored ? -box.left() : box.right(); };
        const double tolerance = 0.8 * a.size;
        const Line &first = mLines[paragraph.first()];
        if (paragraph.size() >= 2) {
            if (std::abs(start(b.box) - start(a.box)) > tolerance)
                return false;
        } else if (start(b.box) > start(first.box) + tolerance && !listItem) {
            return false;
        }
        // An item's text goes on under its text, not under its bullet.
        if (listItem && !mirrored && std::abs(b.box.left() - first.words[1].box.left()) > tolerance)
            return false;
        // The line before ended early although the next line's first word would have fitted there.
        const double firstWord = (mirrored ? b.words.last() : b.words.first()).box.width();
        const double textEnd = mirrored ? -mTextLeft : mTextRight;
        return end(a.box) + 0.3 * a.size + firstWord >= textEnd - 0.5 * a.size;
    }

    // Lines of different lengths on one centre: centred text whose longest
    // line may be the block's whole width. Lines that start together are
    // not centred, whatever their lengths (an address's lines), nor are two
    // that each start where other lines of the block do: the lines of a
    // hanging list set ragged right, at its two edges, may share a centre.
    bool centredOnEachOther(const Line &a, const Line &b) const
    {
        const double tolerance = centreTolerance(mRight - mLeft);
        return std::abs(a.box.center().x() - b.box.center().x()) < tolerance &&
               std::abs(a.box.left() - b.box.left()) >= tolerance && !shortAtStart(a, tolerance) &&
               !shortAtStart(b, tolerance) && !(startsAtAStop(mLines, a) && startsAtAStop(mLines, b));
    }

    // A line starting at the block's edge that ends well short of the other
    // is set flush, not centred (a paragraph's last line, whose centre may
    // fall near that of the indented line opening the next).
    bool shortAtStart(const Line &line, double tolerance) const
    {
        if (line.rightToLeft)
            return std::abs(line.box.right() - mTextRight) < tolerance && line.box.left() > mTextLeft + tolerance;
        return std::abs(line.box.left() - mTextLeft) < tolerance && line.box.right() < mTextRight - tolerance;
    }

    bool endsAtRight(const Line &line) const { return std::abs(line.box.right() - mTextRight) < 0.5 * line.size; }

    const QList<Line> &mLines;
    double mLeft;
    double mRight;
    double mTextLeft;  // where the block's leftmost line starts
    double mTextRight; // where the block's longest line ends
    double mPitch;
    bool mFlushRight = false;
    double mRightMeasure = 0; // the longest line of a flush-right block
};

// Builds the runs of a paragraph word by word, a line at a time: a line of
// right-to-left text is drawn backwards and turns round as a whole.
class Assembler {
public:
    Assembler(Paragraph &paragraph, const QSet<QString> &vocabulary) : mParagraph(paragraph), mVocabulary(vocabulary) {}

    void separate(const QString &separator) { mPending = separator; }
    // `spacing`: points added to each character of the line's runs.
    void startLine(double spacing) { mSpacing = spacing; }

    void addWord(const TextWords::Word &word)
    {
        QString lead;
        if (!mPending.isEmpty()) {
            // What parts two lines belongs to neither; it stays where the lines meet.
            QList<TextRun> &target = mLine.isEmpty() ? mParagraph.runs : mLine;
            // A space after an underline or a link ends them: it goes with the plain word after it.
            const bool endsMark = !target.isEmpty() && (target.last().marks.any() || target.last().link >= 0) &&
                                  (target.last().marks != word.marks || target.last().link != word.link);
            // So does a space after a raised mark (a footnote's): set small, it would close up the text.
            const bool endsRise =
                !target.isEmpty() && target.last().rise != 0 && !word.runs.isEmpty() && word.runs.first().rise == 0;
            if (endsMark || endsRise)
                lead = mPending;
            else if (!target.isEmpty())
                target.last().text += mPending;
            mPending.clear();
        }
        addRuns(word, lead);
    }

    // Joins a word broken at the end of the line before; false when they stay two words.
    bool joinBroken(const TextWords::Word &next)
    {
        if (mTurnedLine)
            return false; // its last word drawn is not the one it ends with
        const std::optional<QString> joined = Hyphenation::join(mLastWord, next.text, mVocabulary);
        if (!joined || mParagraph.runs.isEmpty())
            return false;
        // Drop what the line end held beyond the common start (the hyphen).
        const qsizetype keep = joined->startsWith(mLastWord) ? mLastWord.size() : mLastWord.size() - 1;
        const qsizetype drop = mLastWord.size() - keep;
        QString &last = mParagraph.runs.last().text;
        last.chop(qMin(drop, last.size()));
        mParagraph.hyphenated = mParagraph.hyphenated || drop > 0;
        mPending.clear();
        addRuns(next);
        return true;
    }

    // Moves the line into the paragraph, in the order its text was typed.
    void endLine()
    {
        QString drawn;
        for (const TextRun &run : std::as_const(mLine))
            drawn += run.text;
        mTurnedLine = BidiText::hasRightToLeft(drawn);
        if (!mTurnedLine) {
            for (const TextRun &run : std::as_const(mLine))
                append(mParagraph.runs, run.text, run);
        } else {
            const BidiText::Logical logical = BidiText::typedOrder(drawn, BidiText::mostlyRightToLeft(drawn));
            QList<const TextRun *> runOf;
            for (const TextRun &run : std::as_const(mLine))
                runOf.insert(runOf.size(), run.text.size(), &run);
            for (qsizetype i = 0; i < logical.text.size(); ++i) {
                TextRun like = *runOf.at(logical.sources.at(i));
                like.kern = 0; // it was between letters as drawn, not as typed
                append(mParagraph.runs, logical.text.mid(i, 1), like);
            }
        }
        mLine.clear();
    }

private:
    void addRuns(const TextWords::Word &word, const QString &lead = {})
    {
        qsizetype offset = 0;
        for (const TextWords::Run &run : word.runs) {
            const QString text = (offset == 0 ? lead : QString()) + word.text.mid(offset, run.length);
            append(mLine, text, TextRun{{}, run.style, run.rise, word.link, word.marks, run.kern, mSpacing});
            offset += run.length;
        }
        mLastWord = word.text;
    }

    // Adds text set as `like` is; a kern stays after the letter it follows.
    static void append(QList<TextRun> &runs, const QString &text, const TextRun &like)
    {
        if (!runs.isEmpty() && runs.last().style == like.style && runs.last().rise == like.rise &&
            runs.last().link == like.link && runs.last().marks == like.marks && runs.last().spacing == like.spacing &&
            runs.last().kern == 0) {
            runs.last().text += text;
            runs.last().kern = like.kern;
        } else {
            runs.append(like);
            runs.last().text = text;
        }
    }

    Paragraph &mParagraph;
    const QSet<QString> &mVocabulary;
    QList<TextRun> mLine; // the line being read, as drawn
    QString mPending;
    double mSpacing = 0;
    QString mLastWord;
    bool mTurnedLine = false; // the last line ended was right-to-left
};

// The spaces before each word of a monospaced run of words but the first, so
// that every word starts in the character cell nearest its place in the
// source, a place halfway between two cells taking the earlier one. Rounding
// each gap on its own would add up and carry the line past its end, so the
// count follows where the line as written has got to.
QStringList spacesBetween(const QList<TextWords::Word> &words)
{
    QStringList spaces;
    if (words.isEmpty())
        return spaces;
    // The cell is most words' own, and spaces after them are counted in it,
    // so columns of code stay columns whatever font stands in. A word of
    // another face or size (a label before a listing, a larger caption before
    // smaller code, an index's dots) has its own width, and the spaces after
    // it are set in its face, at that face's width of a space.
    QList<double> advances;
    for (const TextWords::Word &word : words)
        advances.append(letterAdvance(word));
    const double common = median(advances);
    const auto onGrid = [&](qsizetype w) { return std::abs(advances[w] - common) <= 0.03 * common; };
    const auto letterOf = [&](qsizetype w) { return onGrid(w) ? common : advances[w]; };
    const auto spaceOf = [&](qsizetype w) {
        return onGrid(w) || words[w].spaceAfter <= 0 ? letterOf(w) : words[w].spaceAfter;
    };
    double written = words.first().box.left() + double(words.first().text.size()) * letterOf(0);
    for (qsizetype w = 1; w < words.size(); ++w) {
        const double space = spaceOf(w - 1);
        const double cells = space > 0 ? std::ceil((words[w].box.left() - written) / space - 0.5 - 1e-6) : 1.0;
        const int count = int(qBound(1.0, cells, 200.0));
        spaces << QString(count, QLatin1Char(' '));
        written += double(count) * space + double(words[w].text.size()) * letterOf(w);
    }
    return spaces;
}

Paragraph build(const QList<Line> &lines, const QList<int> &group, double left, double right, double pitch,
                const QSet<QString> &vocabulary, bool hyphenating)
{
    Paragraph paragraph;
    Assembler assembler(paragraph, vocabulary);
    const Line &first = lines[group.first()];
    // Right-to-left lines are aligned to their start, measured mirrored.
    const bool mirrored = first.rightToLeft;
    paragraph.rightToLeft = mirrored;
    paragraph.mayHyphenate = hyphenating;
    QList<QRectF> boxes;
    for (const int at : group)
        boxes.append(mirrored ? mirroredBox(lines[at].box) : lines[at].box);
    paragraph.align =
        mirrored ? ParagraphBuilder::alignment(boxes, -right, -left) : ParagraphBuilder::alignment(boxes, left, right);
    // A line of parts apart (a formula and its number) is placed by its tab
    // stops, which count from the left indent whatever the alignment. A line
    // of code keeps its left edge too: a listing's long line may stand about
    // the column's middle, and centred it left its neighbours' edge.
    if (group.size() == 1 && (first.segments() > 1 || first.mono))
        paragraph.align = Paragraph::Align::Left;
    // Lines that all start at the block's stops are flush, whatever their
    // centres: an indented line and the fuller line under it, set ragged
    // right, may share one.
    const bool allAtStops =
        std::all_of(group.cbegin(), group.cend(), [&lines](int at) { return startsAtAStop(lines, lines[at]); });
    if (paragraph.align == Paragraph::Align::Center && group.size() > 1 && allAtStops)
        paragraph.align = Paragraph::Align::Left;
    const bool setBreaks = paragraph.keepsLineBreaks();
    paragraph.keepSpaces = first.mono;
    paragraph.listItem = opensList(first);
    paragraph.numbered = !paragraph.listItem && opensNumbered(first);
    if (paragraph.numbered)
        paragraph.tabStops.append({first.words[1].box.left(), false, false});
    // A number or bullet opening the first line is set apart by a tab; in code
    // only one in another face than the code (a listing's line number), whose
    // spaces, of the number's width, would misplace the code.
    const bool tabAfterOpener =
        (paragraph.listItem || paragraph.numbered) &&
        (!paragraph.keepSpaces || first.words[0].runs.value(0).style != first.words[1].runs.value(0).style);
    paragraph.lineCount = int(group.size());
    paragraph.firstBaseline = first.baseline;
    paragraph.lastBaseline = lines[group.last()].baseline;
    if (group.size() > 1) {
        paragraph.lineHeight = (paragraph.lastBaseline - paragraph.firstBaseline) / double(group.size() - 1);
    } else {
        // A line on its own takes the distance to its closest neighbour (the lines
        // of a code listing), else the block's usual distance.
        const int at = group.first();
        double closest = 0;
        for (const int neighbour : {at - 1, at + 1}) {
            if (neighbour < 0 || neighbour >= lines.size())
                continue;
            const double distance = std::abs(lines[neighbour].baseline - first.baseline);
            if (distance >= 0.8 * first.size && (closest == 0 || distance < closest))
                closest = distance;
        }
        const auto usable = [&first](double value) { return value >= 0.8 * first.size && value <= 1.35 * first.size; };
        paragraph.lineHeight = usable(closest) ? closest : usable(pitch) ? pitch : 1.2 * first.size;
    }
    double bodyLeft = first.box.left();
    double extentRight = first.box.right();
    for (qsizetype l = 1; l < group.size(); ++l) {
        // Lines of set breaks have no first-line indent: the box holds them all.
        const bool fromFirst = l > 1 || setBreaks;
        bodyLeft = fromFirst ? qMin(bodyLeft, lines[group[l]].box.left()) : lines[group[l]].box.left();
        extentRight = qMax(extentRight, lines[group[l]].box.right());
    }
    if (paragraph.listItem && group.size() == 1)
        bodyLeft = first.words[1].box.left();
    const double top = paragraph.firstBaseline - 0.8 * paragraph.lineHeight;
    paragraph.box =
        QRectF(QPointF(bodyLeft, top), QPointF(extentRight, paragraph.lastBaseline + 0.2 * paragraph.lineHeight));
    // A right-to-left paragraph indents its first line from the right.
    // Centred and flush-right lines stand where their alignment puts them: an indent would move or narrow them.
    if (!setBreaks)
        paragraph.firstIndent = paragraph.rightToLeft ? extentRight - first.box.right() : first.box.left() - bodyLeft;
    // Lines that wrap must fit; so must every line of a paragraph whose breaks
    // are set, a line on its own that reaches the column's right edge, and a
    // last line in the room the others give it: set tight, as TeX sets its
    // lines, it would wrap once more.
    QList<TextLines::Line> wrapped;
    const bool full = group.size() == 1 && first.box.right() >= right - first.size;
    for (qsizetype l = 0; l + (setBreaks || full ? 0 : 1) < group.size(); ++l)
        wrapped.append(lines[group[l]]);
    if (!setBreaks && group.size() > 1) {
        TextLines::Line last = lines[group.last()];
        last.box.setRight(qMax(last.box.right(), extentRight));
        wrapped.append(last);
    }
    paragraph.condense = ParagraphBuilder::condensing(wrapped, paragraph.align == Paragraph::Align::Justify);
    // A full justified line that would take up the next line's first word,
    // or lose its own last one, is set a little wider or narrower, so that
    // the office program breaks it where the source did: once one line
    // breaks elsewhere, every line after it does.
    const bool fills = paragraph.align == Paragraph::Align::Justify && !paragraph.keepSpaces && !mirrored;
    for (qsizetype l = 0; l < group.size(); ++l) {
        const Line &line = lines[group[l]];
        const bool filled = fills && l + 1 < group.size() && line.box.right() >= extentRight - 0.5 * line.size;
        assembler.startLine(filled ? ParagraphBuilder::fillSpacing(line, extentRight, lines[group[l + 1]].words.first(),
                                                                   paragraph.condense, hyphenating)
                                   : 0);
        for (int s = 0; s < line.segments(); ++s) {
            const QList<TextWords::Word> words = line.segmentWords(s);
            if (s > 0) {
                assembler.separate(QStringLiteral("\t"));
                const bool dots = line.leaders.value(s);
                // Right to left, the text after the tab is the part left of the
                // gap, and it starts at its right edge.
                const QRectF after = line.segmentBox(mirrored ? s - 1 : s);
                const double start = mirrored ? after.right() : after.left();
                const double end = mirrored ? after.left() : after.right();
                paragraph.tabStops.append({dots ? end : start, dots, dots});
            }
            const QStringList spaces = paragraph.keepSpaces ? spacesBetween(words) : QStringList();
            for (qsizetype w = 0; w < words.size(); ++w) {
                if (l > 0 && s == 0 && w == 0 && assembler.joinBroken(words[w]))
                    continue;
                if (w == 1 && l == 0 && s == 0 && tabAfterOpener)
                    assembler.separate(QStringLiteral("\t"));
                else if (w > 0 && paragraph.keepSpaces)
                    assembler.separate(spaces[w - 1]);
                else if (w == 0 && l > 0 && setBreaks)
                    assembler.separate(QStringLiteral("\n"));
                else if (w > 0 || l > 0)
                    assembler.separate(QStringLiteral(" "));
                // What a symbol font's bullet looks like is not known; a bullet is what it most likely is.
                if (paragraph.listItem && l == 0 && s == 0 && w == 0 &&
                    ParagraphBuilder::isSymbolMarker(words[w].text)) {
                    TextWords::Word bullet = words[w];
                    bullet.text = QString(QChar(0x2022));
                    assembler.addWord(bullet);
                    continue;
                }
                assembler.addWord(words[w]);
            }
        }
        assembler.endLine();
    }
    return paragraph;
}

} // namespace

bool ParagraphBuilder::isListMarker(const QString &word)
{
    static const QRegularExpression marker(
        QStringLiteral("^([\\x{2022}\\x{25E6}\\x{25AA}\\x{25AB}\\x{2023}\\x{2043}\\x{2219}\\x{00B7}\\x{25CF}"
                       "\\x{25CB}\\x{25A0}\\x{25A1}\\x{2013}\\x{2014}*\\-]|\\d{1,3}[.)]|[a-zA-Z][.)]|"
                       "\\(\\d{1,3}\\)|\\([a-z]\\)|[ivxIVX]{1,4}[.)])$"));
    return marker.match(word).hasMatch() || isSymbolMarker(word);
}

// A lone character of the private use area: a symbol font's bullet, as
// office programs set them (OpenSymbol's reads U+F015), which no other font
// draws.
bool ParagraphBuilder::isSymbolMarker(const QString &word)
{
    return word.size() == 1 && word.front().unicode() >= 0xE000 && word.front().unicode() <= 0xF8FF;
}

double ParagraphBuilder::condensing(const QList<TextLines::Line> &lines, bool justified)
{
    double right = 0;
    for (const Line &line : lines)
        right = qMax(right, line.box.right());
    double most = 0;
    for (const Line &line : lines) {
        if (line.mono)
            continue;
        // A line parted by tabs fits where its last part does, which runs
        // up to the margin (a résumé's entry after its dates). A ragged
        // line may run on to where the longest ends.
        const QList<TextWords::Word> words = line.segmentWords(line.segments() - 1);
        const QRectF part = line.segmentBox(line.segments() - 1);
        const double width = part.width() + (justified ? 0 : right - part.right());
        const auto [glyphs, characters] = extentOf(words);
        const qsizetype gaps = words.size() - 1;
        const double scale = sizeScale(line.size, words);
        // Ragged lines have room beyond the longest of them; only what the
        // larger size needs past it counts, and past half of it, as the writer
        // measures the room from the line height rather than the size.
        const double room = justified ? 0 : raggedRoom(line.size) / 2;
        // Justified lines' kerns are made up by their own spacing.
        const double lost = justified ? 0 : lostKernsOf(words);
        const double needed = (glyphs + double(gaps) * line.space) * scale + lost - width - room;
        if (needed > 0 && characters + gaps > 0)
            most = qMax(most, qMin(needed / double(characters + gaps), 0.08 * line.size));
    }
    return most;
}

double ParagraphBuilder::sizeScale(double size, const QList<TextWords::Word> &words)
{
    // The size the text is drawn at, unrounded: a word of the line's own
    // size, not a footnote mark or an exponent that may open the line.
    double drawn = size;
    for (const TextWords::Word &word : words) {
        if (std::abs(word.size - size) < 0.05 * size) {
            drawn = word.size;
            break;
        }
    }
    const double setSize = qMax(0.5, std::round(size * 2) / 2);
    return drawn > 0 ? qMax(1.0, setSize / drawn) : 1.0;
}

double ParagraphBuilder::fillSpacing(const TextLines::Line &line, double right, const TextWords::Word &next,
                                     double condense, bool hyphenating)
{
    const qsizetype gaps = line.words.size() - 1;
    if (gaps < 1 || line.segments() > 1 || !line.exactWidths)
        return 0;
    // LibreOffice narrows a run's last character by none of its spacing
    // (it widens it by all of it). So a kern after a run (the raised A of
    // TeX's logo moved under the L) is lost, and so is a run's last squeeze.
    const Extent extent = extentOf(line.words);
    const qsizetype characters = extent.characters + gaps;
    const double lostKerns = lostKernsOf(line.words);
    qsizetype runEnds = 0;
    const TextWords::Run *before = nullptr;
    for (const TextWords::Word &word : line.words) {
        for (const TextWords::Run &run : word.runs) {
            runEnds += before && (before->kern != 0 || before->style != run.style || before->rise != run.rise);
            before = &run;
        }
    }
    ++runEnds;
    // Each space as the writer sets it: in code, a monospaced one.
    double spaces = 0;
    for (qsizetype w = 0; w < gaps; ++w)
        spaces += line.words[w].flowingSpaceAfter > 0 ? line.words[w].flowingSpaceAfter : line.space;
    const double natural = (extent.glyphs + spaces) * sizeScale(line.size, line.words) + lostKerns;
    // What the writer takes from each character.
    const double squeeze = double(squeezeTwentieths(condense, condense)) / 20;
    const auto setWidth = [&](double spacing) {
        return natural + spacing * double(spacing < 0 ? characters - runEnds : characters);
    };
    // It must fit, and a space and the next word must not, or what goes
    // before a break the word allows ("\", "/"), or in hyphenated text two
    // letters and a hyphen. A line that fits as it is keeps its spacing: an
    // office program's own lines come out as they were.
    const double room = right - line.box.left();
    const double piece = leadingPiece(next);
    const double pulled = line.space + (hyphenating ? qMin(piece, leastHyphenPiece(next, line.size)) : piece);
    const double now = setWidth(-squeeze);
    if (now <= room - kFits && now + pulled > room)
        return 0;
    const double target = room - qMin(kFillShort, 0.4 * pulled);
    const double needed = target - natural;
    const double spacing = needed / double(needed < 0 ? qMax<qsizetype>(1, characters - runEnds) : characters);
    // Rounded down, so that the line still fits.
    const double extra = std::floor((spacing + squeeze) * 20) / 20;
    return std::abs(extra) <= 0.08 * line.size ? extra : 0;
}

int ParagraphBuilder::squeezeTwentieths(double points, double condense)
{
    constexpr double kLeastSqueeze = 0.25; // twentieths of a point a letter: a squeeze this large is kept
    const int twentieths = int(std::lround(points * 20));
    return twentieths == 0 && condense * 20 >= kLeastSqueeze ? 1 : twentieths;
}

Paragraph::Align ParagraphBuilder::alignment(const QList<QRectF> &lines, double left, double right)
{
    if (lines.isEmpty())
        return Paragraph::Align::Left;
    const double width = right - left;
    const double tolerance = qMax(1.5, 0.01 * width);
    if (lines.size() == 1) {
        const QRectF &line = lines.first();
        if (centred(line, left, right) && line.left() - left > 0.1 * width)
            return Paragraph::Align::Center;
        if (std::abs(line.right() - right) < tolerance && line.left() - left > 0.3 * width)
            return Paragraph::Align::Right;
        return Paragraph::Align::Left;
    }
    // The lines after the first share their left edge (the first may be indented).
    bool sameBodyLeft = true;
    bool sameRight = true;
    bool sameCentre = true;
    bool fullButLast = true;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        sameBodyLeft = sameBodyLeft && std::abs(lines[i].left() - lines[1].left()) < tolerance;
        // A last line may end a little short of the others: a space kept after it.
        const double lastTolerance = i + 1 == lines.size() ? qMax(tolerance, 0.4 * lines[i].height()) : tolerance;
        sameRight = sameRight && std::abs(lines[i].right() - lines[0].right()) < lastTolerance;
        sameCentre = sameCentre && std::abs(lines[i].center().x() - lines[0].center().x()) < lastTolerance;
        if (i < lines.size() - 1)
            fullButLast = fullButLast && std::abs(lines[i].right() - lines[0].right()) < tolerance;
    }
    const bool leftsDiffer = std::abs(lines[1].left() - lines[0].left()) >= tolerance || !sameBodyLeft;
    if (sameCentre && leftsDiffer)
        return Paragraph::Align::Center;
    if (leftsDiffer && !sameRight && displayed(lines, left, right))
        return Paragraph::Align::Center;
    // Ragged left edges against a common right one; a hanging indent is no
    // such raggedness, but two lines that start far into the column are (an
    // address set flush right).
    const bool farIn = std::min(lines[0].left(), lines[1].left()) - left > 0.3 * width;
    const bool raggedLeft =
        lines.size() >= 3 ? !sameBodyLeft : lines[1].left() - lines[0].left() > 0.25 * width || (leftsDiffer && farIn);
    if (sameRight && raggedLeft)
        return Paragraph::Align::Right;
    if (sameBodyLeft && fullButLast && lines.size() >= 3)
        return Paragraph::Align::Justify;
    if (sameBodyLeft && lines.size() == 2 && std::abs(lines[0].right() - right) < tolerance)
        return Paragraph::Align::Justify;
    return Paragraph::Align::Left;
}

QList<Paragraph> ParagraphBuilder::paragraphs(const QList<TextLines::Line> &lines, double left, double right,
                                              const QSet<QString> &vocabulary)
{
    QList<Paragraph> result;
    const double pitch = typicalPitch(lines);
    // Text that breaks words at its line ends is hyphenated again.
    const bool hyphenating = std::any_of(lines.cbegin(), lines.cend(), [](const Line &line) {
        return !line.words.isEmpty() && Hyphenation::endsBroken(line.words.last().text);
    });
    for (const QList<int> &group : Grouper(lines, left, right).groups())
        result.append(build(lines, group, left, right, pitch, vocabulary, hyphenating));
    return result;
}
