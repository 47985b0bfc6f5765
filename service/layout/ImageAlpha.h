#pragma once

#include "layout/PageContent.h"

#include <QList>
#include <QPainterPath>
#include <QSize>
#include <QString>

// Images drawn see-through (through a soft mask, or at an opacity of their
// own or of the group they are drawn in) or cut by a clip of another shape
// than a box, as pictures that carry it: a shadow or a ray of light drawn at
// 15 % would otherwise come out solid, a round portrait square.
class ImageAlpha final {
public:
    // Writes `image` to `target` as PNG with an alpha channel of `mask` (grey,
    // scaled to the image; fully opaque when empty) times `opacity`, cut to
    // `outline` where one is given (in pixels of an image `outlineSize`
    // large, scaled to the file's). False when an image cannot be read, is
    // too large, or the file not written.
    static bool compose(const QString &image, const QString &mask, double opacity, const QString &target,
                        const QPainterPath &outline = {}, QSize outlineSize = {});
    // Gives every see-through or cut placement a file of its own in
    // `folder`, once per image, mask, opacity and outline, and a key to
    // match; placements whose image cannot be composed stay as they were.
    static void apply(QList<SourcePage> &pages, const QString &folder);
};
