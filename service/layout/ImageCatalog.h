#pragma once

#include "layout/PageContent.h"

#include <QHash>
#include <QList>
#include <QString>

// The images of a PDF as poppler's pdfimages lists and extracts them, matched
// to the places the drawing trace found them: both walk each page's content
// in drawing order, so the n-th image drawn on a page is the n-th image row
// of that page (masks aside), checked by its pixel size.
class ImageCatalog final {
public:
    struct Entry {
        int page = 0; // from 1
        int number = 0;
        QString type; // image, mask, smask, stencil
        QSize pixels;
        QString key; // "object generation", or a key of its own for an inline image
    };

    // The rows of `pdfimages -list`.
    static QList<Entry> parseList(const QString &listing);
    // The files of `pdfimages -p` in a folder by image number ("x-001-004.png" is image 4).
    static QHash<int, QString> extractedFiles(const QString &folder);
    // Gives each placement the file and key of its image, and its soft mask's
    // file; placements without a match keep none.
    static void match(QList<SourcePage> &pages, const QList<Entry> &entries, const QHash<int, QString> &files);
    // Gives every placement of one image the files of its first, and turns
    // those of them in pdfimages' own formats (PPM, PGM, PBM) into PNG, which
    // a document can hold; a file that cannot be turned is dropped.
    static void settleFiles(QList<SourcePage> &pages);
};
