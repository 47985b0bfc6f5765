#pragma once

#include "converters/JobContext.h"

// Looks at inputs before a converter does, so that an empty, damaged or
// password-protected file fails with a text that names the cause.
class InputCheck final {
public:
    // Why the input cannot be converted, or an empty text.
    static QString checkFile(const JobInput &input);
    static QString checkOfficeDocument(const JobInput &input);
    // Replaces a PDF input by an unencrypted copy that qpdf could read.
    static QString preparePdf(JobContext &context, JobInput &input, int index);

private:
    static QByteArray head(const QString &path, qint64 size);
};
