#pragma once

#include "layout/PageContent.h"
#include "layout/ToolRunner.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

// Figures drawn with shapes the writers cannot draw again (curves, slanted
// lines, outlines) or with turned text, which the flow leaves out: shapes
// within a few points of each other gather into a region, which takes in the
// boxes and rules drawn among them unless that brings more text inside. A region
// with no image and no ruled table inside becomes a picture of that part of
// the page in the shapes' place: rendered by pdftoppm where no text is
// inside, and without its text where some is, which stays text in front.
class FigureRegions final {
public:
    // The regions of a page that become pictures, largest first. `budget`,
    // when given, is the work left for the document and is spent; none are
    // found once it runs out.
    static QList<QRectF> find(const SourcePage &page, qint64 *budget = nullptr);
    // Whether upright text stands inside `region`.
    static bool holdsText(const SourcePage &page, const QRectF &region);
    // Whether a page this size may be rendered whole for its figures with
    // text; a larger one (beyond A0) keeps their shapes and text as they are.
    static bool renderableWithoutText(const QSizeF &page);
    // Takes out of the page what the picture of `region` shows: the boxes, rules and shadings inside it.
    static void absorb(SourcePage &page, const QRectF &region);
    // Renders the regions of every page into workFolder and places them as the
    // pages' images. A region pdftoppm cannot draw, and every one after it,
    // keeps its page as it was: figures never fail a conversion.
    static void render(ToolRunner &tools, const QString &pdf, const QString &workFolder, SourceDocument &document);
};
