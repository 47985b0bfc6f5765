#pragma once

#include <QColor>
#include <QWidget>

// A plain view with a background colour. Inside a KDWindow the background
// stays within the window's outline and border line, so a coloured title bar
// or content area never paints square corners over the rounded ones.
class KDView : public QWidget {
    Q_OBJECT
public:
    explicit KDView(QWidget *parent = nullptr);

    QColor bgColor() const { return mBgColor; }
    void setBgColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor mBgColor = Qt::transparent;
};
