#include "layout/LinkReader.h"

#include <QFile>
#include <QUrl>

namespace {

// Prints each link with its box from the page's top-left corner, the corner
// the drawing trace measures from.
const char kScript[] = R"(var doc = new Document(scriptArgs[0]);
for (var i = 0; i < doc.countPages(); ++i) {
  var page = doc.loadPage(i);
  var origin = page.bound();
  var links = page.getLinks();
  for (var j = 0; j < links.length; ++j) {
    try {
      var b = links[j].bounds;
      var uri = links[j].uri;
      var target = uri.charAt(0) == "#" ? "#" + doc.resolveLink(uri).page : uri;
      print(i + "\t" + (b[0] - origin[0]) + " " + (b[1] - origin[1]) + " " + (b[2] - origin[0]) + " " +
            (b[3] - origin[1]) + "\t" + target);
    } catch (e) {
      // a link to nowhere; the others still count
    }
  }
}
)";

constexpr qsizetype kMaxAddress = 2048;
// Each word is looked up among its page's links: a page of a hundred thousand
// links (a hostile file) would cost minutes, a real page has a few hundred.
constexpr qsizetype kMaxPerPage = 2000;

} // namespace

bool LinkReader::isSafeAddress(const QString &address)
{
    if (address.size() > kMaxAddress)
        return false;
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool known = scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                       scheme == QLatin1String("mailto") || scheme == QLatin1String("ftp");
    return url.isValid() && known && (scheme == QLatin1String("mailto") || !url.host().isEmpty());
}

void LinkReader::parse(const QByteArray &output, SourceDocument &document)
{
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 3)
            continue;
        bool pageRead = false;
        const int page = fields[0].toInt(&pageRead);
        const QList<QByteArray> numbers = fields[1].split(' ');
        if (!pageRead || page < 0 || page >= document.pages.size() || numbers.size() != 4)
            continue;
        double box[4];
        bool boxRead = true;
        for (int i = 0; i < 4; ++i) {
            bool read = false;
            box[i] = numbers[i].toDouble(&read);
            boxRead = boxRead && read;
        }
        PageLink link{QRectF(QPointF(box[0], box[1]), QPointF(box[2], box[3])).normalized(), {}, -1};
        const QString target = QString::fromUtf8(fields[2]).trimmed();
        if (target.startsWith(QLatin1Char('#'))) {
            bool read = false;
            link.page = target.mid(1).toInt(&read);
            if (!read || link.page < 0 || link.page >= document.pages.size())
                continue;
        } else if (isSafeAddress(target)) {
            link.url = target;
        } else {
            continue;
        }
        QList<PageLink> &links = document.pages[page].links;
        if (boxRead && !link.box.isEmpty() && links.size() < kMaxPerPage)
            links.append(link);
    }
}

void LinkReader::read(ToolRunner &tools, const QString &pdf, const QString &workFolder, SourceDocument &document)
{
    const QString script = workFolder + QStringLiteral("/links.js");
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(kScript) != qint64(sizeof(kScript) - 1))
        return;
    file.close();
    QString ignored; // a document whose links cannot be read converts without them
    if (tools.run(QStringLiteral("mutool"), {QStringLiteral("run"), script, pdf}, &ignored))
        parse(tools.output(), document);
    QFile::remove(script);
}
