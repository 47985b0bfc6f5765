#pragma once

#include "converters/JobContext.h"

// Looks at inputs before a converter does, so that an empty, damaged or
// password-protected file, or one that is not what its name says, fails with
// a text that names the cause instead of converting into gibberish.
class InputCheck final {
public:
    // Why the input cannot be converted, or an empty text.
    static QString checkFile(const JobInput &input);
    // A Word, PowerPoint or Excel file must be one: OOXML a zip package with
    // the main part of its kind, the older formats a compound file (or what
    // those programs also save under the old names: RTF, HTML, a renamed package).
    static QString checkOfficeDocument(const JobInput &input);
    // A JPEG, PNG or BMP file must start with its format's signature.
    static QString checkImage(const JobInput &input);
    // Replaces a PDF input by an unencrypted copy that qpdf could read.
    static QString preparePdf(JobContext &context, JobInput &input, int index);

private:
    static QByteArray head(const QString &path, qint64 size);
    // The client's file name for texts, or a neutral phrase.
    static QString displayName(const JobInput &input);
};
