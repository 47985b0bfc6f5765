#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

// Child windows of a window: tool windows kept above their parent by the
// window manager (they are transient for it) that move along when the parent
// moves. One tracker per parent, owned by the parent.
class KDChildWindows final : public QObject {
    Q_OBJECT
public:
    // Makes child a tool window of parent, if it is not one already; call it
    // before the child is shown, since re-parenting a window hides it.
    static void addChildWindow(QWidget *parent, QWidget *child);
    static void removeChildWindow(QWidget *parent, QWidget *child);
    static QList<QWidget *> childWindows(const QWidget *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit KDChildWindows(QWidget *parent);
    static KDChildWindows *trackerOf(const QWidget *parent);

    QList<QPointer<QWidget>> mChildren;
};
