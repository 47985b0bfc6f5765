#include "converters/PageRenderer.h"

#include "formats/ZipWriter.h"
#include "protocol/WireFields.h"

#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <cmath>

namespace {

constexpr int kA4Short = 1240;
constexpr int kA4Long = 1754;

} // namespace

QList<QSizeF> PageRenderer::parsePageSizes(const QString &output)
{
    static const QRegularExpression sizeLine(QStringLiteral("^Page\\s+(\\d+)\\s+size:\\s+([0-9.]+)\\s+x\\s+([0-9.]+)"),
                                             QRegularExpression::MultilineOption);
    static const QRegularExpression rotLine(QStringLiteral("^Page\\s+(\\d+)\\s+rot:\\s+(-?\\d+)"),
                                            QRegularExpression::MultilineOption);
    QMap<int, QSizeF> sizes;
    for (auto it = sizeLine.globalMatch(output); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        sizes.insert(match.captured(1).toInt(), QSizeF(match.captured(2).toDouble(), match.captured(3).toDouble()));
    }
    for (auto it = rotLine.globalMatch(output); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const int page = match.captured(1).toInt();
        if (sizes.contains(page) && ((match.captured(2).toInt() % 180) + 180) % 180 == 90)
            sizes[page].transpose();
    }
    return sizes.values();
}

QSize PageRenderer::fitA4(const QSizeF &page)
{
    if (page.width() <= 0 || page.height() <= 0)
        return {kA4Short, kA4Long};
    const bool landscape = page.width() > page.height();
    const QSizeF box = landscape ? QSizeF(kA4Long, kA4Short) : QSizeF(kA4Short, kA4Long);
    const double scale = qMin(box.width() / page.width(), box.height() / page.height());
    return {qMax(1, int(std::lround(page.width() * scale))), qMax(1, int(std::lround(page.height() * scale)))};
}

QList<QSizeF> PageRenderer::pageSizes(JobContext &context, const QString &pdf, QString *error)
{
    // pdfinfo prints its page lines on standard output; -l 100000 asks for all of them.
    const ProcessRunner::Result result =
        context.runner->run(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                                        QStringLiteral("100000"), pdf});
    if (!result.succeeded()) {
        *error = context.runner->describe(QStringLiteral("pdfinfo"), result);
        return {};
    }
    const QList<QSizeF> sizes = parsePageSizes(QString::fromUtf8(context.runner->lastOutput()));
    if (sizes.isEmpty())
        *error = QStringLiteral("The PDF has no pages");
    return sizes;
}

ConversionResult PageRenderer::renderPage(JobContext &context, int page, const QSizeF &size, bool a4,
                                          const QString &format)
{
    const QString base = context.outFolder + QStringLiteral("/page-") + QString::number(page);
    const QString number = QString::number(page);
    QStringList arguments = {QStringLiteral("-f"), number, QStringLiteral("-l"), number, QStringLiteral("-singlefile")};
    if (a4) {
        const QSize target = fitA4(size);
        arguments << QStringLiteral("-scale-to-x") << QString::number(target.width()) << QStringLiteral("-scale-to-y")
                  << QString::number(target.height());
    } else {
        arguments << QStringLiteral("-r") << QStringLiteral("150");
    }
    if (format == QLatin1String("png")) {
        arguments << QStringLiteral("-png");
    } else {
        const QJsonValue given = context.args.value(WireFields::kQuality);
        const int quality = given.isUndefined() ? 90 : qBound(1, given.toVariant().toInt(), 100);
        arguments << QStringLiteral("-jpeg") << QStringLiteral("-jpegopt")
                  << QStringLiteral("quality=") + QString::number(quality);
    }
    arguments << context.inputs.first().path << base;
    const ProcessRunner::Result result = context.runner->run(QStringLiteral("pdftoppm"), arguments);
    const QString image = base + QLatin1Char('.') + format;
    if (!result.succeeded() || !QFileInfo::exists(image))
        return ConversionResult::failed(context.runner->describe(QStringLiteral("pdftoppm"), result));
    return ConversionResult::made(image);
}

ConversionResult PageRenderer::toImages(JobContext &context)
{
    const QString format = context.argText(WireFields::kFormat).toLower() == QLatin1String("png")
                               ? QStringLiteral("png")
                               : QStringLiteral("jpg");
    const bool a4 = context.argText(WireFields::kResize).compare(QLatin1String("A4"), Qt::CaseInsensitive) == 0;
    QString error;
    const QList<QSizeF> sizes = pageSizes(context, context.inputs.first().path, &error);
    if (sizes.isEmpty())
        return ConversionResult::failed(error);
    QStringList images;
    for (int page = 1; page <= sizes.size(); ++page) {
        const ConversionResult rendered = renderPage(context, page, sizes[page - 1], a4, format);
        if (!rendered.ok())
            return rendered;
        images << rendered.path;
        context.progress(20 + 70 * page / int(sizes.size()));
    }
    if (images.size() == 1)
        return ConversionResult::made(images.first());
    const QString archive = context.outFolder + QStringLiteral("/pages.zip");
    ZipWriter zip(archive);
    bool ok = zip.open();
    for (const QString &image : std::as_const(images))
        ok = ok && zip.addFile(QFileInfo(image).fileName(), image);
    if (!ok || !zip.close())
        return ConversionResult::failed(QStringLiteral("Cannot pack the page images: %1").arg(zip.errorString()));
    return ConversionResult::made(archive);
}
