#include "layout/ShapeRuns.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr double kSameSide = 0.5;  // points between sides that are one side
constexpr double kMeet = 0.1;      // points of gap between pieces that still meet: a wider one may be meant
constexpr double kAxis = 0.1;      // a line's box is this thin across
constexpr double kSameAxis = 0.05; // points between lines on one axis
constexpr int kMaxPieces = 4000;   // beyond this a page is a drawing, and stays as drawn

struct Piece {
    QRectF area; // what it paints
    int order = -1;
};

struct Run {
    Shape shape;
    QList<int> members; // indices of its pieces
};

// A line paints half its width either side, and no further than its ends.
QRectF painted(const Shape &shape)
{
    const double half = shape.lineWidth / 2;
    if (half <= 0)
        return shape.box;
    return shape.box.width() < shape.box.height() ? shape.box.adjusted(-half, 0, half, 0)
                                                  : shape.box.adjusted(0, -half, 0, half);
}

// Whether two areas share more than the sliver rounding leaves between
// pieces that only touch.
bool overlap(const QRectF &a, const QRectF &b)
{
    const QRectF common = a.intersected(b);
    return common.width() > kMeet && common.height() > kMeet;
}

bool near(double a, double b)
{
    return std::abs(a - b) <= kSameSide;
}

// Whether `b` stands on `a` with the same sides (`stacked`), or beside it
// with the same top and foot, meeting it. Translucent pieces only touch:
// overlapping, they painted their common part twice.
bool continues(const QRectF &a, const QRectF &b, bool mayOverlap, bool stacked)
{
    const bool sides = stacked ? near(a.left(), b.left()) && near(a.right(), b.right())
                               : near(a.top(), b.top()) && near(a.bottom(), b.bottom());
    const double aFrom = stacked ? a.top() : a.left();
    const double aTo = stacked ? a.bottom() : a.right();
    const double bFrom = stacked ? b.top() : b.left();
    const double bTo = stacked ? b.bottom() : b.right();
    const bool meet = bFrom <= aTo + kMeet && aFrom <= bTo + kMeet;
    const bool apart = bFrom >= aTo - 0.01 || aFrom >= bTo - 0.01;
    return sides && meet && (mayOverlap || apart);
}

bool joinable(const Shape &a, const Shape &b)
{
    if (a.order < 0 || b.order < 0 || a.gradient || b.gradient || a.color != b.color || a.lineWidth != b.lineWidth ||
        a.hairline != b.hairline || a.opacity != b.opacity || a.inFront != b.inFront || a.dash != b.dash)
        return false;
    const bool opaque = a.opacity >= 1;
    if (a.lineWidth <= 0)
        return continues(a.box, b.box, opaque, true) || continues(a.box, b.box, opaque, false);
    // Lines join along their own axis only.
    const bool upright =
        a.box.width() < kAxis && b.box.width() < kAxis && std::abs(a.box.center().x() - b.box.center().x()) < kSameAxis;
    const bool level = a.box.height() < kAxis && b.box.height() < kAxis &&
                       std::abs(a.box.center().y() - b.box.center().y()) < kSameAxis;
    return (upright && continues(a.box, b.box, opaque, true)) || (level && continues(a.box, b.box, opaque, false));
}

// Whether a piece other than the run's own, painted after the run's place
// in the paint order and before `to`, lies over `area`.
bool paintedBetween(const QList<Piece> &pieces, const Run &run, int to, const QRectF &area)
{
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const Piece &piece = pieces[i];
        if (piece.order > run.shape.order && piece.order < to && overlap(piece.area, area) &&
            !run.members.contains(int(i)))
            return true;
    }
    return false;
}

// Joins the piece into the run where its place in the paint order allows.
bool join(Run &run, const QList<Piece> &pieces, const Shape &piece, int index)
{
    if (!joinable(run.shape, piece))
        return false;
    if (paintedBetween(pieces, run, piece.order, painted(piece))) {
        if (paintedBetween(pieces, run, piece.order, painted(run.shape)))
            return false;
        run.shape.order = piece.order;
    }
    run.shape.box = run.shape.box.united(piece.box);
    run.members.append(index);
    return true;
}

} // namespace

QList<Shape> ShapeRuns::joined(const QList<Shape> &shapes, const QList<Picture> &pictures)
{
    if (shapes.size() > kMaxPieces)
        return shapes;
    QList<Piece> pieces;
    for (const Shape &shape : shapes)
        pieces.append({painted(shape), shape.order});
    for (const Picture &picture : pictures)
        pieces.append({picture.box, picture.order});
    QList<int> byOrder(shapes.size());
    std::iota(byOrder.begin(), byOrder.end(), 0);
    std::stable_sort(byOrder.begin(), byOrder.end(), [&](int a, int b) { return shapes[a].order < shapes[b].order; });
    QList<Run> runs;
    for (const int index : std::as_const(byOrder)) {
        bool taken = false;
        for (qsizetype r = runs.size() - 1; r >= 0 && !taken; --r)
            taken = join(runs[r], pieces, shapes[index], index);
        if (!taken)
            runs.append({shapes[index], {index}});
    }
    // In the order the pieces came, which tells which to keep first.
    const auto firstCome = [](const Run &run) { return *std::min_element(run.members.cbegin(), run.members.cend()); };
    std::sort(runs.begin(), runs.end(), [&](const Run &a, const Run &b) { return firstCome(a) < firstCome(b); });
    QList<Shape> result;
    for (const Run &run : std::as_const(runs))
        result.append(run.shape);
    return result;
}
