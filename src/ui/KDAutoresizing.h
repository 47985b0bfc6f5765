#pragma once

#include <QFlags>
#include <QList>
#include <QPointer>
#include <QSize>

class QWidget;

// Springs and struts for subviews placed by hand: when the parent's size
// changes, each registered subview keeps its fixed margins and lets its
// flexible parts (margins or size) take up the change, shared equally among
// the flexible parts of an axis.
class KDAutoresizing final {
public:
    enum Flag {
        FlexibleLeftMargin = 0x01,
        FlexibleWidth = 0x02,
        FlexibleRightMargin = 0x04,
        FlexibleTopMargin = 0x08,
        FlexibleHeight = 0x10,
        FlexibleBottomMargin = 0x20,
    };
    Q_DECLARE_FLAGS(Mask, Flag)

    // Starts from the parent's current size.
    explicit KDAutoresizing(QWidget *parent);

    void setMask(QWidget *subview, Mask mask);
    // Applies the change of the parent's size since the last call.
    void resizeSubviews();

private:
    struct Entry {
        QPointer<QWidget> subview;
        Mask mask;
    };

    QPointer<QWidget> mParent;
    QSize mLastSize;
    QList<Entry> mEntries;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(KDAutoresizing::Mask)
