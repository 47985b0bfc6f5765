#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QHash>

// A text link: its title underlined, in a colour per control state.
class KDUnderlinedButton : public QAbstractButton {
    Q_OBJECT
public:
    // The control states a title colour can be given for.
    enum ControlState { Normal = 0, Highlighted = 1, Disabled = 2 };
    Q_ENUM(ControlState)

    explicit KDUnderlinedButton(QWidget *parent = nullptr);

    QString title() const { return text(); }
    void setTitle(const QString &title);
    // A state without its own colour uses the Normal one.
    void setTitleColor(const QColor &color, ControlState state);
    QColor titleColor(ControlState state) const;
    QColor underlineColor() const { return mUnderlineColor; }
    void setUnderlineColor(const QColor &color);

    ControlState currentState() const;
    void sizeToFit();
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    // As on the hover buttons: a ring for focus that came from the keyboard.
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QHash<int, QColor> mTitleColors;
    QColor mUnderlineColor;
    bool mFocusFromKeyboard = false;
};
