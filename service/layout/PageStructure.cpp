#include "layout/PageStructure.h"

namespace {

// Where a line's top and bottom sit around its baseline in a flowing layout
// with exact line heights.
constexpr double kAbove = 0.8;

} // namespace

QString Paragraph::text() const
{
    QString all;
    for (const TextRun &run : runs)
        all += run.text;
    return all;
}

double Paragraph::top() const
{
    return firstBaseline - kAbove * lineHeight;
}

double Paragraph::bottom() const
{
    return lastBaseline + (1 - kAbove) * lineHeight;
}

void Paragraph::setLineHeightKeepingTop(double height)
{
    const double shift = kAbove * (height - lineHeight);
    firstBaseline += shift;
    lastBaseline += shift;
    lineHeight = height;
}

QRectF Table::box() const
{
    if (columnEdges.size() < 2 || rowEdges.size() < 2)
        return {};
    return QRectF(QPointF(columnEdges.first(), rowEdges.first()), QPointF(columnEdges.last(), rowEdges.last()));
}

QList<const Paragraph *> StructuredPage::readingOrder() const
{
    QList<const Paragraph *> order;
    for (const Band &band : bands) {
        for (const Column &column : band.columns) {
            for (const FlowItem &item : column.items) {
                if (item.kind == FlowItem::Kind::Paragraph) {
                    order.append(&paragraphs[item.index]);
                    continue;
                }
                for (const QList<TableCell> &row : tables[item.index].cells) {
                    for (const TableCell &cell : row) {
                        for (const Paragraph &paragraph : cell.paragraphs)
                            order.append(&paragraph);
                    }
                }
            }
        }
    }
    return order;
}
