#include "Conversions.h"

#include "ImagePdfConverter.h"
#include "InputCheck.h"
#include "MergeConverter.h"
#include "OfficeConverter.h"
#include "PageRenderer.h"
#include "PopplerConverter.h"
#include "SpreadsheetConverter.h"
#include "WordConverter.h"

namespace {

using Input = Conversions::Input;

const Conversions::Kind kKinds[] = {
    {"word-to-pdf", Input::Office, 1, &OfficeConverter::toPdf},
    {"ppt-to-pdf", Input::Office, 1, &OfficeConverter::toPdf},
    {"excel-to-pdf", Input::Office, 1, &OfficeConverter::toPdf},
    {"image-to-pdf", Input::Image, 100, &ImagePdfConverter::toPdf},
    {"pdf-to-word", Input::Pdf, 1, &WordConverter::toWord},
    {"pdf-to-ppt", Input::Pdf, 1, &OfficeConverter::pdfToPresentation},
    {"pdf-to-excel", Input::Pdf, 1, &SpreadsheetConverter::toWorkbook},
    {"pdf-to-html", Input::Pdf, 1, &PopplerConverter::toHtml},
    {"pdf-to-image", Input::Pdf, 1, &PageRenderer::toImages},
    {"pdf-to-text", Input::Pdf, 1, &PopplerConverter::toText},
    {"merge-pdf", Input::Pdf, 500, &MergeConverter::merge},
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
            problem = InputCheck::checkFile(each);
        if (!problem.isEmpty())
            return context.inputs.size() > 1 ? QStringLiteral("File %1: %2").arg(i + 1).arg(problem) : problem;
    }
    return {};
}

} // namespace

const Conversions::Kind *Conversions::find(const QString &serviceType)
{
    for (const Kind &kind : kKinds) {
        if (serviceType == QLatin1String(kind.type))
            return &kind;
    }
    return nullptr;
}

ConversionResult Conversions::run(const Kind &kind, JobContext &context)
{
    if (context.inputs.isEmpty() || context.inputs.size() > kind.maxInputs)
        return ConversionResult::failed(QStringLiteral("Wrong number of input files for %1").arg(QLatin1String(kind.type)));
    const QString problem = prepare(kind.input, context);
    if (!problem.isEmpty())
        return ConversionResult::failed(problem);
    return kind.convert(context);
}
