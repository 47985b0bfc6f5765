#include "layout/SheetBuilder.h"

namespace {

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

// Whether every letter of the paragraphs is set in bold (a heading's are shown bold).
bool allBold(const QList<Paragraph> &paragraphs, const QList<TextStyle> &styles)
{
    bool any = false;
    for (const Paragraph &paragraph : paragraphs) {
        for (const TextRun &run : paragraph.runs) {
            if (run.text.trimmed().isEmpty())
                continue;
            if (!styles.value(run.style).bold && paragraph.headingLevel == 0)
                return false;
            any = true;
        }
    }
    return any;
}

// A table's merged and bold cells on the sheet, whose rows so far number `top`.
void markTableCells(const Table &table, const QList<TextStyle> &styles, XlsxWriter::Sheet &sheet)
{
    const int top = int(sheet.rows.size());
    for (qsizetype r = 0; r < table.cells.size(); ++r) {
        const QList<TableCell> &row = table.cells[r];
        for (qsizetype c = 0; c < row.size(); ++c) {
            const TableCell &cell = row[c];
            if (cell.rowSpan < 1 || cell.columnSpan < 1)
                continue;
            const int at = int(qMax<qsizetype>(0, sheet.rightToLeft ? row.size() - c - cell.columnSpan : c));
            if (cell.rowSpan * cell.columnSpan > 1)
                sheet.merged.append({top + int(r), at, cell.rowSpan, cell.columnSpan});
            if (allBold(cell.paragraphs, styles))
                sheet.bold.append({top + int(r), at});
        }
    }
}

void addParagraph(const Paragraph &paragraph, const QList<TextStyle> &styles, XlsxWriter::Sheet &sheet)
{
    const QStringList cells = paragraph.text().split(QLatin1Char('\t'));
    if (allBold({paragraph}, styles)) {
        for (qsizetype c = 0; c < cells.size(); ++c)
            sheet.bold.append({int(sheet.rows.size()), int(c)});
    }
    sheet.rows.append(cells);
}

XlsxWriter::Sheet sheetOf(const StructuredPage &page, const QList<TextStyle> &styles, const QString &name)
{
    XlsxWriter::Sheet sheet{name, {}, mostlyRightToLeft(page)};
    for (const Band &band : page.bands) {
        for (const Column &column : band.columns) {
            for (const FlowItem &item : column.items) {
                if (item.kind == FlowItem::Kind::Paragraph) {
                    addParagraph(page.paragraphs[item.index], styles, sheet);
                    continue;
                }
                const Table &table = page.tables[item.index];
                markTableCells(table, styles, sheet);
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
