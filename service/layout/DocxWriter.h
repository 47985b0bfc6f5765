#pragma once

#include "formats/DocumentInfo.h"
#include "layout/PageContent.h"
#include "layout/PageStructure.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Writes structured pages as a WordprocessingML document. Each source page
// becomes one page: it opens with a one-point paragraph that carries the page
// break and the page's pictures and coloured boxes (anchored at their places
// on the page), then its bands follow, each a section of as many columns as
// the band has (continuous where the column layout changes within a page).
// Paragraphs keep exact line heights and the source's vertical distances as
// spacing, so that text lands where it was; the bottom margin is small, so
// that a line that wraps differently finds room instead of spilling onto a
// page of its own.
class DocxWriter final {
public:
    struct Media {
        QString name;   // inside word/media/
        QString source; // the image file
    };

    // `info`: the title, author, subject, keywords and date the document keeps as its properties.
    static bool write(const QString &path, const QList<StructuredPage> &pages, const QList<TextStyle> &styles,
                      QString *error, const DocumentInfo &info = {});
    // word/document.xml, and the media it refers to (relationship "rIdImageN" for media N).
    static QByteArray documentXml(const QList<StructuredPage> &pages, const QList<TextStyle> &styles,
                                  QList<Media> *media);
    static QByteArray stylesXml(const QList<TextStyle> &styles);
    // docProps/core.xml: the fields `info` has.
    static QByteArray coreXml(const DocumentInfo &info);
    // The addresses the pages link to, each once: relationship "rIdLinkN" for address N.
    static QStringList linkAddresses(const QList<StructuredPage> &pages);
    // word/settings.xml: hyphenation on where the source hyphenated.
    static QByteArray settingsXml(const QList<StructuredPage> &pages);
};
