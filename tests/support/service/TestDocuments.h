#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// Documents made at test time, and the independent tools that check results:
// poppler-utils for PDFs, LibreOffice for office files, Python's zipfile for
// archives.
class TestDocuments final {
public:
    // A PDF with one page per entry; each line's tab-separated cells are set
    // 160 points apart, so that the layout shows wide gaps between them.
    static QByteArray pdf(const QList<QStringList> &pages, const QSizeF &pagePoints = QSizeF(595.28, 841.89));
    // A PDF file of these objects, numbered from 1, the first being the catalog.
    static QByteArray assemblePdf(const QList<QByteArray> &objects);
    static QByteArray image(const char *format, const QSize &size);

    // Runs a tool with an argument list (bounded); its standard output, or
    // nothing when it failed.
    static std::optional<QByteArray> run(const QString &program, const QStringList &arguments, int timeoutMs = 120000);

    // LibreOffice conversion into `folder`; the made file or empty.
    static QString office(const QString &input, const QString &target, const QString &folder,
                          const QString &inputFilter = {});

    static int pageCount(const QString &pdf);
    static QList<QSizeF> pageSizes(const QString &pdf);
    static QString pdfText(const QString &pdf, bool layout = false);
    // Entry names of a zip archive whose every CRC checks out; nothing when it is broken.
    static std::optional<QStringList> zipEntries(const QString &zip);
    static QByteArray zipEntry(const QString &zip, const QString &name);

    // Processes whose command line contains every one of `parts`.
    static QList<qint64> processes(const QList<QByteArray> &parts);

    static bool write(const QString &path, const QByteArray &data);
    static QByteArray read(const QString &path);
};
