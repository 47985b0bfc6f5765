#pragma once

#include "layout/PageContent.h"
#include "layout/PageStructure.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QString>

// Text set along a page's side (a tear-off strip's phone number reading
// upwards, an axis title, a credit beside a picture). Its glyphs are read in
// the frame of the page turned so that they stand upright, where words and
// lines are found as on any page; each line, or each part of one that a wide
// gap parts, becomes a line of its own at its place on the page.
class TurnedText final {
public:
    // Where a point of a page of `size` lies once the page is turned `turn`
    // quarters clockwise: 1 sets text reading upwards upright, 3 text reading
    // downwards.
    static QPointF upright(const QPointF &point, int turn, const QSizeF &size);
    // Where a box of the turned page lies on the page.
    static QRectF onPage(const QRectF &box, int turn, const QSizeF &size);
    // The page's lines along its sides, those reading upwards first.
    static QList<SideLine> lines(const SourcePage &page, const QList<TextStyle> &styles,
                                 const QSet<QString> &vocabulary);
};
