#include "layout/SheetBuilder.h"

#include <QRegularExpression>

QString SheetBuilder::cellValue(const QString &text)
{
    static const QRegularExpression grouped(QStringLiteral("^-?[1-9][0-9]{0,2}(,[0-9]{3})+(\\.[0-9]+)?$"));
    const QString trimmed = text.trimmed();
    if (grouped.match(trimmed).hasMatch())
        return QString(trimmed).remove(QLatin1Char(','));
    return trimmed;
}

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
        cells[qBound<qsizetype>(0, at, row.size() - 1)] = SheetBuilder::cellValue(texts.join(QLatin1Char('\n')));
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

QList<QStringList> rowsOf(const StructuredPage &page, bool fromRight)
{
    QList<QStringList> rows;
    for (const Band &band : page.bands) {
        for (const Column &column : band.columns) {
            for (const FlowItem &item : column.items) {
                if (item.kind == FlowItem::Kind::Paragraph) {
                    QStringList cells = page.paragraphs[item.index].text().split(QLatin1Char('\t'));
                    for (QString &cell : cells)
                        cell = SheetBuilder::cellValue(cell);
                    rows.append(cells);
                    continue;
                }
                for (const QList<TableCell> &row : page.tables[item.index].cells)
                    rows.append(tableRow(row, fromRight));
            }
        }
    }
    return rows;
}

} // namespace

QList<QStringList> SheetBuilder::rows(const StructuredPage &page)
{
    return rowsOf(page, mostlyRightToLeft(page));
}

QList<XlsxWriter::Sheet> SheetBuilder::sheets(const QList<StructuredPage> &pages)
{
    QList<XlsxWriter::Sheet> sheets;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const bool fromRight = mostlyRightToLeft(pages[i]);
        sheets.append({QStringLiteral("Page %1").arg(i + 1), rowsOf(pages[i], fromRight), fromRight});
    }
    if (sheets.isEmpty())
        sheets.append({QStringLiteral("Page 1"), {}});
    return sheets;
}
