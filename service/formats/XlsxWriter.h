#pragma once

#include "formats/DocumentInfo.h"

#include <QList>
#include <QString>
#include <QStringList>

// Writes an Office Open XML workbook through libxlsxwriter: one worksheet per
// sheet given, plain decimal numbers as numbers and everything else as text.
class XlsxWriter final {
public:
    struct Sheet {
        QString name;
        QList<QStringList> rows;
        bool rightToLeft = false; // shown from the right: the first column is the rightmost
    };

    // On failure *error says why, and no partial workbook is left at path.
    static bool write(const QString &path, const QList<Sheet> &sheets, QString *error, const DocumentInfo &info = {});
    // The names the sheets get: at most 31 characters, none of [ ] : * ? / \,
    // no apostrophe at either end, none empty and none repeated (ignoring case).
    static QStringList sheetNames(const QStringList &wanted);
};
