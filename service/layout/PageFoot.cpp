#include "layout/PageFoot.h"

#include <algorithm>

namespace {

constexpr double kFootShare = 0.8; // of the page's height: where its foot begins
constexpr double kGapLines = 0.8;  // of a foot line's height: the space above it, at least

// The lowest edge of what the page holds apart from its single lines at the
// foot, pictures behind the text aside (a slide's background reaches the
// page's edge); negative when there is nothing.
double bodyBottom(const StructuredPage &page, const QList<int> &candidates)
{
    double bottom = -1;
    for (qsizetype i = 0; i < page.paragraphs.size(); ++i) {
        if (!candidates.contains(int(i)))
            bottom = qMax(bottom, page.paragraphs[i].bottom());
    }
    for (const Table &table : page.tables)
        bottom = qMax(bottom, table.box().bottom());
    for (const Picture &picture : page.pictures) {
        if (!picture.behindText)
            bottom = qMax(bottom, picture.box.bottom());
    }
    return bottom;
}

} // namespace

QList<int> PageFoot::paragraphs(const StructuredPage &page)
{
    const double footTop = kFootShare * page.size.height();
    QList<int> candidates;
    for (qsizetype i = 0; i < page.paragraphs.size(); ++i) {
        const Paragraph &paragraph = page.paragraphs[i];
        if (paragraph.lineCount == 1 && paragraph.top() >= footTop)
            candidates.append(int(i));
    }
    double above = bodyBottom(page, candidates);
    if (candidates.isEmpty() || above < 0)
        return {};
    std::sort(candidates.begin(), candidates.end(),
              [&page](int a, int b) { return page.paragraphs[a].top() < page.paragraphs[b].top(); });
    // From the top down: a line close under the text is the text's own last.
    QList<int> foot;
    for (const int at : std::as_const(candidates)) {
        const Paragraph &paragraph = page.paragraphs[at];
        if (paragraph.top() >= above + kGapLines * paragraph.lineHeight)
            foot.append(at);
        else if (foot.isEmpty())
            above = qMax(above, paragraph.bottom());
        else
            break;
    }
    std::sort(foot.begin(), foot.end());
    return foot;
}
