#pragma once

#include <QColor>
#include <QWidget>

class QPropertyAnimation;

// A horizontal progress bar: a track of `lineWith` thickness, centred
// vertically, filled from the left up to the progress (0 to 1).
class KDViewSlider : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double displayedProgress READ displayedProgress WRITE setDisplayedProgress)
public:
    explicit KDViewSlider(QWidget *parent = nullptr);

    QColor bgColor() const { return mBgColor; }
    void setBgColor(const QColor &color);
    QColor progressColor() const { return mProgressColor; }
    void setProgressColor(const QColor &color);
    // Round ends are half circles; otherwise the corners use cornerRadius.
    bool isRound() const { return mRound; }
    void setRound(bool round);
    qreal lineWith() const { return mLineWith; }
    void setLineWith(qreal width);
    qreal cornerRadius() const { return mCornerRadius; }
    void setCornerRadius(qreal radius);

    // The target progress, clamped to 0…1; the bar slides there when animated.
    double progress() const { return mProgress; }
    void setProgress(double progress, bool animated = false);
    double displayedProgress() const { return mDisplayedProgress; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setDisplayedProgress(double progress);

    QColor mBgColor{238, 238, 238};
    QColor mProgressColor{34, 170, 254};
    bool mRound = false;
    qreal mLineWith = 4.0;
    qreal mCornerRadius = 0.0;
    double mProgress = 0.0;
    double mDisplayedProgress = 0.0;
    QPropertyAnimation *mAnimation = nullptr;
};
