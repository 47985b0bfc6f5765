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

QList<QStringList> SheetBuilder::rows(const StructuredPage &page)
{
    QList<QStringList> rows;
    for (const Band &band : page.bands) {
        for (const Column &column : band.columns) {
            for (const FlowItem &item : column.items) {
                if (item.kind == FlowItem::Kind::Paragraph) {
                    QStringList cells = page.paragraphs[item.index].text().split(QLatin1Char('\t'));
                    for (QString &cell : cells)
                        cell = cellValue(cell);
                    rows.append(cells);
                    continue;
                }
                for (const QList<TableCell> &tableRow : page.tables[item.index].cells) {
                    QStringList cells;
                    for (const TableCell &cell : tableRow) {
                        QStringList texts;
                        if (cell.rowSpan != 0 && cell.columnSpan != 0) {
                            for (const Paragraph &paragraph : cell.paragraphs)
                                texts.append(paragraph.text());
                        }
                        cells.append(cellValue(texts.join(QLatin1Char('\n'))));
                    }
                    rows.append(cells);
                }
            }
        }
    }
    return rows;
}

QList<XlsxWriter::Sheet> SheetBuilder::sheets(const QList<StructuredPage> &pages)
{
    QList<XlsxWriter::Sheet> sheets;
    for (qsizetype i = 0; i < pages.size(); ++i)
        sheets.append({QStringLiteral("Page %1").arg(i + 1), rows(pages[i])});
    if (sheets.isEmpty())
        sheets.append({QStringLiteral("Page 1"), {}});
    return sheets;
}
