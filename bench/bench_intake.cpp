// Times the file intake's hot spots and prints medians:
//   - matchFiles over 100 000 files in 1 000 folders, against a bare
//     recursive listing of the same tree (target: under 1 s);
//   - the intake of a 500 MB file that is not a PDF, against the intake of a
//     small one and against reading the big file once (target: under 50 ms,
//     which shows that it is not read).

#include "files/KDConvertFileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 100;
constexpr qint64 kBigFileSize = 500LL * 1024 * 1024;

double medianMs(int runs, const std::function<void()> &run)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool touch(const QString &path, qint64 size = 0)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

// Folders d0000 … d0999, each with 100 files of five kinds: pdf, PDF, docx, png, txt.
bool makeTree(const QString &root)
{
    static const char *const kExtensions[] = {"pdf", "PDF", "docx", "png", "txt"};
    for (int folder = 0; folder < kFolders; ++folder) {
        const QString dir = root + QStringLiteral("/d%1").arg(folder, 4, 10, QLatin1Char('0'));
        if (!QDir().mkpath(dir))
            return false;
        for (int file = 0; file < kFilesPerFolder; ++file) {
            const QString name = QStringLiteral("/f%1.%2").arg(file).arg(QLatin1String(kExtensions[file % 5]));
            if (!touch(dir + name))
                return false;
        }
    }
    return true;
}

void benchMatchFiles(const QString &root)
{
    const QStringList pdf{QStringLiteral("pdf")};
    qsizetype matches = 0;
    const double match = medianMs(5, [&] { matches = KDConvertFileManager::matchFiles({root}, pdf).size(); });
    qsizetype entries = 0;
    const double listing = medianMs(5, [&] {
        entries = 0;
        QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++entries;
        }
    });
    std::printf("matchFiles, %d files in %d folders: %lld matches, median %.1f ms over 5 runs "
                "(bare listing of %lld entries %.1f ms, ratio %.2f); target < 1000 ms: %s\n",
                kFolders * kFilesPerFolder, kFolders, static_cast<long long>(matches), match,
                static_cast<long long>(entries), listing, match / listing, match < 1000 ? "met" : "MISSED");
}

double intakeMs(const QString &path)
{
    return medianMs(9, [&] {
        KDConvertFileManager manager;
        manager.parseInputFiles({path}, ConvertFromPdf);
        if (manager.getFileDatasWithConvertMode(ConvertFromPdf).size() != 1)
            std::fprintf(stderr, "the intake did not append %s\n", qPrintable(path));
    });
}

void benchIntake(const QString &folder)
{
    // Named .pdf so that it passes the type filter; sparse, so it costs no disk.
    const QString big = folder + QStringLiteral("/big.pdf");
    const QString small = folder + QStringLiteral("/small.pdf");
    if (!touch(big, kBigFileSize) || !touch(small, 4096)) {
        std::fprintf(stderr, "cannot create the intake files\n");
        return;
    }
    const double bigMs = intakeMs(big);
    const double smallMs = intakeMs(small);
    const double readMs = medianMs(1, [&] {
        QFile file(big);
        if (file.open(QIODevice::ReadOnly))
            while (!file.read(1 << 20).isEmpty()) {
            }
    });
    std::printf("intake of a 500 MB non-PDF file: median %.3f ms over 9 runs (4 KB file %.3f ms, ratio %.2f; "
                "reading the 500 MB once %.1f ms); target < 50 ms: %s\n",
                bigMs, smallMs, bigMs / smallMs, readMs, bigMs < 50 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString tree = dir.filePath(QStringLiteral("tree"));
    QElapsedTimer setup;
    setup.start();
    if (!makeTree(tree)) {
        std::fprintf(stderr, "cannot create the file tree\n");
        return 1;
    }
    std::printf("(tree created in %.1f s)\n", double(setup.elapsed()) / 1000);
    benchMatchFiles(tree);
    benchIntake(dir.path());
    return 0;
}
