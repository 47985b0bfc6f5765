#include "converters/SpreadsheetConverter.h"

#include "converters/OfficeConverter.h"
#include "converters/PdfStructure.h"
#include "formats/XlsxWriter.h"
#include "layout/SheetBuilder.h"
#include "protocol/WireFields.h"

ConversionResult SpreadsheetConverter::toWorkbook(JobContext &context)
{
    QString error;
    const std::optional<PdfStructure> structure =
        PdfStructure::read(context, 20, 50, &error, PdfReader::Graphics::Skip);
    if (!structure)
        return ConversionResult::failed(error);
    const QString workbook = context.outFolder + QStringLiteral("/workbook.xlsx");
    if (!XlsxWriter::write(workbook, SheetBuilder::sheets(structure->pages, structure->styles), &error,
                           structure->info))
        return ConversionResult::failed(error);
    if (context.argText(WireFields::kFormat).toLower() != QLatin1String("xls"))
        return ConversionResult::made(workbook);
    context.progress(60);
    return OfficeConverter::convert(context, workbook, QStringLiteral("xls:MS Excel 97"));
}
