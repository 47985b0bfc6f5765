#include "layout/FigureRegions.h"

#include "layout/RuledTables.h"
#include "layout/TurnedText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kGap = 3;            // points between two shapes of one figure
constexpr double kMinLength = 12;     // points: shorter figures are bullets and ornaments, left out as before
constexpr double kMinWidth = 4;       // points: thinner ones are underlines and rules
constexpr double kTouch = 1;          // points: a box or rule this near a figure is drawn with it
constexpr double kAcross = 0.8;       // of a grid's width and height, that a drawing over it spans to make it one
constexpr int kMaxPerPage = 150;      // the largest figures of a page (a slide of icons)
constexpr int kMaxPerDocument = 1500; // figures made in all
constexpr int kMaxRuns = 40;          // runs of pdftoppm or mutool for them
constexpr int kOwnRuns = 3;           // figures of a page without text rendered each on its own; more are cropped
constexpr int kDpi = 150;
// Pixels of a whole page rendered without its text (an A0 page at kDpi is
// 35 million): a larger page keeps the shapes of its figures with text.
constexpr qint64 kMaxTextlessPixels = 40'000'000;
// Comparisons of boxes and glyphs a document may spend on finding figures:
// a page of many thousand scattered shapes ends the search, not the service.
constexpr qint64 kWorkBudget = 50'000'000;

// The upright glyphs whose middle stands inside the region.
qsizetype glyphsInside(const SourcePage &page, const QRectF &region)
{
    return std::count_if(page.glyphs.cbegin(), page.glyphs.cend(), [&region](const Glyph &glyph) {
        return !glyph.text.trimmed().isEmpty() && region.contains(glyph.box.center());
    });
}

// Whether the region lies within one cell of the table, its rules aside.
bool withinOneCell(const Table &table, const QRectF &region)
{
    const auto [row, column] = RuledTables::cellAt(table, region.center());
    if (row < 0)
        return false;
    const TableCell &cell = table.cells[row][column];
    const QRectF box(QPointF(table.columnEdges[column], table.rowEdges[row]),
                     QPointF(table.columnEdges[column + cell.columnSpan], table.rowEdges[row + cell.rowSpan]));
    return box.adjusted(-kTouch, -kTouch, kTouch, kTouch).contains(region);
}

bool bigEnough(const QRectF &region)
{
    return qMax(region.width(), region.height()) >= kMinLength && qMin(region.width(), region.height()) >= kMinWidth;
}

class Finder {
public:
    Finder(const SourcePage &page, qint64 &budget) : mPage(page), mBudget(budget) {}

    QList<QRectF> run()
    {
        // A grid of rules with no text in it is a drawing, not a table to
        // keep; so is one a slanted line or curve runs across (a placeholder
        // picture: a box, its cross and diagonals, and a letter in it).
        for (const RuledTables::Found &found : RuledTables::find(mPage.rules, mPage.fills)) {
            if (glyphsInside(mPage, found.table.box()) > 0 && !drawnAcross(found.table.box()))
                mTables.append(found.table);
        }
        QList<QRectF> kept;
        for (const QRectF &region : gather(mPage.drawings, kGap)) {
            if (bigEnough(region) && mayBeFigure(region))
                kept.append(withBoxesAmong(region));
        }
        kept = gather(kept, 0);
        kept.removeIf([this](const QRectF &region) { return !mayBeFigure(region); });
        if (mBudget < 0)
            return {};
        std::sort(kept.begin(), kept.end(),
                  [](const QRectF &a, const QRectF &b) { return a.width() * a.height() > b.width() * b.height(); });
        return kept.mid(0, kMaxPerPage);
    }

private:
    // Whether a drawing spans most of the box both ways.
    bool drawnAcross(const QRectF &box)
    {
        mBudget -= mPage.drawings.size();
        return std::any_of(mPage.drawings.cbegin(), mPage.drawings.cend(), [&box](const QRectF &drawing) {
            const QRectF shared = drawing.intersected(box);
            return shared.width() >= kAcross * box.width() && shared.height() >= kAcross * box.height();
        });
    }

    // Unites boxes closer than `gap` until no two results are that close.
    QList<QRectF> gather(const QList<QRectF> &boxes, double gap)
    {
        QList<QRectF> regions;
        for (const QRectF &box : boxes) {
            QRectF grown = box;
            for (qsizetype i = 0; i < regions.size() && mBudget >= 0;) {
                --mBudget;
                if (regions[i].adjusted(-gap, -gap, gap, gap).intersects(grown)) {
                    grown = grown.united(regions[i]);
                    regions.removeAt(i);
                    i = 0; // the larger box may now reach a region already passed
                } else {
                    ++i;
                }
            }
            regions.append(grown);
        }
        return mBudget < 0 ? QList<QRectF>() : regions;
    }

    // A ruled table stays a table; a figure within one of its cells (a
    // symbol) is the cell's. Text inside stays text in front of the picture,
    // which is drawn without it. An image under the region stays placed as
    // itself, and the picture, which shows it too, goes over it.
    bool mayBeFigure(const QRectF &region)
    {
        mBudget -= mTables.size();
        if (mBudget < 0)
            return false;
        return std::none_of(mTables.cbegin(), mTables.cend(), [&region](const Table &table) {
            return table.box().intersects(region) && !withinOneCell(table, region);
        });
    }

    qsizetype textInside(const QRectF &region)
    {
        mBudget -= mPage.glyphs.size();
        return glyphsInside(mPage, region);
    }

    // The figure's frame and the boxes it is drawn over belong to it. A box
    // that would bring more text inside never will, however the region grows:
    // a page-wide background stays a background.
    QRectF withBoxesAmong(QRectF region)
    {
        const qsizetype text = textInside(region);
        QList<QRectF> boxes;
        for (const FilledBox &fill : mPage.fills)
            boxes.append(fill.box);
        for (const Rule &rule : mPage.rules)
            boxes.append(rule.box());
        for (bool grew = true; grew && mBudget >= 0;) {
            grew = false;
            mBudget -= boxes.size();
            for (qsizetype i = 0; i < boxes.size(); ++i) {
                if (!region.adjusted(-kTouch, -kTouch, kTouch, kTouch).intersects(boxes[i]))
                    continue;
                const QRectF united = region.united(boxes[i]);
                boxes.removeAt(i--);
                if (mayBeFigure(united) && textInside(united) == text) {
                    region = united;
                    grew = true;
                }
            }
        }
        return region;
    }

    const SourcePage &mPage;
    qint64 &mBudget;
    QList<Table> mTables; // the page's ruled tables
};

bool inside(const QRectF &region, const QRectF &box)
{
    return region.adjusted(-kTouch, -kTouch, kTouch, kTouch).contains(box);
}

// The region on whole pixels of the rendering, and those pixels.
std::pair<QRectF, QRect> pixelGrid(const QRectF &region)
{
    const double scale = kDpi / 72.0;
    const int left = int(std::floor(region.left() * scale));
    const int top = int(std::floor(region.top() * scale));
    const int right = int(std::ceil(region.right() * scale));
    const int bottom = int(std::ceil(region.bottom() * scale));
    const QRect pixels(QPoint(left, top), QPoint(right - 1, bottom - 1));
    return {QRectF(left / scale, top / scale, pixels.width() / scale, pixels.height() / scale), pixels};
}

// The pixels of the page a figure that keeps its text as text takes from
// the rendering with text: its labels upside down or slanted, which no text
// box shows, less any upright glyph, which would otherwise show twice.
QRegion turnedLabels(const SourcePage &page, const QRectF &region)
{
    QRegion labels;
    for (const QRectF &box : page.turnedText) {
        if (region.intersects(box))
            labels += pixelGrid(box).second;
    }
    if (labels.isEmpty())
        return labels;
    const QRect bounds = labels.boundingRect();
    for (const Glyph &glyph : page.glyphs) {
        const QRect pixels = pixelGrid(glyph.box).second;
        if (region.intersects(glyph.box) && pixels.intersects(bounds))
            labels -= pixels;
    }
    return labels;
}

} // namespace

bool FigureRegions::renderableWithoutText(const QSizeF &page)
{
    const double scale = kDpi / 72.0;
    return std::ceil(page.width() * scale) * std::ceil(page.height() * scale) <= double(kMaxTextlessPixels);
}

bool FigureRegions::holdsText(const SourcePage &page, const QRectF &region)
{
    if (glyphsInside(page, region) > 0)
        return true;
    for (const int turn : {1, 3}) {
        for (const Glyph &glyph : page.sideGlyphs[turn]) {
            if (region.contains(TurnedText::onPage(glyph.box, turn, page.size).center()))
                return true;
        }
    }
    return false;
}

QList<QRectF> FigureRegions::find(const SourcePage &page, qint64 *budget)
{
    qint64 own = kWorkBudget;
    if (page.drawings.isEmpty())
        return {};
    return Finder(page, budget ? *budget : own).run();
}

void FigureRegions::absorb(SourcePage &page, const QRectF &region)
{
    page.fills.removeIf([&region](const FilledBox &fill) { return inside(region, fill.box); });
    page.rules.removeIf([&region](const Rule &rule) { return inside(region, rule.box()); });
    page.shades.removeIf([&region](const Shade &shade) { return inside(region, shade.box); });
    page.drawings.removeIf([&region](const QRectF &drawing) { return inside(region, drawing); });
}

namespace {

// Renders one page's figures: with pdftoppm, cropped, where no text is
// inside (from one rendering of the whole page where it has many such
// figures); from a rendering of the whole page without its text (mutool's
// -K), cropped here, where text is, which stays text in front of the picture.
class PageFigures {
public:
    PageFigures(ToolRunner &tools, const QString &pdf, const QString &folder, int page, bool wholePage)
        : mTools(tools), mPdf(pdf), mFolder(folder), mPage(page), mWholePage(wholePage)
    {
    }

    // Whether the next figure of this kind needs a run of a tool.
    bool needsRun(bool withoutText) const { return withoutText ? mTextless.isNull() : !mWholePage || mWhole.isNull(); }

    // Whether showing turned text in a figure without text needs a run of a tool.
    bool needsWholeRun() const { return mWhole.isNull(); }

    // The picture of `pixels` written to `file`; false when it could not be made.
    // `turned` (pixels of the page) shows as drawn in a picture without text.
    bool render(const QRect &pixels, bool withoutText, const QString &file, const QRegion &turned)
    {
        if (withoutText)
            return cropTextless(pixels, file, turned);
        return mWholePage ? cropWhole(pixels, file) : cropWithText(pixels, file);
    }

private:
    static bool crop(const QImage &page, const QRect &pixels, const QString &file)
    {
        const QRect inside = pixels.intersected(page.rect());
        return !inside.isEmpty() && page.copy(inside).save(file, "PNG");
    }

    // The whole page rendered with its text, once.
    bool renderWhole()
    {
        if (!mWhole.isNull())
            return true;
        QString error;
        const QString base = mFolder + QStringLiteral("/page%1-whole").arg(mPage);
        if (!mTools.run(QStringLiteral("pdftoppm"),
                        {QStringLiteral("-r"), QString::number(kDpi), QStringLiteral("-f"), QString::number(mPage),
                         QStringLiteral("-l"), QString::number(mPage), QStringLiteral("-png"),
                         QStringLiteral("-singlefile"), mPdf, base},
                        &error) ||
            !mWhole.load(base + QStringLiteral(".png")))
            return false;
        QFile::remove(base + QStringLiteral(".png"));
        return true;
    }

    bool cropWhole(const QRect &pixels, const QString &file) { return renderWhole() && crop(mWhole, pixels, file); }

    bool cropWithText(const QRect &pixels, const QString &file)
    {
        QString error;
        const QString base = file.chopped(int(qstrlen(".png")));
        return mTools.run(QStringLiteral("pdftoppm"),
                          {QStringLiteral("-r"), QString::number(kDpi), QStringLiteral("-f"), QString::number(mPage),
                           QStringLiteral("-l"), QString::number(mPage), QStringLiteral("-x"),
                           QString::number(pixels.x()), QStringLiteral("-y"), QString::number(pixels.y()),
                           QStringLiteral("-W"), QString::number(pixels.width()), QStringLiteral("-H"),
                           QString::number(pixels.height()), QStringLiteral("-png"), QStringLiteral("-singlefile"),
                           mPdf, base},
                          &error) &&
               QFileInfo(file).isFile();
    }

    bool cropTextless(const QRect &pixels, const QString &file, const QRegion &turned)
    {
        if (mTextless.isNull()) {
            QString error;
            const QString whole = mFolder + QStringLiteral("/page%1-textless.png").arg(mPage);
            // Hairlines (width 0) a pixel wide, as pdftoppm draws them: mutool
            // draws them fainter, or not at all (a diagram's outlines).
            if (!mTools.run(QStringLiteral("mutool"),
                            {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-K"), QStringLiteral("-l"),
                             QStringLiteral("1"), QStringLiteral("-r"), QString::number(kDpi), QStringLiteral("-o"),
                             whole, mPdf, QString::number(mPage)},
                            &error) ||
                !mTextless.load(whole))
                return false;
            QFile::remove(whole);
        }
        if (turned.isEmpty())
            return crop(mTextless, pixels, file);
        const QRect inside = pixels.intersected(mTextless.rect());
        if (inside.isEmpty() || !renderWhole())
            return false;
        // Labels upside down or slanted come from the rendering with text:
        // other text stays text in front of the picture, they cannot.
        QImage picture = mTextless.copy(inside).convertToFormat(QImage::Format_RGB32);
        QPainter painter(&picture);
        painter.setClipRegion(turned.translated(-inside.topLeft()));
        painter.drawImage(QPoint(0, 0), mWhole, inside);
        painter.end();
        return picture.save(file, "PNG");
    }

    ToolRunner &mTools;
    QString mPdf;
    QString mFolder;
    int mPage;
    bool mWholePage;
    QImage mTextless; // the page without its text, once rendered
    QImage mWhole;    // the whole page, once rendered
};

} // namespace

void FigureRegions::render(ToolRunner &tools, const QString &pdf, const QString &workFolder, SourceDocument &document)
{
    const QString folder = workFolder + QStringLiteral("/figures");
    qint64 budget = kWorkBudget;
    int made = 0;
    int runs = 0;
    for (qsizetype p = 0; p < document.pages.size() && made < kMaxPerDocument; ++p) {
        SourcePage &page = document.pages[p];
        const QList<QRectF> regions = find(page, &budget);
        const auto textFree = std::count_if(regions.cbegin(), regions.cend(),
                                            [&page](const QRectF &region) { return !holdsText(page, region); });
        PageFigures figures(tools, pdf, folder, int(p + 1), textFree > kOwnRuns);
        for (qsizetype r = 0; r < regions.size() && made < kMaxPerDocument; ++r) {
            // A point more on each side keeps the hairlines along its edges.
            const QRectF padded =
                regions[r].adjusted(-kTouch, -kTouch, kTouch, kTouch).intersected(QRectF(QPointF(0, 0), page.size));
            const auto [box, pixels] = pixelGrid(padded);
            const QString file = folder + QStringLiteral("/page%1-figure%2.png").arg(p + 1).arg(r + 1);
            const bool withText = holdsText(page, regions[r]);
            if (withText && !renderableWithoutText(page.size))
                continue;
            if (figures.needsRun(withText)) {
                if (runs >= kMaxRuns)
                    continue;
                ++runs;
            }
            QRegion turned = withText ? turnedLabels(page, regions[r]) : QRegion();
            if (!turned.isEmpty() && figures.needsWholeRun()) {
                if (runs < kMaxRuns)
                    ++runs;
                else
                    turned = QRegion();
            }
            QDir().mkpath(folder);
            if (!figures.render(pixels, withText, file, turned))
                return; // the rest keep their pages as they were; a cancelled job stops here
            ImagePlacement figure;
            figure.box = box;
            figure.frame = box.size();
            figure.pixels = pixels.size();
            figure.file = file;
            figure.key = QStringLiteral("figure ") + QFileInfo(file).completeBaseName();
            absorb(page, regions[r]);
            page.images.append(figure);
            ++made;
        }
    }
}
