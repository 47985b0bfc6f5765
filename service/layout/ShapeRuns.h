#pragma once

#include "layout/PageStructure.h"

#include <QList>

// Shapes a page draws piece by piece joined into one shape each: a code
// listing's shading and its sides drawn a line of text at a time, a column
// of table cells filled one by one. A word processor lays out every
// anchored shape of a page against every other, so thousands of pieces
// make a document that takes minutes to open.
//
// Two fills of one colour that share their sides and touch or overlap end
// to end join, and so do two lines of one look on one axis that meet. The
// joined shape keeps the place in the paint order of the earlier piece,
// unless something painted between the two lies over the later one; then
// it keeps the later one's, unless something lies under the earlier one as
// well, and then they stay apart.
class ShapeRuns final {
public:
    static QList<Shape> joined(const QList<Shape> &shapes, const QList<Picture> &pictures);
};
