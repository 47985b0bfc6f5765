#include "converters/PdfStructure.h"

#include "converters/JobTools.h"
#include "layout/DocumentAnalyzer.h"
#include "layout/PdfReader.h"

#include <QDir>

std::optional<PdfStructure> PdfStructure::read(JobContext &context, int from, int to, QString *error,
                                               PdfReader::Graphics graphics)
{
    const QString work = context.folder + QStringLiteral("/tmp/layout");
    QDir().mkpath(work);
    JobTools tools(*context.runner);
    context.progress(from);
    std::optional<SourceDocument> source = PdfReader::read(tools, context.inputs.first().path, work, error, graphics);
    if (!source)
        return std::nullopt;
    context.progress((from + to) / 2);
    PdfStructure structure;
    structure.pages = DocumentAnalyzer::analyze(*source);
    structure.styles = source->styles;
    structure.info = source->info;
    context.progress(to);
    return structure;
}
