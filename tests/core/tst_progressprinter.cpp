#include "cli/ProgressPrinter.h"

#include "support/TestMain.h"

#include <cstdio>
#include <memory>

namespace {

// Everything the printer wrote for the reported figures.
QByteArray printed(const QList<int> &figures, bool isTerminal, bool quiet = false)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> stream(std::tmpfile(), &std::fclose);
    if (!stream)
        return "no temporary file";
    {
        ProgressPrinter printer(stream.get(), isTerminal, quiet);
        for (const int figure : figures)
            printer.show(figure);
        printer.finish();
    }
    std::rewind(stream.get());
    QByteArray text;
    char buffer[4096];
    for (size_t n = 0; (n = std::fread(buffer, 1, sizeof buffer, stream.get())) > 0;)
        text.append(buffer, qsizetype(n));
    return text;
}

// Three files whose credential replies and first uploads interleave.
const QList<int> kInterleaved{0, 10, 13, 23, 23, 16, 36, 19, 49, 58, 99};

} // namespace

// The CLI's progress output never goes back, on a terminal or not.
class TestProgressPrinter : public QObject {
    Q_OBJECT

private slots:
    void linesShowTheHighestSoFar()
    {
        QCOMPARE(printed(kInterleaved, false),
                 QByteArray("progress 0\nprogress 10\nprogress 13\nprogress 23\nprogress 36\nprogress 49\n"
                            "progress 58\nprogress 99\n"));
    }

    void barIsNeverRedrawnLower()
    {
        const QList<QByteArray> frames = printed(kInterleaved, true).split('\r');
        QList<int> shown;
        for (const QByteArray &frame : frames) {
            if (!frame.isEmpty())
                shown.append(frame.mid(frame.indexOf(']') + 1).trimmed().chopped(1).toInt());
        }
        QCOMPARE(shown, (QList<int>{0, 10, 13, 23, 36, 49, 58, 99}));
        QVERIFY(frames.last().startsWith(QByteArray("[" + QByteArray(39, '#') + ".]  99%")));
        QVERIFY(frames.last().endsWith('\n'));
    }

    void quietPrintsNothing() { QCOMPARE(printed(kInterleaved, true, true), QByteArray()); }
};

MIRELUNE_TEST_MAIN(TestProgressPrinter)
#include "tst_progressprinter.moc"
