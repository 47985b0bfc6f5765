#include "layout/PageAnalyzer.h"

#include "layout/AlignedTables.h"
#include "layout/ParagraphBuilder.h"
#include "layout/ReadingOrder.h"
#include "layout/RuledTables.h"
#include "layout/ShapeRuns.h"
#include "layout/TextLines.h"
#include "layout/TextMarking.h"
#include "layout/TextWords.h"
#include "layout/TurnedText.h"

#include <algorithm>
#include <limits>

namespace {

using Word = TextWords::Word;

constexpr int kMaxShapes = 400;
constexpr double kCropSlack = 0.5; // points an image may reach past what shows of it uncut
constexpr double kRuledStack = 5;  // lines between a table's rules
constexpr int kMaxApartRules = 2000;
constexpr double kFrameSlack = 5; // points between a frame's edge and its sides (rounded corners)

class Analysis {
public:
    Analysis(const SourcePage &page, const QList<TextStyle> &styles, const QSet<QString> &vocabulary)
        : mSource(page), mStyles(styles), mVocabulary(vocabulary)
    {
        mPage.size = page.size;
    }

    StructuredPage run();

private:
    static QHash<std::pair<int, int>, QList<Word>> wordsPerCell(const Table &table, const QList<Word> &words);
    void fillCells(Table &table, const QList<Word> &words) const;
    QList<FlowItem> flow(const QList<Word> &words, double left, double right);
    bool ruledApart(double bottom, const Word &below, const QSet<int> &usedRules) const;
    bool framed(double from, double to, double y) const;
    QRectF panelOf(const Word &word) const;
    void addPictures();
    QRectF shownPart(const ImagePlacement &image) const;
    static void cropTo(Picture &picture, const QRectF &shown);
    void addShapes(const QSet<int> &usedRules, const QSet<int> &usedFills);
    void bringShapesForward();

    const SourcePage &mSource;
    const QList<TextStyle> &mStyles;
    const QSet<QString> &mVocabulary;
    StructuredPage mPage;
    QList<Word> mWords;
};

QHash<std::pair<int, int>, QList<Word>> Analysis::wordsPerCell(const Table &table, const QList<Word> &words)
{
    QHash<std::pair<int, int>, QList<Word>> perCell;
    const QRectF inside = table.box().adjusted(0.01, 0.01, -0.01, -0.01);
    for (const Word &word : words) {
        // A word whose middle sits on a grid line still belongs to a cell.
        const QPointF centre(qBound(inside.left(), word.box.center().x(), inside.right()),
                             qBound(inside.top(), word.box.center().y(), inside.bottom()));
        perCell[RuledTables::cellAt(table, centre)].append(word);
    }
    return perCell;
}

void Analysis::fillCells(Table &table, const QList<Word> &words) const
{
    QHash<std::pair<int, int>, QList<Word>> perCell = wordsPerCell(table, words);
    RuledTables::CellLines cellLines;
    for (auto it = perCell.cbegin(); it != perCell.cend(); ++it) {
        for (const TextLines::Line &line : TextLines::lines(it.value(), mStyles)) {
            const bool hyphenated = line.words.last().text.endsWith(QLatin1Char('-'));
            cellLines[it.key()].append(
                {line.box.top(), line.baseline, line.box.bottom(), int(line.words.size()), hyphenated});
        }
    }
    if (RuledTables::splitRows(table, cellLines))
        perCell = wordsPerCell(table, words);
    RuledTables::CellWords cellWords;
    for (auto it = perCell.cbegin(); it != perCell.cend(); ++it) {
        for (const Word &word : it.value())
            cellWords[it.key()].append(word.box);
    }
    if (RuledTables::splitColumns(table, cellWords))
        perCell = wordsPerCell(table, words);
    for (auto it = perCell.cbegin(); it != perCell.cend(); ++it) {
        const auto [row, column] = it.key();
        if (row < 0)
            continue;
        const TableCell &cell = table.cells[row][column];
        const double left = table.columnEdges[column];
        const double right = table.columnEdges[qMin(column + qMax(1, cell.columnSpan), table.columns())];
        table.cells[row][column].paragraphs =
            ParagraphBuilder::paragraphs(TextLines::lines(it.value(), mStyles), left, right, mVocabulary);
    }
}

// Whether a horizontal rule of its own runs between the lines above (down
// to `bottom`) and the word, and opens what follows: a table's top rule
// under its caption, a rule under a heading. Text either side of it is
// never one paragraph or one table. A rule with a like one a few lines
// above it (a table's rule under its head row) is inside what that one
// opened.
bool Analysis::ruledApart(double bottom, const Word &below, const QSet<int> &usedRules) const
{
    // A page drawn of many thousands of rules (a hostile one) is not searched line by line.
    if (mSource.rules.size() > kMaxApartRules)
        return false;
    const auto extent = [](const Rule &rule) {
        return std::tuple(qMin(rule.from.x(), rule.to.x()), qMax(rule.from.x(), rule.to.x()),
                          (rule.from.y() + rule.to.y()) / 2);
    };
    const auto free = [&](qsizetype r) { return !usedRules.contains(int(r)) && mSource.rules[r].horizontal(); };
    for (qsizetype r = 0; r < mSource.rules.size(); ++r) {
        if (!free(r))
            continue;
        const auto [from, to, y] = extent(mSource.rules[r]);
        if (y <= bottom || y >= below.box.top() || from >= below.box.right() || to <= below.box.left() ||
            framed(from, to, y))
            continue;
        bool inside = false;
        for (qsizetype o = 0; o < mSource.rules.size() && !inside; ++o) {
            const auto [otherFrom, otherTo, otherY] = extent(mSource.rules[o]);
            inside = o != r && free(o) && std::abs(otherFrom - from) <= 1 && std::abs(otherTo - to) <= 1 &&
                     otherY < y && otherY > y - kRuledStack * below.box.height();
        }
        if (!inside)
            return true;
    }
    return false;
}

// Whether a vertical rule meets the horizontal one at `y` from `from` to
// `to` at an end: the edge of a frame (a listing's), whose text stays one
// flow with what is around it as before.
bool Analysis::framed(double from, double to, double y) const
{
    return std::any_of(mSource.rules.cbegin(), mSource.rules.cend(), [&](const Rule &rule) {
        const double x = (rule.from.x() + rule.to.x()) / 2;
        const double top = qMin(rule.from.y(), rule.to.y());
        const double bottom = qMax(rule.from.y(), rule.to.y());
        return !rule.horizontal() && (std::abs(x - from) <= kFrameSlack || std::abs(x - to) <= kFrameSlack) &&
               top <= y + kFrameSlack && bottom >= y - kFrameSlack;
    });
}

// The words of one block, in reading order, as paragraphs and tables of aligned columns.
QList<FlowItem> Analysis::flow(const QList<Word> &words, double left, double right)
{
    QList<FlowItem> items;
    const QList<TextLines::Line> lines = TextLines::lines(words, mStyles);
    for (const AlignedTables::Part &part : AlignedTables::split(lines)) {
        if (part.table) {
            Table table = *part.table;
            for (int r = 0; r < table.rows(); ++r) {
                for (int c = 0; c < table.columns(); ++c) {
                    // The cell's lines again from its own words: a row's face and size
                    // are those of most of its characters, which may all be in another
                    // cell (a column of code beside one of prose).
                    QList<Word> cellWords;
                    for (const TextLines::Line &line : part.cellLines.value({r, c}))
                        cellWords += line.words;
                    if (!cellWords.isEmpty())
                        table.cells[r][c].paragraphs =
                            ParagraphBuilder::paragraphs(TextLines::lines(cellWords, mStyles), table.columnEdges[c],
                                                         table.columnEdges[c + 1], mVocabulary);
                }
            }
            mPage.tables.append(table);
            items.append({FlowItem::Kind::Table, int(mPage.tables.size() - 1)});
            continue;
        }
        for (const Paragraph &paragraph : ParagraphBuilder::paragraphs(part.lines, left, right, mVocabulary)) {
            mPage.paragraphs.append(paragraph);
            items.append({FlowItem::Kind::Paragraph, int(mPage.paragraphs.size() - 1)});
        }
    }
    return items;
}

StructuredPage Analysis::run()
{
    mWords = TextWords::words(mSource.glyphs);
    mPage.links = mSource.links;
    for (Word &word : mWords) {
        for (qsizetype l = 0; l < mSource.links.size() && word.link < 0; ++l) {
            if (mSource.links[l].box.contains(word.box.center()))
                word.link = int(l);
        }
    }
    QList<RuledTables::Found> found = RuledTables::find(mSource.rules, mSource.fills);
    // A grid with no text in it is a drawing (a chart's, or one of symbols), not a table.
    found.removeIf([this](const RuledTables::Found &each) {
        const QRectF box = each.table.box();
        return std::none_of(mWords.cbegin(), mWords.cend(),
                            [&box](const Word &word) { return box.contains(word.box.center()); });
    });
    TextMarking::Used used;
    for (const RuledTables::Found &each : found) {
        used.rules += each.rules;
        used.fills += each.fills;
    }
    const TextMarking::Used marks = TextMarking::mark(mWords, mSource.rules, mSource.fills, used);
    used.rules += marks.rules;
    used.fills += marks.fills;
    QList<Table> ruled;
    QList<bool> inTable(mWords.size(), false);
    for (const RuledTables::Found &each : found) {
        Table table = each.table;
        const QRectF box = table.box();
        QList<Word> cellWords;
        for (qsizetype w = 0; w < mWords.size(); ++w) {
            if (!inTable[w] && box.contains(mWords[w].box.center())) {
                inTable[w] = true;
                cellWords.append(mWords[w]);
            }
        }
        fillCells(table, cellWords);
        ruled.append(table);
    }
    QList<ReadingOrder::Item> items;
    QList<int> wordOf; // item -> word index, or -1 - table index
    double textLeft = mPage.size.width();
    double textRight = 0;
    for (qsizetype w = 0; w < mWords.size(); ++w) {
        textLeft = qMin(textLeft, mWords[w].box.left());
        textRight = qMax(textRight, mWords[w].box.right());
        if (inTable[w])
            continue;
        items.append({mWords[w].box, mWords[w].row, panelOf(mWords[w])});
        wordOf.append(int(w));
    }
    for (qsizetype t = 0; t < ruled.size(); ++t) {
        items.append({ruled[t].box(), -1});
        wordOf.append(-1 - int(t));
        textLeft = qMin(textLeft, ruled[t].box().left());
        textRight = qMax(textRight, ruled[t].box().right());
    }
    QList<ReadingOrder::Divider> dividers;
    for (const Rule &rule : mSource.rules) {
        if (!rule.horizontal())
            dividers.append({(rule.from.x() + rule.to.x()) / 2, qMin(rule.from.y(), rule.to.y()),
                             qMax(rule.from.y(), rule.to.y())});
    }
    for (const ReadingOrder::Band &band : ReadingOrder::bands(items, dividers)) {
        Band out{band.top, band.bottom, {}};
        for (qsizetype c = 0; c < band.columns.size(); ++c) {
            const ReadingOrder::Column &column = band.columns[c];
            Column placed;
            placed.left = c == 0 ? qMin(textLeft, column.left) : column.left;
            placed.right = c + 1 == band.columns.size() ? qMax(textRight, column.right) : column.right;
            for (QList<int> leaf : column.leaves) {
                std::sort(leaf.begin(), leaf.end(),
                          [&items](int a, int b) { return items[a].box.top() < items[b].box.top(); });
                QList<Word> pending;
                double pendingBottom = 0;
                const auto flush = [&] {
                    if (!pending.isEmpty())
                        placed.items += flow(pending, placed.left, placed.right);
                    pending.clear();
                    pendingBottom = 0;
                };
                for (const int item : std::as_const(leaf)) {
                    if (wordOf[item] >= 0) {
                        const Word &word = mWords[wordOf[item]];
                        if (!pending.isEmpty() && word.box.top() > pendingBottom &&
                            ruledApart(pendingBottom, word, used.rules))
                            flush();
                        pending.append(word);
                        pendingBottom = qMax(pendingBottom, word.box.bottom());
                        continue;
                    }
                    flush();
                    mPage.tables.append(ruled[-1 - wordOf[item]]);
                    placed.items.append({FlowItem::Kind::Table, int(mPage.tables.size() - 1)});
                }
                flush();
            }
            out.columns.append(placed);
        }
        mPage.bands.append(out);
    }
    mPage.sideLines = TurnedText::lines(mSource, mStyles, mVocabulary);
    addPictures();
    addShapes(used.rules, used.fills);
    bringShapesForward();
    return mPage;
}

// The smallest shaded box or figure rendered from drawings that the word
// stands in; null for none.
QRectF Analysis::panelOf(const Word &word) const
{
    const QPointF centre = word.box.center();
    QRectF panel;
    double least = std::numeric_limits<double>::infinity();
    const auto consider = [&](const QRectF &box) {
        const double area = box.width() * box.height();
        if (box.contains(centre) && area < least) {
            least = area;
            panel = box;
        }
    };
    for (const FilledBox &fill : mSource.fills)
        consider(fill.box);
    for (const ImagePlacement &image : mSource.images) {
        if (image.order < 0 && !image.scan)
            consider(image.box);
    }
    return panel;
}

// What shows of an image: the part on the page and inside the clip it is drawn through.
QRectF Analysis::shownPart(const ImagePlacement &image) const
{
    QRectF shown = image.box.intersected(QRectF(QPointF(0, 0), mPage.size));
    if (!image.clip.isNull())
        shown = shown.intersected(image.clip);
    return shown;
}

// Cuts an upright picture down to the part of it that shows.
void Analysis::cropTo(Picture &picture, const QRectF &shown)
{
    const QRectF &box = picture.box;
    const bool whole = shown.width() >= box.width() - kCropSlack && shown.height() >= box.height() - kCropSlack;
    if (whole || box.width() <= 0 || box.height() <= 0)
        return;
    picture.crop =
        QMarginsF((shown.left() - box.left()) / box.width(), (shown.top() - box.top()) / box.height(),
                  (box.right() - shown.right()) / box.width(), (box.bottom() - shown.bottom()) / box.height());
    picture.box = shown;
    picture.frame = shown.size();
}

void Analysis::addPictures()
{
    const double pageArea = mPage.size.width() * mPage.size.height();
    for (const ImagePlacement &image : mSource.images) {
        if (image.file.isEmpty())
            continue;
        Picture picture{image.box, image.frame, image.rotation, image.flip, image.file, image.key, false};
        picture.order = image.order;
        const QRectF visible = shownPart(image);
        if (visible.isEmpty())
            continue;
        if (image.rotation == 0 && !image.flip)
            cropTo(picture, visible);
        picture.behindText = visible.width() * visible.height() > 0.4 * pageArea;
        for (qsizetype w = 0; w < mWords.size() && !picture.behindText; ++w)
            picture.behindText = image.box.contains(mWords[w].box.center());
        mPage.pictures.append(picture);
    }
}

void Analysis::addShapes(const QSet<int> &usedRules, const QSet<int> &usedFills)
{
    // Each keeps its place in the page's paint order, which the writer follows.
    QList<Shape> shapes;
    for (const Shade &shade : mSource.shades) {
        const bool white = (shade.start & shade.end) == 0xffffff;
        if (shade.known && !white) {
            shapes.append({shade.box, shade.start, true, shade.vertical, shade.end});
            shapes.last().order = shade.order;
        }
    }
    for (int f = 0; f < mSource.fills.size(); ++f) {
        if (!usedFills.contains(f)) {
            shapes.append({mSource.fills[f].box, mSource.fills[f].color});
            shapes.last().order = mSource.fills[f].order;
            shapes.last().opacity = mSource.fills[f].opacity;
        }
    }
    for (int r = 0; r < mSource.rules.size(); ++r) {
        if (usedRules.contains(r))
            continue;
        const Rule &rule = mSource.rules[r];
        if (rule.stroked) {
            // A line stays a line: a renderer draws it at least a device pixel wide, as it did the source's.
            Shape line{QRectF(rule.from, rule.to).normalized(), rule.color};
            line.lineWidth = qMax(0.1, rule.width);
            line.hairline = rule.hairline;
            line.dash = rule.dash;
            shapes.append(line);
        } else {
            shapes.append({rule.box(), rule.color});
        }
        shapes.last().order = rule.order;
        shapes.last().opacity = rule.opacity;
    }
    // Shapes wholly off the page (a drawing a slide keeps past its edge)
    // show nothing, and an office program can lose itself laying them out.
    const QRectF page(QPointF(0, 0), mPage.size);
    shapes.removeIf([&page](const Shape &shape) {
        const double reach = qMax(0.5, shape.lineWidth / 2);
        return !shape.box.adjusted(-reach, -reach, reach, reach).intersects(page);
    });
    mPage.shapes = ShapeRuns::joined(shapes, mPage.pictures).mid(0, kMaxShapes);
}

// A shape drawn over a picture that stands in front of the text (a frame
// round a photograph) goes in front as well, where it covers no text.
void Analysis::bringShapesForward()
{
    for (Shape &shape : mPage.shapes) {
        const double half = shape.lineWidth / 2;
        const QRectF box = shape.box.adjusted(-half, -half, half, half);
        const bool over = shape.order >= 0 &&
                          std::any_of(mPage.pictures.cbegin(), mPage.pictures.cend(), [&](const Picture &picture) {
                              return !picture.behindText && picture.order >= 0 && picture.order < shape.order &&
                                     picture.box.intersects(box);
                          });
        shape.inFront = over && std::none_of(mWords.cbegin(), mWords.cend(), [&box](const TextWords::Word &word) {
                            return box.contains(word.box.center());
                        });
    }
}

} // namespace

StructuredPage PageAnalyzer::analyze(const SourcePage &page, const QList<TextStyle> &styles,
                                     const QSet<QString> &vocabulary)
{
    return Analysis(page, styles, vocabulary).run();
}
