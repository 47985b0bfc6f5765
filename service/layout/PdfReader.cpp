#include "layout/PdfReader.h"

#include "layout/FigureRegions.h"
#include "layout/FontNames.h"
#include "layout/ImageAlpha.h"
#include "layout/ImageCatalog.h"
#include "layout/LinkReader.h"
#include "layout/ScanText.h"
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
    // JPEG data stays JPEG; everything else comes in pdfimages' own formats,
    // which it writes many times faster than PNG (a slide deck's 260 images:
    // 1.3 s against 45 s) and rightly at 16 bits a component, where its PNG
    // turned a plot's white black.
    if (!tools.run(QStringLiteral("pdfimages"),
                   {QStringLiteral("-j"), QStringLiteral("-p"), pdf, folder + QStringLiteral("/img")}, error))
        return false;
    ImageCatalog::match(document.pages, entries, ImageCatalog::extractedFiles(folder));
    ImageCatalog::settleFiles(document.pages);
    ImageAlpha::apply(document.pages, folder);
    return true;
}

std::optional<SourceDocument> traced(ToolRunner &tools, const QString &pdf, const QString &workFolder, QString *error)
{
    const QString trace = workFolder + QStringLiteral("/trace.xml");
    // Spot colours are traced as their process colours (-O 0): simulating
    // them stops the whole trace at a page of more than mutool's 64 inks.
    if (!tools.run(QStringLiteral("mutool"),
                   {QStringLiteral("draw"), QStringLiteral("-O"), QStringLiteral("0"), QStringLiteral("-F"),
                    QStringLiteral("trace"), QStringLiteral("-o"), trace, pdf},
                   error))
        return std::nullopt;
    std::optional<SourceDocument> document = TraceReader::readFile(trace, error);
    QFile::remove(trace);
    return document;
}

// A copy of the PDF with its sideways pages turned upright (qpdf adds to
// their rotation); empty when no page is sideways or the copy failed.
QString uprightCopy(ToolRunner &tools, const QString &pdf, const QString &workFolder, const SourceDocument &document)
{
    QStringList pagesByTurn[4];
    for (qsizetype p = 0; p < document.pages.size(); ++p)
        pagesByTurn[PdfReader::uprightTurn(document.pages[p])].append(QString::number(p + 1));
    QStringList arguments{QStringLiteral("--decrypt"), QStringLiteral("--warning-exit-0")};
    for (int turn = 1; turn < 4; ++turn) {
        if (!pagesByTurn[turn].isEmpty())
            arguments << QStringLiteral("--rotate=+%1:%2").arg(90 * turn).arg(pagesByTurn[turn].join(QLatin1Char(',')));
    }
    if (arguments.size() == 2)
        return {};
    const QString upright = workFolder + QStringLiteral("/upright.pdf");
    QString ignored; // the pages are read as they are drawn instead
    if (!tools.run(QStringLiteral("qpdf"), arguments << pdf << upright, &ignored))
        return {};
    return upright;
}

} // namespace

DocumentInfo PdfReader::parseInfo(const QByteArray &output)
{
    // Longer values are no title a reader would want, and would only swell the document.
    constexpr qsizetype kLongest = 1000;
    DocumentInfo info;
    for (const QByteArray &line : output.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray key = line.left(colon);
        const QString value = QString::fromUtf8(line.mid(colon + 1)).trimmed().left(kLongest);
        if (key == "Title")
            info.title = value;
        else if (key == "Author")
            info.author = value;
        else if (key == "Subject")
            info.subject = value;
        else if (key == "Keywords")
            info.keywords = value;
        else if (key == "CreationDate")
            info.created = QDateTime::fromString(value, Qt::ISODate);
    }
    return info;
}

int PdfReader::uprightTurn(const SourcePage &page)
{
    // A few turned labels beside upright text leave the page as it is.
    constexpr int kFewest = 10;
    int best = 0;
    for (int turn = 1; turn < 4; ++turn) {
        const int glyphs = page.glyphsByTurn[turn];
        if (glyphs >= kFewest && glyphs > 2 * page.glyphsByTurn[0] && glyphs > page.glyphsByTurn[best])
            best = turn;
    }
    return best;
}

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
            if (tools.run(
                    QStringLiteral("fc-match"),
                    {QStringLiteral("-f"), QStringLiteral("%{family}\t%{weight}\t%{slant}\t%{fontformat}\n"), pattern},
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
        // Lines wrap with the spaces of the font that stands in, scaled as its letters are.
        const double space = FontNames::spaceAdvance(style.font);
        if (space > 0)
            style.spaceWidth = space * style.stretch;
    }
}

std::optional<SourceDocument> PdfReader::read(ToolRunner &tools, const QString &pdf, const QString &workFolder,
                                              QString *error, Graphics graphics)
{
    std::optional<SourceDocument> document = traced(tools, pdf, workFolder, error);
    if (!document)
        return std::nullopt;
    QString ignored; // a document whose information cannot be read converts without it
    const DocumentInfo info =
        tools.run(QStringLiteral("pdfinfo"),
                  {QStringLiteral("-isodates"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf}, &ignored)
            ? parseInfo(tools.output())
            : DocumentInfo();
    // Everything after is read from the upright copy, so that pictures turn with the text.
    QString source = uprightCopy(tools, pdf, workFolder, *document);
    if (!source.isEmpty()) {
        document = traced(tools, source, workFolder, error);
        if (!document)
            return std::nullopt;
    } else {
        source = pdf;
    }
    ScanText::reveal(*document);
    if (graphics == Graphics::Read) {
        if (!readImages(tools, source, workFolder, *document, error))
            return std::nullopt;
        ScanText::blank(*document, workFolder);
        FigureRegions::render(tools, source, workFolder, *document);
        if (!ShadeColours::read(tools, source, workFolder, *document, error))
            return std::nullopt;
    }
    LinkReader::read(tools, source, workFolder, *document); // a workbook's cells link as well
    resolveFonts(tools, document->styles);
    document->info = info;
    return document;
}
