#include "frameworks/widgets/KDChildWindows.h"

#include <QMoveEvent>
#include <QWidget>

KDChildWindows::KDChildWindows(QWidget *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("KDChildWindows"));
    parent->installEventFilter(this);
}

KDChildWindows *KDChildWindows::trackerOf(const QWidget *parent)
{
    return parent ? parent->findChild<KDChildWindows *>(QStringLiteral("KDChildWindows"), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

void KDChildWindows::addChildWindow(QWidget *parent, QWidget *child)
{
    if (!parent || !child || parent == child)
        return;
    if (child->parentWidget() != parent || !(child->windowFlags() & Qt::Tool)) {
        const Qt::WindowFlags kept = child->windowFlags() & ~Qt::WindowType_Mask;
        child->setParent(parent, kept | Qt::Tool);
    }
    KDChildWindows *tracker = trackerOf(parent);
    if (!tracker)
        tracker = new KDChildWindows(parent);
    if (!tracker->mChildren.contains(child))
        tracker->mChildren.append(child);
}

void KDChildWindows::removeChildWindow(QWidget *parent, QWidget *child)
{
    if (KDChildWindows *tracker = trackerOf(parent))
        tracker->mChildren.removeAll(child);
}

QList<QWidget *> KDChildWindows::childWindows(const QWidget *parent)
{
    QList<QWidget *> children;
    if (const KDChildWindows *tracker = trackerOf(parent)) {
        for (const QPointer<QWidget> &child : tracker->mChildren) {
            if (child)
                children.append(child);
        }
    }
    return children;
}

bool KDChildWindows::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Move && watched == parent()) {
        const auto *move = static_cast<QMoveEvent *>(event);
        const QPoint delta = move->pos() - move->oldPos();
        mChildren.removeAll(nullptr);
        for (const QPointer<QWidget> &child : std::as_const(mChildren)) {
            if (child->parentWidget() == parent())
                child->move(child->pos() + delta);
        }
    }
    return QObject::eventFilter(watched, event);
}
