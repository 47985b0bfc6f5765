#include "converters/OfficeConverter.h"

#include "converters/OfficeBridge.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace {

QString errorLine(const QString &output)
{
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("Error")))
            return line.trimmed();
    }
    return {};
}

ConversionResult refused(const QString &detail)
{
    return ConversionResult::failed(
        QStringLiteral("LibreOffice could not convert the file: it is damaged, protected by a password or not a "
                       "supported document") +
        (detail.isEmpty() ? QString() : QStringLiteral(" (") + detail + QLatin1Char(')')));
}

} // namespace

QString OfficeConverter::program()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    return soffice.isEmpty() ? QStringLiteral("libreoffice") : soffice;
}

ConversionResult OfficeConverter::convert(JobContext &context, const QString &input, const QString &target,
                                          const QString &inputFilter)
{
    const QString extension = target.section(QLatin1Char(':'), 0, 0);
    const QString outFolder = context.folder + QStringLiteral("/office-") + extension;
    QDir().mkpath(outFolder);
    QStringList arguments = {
        QStringLiteral("-env:UserInstallation=") +
            QUrl::fromLocalFile(context.profileFolder).toString(QUrl::FullyEncoded),
        QStringLiteral("--headless"),
        QStringLiteral("--invisible"),
        QStringLiteral("--nologo"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--nolockcheck"),
    };
    if (!inputFilter.isEmpty())
        arguments << QStringLiteral("--infilter=") + inputFilter;
    arguments << QStringLiteral("--convert-to") << target << QStringLiteral("--outdir") << outFolder << input;
    const QString made =
        outFolder + QLatin1Char('/') + QFileInfo(input).completeBaseName() + QLatin1Char('.') + extension;
    if (context.office) {
        const QString filter = target.contains(QLatin1Char(':')) ? target.section(QLatin1Char(':'), 1) : extension;
        const OfficeBridge::Reply reply = context.office->convert(input, made, filter, inputFilter, *context.runner);
        if (reply.ok && QFileInfo(made).size() > 0)
            return ConversionResult::made(made);
        if (reply.interrupted)
            return ConversionResult::failed(
                context.runner->describe(QStringLiteral("LibreOffice"), context.runner->interruption()));
        // A cold run of the same file would most likely crash too, or run into the time-out.
        if (reply.crashed)
            return ConversionResult::failed(QStringLiteral("The converter crashed: ") + reply.error);
        if (!reply.broken && !reply.stale)
            return refused(reply.error);
        // The bridge itself failed (or kept losing its office): a cold run below still converts.
    }
    const ProcessRunner::Result result = context.runner->run(program(), arguments);
    if (result.succeeded() && QFileInfo(made).size() > 0)
        return ConversionResult::made(made);
    if (!result.started || result.timedOut || result.cancelled)
        return ConversionResult::failed(context.runner->describe(QStringLiteral("LibreOffice"), result));
    return refused(errorLine(result.errors + QLatin1Char('\n') + result.output));
}

ConversionResult OfficeConverter::toPdf(JobContext &context)
{
    context.progress(30);
    return convert(context, context.inputs.first().path, QStringLiteral("pdf"));
}

ConversionResult OfficeConverter::pdfToPresentation(JobContext &context)
{
    context.progress(30);
    return convert(context, context.inputs.first().path, QStringLiteral("pptx:Impress MS PowerPoint 2007 XML"),
                   QStringLiteral("impress_pdf_import"));
}
