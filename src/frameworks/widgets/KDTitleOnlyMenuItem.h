#pragma once

#include "frameworks/widgets/KDMenuItem.h"

#include <QByteArray>
#include <QPointer>
#include <QString>

// A menu row with a title and an optional selected mark. Choosing it emits
// triggered() and sends its action to its target with the item as sender.
class KDTitleOnlyMenuItem : public KDMenuItem {
    Q_OBJECT
public:
    explicit KDTitleOnlyMenuItem(const QString &title = {}, QObject *parent = nullptr);

    QString title() const { return mTitle; }
    void setTitle(const QString &title);
    bool isSelected() const { return mIsSelected; }
    void setIsSelected(bool selected);
    QObject *target() const { return mTarget; }
    void setTarget(QObject *target);
    QByteArray action() const { return mAction; }
    // The name of an invokable method of the target, e.g. "actionForAbout".
    void setAction(const QByteArray &action);

    bool isSelectable() const override { return true; }
    qreal heightInMenu(const KDMenu &menu) const override;
    qreal widthInMenu(const KDMenu &menu) const override;
    void paint(QPainter &painter, const QRectF &rect, const KDMenu &menu, bool hovered) const override;
    void trigger() override;

signals:
    void triggered(KDTitleOnlyMenuItem *item);

private:
    QString mTitle;
    bool mIsSelected = false;
    QPointer<QObject> mTarget;
    QByteArray mAction;
};
