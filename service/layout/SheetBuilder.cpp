#include "layout/SheetBuilder.h"

#include "formats/CellDate.h"
#include "formats/CellNumber.h"
#include "layout/DocumentAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// Points of the text a sheet shows in its own font.
constexpr double kSheetTextSize = 11;
// A heading keeps its size on the sheet where it is this much larger than the body.
constexpr double kLargerHeading = 1.2;

// A table row's cell texts from its first column on: from the left, or from
// the right on a right-to-left sheet. A merged cell's text goes in the
// first cell it covers in that order.
QStringList tableRow(const QList<TableCell> &row, bool fromRight)
{
    QStringList cells(row.size());
    for (qsizetype c = 0; c < row.size(); ++c) {
        const TableCell &cell = row[c];
        if (cell.rowSpan == 0 || cell.columnSpan == 0)
            continue;
        QStringList texts;
        for (const Paragraph &paragraph : cell.paragraphs)
            texts.append(paragraph.text());
        const qsizetype at = fromRight ? row.size() - c - cell.columnSpan : c;
        cells[qBound<qsizetype>(0, at, row.size() - 1)] = texts.join(QLatin1Char('\n'));
    }
    return cells;
}

// Whether most of the page's text is set from right to left.
bool mostlyRightToLeft(const StructuredPage &page)
{
    qsizetype rightToLeft = 0;
    qsizetype all = 0;
    const auto count = [&](const Paragraph &paragraph) {
        const qsizetype length = paragraph.text().size();
        all += length;
        rightToLeft += paragraph.rightToLeft ? length : 0;
    };
    for (const Paragraph &paragraph : page.paragraphs)
        count(paragraph);
    for (const Table &table : page.tables) {
        for (const QList<TableCell> &row : table.cells) {
            for (const TableCell &cell : row) {
                for (const Paragraph &paragraph : cell.paragraphs)
                    count(paragraph);
            }
        }
    }
    return rightToLeft * 2 > all;
}

// Relative luminance, 0 for black to 1 for white, as contrast is judged.
double luminance(Rgb color)
{
    double sum = 0;
    const double weights[] = {0.2126, 0.7152, 0.0722};
    for (int channel = 0; channel < 3; ++channel) {
        const double value = double((color >> (16 - 8 * channel)) & 0xFF) / 255;
        sum += weights[channel] * (value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4));
    }
    return sum;
}

// Whether text of one colour can be read on the other. White text stood on
// a picture or a page background the sheet does not have.
bool readable(Rgb text, Rgb background)
{
    const double lighter = qMax(luminance(text), luminance(background));
    const double darker = qMin(luminance(text), luminance(background));
    return (lighter + 0.05) / (darker + 0.05) >= 2.5;
}

// How paragraphs look in a cell: bold where every letter is (a heading's
// are shown bold), in the colour every letter shares.
XlsxWriter::Look lookOf(const QList<Paragraph> &paragraphs, const QList<TextStyle> &styles)
{
    XlsxWriter::Look look;
    bool bold = true;
    bool first = true;
    bool oneColor = true;
    for (const Paragraph &paragraph : paragraphs) {
        for (const TextRun &run : paragraph.runs) {
            if (run.text.trimmed().isEmpty())
                continue;
            const TextStyle style = styles.value(run.style);
            bold = bold && (style.bold || paragraph.headingLevel > 0);
            oneColor = oneColor && (first || style.color == look.color);
            look.color = style.color;
            first = false;
        }
    }
    look.bold = bold && !first;
    look.color = oneColor ? look.color : 0;
    return look;
}

// A cell's text set flush right or centred stays so (numbers are flush
// right anyway). Cells keep their text off the rules, so the text's gaps to
// the cell's sides tell, more than its alignment within them.
QRectF textBoxOf(const QList<Paragraph> &paragraphs)
{
    QRectF box;
    for (const Paragraph &paragraph : paragraphs)
        box = box.isNull() ? paragraph.box : box.united(paragraph.box);
    return box;
}

XlsxWriter::Look::Align alignOf(const QList<Paragraph> &paragraphs, double left, double right)
{
    using Align = XlsxWriter::Look::Align;
    if (paragraphs.isEmpty())
        return Align::General;
    const QRectF text = textBoxOf(paragraphs);
    const double before = text.left() - left;
    const double after = right - text.right();
    const double size = paragraphs.first().lineHeight;
    if (before < -1 || after < -1) // text reaching past its cell tells nothing
        return Align::General;
    if (before > 2 * after + 0.5 * size)
        return Align::Right;
    if (before > 0.5 * size && std::abs(before - after) < 0.2 * size)
        return Align::Center;
    return Align::General;
}

// Where the cells of a column of aligned text end when it is set flush
// right, as amounts are with their heading, or start when it is set flush
// left: most of its cells, three or more, meet within a point of one place
// on that side, and they reach several places on the other.
std::optional<double> flushEdge(const Table &table, int column, Qt::Edge side)
{
    const auto edge = [side](const QRectF &box) { return side == Qt::RightEdge ? box.right() : box.left(); };
    const auto other = [side](const QRectF &box) { return side == Qt::RightEdge ? box.left() : box.right(); };
    QList<QRectF> boxes;
    for (const QList<TableCell> &row : table.cells) {
        const TableCell &cell = row[column];
        if (cell.rowSpan == 1 && cell.columnSpan == 1 && !cell.paragraphs.isEmpty())
            boxes.append(textBoxOf(cell.paragraphs));
    }
    if (boxes.size() < 3)
        return std::nullopt;
    std::sort(boxes.begin(), boxes.end(), [&edge](const QRectF &a, const QRectF &b) { return edge(a) < edge(b); });
    const double at = edge(boxes[boxes.size() / 2]);
    double first = std::numeric_limits<double>::max();
    double last = std::numeric_limits<double>::lowest();
    qsizetype meeting = 0;
    for (const QRectF &box : std::as_const(boxes)) {
        if (std::abs(edge(box) - at) > 1)
            continue;
        ++meeting;
        first = qMin(first, other(box));
        last = qMax(last, other(box));
    }
    if (meeting < 3 || meeting < 0.8 * double(boxes.size()) || last - first <= 1)
        return std::nullopt;
    return at;
}

// Whether a cell shows a number or a date, which a sheet sets flush right
// unless told otherwise (words it sets flush left anyway).
bool isValue(const QList<Paragraph> &paragraphs)
{
    QStringList lines;
    for (const Paragraph &paragraph : paragraphs)
        lines << paragraph.text();
    const QString text = lines.join(QLatin1Char(' ')).trimmed();
    return CellNumber::read(text) || CellDate::read(text, CellDate::Order::DayFirst) ||
           CellDate::read(text, CellDate::Order::MonthFirst);
}

// How a cell of a table of aligned columns stands in its column: flush
// right with amounts, or flush left where numbers or dates were set so.
XlsxWriter::Look::Align columnAlign(const TableCell &cell, std::optional<double> right, std::optional<double> left)
{
    if (cell.columnSpan != 1 || cell.paragraphs.isEmpty())
        return XlsxWriter::Look::Align::General;
    const QRectF text = textBoxOf(cell.paragraphs);
    if (right && std::abs(text.right() - *right) <= 1)
        return XlsxWriter::Look::Align::Right;
    if (left && std::abs(text.left() - *left) <= 1 && isValue(cell.paragraphs))
        return XlsxWriter::Look::Align::Left;
    return XlsxWriter::Look::Align::General;
}

// Where paragraphs lead when every letter of them is of one link: an
// address, or "#N" for the sheet of page N; empty otherwise.
QString linkOf(const QList<Paragraph> &paragraphs, const QList<PageLink> &links)
{
    int link = -1;
    for (const Paragraph &paragraph : paragraphs) {
        for (const TextRun &run : paragraph.runs) {
            if (run.text.trimmed().isEmpty())
                continue;
            if (run.link < 0 || (link >= 0 && run.link != link))
                return {};
            link = run.link;
        }
    }
    if (link < 0 || link >= links.size())
        return {};
    const PageLink &target = links[link];
    if (!target.url.isEmpty())
        return target.url;
    return target.page >= 0 ? QStringLiteral("#%1").arg(target.page) : QString();
}

// The sides of a ruled table's cell that have a rule, as the sheet shows
// them: mirrored where the sheet is shown from the right.
quint8 ruledSides(const Table &table, int row, int column, int end, bool rightToLeft)
{
    using Look = XlsxWriter::Look;
    const int bottom = row + qMax(1, table.cells[row][column].rowSpan);
    const Look::Side left = rightToLeft ? Look::Right : Look::Left;
    const Look::Side right = rightToLeft ? Look::Left : Look::Right;
    const std::pair<bool, Look::Side> open[] = {{table.openRowEdges.contains(row), Look::Top},
                                                {table.openRowEdges.contains(bottom), Look::Bottom},
                                                {table.openColumnEdges.contains(column), left},
                                                {table.openColumnEdges.contains(end), right}};
    quint8 sides = Look::AllSides;
    for (const auto &[isOpen, side] : open)
        sides &= isOpen ? quint8(~side) : quint8(Look::AllSides);
    return sides;
}

// A table's merged cells and looks on the sheet, whose rows so far number `top`.
void markTableCells(const Table &table, const QList<TextStyle> &styles, const QList<PageLink> &links,
                    XlsxWriter::Sheet &sheet)
{
    const int top = int(sheet.rows.size());
    QList<std::optional<double>> flushRight;
    QList<std::optional<double>> flushLeft;
    for (int c = 0; c < table.columns() && !table.ruled; ++c) {
        flushRight.append(flushEdge(table, c, Qt::RightEdge));
        flushLeft.append(flushEdge(table, c, Qt::LeftEdge));
    }
    for (qsizetype r = 0; r < table.cells.size(); ++r) {
        const QList<TableCell> &row = table.cells[r];
        for (qsizetype c = 0; c < row.size(); ++c) {
            const TableCell &cell = row[c];
            if (cell.rowSpan < 1 || cell.columnSpan < 1)
                continue;
            const int at = int(qMax<qsizetype>(0, sheet.rightToLeft ? row.size() - c - cell.columnSpan : c));
            if (cell.rowSpan * cell.columnSpan > 1)
                sheet.merged.append({top + int(r), at, cell.rowSpan, cell.columnSpan});
            XlsxWriter::Look look = lookOf(cell.paragraphs, styles);
            look.filled = cell.filled;
            look.fill = cell.filled ? cell.fill : look.fill;
            look.color = readable(look.color, look.fill) ? look.color : 0;
            const int end = int(qMin<qsizetype>(c + cell.columnSpan, table.columnEdges.size() - 1));
            look.borders = table.ruled ? ruledSides(table, int(r), int(c), end, sheet.rightToLeft) : 0;
            look.borderColor = table.ruleColor;
            // A table of aligned columns has no sides to its cells, only the
            // gaps between them: its columns tell instead.
            look.align = table.ruled
                             ? alignOf(cell.paragraphs, table.columnEdges.value(c), table.columnEdges.value(end))
                             : columnAlign(cell, flushRight.value(c), flushLeft.value(c));
            look.top = true;
            sheet.looks.insert({top + int(r), at}, look);
            if (const QString link = linkOf(cell.paragraphs, links); !link.isEmpty())
                sheet.links.insert({top + int(r), at}, link);
        }
    }
}

// A table of aligned columns with the fills that lie behind it (a header's
// band, stripes on every other row) shading its cells: the sheet has no
// drawings to show them by. A fill shades a cell whose middle it covers,
// along with half of the cell or more; the last one painted counts. Fills
// reaching further than a row past the table (a page's background) do not.
Table shadedByFills(const Table &aligned, const QList<Shape> &shapes)
{
    Table table = aligned;
    if (table.rows() < 1)
        return table;
    const double row = table.box().height() / table.rows();
    const QRectF reach = table.box().adjusted(-row, -row, row, row);
    QList<const Shape *> fills;
    for (const Shape &shape : shapes) {
        if (shape.lineWidth <= 0 && !shape.gradient && shape.opacity > 0 && reach.contains(shape.box))
            fills.append(&shape);
    }
    std::stable_sort(fills.begin(), fills.end(), [](const Shape *a, const Shape *b) { return a->order < b->order; });
    for (int r = 0; r < table.rows(); ++r) {
        for (int c = 0; c < table.columns(); ++c) {
            const QRectF cell(QPointF(table.columnEdges[c], table.rowEdges[r]),
                              QPointF(table.columnEdges[c + 1], table.rowEdges[r + 1]));
            for (const Shape *fill : std::as_const(fills)) {
                const QRectF common = fill->box.intersected(cell);
                if (!fill->box.contains(cell.center()) ||
                    common.width() * common.height() < 0.5 * cell.width() * cell.height())
                    continue;
                const Rgb seen = seenOverWhite(fill->color, fill->opacity);
                table.cells[r][c].filled = seen != 0xFFFFFF;
                table.cells[r][c].fill = seen;
            }
        }
    }
    return table;
}

// Where a table stands on the sheet, and the widths its columns had.
void addTableArea(const Table &table, XlsxWriter::Sheet &sheet)
{
    XlsxWriter::TableArea area{{int(sheet.rows.size()), 0, table.rows(), table.columns()}, {}};
    for (int c = 0; c < table.columns(); ++c)
        area.columnPoints.append(table.columnEdges[c + 1] - table.columnEdges[c]);
    if (sheet.rightToLeft)
        std::reverse(area.columnPoints.begin(), area.columnPoints.end());
    sheet.tables.append(area);
}

// A heading's size on the sheet: as much larger than the sheet's own text as
// it was than the page's body; 0 for other text, or a heading hardly larger.
double headingSize(const Paragraph &paragraph, const QList<TextStyle> &styles, double body)
{
    if (paragraph.headingLevel == 0 || body <= 0)
        return 0;
    double size = 0;
    for (const TextRun &run : paragraph.runs)
        size = qMax(size, styles.value(run.style).size);
    const double scale = size / body;
    return scale >= kLargerHeading ? std::round(kSheetTextSize * scale * 2) / 2 : 0;
}

void addParagraph(const StructuredPage &page, const Paragraph &paragraph, const QList<TextStyle> &styles, double body,
                  XlsxWriter::Sheet &sheet)
{
    const QStringList cells = paragraph.text().split(QLatin1Char('\t'));
    // A link over the whole of a paragraph of one cell leads from that cell.
    if (const QString link = linkOf({paragraph}, page.links); cells.size() == 1 && !link.isEmpty())
        sheet.links.insert({int(sheet.rows.size()), 0}, link);
    XlsxWriter::Look look = lookOf({paragraph}, styles);
    look.size = headingSize(paragraph, styles, body);
    look.color = readable(look.color, look.fill) ? look.color : 0;
    if (look != XlsxWriter::Look()) {
        for (qsizetype c = 0; c < cells.size(); ++c)
            sheet.looks.insert({int(sheet.rows.size()), int(c)}, look);
    }
    sheet.rows.append(cells);
}

XlsxWriter::Sheet sheetOf(const StructuredPage &page, const QList<TextStyle> &styles, const QString &name)
{
    const double body = DocumentAnalyzer::bodySize({page}, styles);
    XlsxWriter::Sheet sheet{name, {}, mostlyRightToLeft(page)};
    sheet.paper = page.size;
    for (const Band &band : page.bands) {
        for (const Column &column : band.columns) {
            for (const FlowItem &item : column.items) {
                if (item.kind == FlowItem::Kind::Paragraph) {
                    addParagraph(page, page.paragraphs[item.index], styles, body, sheet);
                    continue;
                }
                const Table &found = page.tables[item.index];
                const Table table = found.ruled ? found : shadedByFills(found, page.shapes);
                addTableArea(table, sheet);
                markTableCells(table, styles, page.links, sheet);
                for (const QList<TableCell> &row : table.cells)
                    sheet.rows.append(tableRow(row, sheet.rightToLeft));
            }
        }
    }
    return sheet;
}

} // namespace

QList<XlsxWriter::Sheet> SheetBuilder::sheets(const QList<StructuredPage> &pages, const QList<TextStyle> &styles)
{
    QList<XlsxWriter::Sheet> sheets;
    for (qsizetype i = 0; i < pages.size(); ++i)
        sheets.append(sheetOf(pages[i], styles, QStringLiteral("Page %1").arg(i + 1)));
    if (sheets.isEmpty())
        sheets.append({QStringLiteral("Page 1"), {}});
    return sheets;
}
