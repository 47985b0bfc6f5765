#include "layout/PdfReader.h"

#include "layout/FigureRegions.h"
#include "layout/FontNames.h"
#include "layout/ImageCatalog.h"
#include "layout/ShadeColours.h"
#include "layout/TraceReader.h"

#include <QDir>
#include <QHash>

namespace {

bool readImages(ToolRunner &tools, const QString &pdf, const QString &workFolder, SourceDocument &document,
                QString *error)
{
    const bool any = std::any_of(document.pages.cbegin(), document.pages.cend(),
                                 [](const SourcePage &page) { return !page.images.isEmpty(); });
    if (!any)
        return true;
    if (!tools.run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}, error))
        return false;
    const QList<ImageCatalog::Entry> entries = ImageCatalog::parseList(QString::fromUtf8(tools.output()));
    const QString folder = workFolder + QStringLiteral("/images");
    QDir().mkpath(folder);
    // JPEG data stays JPEG; everything else is decoded to PNG.
    if (!tools.run(
            QStringLiteral("pdfimages"),
            {QStringLiteral("-png"), QStringLiteral("-j"), QStringLiteral("-p"), pdf, folder + QStringLiteral("/img")},
            error))
        return false;
    ImageCatalog::match(document.pages, entries, ImageCatalog::extractedFiles(folder));
    return true;
}

} // namespace

void PdfReader::resolveFonts(ToolRunner &tools, QList<TextStyle> &styles)
{
    QHash<QString, QString> resolved;
    for (TextStyle &style : styles) {
        FontNames::Face face = FontNames::describe(style.sourceFont);
        face.mono = face.mono || style.mono;
        const QString pattern = FontNames::pattern(face);
        auto found = resolved.constFind(pattern);
        if (found == resolved.constEnd()) {
            QString family = face.family;
            QString ignored;
            if (tools.run(QStringLiteral("fc-match"),
                          {QStringLiteral("-f"), QStringLiteral("%{family}\t%{weight}\t%{slant}\n"), pattern},
                          &ignored)) {
                const QStringList lines =
                    QString::fromUtf8(tools.output()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
                // fontconfig may print warnings first; the answer is the last line.
                if (!lines.isEmpty() && !lines.last().startsWith(QLatin1String("Fontconfig")))
                    family = FontNames::matchedFamily(face, lines.last());
            }
            found = resolved.insert(pattern, FontNames::standIn(face, family));
        }
        style.font = *found;
        // Lines wrap with the spaces of the font that stands in.
        const double space = FontNames::spaceAdvance(style.font);
        if (space > 0)
            style.spaceWidth = space;
    }
}

std::optional<SourceDocument> PdfReader::read(ToolRunner &tools, const QString &pdf, const QString &workFolder,
                                              QString *error, Graphics graphics)
{
    const QString trace = workFolder + QStringLiteral("/trace.xml");
    if (!tools.run(
            QStringLiteral("mutool"),
            {QStringLiteral("draw"), QStringLiteral("-F"), QStringLiteral("trace"), QStringLiteral("-o"), trace, pdf},
            error))
        return std::nullopt;
    std::optional<SourceDocument> document = TraceReader::readFile(trace, error);
    QFile::remove(trace);
    if (!document)
        return std::nullopt;
    if (graphics == Graphics::Read) {
        if (!readImages(tools, pdf, workFolder, *document, error))
            return std::nullopt;
        FigureRegions::render(tools, pdf, workFolder, *document);
        if (!ShadeColours::read(tools, pdf, workFolder, *document, error))
            return std::nullopt;
    }
    resolveFonts(tools, document->styles);
    return document;
}
