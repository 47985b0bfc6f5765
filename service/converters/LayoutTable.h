#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Turns the physical-layout text of a PDF (pdftotext -layout) into table
// cells: one sheet per page, one row per text line, a new cell wherever the
// layout leaves a gap of two or more spaces.
class LayoutTable final {
public:
    using Rows = QList<QStringList>;

    static QList<Rows> pages(const QString &layoutText);
    static QStringList cells(const QString &line);
};
