#pragma once

#include <QByteArray>
#include <QList>
#include <QSizeF>
#include <QString>

// PDFs written content stream by content stream, for the layout tests:
// text in Helvetica, Helvetica-Bold, Courier and a bitmap font at places given from the
// page's top-left corner, stroked and filled rectangles, ellipses, and an RGB image.
class LayoutPdf final {
public:
    enum class Font { Regular, Bold, Mono };

    explicit LayoutPdf(const QSizeF &page = QSizeF(595, 842)) : mPage(page) {}

    // Starts a new page; drawing goes to the last page.
    LayoutPdf &newPage();
    // Shows the last page turned clockwise by `degrees` (its /Rotate), as a
    // page put in a scanner sideways is.
    LayoutPdf &turn(int degrees);
    // Text with its baseline at `baseline` points from the top, its letters
    // scaled across by `stretch` (the PDF's horizontal scaling).
    LayoutPdf &text(double x, double baseline, const QString &text, double size = 10, Font font = Font::Regular,
                    double stretch = 1);
    // Text reading upwards from (x, baseline), as a chart's axis title.
    LayoutPdf &upwardText(double x, double baseline, const QString &text, double size = 10);
    // Text upside down from (x, baseline), running to the left.
    LayoutPdf &upsideDownText(double x, double baseline, const QString &text, double size = 10);
    // Text drawn invisibly (render mode 3), as a recogniser lays its words over a scan.
    LayoutPdf &invisibleText(double x, double baseline, const QString &text, double size = 10);
    // Text in a bitmap font whose units are pixels at 600 dpi, drawn at a text
    // size of 0.12 for 10 points, as older TeX documents draw it; its table
    // maps "c" to a control character.
    LayoutPdf &bitmapText(double x, double baseline, const QString &text, double size = 10);
    LayoutPdf &line(double x1, double y1, double x2, double y2, double width = 0.5);
    LayoutPdf &fill(double x, double y, double width, double height, double red, double green, double blue);
    // A black ellipse filling the box, drawn with four curves.
    LayoutPdf &ellipse(double x, double y, double width, double height);
    // The image (a 2 x 2 checker of red and blue) stretched over the box.
    LayoutPdf &image(double x, double y, double width, double height);
    // The checker the other way round (blue first), stored at 16 bits a component.
    LayoutPdf &deepImage(double x, double y, double width, double height);
    // A link over the box to an address, or to a page (from 0) when `address` is empty.
    LayoutPdf &link(double x, double y, double width, double height, const QString &address, int page = -1);

    QByteArray bytes() const;
    bool write(const QString &path) const;

private:
    double pdfY(double top) const { return mPage.height() - top; }
    // The last page's content stream, a page started where there is none.
    QByteArray &content();
    LayoutPdf &turnedText(const QByteArray &turn, double x, double baseline, const QString &text, double size);
    LayoutPdf &drawImage(const QByteArray &name, double x, double y, double width, double height);

    QSizeF mPage;
    QList<QByteArray> mContents;
    QList<int> mTurns;         // of each page
    QList<QByteArray> mAnnots; // of each page: its link annotations
};
