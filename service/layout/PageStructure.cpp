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

namespace {

double squeezedY(double y, double top, double factor)
{
    return y <= top ? y : top + (y - top) * factor;
}

// A paragraph starting above `top` stays as it is.
void squeeze(Paragraph &paragraph, double top, double factor)
{
    if (paragraph.top() < top)
        return;
    const double boxTop = squeezedY(paragraph.box.top(), top, factor);
    const double boxBottom = squeezedY(paragraph.box.bottom(), top, factor);
    paragraph.box = QRectF(paragraph.box.left(), boxTop, paragraph.box.width(), boxBottom - boxTop);
    paragraph.firstBaseline = squeezedY(paragraph.firstBaseline, top, factor);
    paragraph.lastBaseline = squeezedY(paragraph.lastBaseline, top, factor);
    paragraph.lineHeight *= factor;
}

} // namespace

StructuredPage StructuredPage::withTextSqueezed(double top, double factor) const
{
    StructuredPage squeezed = *this;
    for (Paragraph &paragraph : squeezed.paragraphs)
        squeeze(paragraph, top, factor);
    for (Table &table : squeezed.tables) {
        for (double &edge : table.rowEdges)
            edge = squeezedY(edge, top, factor);
        for (QList<TableCell> &row : table.cells) {
            for (TableCell &cell : row) {
                for (Paragraph &paragraph : cell.paragraphs)
                    squeeze(paragraph, top, factor);
            }
        }
    }
    for (Band &band : squeezed.bands) {
        band.top = squeezedY(band.top, top, factor);
        band.bottom = squeezedY(band.bottom, top, factor);
    }
    return squeezed;
}
