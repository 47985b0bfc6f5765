#pragma once

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

// A borderless layer that dims the window beneath it and takes every click
// meant for that window. Without a compositor an X server cannot blend, so
// the layer then shows a dimmed picture of the covered window instead.
class KDMaskWindow : public QWidget {
    Q_OBJECT
public:
    explicit KDMaskWindow(QWidget *parent = nullptr);

    // A mask ready to use: covers nothing until it is given a frame and shown.
    static KDMaskWindow *LoadFromNib(QWidget *parent = nullptr);

    QColor maskColor() const { return mMaskColor; }
    void setMaskColor(const QColor &color);
    bool ignoresMouseEvents() const;
    void setIgnoresMouseEvents(bool ignores);
    // Takes parent's frame and, for the uncomposited look, its picture.
    void coverWindow(QWidget *window);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    QColor mMaskColor{0, 0, 0, 204};
    QPixmap mCovered;
};
