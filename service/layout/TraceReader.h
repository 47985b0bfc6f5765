#pragma once

#include "layout/PageContent.h"

#include <QHash>
#include <QIODevice>
#include <QString>

// Reads the drawing trace of a PDF (`mutool draw -F trace`): every glyph with
// its font, size and colour, the axis-aligned rules and filled boxes of its
// paths, and the places of its images. Content inside patterns, soft masks
// and clip paths draws nothing of its own and is skipped. Fonts get their
// weight and slant from their names (FontNames) and count as monospaced when
// every glyph they drew has the same advance.
class TraceReader final {
public:
    // Nothing on a malformed trace; *error says where it broke.
    static std::optional<SourceDocument> read(QIODevice &trace, QString *error);
    static std::optional<SourceDocument> readFile(const QString &path, QString *error);
    // A piece of the trace with what XML 1.0 cannot carry replaced: control
    // characters, U+FFFE and U+FFFF, and encoded surrogates, written out or
    // as character references, which the trace copies from broken fonts'
    // character maps.
    static QByteArray sanitized(const QByteArray &chunk);
    // The longest character reference the sanitizing looks at ("&#x10FFFF;" and a little more).
    static constexpr qsizetype kMaxReference = 16;
};
