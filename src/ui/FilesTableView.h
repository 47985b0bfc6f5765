#pragma once

#include <QTableView>

// The file list's table: one column of rows, so Home and End go to the first
// and the last row, as in any list, rather than along a row.
class FilesTableView final : public QTableView {
    Q_OBJECT
public:
    explicit FilesTableView(QWidget *parent = nullptr);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
};
