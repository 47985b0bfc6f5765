#pragma once

#include "converters/JobContext.h"

#include <QByteArray>

// PDF to Word (docx or doc). LibreOffice's own PDF import into Writer keeps
// each page as frames anchored to its page, and its Word export moves all of
// them onto the first page, so every page of a longer PDF would be printed
// over the first. The text therefore goes through poppler's HTML (reading
// order, bold and italic kept, one page break per PDF page) into Writer, and
// LibreOffice writes the Word file from that.
class WordConverter final {
public:
    static ConversionResult toWord(JobContext &context);
    // pdftohtml's plain output made ready for Writer: no grey page background,
    // and a page break where each PDF page ended.
    static QByteArray flowHtml(const QByteArray &html);
};
