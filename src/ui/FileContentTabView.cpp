#include "ui/FileContentTabView.h"

#include "frameworks/widgets/KDAction.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

const QColor kBorder(170, 170, 170, 128);
const QColor kOffFill(170, 170, 170, 51);
constexpr qreal kFocusRingWidth = 2.0;

} // namespace

FileContentTabView::FileContentTabView(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

// Off: the tab's bottom on the strip's bottom edge, its title 2 points below
// the middle. On is relative to where the tab stands (title 2 up, tab 1
// down), so turning a tab on twice moves it twice; the list view always turns
// every tab off first.
void FileContentTabView::setStateOn(bool on)
{
    _stateOn = on;
    if (on) {
        if (_titleLabel)
            _titleLabel->move(_titleLabel->x(), _titleLabel->y() - 2);
        move(x(), y() + 1);
    } else {
        if (_titleLabel)
            _titleLabel->move(_titleLabel->x(), (height() - _titleLabel->height()) / 2 + 2);
        move(x(), kStripHeight - height());
    }
    update();
}

void FileContentTabView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    sendAction();
}

void FileContentTabView::sendAction()
{
    if (mTarget && !mAction.isEmpty())
        KDAction::send(mTarget, mAction.constData(), this);
}

void FileContentTabView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        sendAction();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (FileContentTabView *next = neighbour(event->key() == Qt::Key_Left ? -1 : 1)) {
            next->setFocus(Qt::TabFocusReason);
            next->sendAction();
        }
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

FileContentTabView *FileContentTabView::neighbour(int step) const
{
    if (!parentWidget())
        return nullptr;
    QList<FileContentTabView *> tabs =
        parentWidget()->findChildren<FileContentTabView *>(QString(), Qt::FindDirectChildrenOnly);
    std::sort(tabs.begin(), tabs.end(), [](const QWidget *a, const QWidget *b) { return a->x() < b->x(); });
    const qsizetype at = tabs.indexOf(const_cast<FileContentTabView *>(this)) + step;
    return at >= 0 && at < tabs.size() ? tabs.at(at) : nullptr;
}

void FileContentTabView::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void FileContentTabView::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void FileContentTabView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (_stateOn)
        paintOn(painter);
    else
        paintOff(painter);
    if (hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), kFocusRingWidth));
        const qreal top = _stateOn ? 1 : 5;
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, top + 1, -2, -3), 2, 2);
    }
}

// White, outlined on three sides; the bottom row stays white and hides the
// list's border line under the tab.
void FileContentTabView::paintOn(QPainter &painter) const
{
    const int w = width();
    const int h = height();
    painter.fillRect(QRect(0, 1, w, h - 1), Qt::white);
    painter.setPen(QPen(kBorder, 1));
    painter.drawLine(0, 0, w - 1, 0);
    painter.drawLine(0, 0, 0, h - 2);
    painter.drawLine(w - 1, 0, w - 1, h - 2);
}

// Greyed and 4 points shorter at the top, so that it looks lower than the
// on tab; its bottom is the list's border line.
void FileContentTabView::paintOff(QPainter &painter) const
{
    const int w = width();
    const int h = height();
    painter.fillRect(QRect(1, 5, w - 2, h - 5), kOffFill);
    painter.setPen(QPen(kBorder, 1));
    painter.drawLine(0, 4, w - 1, 4);
    painter.drawLine(0, 4, 0, h - 1);
    painter.drawLine(w - 1, 4, w - 1, h - 1);
}
