#include "frameworks/widgets/KDHoverButton.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QPainter>

namespace {

int index(KDHoverButton::State state)
{
    return static_cast<int>(state);
}

constexpr qreal kFocusRingWidth = 2.0;

} // namespace

KDHoverButton::KDHoverButton(QWidget *parent)
    : QAbstractButton(parent), mImageView(new QLabel(this)), mTextFiled(new QLabel(this))
{
    setObjectName(QStringLiteral("KDHoverButton"));
    mImageView->setObjectName(QStringLiteral("imageView"));
    mTextFiled->setObjectName(QStringLiteral("textFiled"));
    // The parts are decoration: clicks and hovering belong to the button.
    mImageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    mTextFiled->setAttribute(Qt::WA_TransparentForMouseEvents);
    mTextFiled->setAlignment(Qt::AlignCenter);
    mImageView->setAlignment(Qt::AlignCenter);
    mImageView->hide();
    mTextFiled->hide();
    setAttribute(Qt::WA_Hover);
    setTitleColor(mTitleColor);
    connect(this, &QAbstractButton::pressed, this, &KDHoverButton::refreshState);
    connect(this, &QAbstractButton::released, this, &KDHoverButton::refreshState);
}

QString KDHoverButton::title() const
{
    return mTextFiled->text();
}

void KDHoverButton::setTitle(const QString &title)
{
    mTextFiled->setText(title);
    mTextFiled->setVisible(!title.isEmpty());
    setAccessibleName(title);
    updateGeometry();
    layoutParts();
}

void KDHoverButton::setTitleColor(const QColor &color)
{
    mTitleColor = color;
    applyTitleColors();
}

void KDHoverButton::setDisabledTitleColor(const QColor &color)
{
    mDisabledTitleColor = color;
    applyTitleColors();
}

void KDHoverButton::applyTitleColors()
{
    QPalette palette = mTextFiled->palette();
    palette.setColor(QPalette::WindowText, mTitleColor);
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     mDisabledTitleColor.isValid() ? mDisabledTitleColor : mTitleColor);
    mTextFiled->setPalette(palette);
}

void KDHoverButton::setNormalImage(const QIcon &image)
{
    mImages[index(State::Normal)] = image;
    mImageView->setVisible(!image.isNull());
    updateGeometry();
    refreshState();
}

void KDHoverButton::setHoverImage(const QIcon &image)
{
    mImages[index(State::Hover)] = image;
    refreshState();
}

void KDHoverButton::setPressedImage(const QIcon &image)
{
    mImages[index(State::Pressed)] = image;
    refreshState();
}

void KDHoverButton::setImageSize(const QSize &size)
{
    mImageSize = size;
    updateGeometry();
    layoutParts();
    refreshState();
}

void KDHoverButton::setNormalBgColor(const QColor &color)
{
    mBgColors[index(State::Normal)] = color;
    update();
}

void KDHoverButton::setHoverBgColor(const QColor &color)
{
    mBgColors[index(State::Hover)] = color;
    update();
}

void KDHoverButton::setPressedBgColor(const QColor &color)
{
    mBgColors[index(State::Pressed)] = color;
    update();
}

QColor KDHoverButton::bgColorForState(State state) const
{
    const QColor &color = mBgColors[index(state)];
    return color.isValid() ? color : mBgColors[index(State::Normal)];
}

void KDHoverButton::setHasBorder(bool border)
{
    mHasBorder = border;
    update();
}

void KDHoverButton::setBorderColor(const QColor &color)
{
    mBorderColor = color;
    update();
}

void KDHoverButton::setCornerRadius(qreal radius)
{
    mCornerRadius = radius;
    update();
}

void KDHoverButton::setSpacing(int spacing)
{
    mSpacing = spacing;
    updateGeometry();
    layoutParts();
}

void KDHoverButton::setLaysOutParts(bool laysOut)
{
    mLaysOutParts = laysOut;
    layoutParts();
}

KDHoverButton::State KDHoverButton::currentState() const
{
    if (isDown())
        return State::Pressed;
    if (underMouse() && isEnabled())
        return State::Hover;
    return State::Normal;
}

QSize KDHoverButton::sizeHint() const
{
    const bool hasImage = !mImageView->isHidden();
    const bool hasTitle = !mTextFiled->isHidden();
    const QSize text = hasTitle ? mTextFiled->sizeHint() : QSize();
    int width = 2 * mPadding + (hasImage ? mImageSize.width() : 0) + (hasTitle ? text.width() : 0);
    if (hasImage && hasTitle)
        width += mSpacing;
    const int height = qMax(hasImage ? mImageSize.height() : 0, hasTitle ? text.height() : 0) + 8;
    return {width, height};
}

QSize KDHoverButton::minimumSizeHint() const
{
    return sizeHint();
}

bool KDHoverButton::showsFocusRing() const
{
    return hasFocus() && mFocusFromKeyboard;
}

void KDHoverButton::paintEvent(QPaintEvent *)
{
    const QColor background = bgColorForState(currentState());
    const bool fills = background.isValid() && background.alpha() > 0;
    const bool ring = showsFocusRing();
    if (!fills && !mHasBorder && !ring)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(mHasBorder ? QPen(mBorderColor, 1.0) : QPen(Qt::NoPen));
    painter.setBrush(fills ? QBrush(background) : QBrush(Qt::NoBrush));
    painter.drawRoundedRect(box, mCornerRadius, mCornerRadius);
    if (ring) {
        const qreal inset = kFocusRingWidth / 2;
        painter.setPen(QPen(palette().color(QPalette::Highlight), kFocusRingWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), mCornerRadius, mCornerRadius);
    }
}

// A click that focuses the button shows no ring: the pointer already says
// where the user is; Tab, shortcuts and programs that move the focus do.
void KDHoverButton::focusInEvent(QFocusEvent *event)
{
    // The window coming back, or a pop-up closing, hands back the focus as it was.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        mFocusFromKeyboard = event->reason() != Qt::MouseFocusReason;
    QAbstractButton::focusInEvent(event);
    update();
}

void KDHoverButton::focusOutEvent(QFocusEvent *event)
{
    QAbstractButton::focusOutEvent(event);
    update();
}

void KDHoverButton::resizeEvent(QResizeEvent *event)
{
    QAbstractButton::resizeEvent(event);
    layoutParts();
}

bool KDHoverButton::event(QEvent *event)
{
    const bool handled = QAbstractButton::event(event);
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::EnabledChange:
        refreshState();
        break;
    default:
        break;
    }
    return handled;
}

QIcon KDHoverButton::imageForState(State state) const
{
    const QIcon &image = mImages[index(state)];
    return image.isNull() ? mImages[index(State::Normal)] : image;
}

void KDHoverButton::refreshState()
{
    const QIcon image = imageForState(currentState());
    if (!image.isNull())
        mImageView->setPixmap(image.pixmap(mImageSize, devicePixelRatioF()));
    update();
}

void KDHoverButton::layoutParts()
{
    if (!mLaysOutParts)
        return;
    const bool hasImage = !mImageView->isHidden();
    const bool hasTitle = !mTextFiled->isHidden();
    const int textWidth = hasTitle ? qMin(mTextFiled->sizeHint().width(), width()) : 0;
    int groupWidth = (hasImage ? mImageSize.width() : 0) + textWidth;
    if (hasImage && hasTitle)
        groupWidth += mSpacing;
    int x = (width() - groupWidth) / 2;
    if (hasImage) {
        mImageView->setGeometry(x, (height() - mImageSize.height()) / 2, mImageSize.width(), mImageSize.height());
        x += mImageSize.width() + mSpacing;
    }
    if (hasTitle && hasImage)
        mTextFiled->setGeometry(x, 0, textWidth, height());
    else if (hasTitle)
        mTextFiled->setGeometry(rect());
}
