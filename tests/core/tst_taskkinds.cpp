#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "convert/TaskKinds.h"

#include "support/TestMain.h"

#include <QJsonDocument>
#include <QJsonObject>

class TestTaskKinds : public QObject {
    Q_OBJECT

private slots:
    void serviceType_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("expected"); // null: no type
        const QString none;
        QTest::newRow("pdf to pdf is a merge") << "/a/report.pdf"
                                               << "pdf"
                                               << "merge-pdf";
        QTest::newRow("both sides lower-cased") << "/a/report.PDF"
                                                << "PDF"
                                                << "merge-pdf";
        QTest::newRow("doc") << "/a/x.doc"
                             << "pdf"
                             << "word-to-pdf";
        QTest::newRow("docx") << "/a/x.DOCX"
                              << "pdf"
                              << "word-to-pdf";
        QTest::newRow("ppt") << "/a/x.ppt"
                             << "pdf"
                             << "ppt-to-pdf";
        QTest::newRow("pptx") << "/a/x.pptx"
                              << "pdf"
                              << "ppt-to-pdf";
        QTest::newRow("xls") << "/a/x.xls"
                             << "pdf"
                             << "excel-to-pdf";
        QTest::newRow("xlsx") << "/a/x.xlsx"
                              << "pdf"
                              << "excel-to-pdf";
        QTest::newRow("jpg") << "/a/x.jpg"
                             << "pdf"
                             << "image-to-pdf";
        QTest::newRow("png") << "/a/x.png"
                             << "pdf"
                             << "image-to-pdf";
        QTest::newRow("bmp") << "/a/x.bmp"
                             << "pdf"
                             << "image-to-pdf";
        QTest::newRow("jpeg has no type") << "/a/x.jpeg"
                                          << "pdf" << none;
        QTest::newRow("gif has no type") << "/a/x.gif"
                                         << "pdf" << none;
        QTest::newRow("no extension") << "/a/README"
                                      << "pdf" << none;
        QTest::newRow("docx out") << "/a/x.pdf"
                                  << "docx"
                                  << "pdf-to-word";
        QTest::newRow("doc out") << "/a/x.pdf"
                                 << "doc"
                                 << "pdf-to-word";
        QTest::newRow("pptx out") << "/a/x.pdf"
                                  << "pptx"
                                  << "pdf-to-ppt";
        QTest::newRow("ppt out") << "/a/x.pdf"
                                 << "ppt"
                                 << "pdf-to-ppt";
        QTest::newRow("xlsx out") << "/a/x.pdf"
                                  << "xlsx"
                                  << "pdf-to-excel";
        QTest::newRow("xls out, any input") << "/a/x.xls"
                                            << "xls"
                                            << "pdf-to-excel";
        QTest::newRow("html out") << "/a/x.pdf"
                                  << "html"
                                  << "pdf-to-html";
        QTest::newRow("jpg out") << "/a/x.pdf"
                                 << "jpg"
                                 << "pdf-to-image";
        QTest::newRow("png out upper") << "/a/x.pdf"
                                       << "PNG"
                                       << "pdf-to-image";
        QTest::newRow("txt out") << "/a/x.pdf"
                                 << "txt"
                                 << "pdf-to-text";
        QTest::newRow("unknown out") << "/a/x.pdf"
                                     << "epub" << none;
        QTest::newRow("empty out") << "/a/x.pdf"
                                   << "" << none;
    }

    void serviceType()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(QString, expected);
        PDFConvertTask task;
        task.setLocalPath(input);
        PDFConvert::setServiceTypeToTask(&task, output);
        QCOMPARE(task.serviceTypeName(), expected);
        QCOMPARE(task.serviceTypeName().isNull(), expected.isNull());
    }

    void noRowLeavesAnEarlierTypeAlone()
    {
        PDFConvertTask task;
        task.setLocalPath(QStringLiteral("/a/x.gif"));
        task.setServiceTypeName(QStringLiteral("kept"));
        PDFConvert::setServiceTypeToTask(&task, QStringLiteral("pdf"));
        QCOMPARE(task.serviceTypeName(), QStringLiteral("kept"));
    }

    void arguments_data()
    {
        QTest::addColumn<QString>("serviceType");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QByteArray>("expectedJson");
        QTest::newRow("ppt") << "pdf-to-ppt"
                             << "pptx" << QByteArray(R"({"ransition_type":"random","transition_speed":"fast"})");
        QTest::newRow("image png") << "pdf-to-image"
                                   << "png" << QByteArray(R"({"format":"png","quality":100,"resize":"A4"})");
        QTest::newRow("image jpg") << "pdf-to-image"
                                   << "jpg" << QByteArray(R"({"format":"jpg","quality":100,"resize":"A4"})");
        QTest::newRow("image, other output") << "pdf-to-image"
                                             << "pdf" << QByteArray(R"({"format":"jpg","quality":100,"resize":"A4"})");
        QTest::newRow("image PNG upper") << "pdf-to-image"
                                         << "PNG" << QByteArray(R"({"format":"png","quality":100,"resize":"A4"})");
        QTest::newRow("text") << "pdf-to-text"
                              << "txt" << QByteArray(R"({"layout":1})");
        QTest::newRow("image to pdf")
            << "image-to-pdf"
            << "pdf"
            << QByteArray(R"({"background-color":"white","border":"0","border-color":"","position":"center"})");
        QTest::newRow("word doc") << "pdf-to-word"
                                  << "doc" << QByteArray(R"({"format":"doc"})");
        QTest::newRow("word docx") << "pdf-to-word"
                                   << "docx" << QByteArray(R"({"format":"docx"})");
        QTest::newRow("word, other") << "pdf-to-word"
                                     << "txt" << QByteArray(R"({"format":"docx"})");
        QTest::newRow("excel xls") << "pdf-to-excel"
                                   << "XLS" << QByteArray(R"({"format":"xls"})");
        QTest::newRow("excel xlsx") << "pdf-to-excel"
                                    << "xlsx" << QByteArray(R"({"format":"xlsx"})");
        QTest::newRow("word to pdf") << "word-to-pdf"
                                     << "pdf" << QByteArray("{}");
        QTest::newRow("ppt to pdf") << "ppt-to-pdf"
                                    << "pdf" << QByteArray("{}");
        QTest::newRow("excel to pdf") << "excel-to-pdf"
                                      << "pdf" << QByteArray("{}");
        QTest::newRow("html") << "pdf-to-html"
                              << "html" << QByteArray("{}");
        QTest::newRow("merge") << "merge-pdf"
                               << "pdf" << QByteArray("{}");
        QTest::newRow("no type") << ""
                                 << "pdf" << QByteArray("{}");
        QTest::newRow("types compare exactly") << "PDF-TO-TEXT"
                                               << "txt" << QByteArray("{}");
    }

    void arguments()
    {
        QFETCH(QString, serviceType);
        QFETCH(QString, output);
        QFETCH(QByteArray, expectedJson);
        PDFConvert::setRunOutputFileType(output);
        const QVariantMap args =
            PDFConvert::getServerTaskArgsWithServiceTypeName(serviceType, QStringLiteral("ignored"));
        // Compared as JSON so that 100 and 1 must be numbers and "0" text.
        QCOMPARE(QJsonDocument(QJsonObject::fromVariantMap(args)).toJson(QJsonDocument::Compact), expectedJson);
    }

    void runOutputTypeIsLowerCased()
    {
        PDFConvert::setRunOutputFileType(QStringLiteral("DOCX"));
        QCOMPARE(PDFConvert::runOutputFileType(), QStringLiteral("docx"));
    }
};

MIRELUNE_TEST_MAIN(TestTaskKinds)
#include "tst_taskkinds.moc"
