#include "converters/PopplerConverter.h"

#include "formats/ZipWriter.h"
#include "protocol/WireFields.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ConversionResult PopplerConverter::toText(JobContext &context)
{
    const QString output = context.outFolder + QStringLiteral("/document.txt");
    QStringList arguments = {QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (context.argText(WireFields::kLayout) == QLatin1String("1"))
        arguments << QStringLiteral("-layout");
    arguments << context.inputs.first().path << output;
    context.progress(30);
    const ProcessRunner::Result result = context.runner->run(QStringLiteral("pdftotext"), arguments);
    if (!result.succeeded() || !QFileInfo::exists(output))
        return ConversionResult::failed(context.runner->describe(QStringLiteral("pdftotext"), result));
    return ConversionResult::made(output);
}

std::optional<bool> PopplerConverter::hasImages(JobContext &context, const QString &pdf, QString *error)
{
    const ProcessRunner::Result result =
        context.runner->run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    if (!result.succeeded()) {
        *error = context.runner->describe(QStringLiteral("pdfimages"), result);
        return std::nullopt;
    }
    // Two heading lines, then one line per image.
    return result.output.count(QLatin1Char('\n')) > 1;
}

ConversionResult PopplerConverter::toHtml(JobContext &context)
{
    const QString pdf = context.inputs.first().path;
    QString error;
    context.progress(20);
    const std::optional<bool> images = hasImages(context, pdf, &error);
    if (!images)
        return ConversionResult::failed(error);
    const QString folder = context.outFolder + QStringLiteral("/html");
    QDir().mkpath(folder);
    QStringList arguments = {QStringLiteral("-s"), QStringLiteral("-noframes"), QStringLiteral("-q"),
                             QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    // Without images of its own the page backgrounds are blank: one plain HTML file.
    if (!*images)
        arguments << QStringLiteral("-i");
    arguments << pdf << folder + QStringLiteral("/document");
    context.progress(40);
    const ProcessRunner::Result result = context.runner->run(QStringLiteral("pdftohtml"), arguments);
    const QString html = folder + QStringLiteral("/document.html");
    if (!result.succeeded() || !QFileInfo::exists(html))
        return ConversionResult::failed(context.runner->describe(QStringLiteral("pdftohtml"), result));
    // pdftohtml also leaves the embedded images it drew into the page
    // backgrounds; only what the page refers to goes into the archive.
    QFile page(html);
    const QByteArray markup = page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
    QStringList files = {QStringLiteral("document.html")};
    const QStringList produced = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString &file : produced) {
        if (file != files.first() && markup.contains(QByteArray('"' + file.toUtf8() + '"')))
            files << file;
    }
    if (files.size() == 1)
        return ConversionResult::made(html);
    context.progress(80);
    const QString archive = context.outFolder + QStringLiteral("/document.zip");
    ZipWriter zip(archive);
    bool ok = zip.open();
    for (const QString &file : files)
        ok = ok && zip.addFile(file, folder + QLatin1Char('/') + file);
    if (!ok || !zip.close())
        return ConversionResult::failed(QStringLiteral("Cannot pack the HTML pages: %1").arg(zip.errorString()));
    return ConversionResult::made(archive);
}
