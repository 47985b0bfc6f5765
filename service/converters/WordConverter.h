#pragma once

#include "converters/JobContext.h"

#include <QByteArray>

// PDF to Word (docx or doc). The layout engine reads the PDF's text, rules
// and images, understands them as paragraphs, columns, tables and pictures,
// and writes a docx that keeps one page per PDF page; "doc" is LibreOffice's
// conversion of that docx.
//
// The route before it (poppler's reading-order HTML with a page break per PDF
// page, imported into Writer and saved by LibreOffice) stays as
// toWordThroughHtml, for the benchmark that compares the two.
class WordConverter final {
public:
    static ConversionResult toWord(JobContext &context);

    static ConversionResult toWordThroughHtml(JobContext &context);
    // pdftohtml's plain output made ready for Writer: no grey page background,
    // and a page break where each PDF page ended.
    static QByteArray flowHtml(const QByteArray &html);

private:
    static bool wantsDoc(const JobContext &context);
};
