// Converts one PDF through a conversion route of the service, as a worker
// would, and prints the seconds it took; the benchmark script
// (bench/pdf_to_word.py) measures what comes out.
//   bench_pdf_convert word|word-html|excel INPUT.pdf OUTPUT
#include "converters/JobContext.h"
#include "converters/ProcessRunner.h"
#include "converters/SpreadsheetConverter.h"
#include "converters/WordConverter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: bench_pdf_convert word|word-html|excel INPUT.pdf OUTPUT\n");
        return 2;
    }
    const QString route = arguments[1];
    QTemporaryDir job;
    for (const char *folder : {"in", "out", "home", "tmp", "profile"})
        QDir(job.path()).mkpath(QLatin1String(folder));
    const QString input = job.filePath(QStringLiteral("in/input-1.pdf"));
    if (!QFile::copy(arguments[2], input))
        return 3;
    std::atomic_bool cancel = false;
    ProcessRunner runner(job.path(), QDeadlineTimer(600000), &cancel);
    JobContext context;
    context.folder = job.path();
    context.outFolder = job.filePath(QStringLiteral("out"));
    context.profileFolder = job.filePath(QStringLiteral("profile"));
    JobInput pdf;
    pdf.path = input;
    pdf.extension = QStringLiteral("pdf");
    context.inputs = {pdf};
    context.runner = &runner;
    context.progress = [](int) {};
    QElapsedTimer clock;
    clock.start();
    ConversionResult result;
    if (route == QLatin1String("word"))
        result = WordConverter::toWord(context);
    else if (route == QLatin1String("word-html"))
        result = WordConverter::toWordThroughHtml(context);
    else
        result = SpreadsheetConverter::toWorkbook(context);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!result.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(result.error));
        return 1;
    }
    QFile::remove(arguments[3]);
    if (!QFile::copy(result.path, arguments[3]))
        return 3;
    std::printf("%.3f\n", seconds);
    return 0;
}
