#include "layout/DocumentAnalyzer.h"

#include "layout/Hyphenation.h"
#include "layout/PageAnalyzer.h"
#include "layout/TextWords.h"

#include <QHash>
#include <QMap>

#include <cmath>

namespace {

constexpr double kLarger = 1.12;
constexpr int kMaxHeadingChars = 200;

// The size of most of a paragraph's characters, and whether they are all bold.
std::pair<double, bool> dominant(const Paragraph &paragraph, const QList<TextStyle> &styles)
{
    QHash<double, qsizetype> perSize;
    bool bold = true;
    for (const TextRun &run : paragraph.runs) {
        const TextStyle style = styles.value(run.style);
        perSize[style.size] += run.text.trimmed().size();
        bold = bold && (style.bold || run.text.trimmed().isEmpty());
    }
    double size = 0;
    qsizetype most = -1;
    // Ties go to the larger size, whatever order the hash keeps.
    for (auto it = perSize.cbegin(); it != perSize.cend(); ++it) {
        if (it.value() > most || (it.value() == most && it.key() > size)) {
            most = it.value();
            size = it.key();
        }
    }
    return {size, bold};
}

template <typename Visit> void eachParagraph(QList<StructuredPage> &pages, Visit visit)
{
    for (StructuredPage &page : pages) {
        for (Paragraph &paragraph : page.paragraphs)
            visit(paragraph);
    }
}

bool mayBeHeading(const Paragraph &paragraph)
{
    const QString text = paragraph.text().trimmed();
    return !paragraph.keepSpaces && !paragraph.listItem && paragraph.lineCount <= 3 && !text.isEmpty() &&
           text.size() <= kMaxHeadingChars && paragraph.tabStops.size() <= (paragraph.numbered ? 1 : 0);
}

} // namespace

QSet<QString> DocumentAnalyzer::vocabulary(const SourceDocument &document)
{
    QSet<QString> words;
    for (const SourcePage &page : document.pages) {
        for (const TextWords::Word &word : TextWords::words(page.glyphs))
            words.insert(Hyphenation::vocabularyForm(word.text));
    }
    return words;
}

double DocumentAnalyzer::bodySize(const QList<StructuredPage> &pages, const QList<TextStyle> &styles)
{
    QMap<double, qsizetype> charsPerSize;
    for (const StructuredPage &page : pages) {
        for (const Paragraph &paragraph : page.paragraphs) {
            for (const TextRun &run : paragraph.runs)
                charsPerSize[styles.value(run.style).size] += run.text.size();
        }
    }
    double body = 0;
    qsizetype most = -1;
    for (auto it = charsPerSize.cbegin(); it != charsPerSize.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            body = it.key();
        }
    }
    return body;
}

void DocumentAnalyzer::markHeadings(QList<StructuredPage> &pages, const QList<TextStyle> &styles)
{
    const double body = bodySize(pages, styles);
    if (body <= 0)
        return;
    // Heading sizes, largest first, give the levels; bold text of body size is the lowest level.
    QList<double> sizes;
    eachParagraph(pages, [&](Paragraph &paragraph) {
        const auto [size, bold] = dominant(paragraph, styles);
        const double rounded = std::round(size * 2) / 2;
        if (mayBeHeading(paragraph) && size >= kLarger * body && !sizes.contains(rounded))
            sizes.append(rounded);
    });
    std::sort(sizes.begin(), sizes.end(), std::greater<>());
    eachParagraph(pages, [&](Paragraph &paragraph) {
        if (!mayBeHeading(paragraph))
            return;
        const auto [size, bold] = dominant(paragraph, styles);
        const double rounded = std::round(size * 2) / 2;
        if (size >= kLarger * body) {
            paragraph.headingLevel = qMin(3, int(sizes.indexOf(rounded)) + 1);
        } else if (bold && size >= 0.95 * body && paragraph.lineCount <= 2 &&
                   !paragraph.text().trimmed().endsWith(QLatin1Char('.'))) {
            paragraph.headingLevel = qMin(3, int(sizes.size()) + 1);
        }
    });
}

QList<StructuredPage> DocumentAnalyzer::analyze(const SourceDocument &document)
{
    const QSet<QString> words = vocabulary(document);
    QList<StructuredPage> pages;
    for (const SourcePage &page : document.pages)
        pages.append(PageAnalyzer::analyze(page, document.styles, words));
    markHeadings(pages, document.styles);
    return pages;
}
