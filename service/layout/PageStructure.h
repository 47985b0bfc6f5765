#pragma once

#include "layout/PageContent.h"

#include <QList>
#include <QMarginsF>
#include <QRectF>
#include <QSet>
#include <QString>

// A page as the writers see it: paragraphs and tables in reading order,
// grouped into horizontal bands of one or more columns, and the pictures and
// coloured boxes drawn at fixed places behind or beside the text.
// Coordinates are points from the page's top-left corner.

// The box reflected across the page's left edge: right-to-left text measured
// as left-to-right text is, its start on the left.
inline QRectF mirroredBox(const QRectF &box)
{
    return QRectF(-box.right(), box.top(), box.width(), box.height());
}

struct TextRun {
    QString text;
    int style = -1;  // index into SourceDocument::styles
    double rise = 0; // points above the line's baseline (a superscript), below if negative
    int link = -1;   // index into StructuredPage::links
    TextMarks marks{};
    double kern = 0;    // points added after its last character (negative: the next run starts back)
    double spacing = 0; // points added to each character beyond the paragraph's squeeze: a line set as full as it was

    bool operator==(const TextRun &other) const = default;
};

struct TabStop {
    double position = 0; // page x
    bool right = false;  // the text after it ends there
    bool dots = false;   // a row of dots leads up to it

    bool operator==(const TabStop &other) const = default;
};

struct Paragraph {
    enum class Align { Left, Center, Right, Justify };

    QList<TextRun> runs;
    QRectF box; // the lines' extent: left edge of the text to the right end of the longest line
    double firstBaseline = 0;
    double lastBaseline = 0;
    double lineHeight = 0;  // distance of its baselines
    double firstIndent = 0; // where the first line starts, from box.left()
    int lineCount = 1;
    Align align = Align::Left;
    int headingLevel = 0; // 1..3, 0 for body text
    bool listItem = false;
    bool numbered = false;    // a section number, then a tab to where the title starts
    bool hyphenated = false;  // the source broke a word at a line end with a hyphen of its own
    bool mayHyphenate = true; // the text around it breaks words at its line ends, so it may too
    bool keepSpaces = false;  // monospaced text: spacing and line breaks as in the source
    bool rightToLeft = false; // most letters are of a right-to-left script: lines run from the right
    QList<TabStop> tabStops;  // one per tab in the text, in order
    double condense = 0;      // points to take from each character's advance so that the lines fit as they did

    QString text() const;
    // Centred and flush-right lines end where their author broke them (a
    // title, an address): they keep those breaks and must not wrap.
    bool keepsLineBreaks() const { return align == Align::Center || align == Align::Right; }
    // Top and bottom of the lines as a flowing layout places them.
    double top() const;
    double bottom() const;
    // Gives the lines `height`, moving the baselines so that the top stays where it is.
    void setLineHeightKeepingTop(double height);
};

struct TableCell {
    QList<Paragraph> paragraphs;
    int rowSpan = 1;    // 0: covered by the cell above
    int columnSpan = 1; // 0: covered by the cell to the left
    bool filled = false;
    Rgb fill = 0;
};

struct Table {
    QList<double> columnEdges;     // page x, one more than columns
    QList<double> rowEdges;        // page y, one more than rows
    QList<QList<TableCell>> cells; // rows of cells, every row as long as the grid
    bool ruled = false;
    // Edges without a rule: inner edges between lines or columns of figures
    // the source set in one ruled cell, and the outer sides of a grid drawn
    // only between its rows and columns.
    QSet<int> openRowEdges;
    QSet<int> openColumnEdges;
    double ruleWidth = 0.5;
    Rgb ruleColor = 0;

    int rows() const { return int(cells.size()); }
    int columns() const { return int(columnEdges.size()) - 1; }
    QRectF box() const;
};

// One item of a column: a paragraph or a table.
struct FlowItem {
    enum class Kind { Paragraph, Table } kind = Kind::Paragraph;
    int index = 0; // into StructuredPage::paragraphs or ::tables

    bool operator==(const FlowItem &other) const = default;
};

struct Column {
    double left = 0;
    double right = 0;
    QList<FlowItem> items;
};

struct Band {
    double top = 0;
    double bottom = 0;
    QList<Column> columns;
};

struct Picture {
    QRectF box;
    QSizeF frame;
    int rotation = 0;
    bool flip = false;
    QString file;
    QString key;
    bool behindText = false;
    QMarginsF crop{}; // the share of the image cut off each side, where only part of it shows
    int order = -1;   // place in the page's paint order; -1 where not known
};

struct Shape {
    QRectF box;
    Rgb color = 0;
    // A linear gradient from `color` to `endColor`, top to bottom or left to right.
    bool gradient = false;
    bool vertical = true;
    Rgb endColor = 0;
    // A stroked line of this width along the box's longer side, which is then
    // the line's own extent; 0 for a filled box.
    double lineWidth = 0;
    bool hairline = false; // the thinnest line the device draws, whatever lineWidth says
    int order = -1;        // place in the page's paint order; -1 where not known
    bool inFront = false;  // drawn over a picture in front of the text, so in front as well
    double opacity = 1;    // 0 (invisible) to 1
    Dash dash = Dash::None;
};

// A line of text set along the page's side (a tear-off strip's number, an
// axis title), out of the flow: its place on the page and its text as it
// reads once turned upright.
struct SideLine {
    QRectF box;
    bool upwards = true; // reads from the bottom up, else from the top down
    Paragraph paragraph;
};

struct StructuredPage {
    QSizeF size;
    QList<PageLink> links;
    QList<Paragraph> paragraphs;
    QList<Table> tables;
    QList<Band> bands;
    QList<Picture> pictures;
    QList<Shape> shapes;
    QList<SideLine> sideLines;

    // Every paragraph of the page in reading order, table cells row by row.
    QList<const Paragraph *> readingOrder() const;
    // The page with its text (paragraphs, tables, bands) set closer below
    // `top`, every distance from there times `factor`; drawings stay put.
    StructuredPage withTextSqueezed(double top, double factor) const;
};
