#pragma once

#include <QByteArray>
#include <QLabel>
#include <QPointer>
#include <QWidget>

// One mode tab along the top of the file list. It draws itself in an on and
// an off look, sits 1 point lower when on so that it covers the list's top
// border, and sends its action to its target at once on mouse-down. Tab
// reaches it; Space or Return chooses it, Left and Right choose a neighbour.
class FileContentTabView final : public QWidget {
    Q_OBJECT
public:
    // The strip of the parent that the tabs stand in, measured from its top.
    static constexpr int kStripHeight = 30;

    explicit FileContentTabView(QWidget *parent = nullptr);

    bool stateOn() const { return _stateOn; }
    // Moves the tab and its title into the on or off position and redraws.
    void setStateOn(bool on);

    QLabel *titleLabel() const { return _titleLabel; }
    void setTitleLabel(QLabel *label) { _titleLabel = label; }

    QObject *target() const { return mTarget; }
    void setTarget(QObject *target) { mTarget = target; }
    QByteArray action() const { return mAction; }
    // A slot of the target taking the sender (QObject *) or nothing.
    void setAction(const QByteArray &action) { mAction = action; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void sendAction();
    // The tab beside this one among its siblings, by position; null at the ends.
    FileContentTabView *neighbour(int step) const;
    void paintOn(QPainter &painter) const;
    void paintOff(QPainter &painter) const;

    bool _stateOn = false;
    QPointer<QLabel> _titleLabel;
    QPointer<QObject> mTarget;
    QByteArray mAction;
};
