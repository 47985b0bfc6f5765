#include "converters/InputCheck.h"

#include "formats/ZipWriter.h"
#include "support/TestMain.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

// Inputs checked against what their names say before any converter sees
// them: office packages and compound files, the names the old formats also
// travel under, and image signatures.
class TestInputCheck : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void officeDocuments_data();
    void officeDocuments();
    void images_data();
    void images();
    void textNamesTheClientsFile_data();
    void textNamesTheClientsFile();

private:
    // The content of one kind of sample (see content()), as a job input named `name`.
    JobInput input(const QString &name, const QString &kind);
    QByteArray content(const QString &kind);
    QByteArray package(const QList<QPair<QString, QByteArray>> &entries);

    QTemporaryDir mDir;
    int mFiles = 0;
};

namespace {

const QByteArray kRelationships =
    R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="/word/main.xml"/>)"
    R"(</Relationships>)";

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray image(const char *format)
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return buffer.data();
}

QByteArray randomBytes(int size)
{
    QRandomGenerator generator(7);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

} // namespace

void TestInputCheck::initTestCase()
{
    QVERIFY(mDir.isValid());
}

QByteArray TestInputCheck::package(const QList<QPair<QString, QByteArray>> &entries)
{
    const QString path = mDir.filePath(QStringLiteral("package-%1.zip").arg(++mFiles));
    ZipWriter zip(path);
    if (!zip.open())
        return {};
    zip.addData(QStringLiteral("[Content_Types].xml"), "<Types/>");
    for (const auto &[name, data] : entries)
        zip.addData(name, data);
    return zip.close() ? readFile(path) : QByteArray();
}

QByteArray TestInputCheck::content(const QString &kind)
{
    if (kind == QLatin1String("compound"))
        return QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(4096, '\0');
    if (kind == QLatin1String("rtf"))
        return "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0\\pard A letter\\par}";
    if (kind == QLatin1String("html"))
        return "\xef\xbb\xbf\r\n  <html><body><table><tr><td>Quince</td></tr></table></body></html>";
    if (kind == QLatin1String("text"))
        return "Fruit,Count\nQuince,3\n";
    if (kind == QLatin1String("random"))
        return randomBytes(4096);
    if (kind == QLatin1String("zip header only"))
        return "PK\x03\x04 this is no document at all";
    if (kind == QLatin1String("word"))
        return package({{QStringLiteral("word/document.xml"), "<w:document/>"}});
    if (kind == QLatin1String("word, upper-case names"))
        return package({{QStringLiteral("WORD/Document.XML"), "<w:document/>"}});
    if (kind == QLatin1String("word, main part named by its relationships"))
        return package(
            {{QStringLiteral("_rels/.rels"), kRelationships}, {QStringLiteral("word/main.xml"), "<w:document/>"}});
    if (kind == QLatin1String("relationships naming a missing part"))
        return package({{QStringLiteral("_rels/.rels"), kRelationships}});
    if (kind == QLatin1String("workbook"))
        return package({{QStringLiteral("xl/workbook.xml"), "<workbook/>"}});
    if (kind == QLatin1String("presentation"))
        return package({{QStringLiteral("ppt/presentation.xml"), "<p:presentation/>"}});
    if (kind == QLatin1String("zip of something else"))
        return package({{QStringLiteral("readme.txt"), "hello"}});
    if (kind == QLatin1String("jpeg"))
        return image("JPG");
    if (kind == QLatin1String("png"))
        return image("PNG");
    if (kind == QLatin1String("bmp"))
        return image("BMP");
    return {};
}

JobInput TestInputCheck::input(const QString &name, const QString &kind)
{
    const QString extension = name.section(QLatin1Char('.'), -1).toLower();
    const QString path = mDir.filePath(QStringLiteral("input-%1.%2").arg(++mFiles).arg(extension));
    const QByteArray data = content(kind);
    if (!writeFile(path, data) || (data.isEmpty() && kind != QLatin1String("empty")))
        qWarning("sample %s could not be made", qPrintable(kind));
    return {path, extension, QString(), name};
}

void TestInputCheck::officeDocuments_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem"); // empty: accepted
    const QString notWord = QStringLiteral("report.docx is not a Word document");
    // OOXML: a zip package with the main part of its kind.
    QTest::newRow("docx") << QStringLiteral("report.docx") << QStringLiteral("word") << QString();
    QTest::newRow("docx, part names in other case")
        << QStringLiteral("report.docx") << QStringLiteral("word, upper-case names") << QString();
    QTest::newRow("docx, main part where its relationships say")
        << QStringLiteral("report.docx") << QStringLiteral("word, main part named by its relationships") << QString();
    QTest::newRow("docx, relationships naming a missing part")
        << QStringLiteral("report.docx") << QStringLiteral("relationships naming a missing part") << notWord;
    QTest::newRow("docx of random bytes") << QStringLiteral("report.docx") << QStringLiteral("random") << notWord;
    QTest::newRow("docx, a zip header and nothing else")
        << QStringLiteral("report.docx") << QStringLiteral("zip header only") << notWord;
    QTest::newRow("docx holding a workbook") << QStringLiteral("report.docx") << QStringLiteral("workbook") << notWord;
    QTest::newRow("docx, encrypted") << QStringLiteral("report.docx") << QStringLiteral("compound")
                                     << QStringLiteral("The document is protected by a password");
    QTest::newRow("xlsx") << QStringLiteral("Book.XLSX") << QStringLiteral("workbook") << QString();
    QTest::newRow("xlsx, a zip of something else")
        << QStringLiteral("Book.XLSX") << QStringLiteral("zip of something else")
        << QStringLiteral("Book.XLSX is not an Excel workbook");
    QTest::newRow("pptx") << QStringLiteral("deck.pptx") << QStringLiteral("presentation") << QString();
    QTest::newRow("pptx holding a Word document") << QStringLiteral("deck.pptx") << QStringLiteral("word")
                                                  << QStringLiteral("deck.pptx is not a PowerPoint presentation");
    // The binary formats: a compound file, or what is also saved under their names.
    QTest::newRow("doc") << QStringLiteral("letter.doc") << QStringLiteral("compound") << QString();
    QTest::newRow("doc, RTF saved as doc") << QStringLiteral("letter.doc") << QStringLiteral("rtf") << QString();
    QTest::newRow("doc, HTML saved as doc") << QStringLiteral("letter.doc") << QStringLiteral("html") << QString();
    QTest::newRow("doc, a renamed docx") << QStringLiteral("letter.doc") << QStringLiteral("word") << QString();
    QTest::newRow("doc of random bytes") << QStringLiteral("letter.doc") << QStringLiteral("random")
                                         << QStringLiteral("letter.doc is not a Word document");
    QTest::newRow("doc of plain text") << QStringLiteral("letter.doc") << QStringLiteral("text")
                                       << QStringLiteral("letter.doc is not a Word document");
    QTest::newRow("xls") << QStringLiteral("sheet.xls") << QStringLiteral("compound") << QString();
    QTest::newRow("xls, an HTML table") << QStringLiteral("sheet.xls") << QStringLiteral("html") << QString();
    QTest::newRow("xls, RTF") << QStringLiteral("sheet.xls") << QStringLiteral("rtf")
                              << QStringLiteral("sheet.xls is not an Excel workbook");
    QTest::newRow("ppt") << QStringLiteral("deck.ppt") << QStringLiteral("compound") << QString();
    QTest::newRow("ppt of random bytes") << QStringLiteral("deck.ppt") << QStringLiteral("random")
                                         << QStringLiteral("deck.ppt is not a PowerPoint presentation");
    QTest::newRow("ppt, HTML") << QStringLiteral("deck.ppt") << QStringLiteral("html")
                               << QStringLiteral("deck.ppt is not a PowerPoint presentation");
    // Kinds without a check of their own, and what holds for every kind.
    QTest::newRow("odt of random bytes") << QStringLiteral("notes.odt") << QStringLiteral("random") << QString();
    QTest::newRow("empty docx") << QStringLiteral("report.docx") << QStringLiteral("empty")
                                << QStringLiteral("The file is empty");
}

void TestInputCheck::officeDocuments()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QTEST(InputCheck::checkOfficeDocument(input(name, kind)), "problem");
}

void TestInputCheck::images_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");
    QTest::newRow("jpg") << QStringLiteral("photo.jpg") << QStringLiteral("jpeg") << QString();
    QTest::newRow("jpeg") << QStringLiteral("photo.jpeg") << QStringLiteral("jpeg") << QString();
    QTest::newRow("png") << QStringLiteral("photo.png") << QStringLiteral("png") << QString();
    QTest::newRow("bmp") << QStringLiteral("photo.bmp") << QStringLiteral("bmp") << QString();
    QTest::newRow("jpg holding a PNG") << QStringLiteral("photo.jpg") << QStringLiteral("png")
                                       << QStringLiteral("photo.jpg is not a JPEG image");
    QTest::newRow("png of text") << QStringLiteral("photo.png") << QStringLiteral("text")
                                 << QStringLiteral("photo.png is not a PNG image");
    QTest::newRow("bmp of random bytes") << QStringLiteral("photo.bmp") << QStringLiteral("random")
                                         << QStringLiteral("photo.bmp is not a BMP image");
    QTest::newRow("empty png") << QStringLiteral("photo.png") << QStringLiteral("empty")
                               << QStringLiteral("The file is empty");
}

void TestInputCheck::images()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QTEST(InputCheck::checkImage(input(name, kind)), "problem");
}

void TestInputCheck::textNamesTheClientsFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem");
    QTest::newRow("folders of the client dropped")
        << QStringLiteral("reports/2024/q1.docx") << QStringLiteral("q1.docx is not a Word document");
    QTest::newRow("a Windows path") << QStringLiteral("C:\\Users\\ana\\q1.docx")
                                    << QStringLiteral("q1.docx is not a Word document");
    QTest::newRow("no name") << QStringLiteral(".docx") << QStringLiteral(".docx is not a Word document");
}

void TestInputCheck::textNamesTheClientsFile()
{
    QFETCH(QString, name);
    JobInput file = input(name, QStringLiteral("random"));
    QTEST(InputCheck::checkOfficeDocument(file), "problem");
    file.name.clear();
    QCOMPARE(InputCheck::checkOfficeDocument(file), QStringLiteral("The file is not a Word document"));
}

MIRELUNE_TEST_MAIN(TestInputCheck)
#include "tst_inputcheck.moc"
