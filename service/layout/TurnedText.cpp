#include "layout/TurnedText.h"

#include "layout/ParagraphBuilder.h"
#include "layout/TextLines.h"
#include "layout/TextWords.h"

QPointF TurnedText::upright(const QPointF &point, int turn, const QSizeF &size)
{
    return turn == 1 ? QPointF(size.height() - point.y(), point.x()) : QPointF(point.y(), size.width() - point.x());
}

QRectF TurnedText::onPage(const QRectF &box, int turn, const QSizeF &size)
{
    if (turn == 1)
        return QRectF(box.top(), size.height() - box.right(), box.height(), box.width());
    return QRectF(size.width() - box.bottom(), box.left(), box.height(), box.width());
}

QList<SideLine> TurnedText::lines(const SourcePage &page, const QList<TextStyle> &styles,
                                  const QSet<QString> &vocabulary)
{
    QList<SideLine> result;
    for (const int turn : {1, 3}) {
        if (page.sideGlyphs[turn].isEmpty())
            continue;
        for (const TextLines::Line &line : TextLines::lines(TextWords::words(page.sideGlyphs[turn]), styles)) {
            for (int s = 0; s < line.segments(); ++s) {
                const QList<TextLines::Line> part = TextLines::lines(line.segmentWords(s), styles);
                const QRectF box = line.segmentBox(s);
                for (const Paragraph &paragraph :
                     ParagraphBuilder::paragraphs(part, box.left(), box.right(), vocabulary))
                    result.append({onPage(box, turn, page.size), turn == 1, paragraph});
            }
        }
    }
    return result;
}
