#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Writes a minimal Office Open XML workbook: one worksheet per sheet given,
// text cells as inline strings and plain decimal numbers as numbers.
class XlsxWriter final {
public:
    struct Sheet {
        QString name;
        QList<QStringList> rows;
    };

    static bool write(const QString &path, const QList<Sheet> &sheets, QString *error);
    static QString columnName(int index); // 0 -> "A", 26 -> "AA"
    static QByteArray sheetXml(const QList<QStringList> &rows);
};
