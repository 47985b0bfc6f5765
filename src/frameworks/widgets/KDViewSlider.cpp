#include "frameworks/widgets/KDViewSlider.h"

#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kAnimationMs = 250;

double clampedProgress(double progress)
{
    return std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
}

} // namespace

KDViewSlider::KDViewSlider(QWidget *parent)
    : QWidget(parent), mAnimation(new QPropertyAnimation(this, "displayedProgress", this))
{
    mAnimation->setDuration(kAnimationMs);
    mAnimation->setEasingCurve(QEasingCurve::OutCubic);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void KDViewSlider::setBgColor(const QColor &color)
{
    mBgColor = color;
    update();
}

void KDViewSlider::setProgressColor(const QColor &color)
{
    mProgressColor = color;
    update();
}

void KDViewSlider::setRound(bool round)
{
    mRound = round;
    update();
}

void KDViewSlider::setLineWith(qreal width)
{
    mLineWith = std::max<qreal>(0.0, width);
    updateGeometry();
    update();
}

void KDViewSlider::setCornerRadius(qreal radius)
{
    mCornerRadius = std::max<qreal>(0.0, radius);
    update();
}

void KDViewSlider::setProgress(double progress, bool animated)
{
    mProgress = clampedProgress(progress);
    mAnimation->stop();
    if (!animated || !isVisible()) {
        setDisplayedProgress(mProgress);
        return;
    }
    mAnimation->setStartValue(mDisplayedProgress);
    mAnimation->setEndValue(mProgress);
    mAnimation->start();
}

void KDViewSlider::setDisplayedProgress(double progress)
{
    mDisplayedProgress = progress;
    update();
}

QSize KDViewSlider::sizeHint() const
{
    return {200, static_cast<int>(std::ceil(mLineWith)) + 4};
}

void KDViewSlider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track(0.0, (height() - mLineWith) / 2.0, width(), mLineWith);
    const qreal radius = mRound ? mLineWith / 2.0 : std::min(mCornerRadius, mLineWith / 2.0);
    QPainterPath path;
    path.addRoundedRect(track, radius, radius);
    painter.fillPath(path, mBgColor);
    if (mDisplayedProgress <= 0.0)
        return;
    // Rounded at its own right end, and cut by the track so that a short fill
    // still has the track's left end.
    QPainterPath fill;
    fill.addRoundedRect(QRectF(track.topLeft(), QSizeF(track.width() * mDisplayedProgress, track.height())), radius,
                        radius);
    painter.fillPath(fill.intersected(path), mProgressColor);
}
