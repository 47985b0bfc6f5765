#include "converters/ImagePdfConverter.h"

#include "protocol/WireFields.h"

#include <QFileInfo>

QString ImagePdfConverter::borderArgument(const QString &border)
{
    bool ok = false;
    const double points = border.trimmed().toDouble(&ok);
    if (!ok || points <= 0 || points > 200)
        return {};
    return QString::number(points) + QStringLiteral("pt");
}

ConversionResult ImagePdfConverter::toPdf(JobContext &context)
{
    const QString output = context.outFolder + QStringLiteral("/images.pdf");
    QStringList arguments = {QStringLiteral("--pagesize"), QStringLiteral("A4"), QStringLiteral("--fit"),
                             QStringLiteral("into")};
    const QString border = borderArgument(context.argText(WireFields::kBorder));
    if (!border.isEmpty())
        arguments << QStringLiteral("--border") << border;
    arguments << QStringLiteral("-o") << output;
    for (const JobInput &input : std::as_const(context.inputs))
        arguments << input.path;
    context.progress(30);
    const ProcessRunner::Result result = context.runner->run(QStringLiteral("img2pdf"), arguments);
    if (result.succeeded() && QFileInfo(output).size() > 0)
        return ConversionResult::made(output);
    if (!result.started || result.timedOut || result.cancelled)
        return ConversionResult::failed(context.runner->describe(QStringLiteral("img2pdf"), result));
    return ConversionResult::failed(
        QStringLiteral("The image is damaged or not a supported image (%1)").arg(result.lastLine()));
}
