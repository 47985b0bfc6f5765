#include "converters/Conversions.h"

#include "protocol/ServiceTypes.h"

#include "converters/ImagePdfConverter.h"
#include "converters/InputCheck.h"
#include "converters/MergeConverter.h"
#include "converters/OfficeConverter.h"
#include "converters/PageRenderer.h"
#include "converters/PopplerConverter.h"
#include "converters/SpreadsheetConverter.h"
#include "converters/WordConverter.h"

namespace {

using Input = Conversions::Input;

const Conversions::Kind kKinds[] = {
    {ServiceTypes::kWordToPdf, Input::Office, 1, &OfficeConverter::toPdf},
    {ServiceTypes::kPptToPdf, Input::Office, 1, &OfficeConverter::toPdf},
    {ServiceTypes::kExcelToPdf, Input::Office, 1, &OfficeConverter::toPdf},
    {ServiceTypes::kImageToPdf, Input::Image, 100, &ImagePdfConverter::toPdf},
    {ServiceTypes::kPdfToWord, Input::Pdf, 1, &WordConverter::toWord},
    {ServiceTypes::kPdfToPpt, Input::Pdf, 1, &OfficeConverter::pdfToPresentation},
    {ServiceTypes::kPdfToExcel, Input::Pdf, 1, &SpreadsheetConverter::toWorkbook},
    {ServiceTypes::kPdfToHtml, Input::Pdf, 1, &PopplerConverter::toHtml},
    {ServiceTypes::kPdfToImage, Input::Pdf, 1, &PageRenderer::toImages},
    {ServiceTypes::kPdfToText, Input::Pdf, 1, &PopplerConverter::toText},
    {ServiceTypes::kMergePdf, Input::Pdf, 500, &MergeConverter::merge},
};

QString prepare(Input input, JobContext &context)
{
    for (int i = 0; i < context.inputs.size(); ++i) {
        JobInput &each = context.inputs[i];
        QString problem;
        if (input == Input::Pdf)
            problem = InputCheck::preparePdf(context, each, i + 1);
        else if (input == Input::Office)
            problem = InputCheck::checkOfficeDocument(each);
        else
            problem = InputCheck::checkImage(each);
        if (!problem.isEmpty())
            return context.inputs.size() > 1 ? QStringLiteral("File %1: %2").arg(i + 1).arg(problem) : problem;
    }
    return {};
}

} // namespace

const Conversions::Kind *Conversions::find(const QString &serviceType)
{
    for (const Kind &kind : kKinds) {
        if (serviceType == kind.type)
            return &kind;
    }
    return nullptr;
}

ConversionResult Conversions::run(const Kind &kind, JobContext &context)
{
    if (context.inputs.isEmpty() || context.inputs.size() > kind.maxInputs)
        return ConversionResult::failed(QStringLiteral("Wrong number of input files for %1").arg(kind.type));
    const QString problem = prepare(kind.input, context);
    if (!problem.isEmpty())
        return ConversionResult::failed(problem);
    return kind.convert(context);
}
