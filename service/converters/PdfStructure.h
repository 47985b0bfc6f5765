#pragma once

#include "converters/JobContext.h"
#include "layout/PageContent.h"
#include "layout/PageStructure.h"
#include "layout/PdfReader.h"

#include <optional>

// The first input of a job read and understood by the layout engine: what
// the Word and workbook routes write from.
class PdfStructure final {
public:
    QList<TextStyle> styles;
    QList<StructuredPage> pages;
    DocumentInfo info;

    // Reports progress from `from` to `to` on the way.
    static std::optional<PdfStructure> read(JobContext &context, int from, int to, QString *error,
                                            PdfReader::Graphics graphics = PdfReader::Graphics::Read);
};
