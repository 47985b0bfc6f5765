#include "frameworks/widgets/KDUnderlinedButton.h"

#include <QFocusEvent>
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
    // Room around the title for the focus ring.
    return {metrics.horizontalAdvance(text()) + 8, metrics.height() + 4};
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
    if (hasFocus() && mFocusFromKeyboard) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 3, 3);
    }
}

void KDUnderlinedButton::focusInEvent(QFocusEvent *event)
{
    // The window coming back, or a pop-up closing, hands back the focus as it was.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        mFocusFromKeyboard = event->reason() != Qt::MouseFocusReason;
    QAbstractButton::focusInEvent(event);
    update();
}

void KDUnderlinedButton::focusOutEvent(QFocusEvent *event)
{
    QAbstractButton::focusOutEvent(event);
    update();
}
