#include "converters/SpreadsheetConverter.h"

#include "converters/LayoutTable.h"
#include "converters/OfficeConverter.h"
#include "formats/XlsxWriter.h"
#include "protocol/WireFields.h"

#include <QFile>

ConversionResult SpreadsheetConverter::toWorkbook(JobContext &context)
{
    const QString text = context.outFolder + QStringLiteral("/layout.txt");
    context.progress(20);
    const ProcessRunner::Result result =
        context.runner->run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                                          QStringLiteral("UTF-8"), context.inputs.first().path, text});
    QFile layout(text);
    if (!result.succeeded() || !layout.open(QIODevice::ReadOnly))
        return ConversionResult::failed(context.runner->describe(QStringLiteral("pdftotext"), result));
    const QList<LayoutTable::Rows> pages = LayoutTable::pages(QString::fromUtf8(layout.readAll()));
    QList<XlsxWriter::Sheet> sheets;
    for (int i = 0; i < pages.size(); ++i)
        sheets.append({QStringLiteral("Page %1").arg(i + 1), pages[i]});
    if (sheets.isEmpty())
        sheets.append({QStringLiteral("Page 1"), {}});
    context.progress(50);
    const QString workbook = context.outFolder + QStringLiteral("/workbook.xlsx");
    QString error;
    if (!XlsxWriter::write(workbook, sheets, &error))
        return ConversionResult::failed(error);
    if (context.argText(WireFields::kFormat).toLower() != QLatin1String("xls"))
        return ConversionResult::made(workbook);
    context.progress(60);
    return OfficeConverter::convert(context, workbook, QStringLiteral("xls:MS Excel 97"));
}
