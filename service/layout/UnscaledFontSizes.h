#pragma once

#include <QChar>
#include <QList>

// Sizes for text whose font draws in units that are no ems: a bitmap font
// of an older TeX document draws its glyphs in device pixels at a text size
// of 0.12, so its size says nothing of how large its letters are, while
// their advances do. A span's size is its letters' advances over Computer
// Modern's (the face such fonts nearly always are). A span within a tenth of
// a size the page has had takes that size, so that the spans of one line do
// not differ by a point for their letters' sake.
class UnscaledFontSizes final {
public:
    // Whether a glyph of the given text size and advance (in text units),
    // drawn `points` wide, is set in such a font: its size is too small to
    // be seen, its advance is not, and it advances further than any em-based
    // letter would.
    static bool unscaled(double size, double advance, double points);

    void add(QChar c, double points);
    // The glyphs added since the last span ended, and the size they share.
    qsizetype spanGlyphs() const { return mSpan.glyphs; }
    double endSpan();
    void endPage();

private:
    struct Span {
        qsizetype glyphs = 0;
        double points = 0; // the advances of its letters with a known width
        double ems = 0;    // the same letters' advances in Computer Modern
        double all = 0;    // the advances of all its glyphs
    };
    struct Size {
        double points = 0;
        double ems = 0; // of the letters that have had it
    };
    static double referenceEms(QChar c);
    Span mSpan;
    QList<Size> mSizes; // of the page so far
};
