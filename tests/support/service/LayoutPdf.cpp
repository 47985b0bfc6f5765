#include "support/service/LayoutPdf.h"

#include "support/service/TestDocuments.h"

#include <QFile>

namespace {

// Objects before the pages: the catalog, the page tree, three fonts, two
// images, the bitmap font, its glyph and its character table.
constexpr int kSharedObjects = 10;
// The bitmap font's units: pixels at 600 dpi, as a point at text size 1.
constexpr double kPixel = 0.12;
// Every glyph of the bitmap font advances half an em of its 10-point face.
constexpr int kBitmapAdvance = 42;

QByteArray number(double value)
{
    return QByteArray::number(value, 'f', 3);
}

QByteArray pdfString(const QString &text)
{
    QByteArray escaped = text.toLatin1();
    escaped.replace('\\', "\\\\").replace('(', "\\(").replace(')', "\\)");
    return '(' + escaped + ')';
}

} // namespace

QByteArray &LayoutPdf::content()
{
    if (mContents.isEmpty())
        newPage();
    return mContents.last();
}

LayoutPdf &LayoutPdf::newPage()
{
    mContents.append(QByteArray());
    mTurns.append(0);
    mAnnots.append(QByteArray());
    return *this;
}

LayoutPdf &LayoutPdf::link(double x, double y, double width, double height, const QString &address, int page)
{
    if (mContents.isEmpty())
        newPage();
    // The shared objects come first, then a page and its content each.
    const QByteArray action =
        address.isEmpty()
            ? QByteArray("/Dest [" + QByteArray::number(kSharedObjects + 1 + 2 * page) + " 0 R /XYZ null null null]")
            : QByteArray("/A << /S /URI /URI " + pdfString(address) + " >>");
    mAnnots.last() += "<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [" + number(x) + ' ' +
                      number(pdfY(y + height)) + ' ' + number(x + width) + ' ' + number(pdfY(y)) + "] " + action +
                      " >> ";
    return *this;
}

LayoutPdf &LayoutPdf::turn(int degrees)
{
    if (mContents.isEmpty())
        newPage();
    mTurns.last() = degrees;
    return *this;
}

LayoutPdf &LayoutPdf::text(double x, double baseline, const QString &text, double size, Font font, double stretch)
{
    const char *name = font == Font::Bold ? "/F2" : font == Font::Mono ? "/F3" : "/F1";
    content() += "BT " + QByteArray(name) + ' ' + number(size) + " Tf " + number(stretch * 100) + " Tz " + number(x) +
                 ' ' + number(pdfY(baseline)) + " Td " + pdfString(text) + " Tj ET\n";
    return *this;
}

LayoutPdf &LayoutPdf::upwardText(double x, double baseline, const QString &text, double size)
{
    return turnedText("0 1 -1 0 ", x, baseline, text, size);
}

LayoutPdf &LayoutPdf::upsideDownText(double x, double baseline, const QString &text, double size)
{
    return turnedText("-1 0 0 -1 ", x, baseline, text, size);
}

LayoutPdf &LayoutPdf::turnedText(const QByteArray &turn, double x, double baseline, const QString &text, double size)
{
    content() += "BT /F1 " + number(size) + " Tf " + turn + number(x) + ' ' + number(pdfY(baseline)) + " Tm " +
                 pdfString(text) + " Tj ET\n";
    return *this;
}

LayoutPdf &LayoutPdf::invisibleText(double x, double baseline, const QString &text, double size)
{
    // The render mode is kept by the graphics state, which q and Q bound.
    content() += "q BT 3 Tr /F1 " + number(size) + " Tf " + number(x) + ' ' + number(pdfY(baseline)) + " Td " +
                 pdfString(text) + " Tj ET Q\n";
    return *this;
}

LayoutPdf &LayoutPdf::bitmapText(double x, double baseline, const QString &text, double size)
{
    content() += "BT /F4 " + number(kPixel * size / 10) + " Tf " + number(x) + ' ' + number(pdfY(baseline)) + " Td " +
                 pdfString(text) + " Tj ET\n";
    return *this;
}

LayoutPdf &LayoutPdf::line(double x1, double y1, double x2, double y2, double width)
{
    content() += number(width) + " w " + number(x1) + ' ' + number(pdfY(y1)) + " m " + number(x2) + ' ' +
                 number(pdfY(y2)) + " l S\n";
    return *this;
}

LayoutPdf &LayoutPdf::fill(double x, double y, double width, double height, double red, double green, double blue)
{
    content() += "q " + number(red) + ' ' + number(green) + ' ' + number(blue) + " rg " + number(x) + ' ' +
                 number(pdfY(y + height)) + ' ' + number(width) + ' ' + number(height) + " re f Q\n";
    return *this;
}

LayoutPdf &LayoutPdf::ellipse(double x, double y, double width, double height)
{
    // Control points this far along the tangents make each quarter a near circle's arc.
    const double kappa = 0.5523;
    const double cx = x + width / 2, cy = pdfY(y + height / 2), rx = width / 2, ry = height / 2;
    const auto point = [](double px, double py) -> QByteArray { return number(px) + ' ' + number(py) + ' '; };
    QByteArray &stream = content();
    stream += "q 0 g " + point(cx + rx, cy) + "m ";
    stream += point(cx + rx, cy + kappa * ry) + point(cx + kappa * rx, cy + ry) + point(cx, cy + ry) + "c ";
    stream += point(cx - kappa * rx, cy + ry) + point(cx - rx, cy + kappa * ry) + point(cx - rx, cy) + "c ";
    stream += point(cx - rx, cy - kappa * ry) + point(cx - kappa * rx, cy - ry) + point(cx, cy - ry) + "c ";
    stream += point(cx + kappa * rx, cy - ry) + point(cx + rx, cy - kappa * ry) + point(cx + rx, cy) + "c f Q\n";
    return *this;
}

LayoutPdf &LayoutPdf::image(double x, double y, double width, double height)
{
    return drawImage("/Im1", x, y, width, height);
}

LayoutPdf &LayoutPdf::deepImage(double x, double y, double width, double height)
{
    return drawImage("/Im2", x, y, width, height);
}

LayoutPdf &LayoutPdf::drawImage(const QByteArray &name, double x, double y, double width, double height)
{
    content() += "q " + number(width) + " 0 0 " + number(height) + ' ' + number(x) + ' ' + number(pdfY(y + height)) +
                 " cm " + name + " Do Q\n";
    return *this;
}

QByteArray LayoutPdf::bytes() const
{
    const QByteArray pixels = QByteArray::fromHex("ff0000"
                                                  "0000ff"
                                                  "0000ff"
                                                  "ff0000");
    const QByteArray deepPixels = QByteArray::fromHex("00000000ffff"
                                                      "ffff00000000"
                                                      "ffff00000000"
                                                      "00000000ffff");
    QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        QByteArray(), // the page tree, below
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Courier /Encoding /WinAnsiEncoding >>",
        "<< /Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Length " +
            QByteArray::number(pixels.size()) + " >>\nstream\n" + pixels + "\nendstream",
        "<< /Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB /BitsPerComponent 16 /Length " +
            QByteArray::number(deepPixels.size()) + " >>\nstream\n" + deepPixels + "\nendstream",
    };
    QByteArray names;
    QByteArray widths;
    for (int code = 32; code < 127; ++code) {
        names += " /g";
        widths += ' ' + QByteArray::number(kBitmapAdvance);
    }
    objects.append("<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix [1 0 0 1 0 0] "
                   "/CharProcs << /g 9 0 R >> /Encoding << /Type /Encoding /Differences [32" +
                   names + "] >> /FirstChar 32 /LastChar 126 /Widths [" + widths +
                   "] /ToUnicode 10 0 R /Resources << >> >>");
    const QByteArray glyph = number(kBitmapAdvance) + " 0 0 0 35 60 d1 0 0 35 60 re f";
    objects.append("<< /Length " + QByteArray::number(glyph.size()) + " >>\nstream\n" + glyph + "\nendstream");
    // Its table gives "c" a control character, as some older converters' tables did.
    const QByteArray table = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CMapName /Bitmap def "
                             "1 begincodespacerange <00> <FF> endcodespacerange 3 beginbfrange "
                             "<20> <62> <0020> <63> <63> <000D> <64> <7E> <0064> endbfrange endcmap "
                             "CMapName currentdict /CMap defineresource pop end end";
    objects.append("<< /Length " + QByteArray::number(table.size()) + " >>\nstream\n" + table + "\nendstream");
    const QByteArray resources =
        "<< /Font << /F1 3 0 R /F2 4 0 R /F3 5 0 R /F4 8 0 R >> /XObject << /Im1 6 0 R /Im2 7 0 R >> >>";
    QByteArray kids;
    const QList<QByteArray> contents = mContents.isEmpty() ? QList<QByteArray>{QByteArray()} : mContents;
    for (qsizetype p = 0; p < contents.size(); ++p) {
        const QByteArray &content = contents[p];
        const int page = int(objects.size()) + 1;
        const int turn = mTurns.value(p);
        const QByteArray annots = mAnnots.value(p);
        kids += QByteArray::number(page) + " 0 R ";
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + number(mPage.width()) + ' ' +
                       number(mPage.height()) + "] /Resources " + resources + " /Contents " +
                       QByteArray::number(page + 1) + " 0 R" +
                       (turn != 0 ? " /Rotate " + QByteArray::number(turn) : QByteArray()) +
                       (annots.isEmpty() ? QByteArray() : " /Annots [" + annots + "]") + " >>");
        objects.append("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream");
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(contents.size()) + " >>";
    return TestDocuments::assemblePdf(objects);
}

bool LayoutPdf::write(const QString &path) const
{
    QFile file(path);
    const QByteArray data = bytes();
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}
