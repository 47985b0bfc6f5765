#include "converters/MergeConverter.h"

#include <QFileInfo>

ConversionResult MergeConverter::merge(JobContext &context)
{
    const QString output = context.outFolder + QStringLiteral("/merged.pdf");
    QStringList arguments = {QStringLiteral("--empty"), QStringLiteral("--pages")};
    for (const JobInput &input : std::as_const(context.inputs))
        arguments << input.path;
    arguments << QStringLiteral("--") << output;
    context.progress(50);
    const ProcessRunner::Result result = context.runner->run(QStringLiteral("qpdf"), arguments);
    // Exit code 3: written, with warnings about something qpdf repaired.
    if (!result.succeeded(3) || !QFileInfo::exists(output))
        return ConversionResult::failed(context.runner->describe(QStringLiteral("qpdf"), result));
    return ConversionResult::made(output);
}
