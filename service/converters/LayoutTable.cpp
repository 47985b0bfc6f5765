#include "converters/LayoutTable.h"

#include <QRegularExpression>

QStringList LayoutTable::cells(const QString &line)
{
    static const QRegularExpression gap(QStringLiteral("\\s{2,}|\\t"));
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return {};
    return trimmed.split(gap, Qt::SkipEmptyParts);
}

QList<LayoutTable::Rows> LayoutTable::pages(const QString &layoutText)
{
    QList<Rows> pages;
    QStringList pageTexts = layoutText.split(QLatin1Char('\f'));
    // pdftotext ends the last page with a form feed too.
    if (pageTexts.size() > 1 && pageTexts.last().trimmed().isEmpty())
        pageTexts.removeLast();
    for (const QString &pageText : std::as_const(pageTexts)) {
        Rows rows;
        const QStringList lines = pageText.split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            const QStringList row = cells(line);
            if (!row.isEmpty())
                rows.append(row);
        }
        pages.append(rows);
    }
    return pages;
}
