#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QIcon>

class QLabel;

// A flat button with an image part (`imageView`) and a title part
// (`textFiled`), each with its own look for the normal, hover and pressed
// states. The image sits left of the title; the pair is centred.
class KDHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class State { Normal, Hover, Pressed };
    Q_ENUM(State)

    explicit KDHoverButton(QWidget *parent = nullptr);

    QLabel *imageView() const { return mImageView; }
    QLabel *textFiled() const { return mTextFiled; }

    QString title() const;
    void setTitle(const QString &title);
    QColor titleColor() const { return mTitleColor; }
    void setTitleColor(const QColor &color);
    // The title's colour while the button is disabled; invalid: the title colour.
    QColor disabledTitleColor() const { return mDisabledTitleColor; }
    void setDisabledTitleColor(const QColor &color);

    // An image left unset for hover or pressed falls back to the normal one.
    void setNormalImage(const QIcon &image);
    void setHoverImage(const QIcon &image);
    void setPressedImage(const QIcon &image);
    QSize imageSize() const { return mImageSize; }
    void setImageSize(const QSize &size);

    // A colour left unset for hover or pressed falls back to the normal one.
    void setNormalBgColor(const QColor &color);
    void setHoverBgColor(const QColor &color);
    void setPressedBgColor(const QColor &color);
    QColor bgColorForState(State state) const;

    bool hasBorder() const { return mHasBorder; }
    void setHasBorder(bool border);
    QColor borderColor() const { return mBorderColor; }
    void setBorderColor(const QColor &color);
    void setCornerRadius(qreal radius);

    // Space between the image and the title.
    void setSpacing(int spacing);
    // Off: the owner places imageView and textFiled itself (frames fitted to
    // translated titles) and the button leaves them where they are.
    bool laysOutParts() const { return mLaysOutParts; }
    void setLaysOutParts(bool laysOut);

    State currentState() const;
    // True while the button shows its focus ring: it has the focus, and got
    // it from the keyboard rather than from a click.
    bool showsFocusRing() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void applyTitleColors();
    QIcon imageForState(State state) const;
    void refreshState();
    void layoutParts();

    QLabel *mImageView = nullptr;
    QLabel *mTextFiled = nullptr;
    QIcon mImages[3];
    QColor mBgColors[3];
    QSize mImageSize{16, 16};
    QColor mTitleColor = Qt::black;
    QColor mDisabledTitleColor;
    QColor mBorderColor{180, 180, 180};
    bool mHasBorder = false;
    qreal mCornerRadius = 3.0;
    int mSpacing = 6;
    int mPadding = 8;
    bool mLaysOutParts = true;
    bool mFocusFromKeyboard = false;
};
