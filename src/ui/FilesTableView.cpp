#include "ui/FilesTableView.h"

FilesTableView::FilesTableView(QWidget *parent) : QTableView(parent)
{
}

QModelIndex FilesTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    if (cursorAction == MoveHome || cursorAction == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(cursorAction, modifiers);
}
