#pragma once

#include "layout/PageContent.h"
#include "layout/ToolRunner.h"

#include <QByteArray>
#include <QString>

// The link areas of each page (web and mail addresses, places in the
// document), read by a small script MuPDF runs (`mutool run`), so that the
// Word document's links lead where the PDF's did. Links to anything else
// (files, scripts, other programs) are left out.
class LinkReader final {
public:
    // Adds each page's links; a document whose links cannot be read keeps none.
    static void read(ToolRunner &tools, const QString &pdf, const QString &workFolder, SourceDocument &document);
    // The script's output: a line per link, "page<TAB>left top right bottom<TAB>target",
    // the target an address or "#" and the page it leads to, pages counted from 0.
    static void parse(const QByteArray &output, SourceDocument &document);
    // Whether a link may lead to the address: the web, mail or file transfer, nothing else.
    static bool isSafeAddress(const QString &address);
};
