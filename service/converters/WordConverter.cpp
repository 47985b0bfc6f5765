#include "converters/WordConverter.h"

#include "converters/OfficeConverter.h"
#include "converters/PdfStructure.h"
#include "layout/DocxWriter.h"
#include "protocol/WireFields.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

QByteArray WordConverter::flowHtml(const QByteArray &html)
{
    static const QRegularExpression body(QStringLiteral("<body[^>]*>"));
    static const QRegularExpression trailingRule(QStringLiteral("<hr/>\\s*(</body>)"));
    QString text = QString::fromUtf8(html);
    text.replace(body, QStringLiteral("<body>"));
    text.replace(trailingRule, QStringLiteral("\\1"));
    text.replace(QStringLiteral("<hr/>"), QStringLiteral("<p style=\"page-break-before: always\"></p>"));
    return text.toUtf8();
}

bool WordConverter::wantsDoc(const JobContext &context)
{
    return context.argText(WireFields::kFormat).toLower() == QLatin1String("doc");
}

ConversionResult WordConverter::toWord(JobContext &context)
{
    QString error;
    const std::optional<PdfStructure> structure = PdfStructure::read(context, 20, 60, &error);
    if (!structure)
        return ConversionResult::failed(error);
    const QString docx = context.outFolder + QStringLiteral("/document.docx");
    if (!DocxWriter::write(docx, structure->pages, structure->styles, &error, structure->info))
        return ConversionResult::failed(error);
    if (!wantsDoc(context))
        return ConversionResult::made(docx);
    context.progress(70);
    return OfficeConverter::convert(context, docx, QStringLiteral("doc:MS Word 97"));
}

ConversionResult WordConverter::toWordThroughHtml(JobContext &context)
{
    const bool doc = wantsDoc(context);
    const QString folder = context.outFolder + QStringLiteral("/flow");
    QDir().mkpath(folder);
    context.progress(20);
    const ProcessRunner::Result result = context.runner->run(
        QStringLiteral("pdftohtml"),
        {QStringLiteral("-noframes"), QStringLiteral("-i"), QStringLiteral("-q"), QStringLiteral("-enc"),
         QStringLiteral("UTF-8"), context.inputs.first().path, folder + QStringLiteral("/document")});
    QFile html(folder + QStringLiteral("/document.html"));
    if (!result.succeeded() || !html.open(QIODevice::ReadOnly))
        return ConversionResult::failed(context.runner->describe(QStringLiteral("pdftohtml"), result));
    const QByteArray flowing = flowHtml(html.readAll());
    html.close();
    if (!html.open(QIODevice::WriteOnly | QIODevice::Truncate) || html.write(flowing) != flowing.size())
        return ConversionResult::failed(QStringLiteral("Cannot write the intermediate HTML"));
    html.close();
    context.progress(40);
    return OfficeConverter::convert(context, html.fileName(),
                                    doc ? QStringLiteral("doc:MS Word 97") : QStringLiteral("docx:MS Word 2007 XML"),
                                    QStringLiteral("HTML (StarWriter)"));
}
