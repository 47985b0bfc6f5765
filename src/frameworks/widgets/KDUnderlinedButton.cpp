#include "frameworks/widgets/KDUnderlinedButton.h"

#include <QPainter>

KDUnderlinedButton::KDUnderlinedButton(QWidget *parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    mTitleColors.insert(Normal, palette().color(QPalette::Link));
}

void KDUnderlinedButton::setTitle(const QString &title)
{
    setText(title);
    setAccessibleName(title);
    update();
}

void KDUnderlinedButton::setTitleColor(const QColor &color, ControlState state)
{
    mTitleColors.insert(state, color);
    update();
}

QColor KDUnderlinedButton::titleColor(ControlState state) const
{
    return mTitleColors.value(state, mTitleColors.value(Normal));
}

void KDUnderlinedButton::setUnderlineColor(const QColor &color)
{
    mUnderlineColor = color;
    update();
}

KDUnderlinedButton::ControlState KDUnderlinedButton::currentState() const
{
    if (!isEnabled())
        return Disabled;
    return isDown() ? Highlighted : Normal;
}

void KDUnderlinedButton::sizeToFit()
{
    updateGeometry();
    resize(sizeHint());
}

QSize KDUnderlinedButton::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(text()) + 2, metrics.height() + 2};
}

void KDUnderlinedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const QColor color = titleColor(currentState());
    const int textWidth = metrics.horizontalAdvance(text());
    const int left = (width() - textWidth) / 2;
    const int baseline = (height() - metrics.height()) / 2 + metrics.ascent();
    painter.setPen(color);
    painter.drawText(QPoint(left, baseline), text());
    const int underlineY = baseline + std::max(1, metrics.underlinePos());
    painter.setPen(mUnderlineColor.isValid() ? mUnderlineColor : color);
    painter.drawLine(left, underlineY, left + textWidth - 1, underlineY);
}
