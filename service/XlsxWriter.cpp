#include "XlsxWriter.h"

#include "ZipWriter.h"

#include <QRegularExpression>

namespace {

const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRelationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const QByteArray kPackageRelationships = "http://schemas.openxmlformats.org/package/2006/relationships";

QByteArray xmlText(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        // XML 1.0 has no place for most control characters.
        if (c.unicode() >= 0x20 || c == QLatin1Char('\t') || c == QLatin1Char('\n'))
            clean.append(c);
    }
    return clean.toHtmlEscaped().toUtf8();
}

bool isPlainNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]{0,14})(\\.[0-9]{1,10})?$"));
    return number.match(text).hasMatch();
}

QByteArray contentTypes(int sheetCount)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                     "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                     "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                     "<Override PartName=\"/xl/workbook.xml\" "
                     "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    for (int i = 1; i <= sheetCount; ++i) {
        out += "<Override PartName=\"/xl/worksheets/sheet" + QByteArray::number(i) +
               ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    return out + "</Types>";
}

QByteArray packageRelationships()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Relationships xmlns=\"" +
           kPackageRelationships + "\"><Relationship Id=\"rId1\" Type=\"" + kRelationships +
           "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
}

QByteArray workbook(const QList<XlsxWriter::Sheet> &sheets)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<workbook xmlns=\"" + kMain +
                     "\" xmlns:r=\"" + kRelationships + "\"><sheets>";
    for (int i = 0; i < sheets.size(); ++i) {
        const QByteArray number = QByteArray::number(i + 1);
        out += "<sheet name=\"" + xmlText(sheets[i].name.left(31)) + "\" sheetId=\"" + number + "\" r:id=\"rId" +
               number + "\"/>";
    }
    return out + "</sheets></workbook>";
}

QByteArray workbookRelationships(int sheetCount)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Relationships xmlns=\"" +
                     kPackageRelationships + "\">";
    for (int i = 1; i <= sheetCount; ++i) {
        const QByteArray number = QByteArray::number(i);
        out += "<Relationship Id=\"rId" + number + "\" Type=\"" + kRelationships +
               "/worksheet\" Target=\"worksheets/sheet" + number + ".xml\"/>";
    }
    return out + "</Relationships>";
}

} // namespace

QString XlsxWriter::columnName(int index)
{
    QString name;
    for (int n = index + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

QByteArray XlsxWriter::sheetXml(const QList<QStringList> &rows)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"" + kMain +
                     "\"><sheetData>";
    for (int r = 0; r < rows.size(); ++r) {
        const QByteArray rowNumber = QByteArray::number(r + 1);
        out += "<row r=\"" + rowNumber + "\">";
        for (int c = 0; c < rows[r].size(); ++c) {
            const QString &value = rows[r][c];
            const QByteArray reference = columnName(c).toLatin1() + rowNumber;
            if (isPlainNumber(value))
                out += "<c r=\"" + reference + "\"><v>" + value.toLatin1() + "</v></c>";
            else
                out += "<c r=\"" + reference + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" + xmlText(value) +
                       "</t></is></c>";
        }
        out += "</row>";
    }
    return out + "</sheetData></worksheet>";
}

bool XlsxWriter::write(const QString &path, const QList<Sheet> &sheets, QString *error)
{
    ZipWriter zip(path);
    bool ok = zip.open() && zip.addData(QStringLiteral("[Content_Types].xml"), contentTypes(int(sheets.size()))) &&
              zip.addData(QStringLiteral("_rels/.rels"), packageRelationships()) &&
              zip.addData(QStringLiteral("xl/workbook.xml"), workbook(sheets)) &&
              zip.addData(QStringLiteral("xl/_rels/workbook.xml.rels"), workbookRelationships(int(sheets.size())));
    for (int i = 0; ok && i < sheets.size(); ++i) {
        ok = zip.addData(QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1), sheetXml(sheets[i].rows));
    }
    ok = ok && zip.close();
    if (!ok && error)
        *error = QStringLiteral("Cannot write the workbook: %1").arg(zip.errorString());
    return ok;
}
