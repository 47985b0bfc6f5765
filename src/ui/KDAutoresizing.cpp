#include "ui/KDAutoresizing.h"

#include <QWidget>

namespace {

struct Span {
    int origin;
    int size;
};

// The change shared among the flexible parts of one axis: leading margin,
// size, trailing margin (the trailing margin only absorbs its share).
Span resizedSpan(Span span, int delta, bool leading, bool size, bool trailing)
{
    const int parts = int(leading) + int(size) + int(trailing);
    if (parts == 0 || delta == 0)
        return span;
    const int share = delta / parts;
    // Whatever does not divide evenly goes to the size, or else to the leading margin.
    const int rest = delta - share * parts;
    if (leading)
        span.origin += share + (size ? 0 : rest);
    if (size)
        span.size += share + rest;
    return span;
}

} // namespace

KDAutoresizing::KDAutoresizing(QWidget *parent) : mParent(parent), mLastSize(parent->size())
{
}

void KDAutoresizing::setMask(QWidget *subview, Mask mask)
{
    for (Entry &entry : mEntries) {
        if (entry.subview == subview) {
            entry.mask = mask;
            return;
        }
    }
    mEntries.append({subview, mask});
}

void KDAutoresizing::resizeSubviews()
{
    if (!mParent)
        return;
    const QSize size = mParent->size();
    const int dx = size.width() - mLastSize.width();
    const int dy = size.height() - mLastSize.height();
    mLastSize = size;
    if (dx == 0 && dy == 0)
        return;
    for (const Entry &entry : std::as_const(mEntries)) {
        if (!entry.subview)
            continue;
        const QRect frame = entry.subview->geometry();
        const Mask mask = entry.mask;
        const Span x = resizedSpan({frame.x(), frame.width()}, dx, mask & FlexibleLeftMargin, mask & FlexibleWidth,
                                   mask & FlexibleRightMargin);
        const Span y = resizedSpan({frame.y(), frame.height()}, dy, mask & FlexibleTopMargin, mask & FlexibleHeight,
                                   mask & FlexibleBottomMargin);
        entry.subview->setGeometry(x.origin, y.origin, x.size, y.size);
    }
}
