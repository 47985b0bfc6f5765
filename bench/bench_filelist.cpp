// Times the file list of the main window with 10 000 records and prints:
//   - the time from showing the window to the list's first paint;
//   - one jump to the end of the list, repainted;
//   - a scroll through the whole list a page at a time, per repainted frame.
// Every painted row reads its file's size from disk, as the list always does.

#include "files/KDConvertFileManager.h"
#include "frameworks/NotificationCenter.h"
#include "ui/FilesContentView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRecords = 10000;

// Counts the paints of a widget.
class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

KDConvertFileList makeRecords(const QString &folder)
{
    KDConvertFileList records;
    records.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        const QString path = QStringLiteral("%1/document-%2.pdf").arg(folder).arg(i, 5, 10, QLatin1Char('0'));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(1024 + i, 'x'));
        records.append(std::make_shared<KDConvertFileMetaData>(path));
    }
    return records;
}

} // namespace

int main(int argc, char **argv)
{
    // Settings and the output folder go to a home of their own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
    QApplication app(argc, argv);
    QTemporaryDir folder;
    KDConvertFileManager::defaultManager().appendFileMetaDatas(makeRecords(folder.path()), ConvertFromPdf);

    MainWindow *window = KDWindow::loadForNib<MainWindow>();
    NotificationCenter::defaultCenter().postNotificationName(MainWindow::kLangDidChangeNotification);
    KDConvertFileManager::postRefreshNotification();
    QTableView *table = window->filesContentView()->tableView();
    PaintCounter counter;
    table->viewport()->installEventFilter(&counter);

    QElapsedTimer timer;
    timer.start();
    window->show();
    while (counter.paints == 0 && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double firstPaint = msSince(timer);

    timer.restart();
    table->scrollToBottom();
    table->viewport()->repaint();
    const double jumpToEnd = msSince(timer);
    const bool atEnd = table->verticalScrollBar()->value() == table->verticalScrollBar()->maximum();

    table->scrollToTop();
    QScrollBar *bar = table->verticalScrollBar();
    std::vector<double> frames;
    while (bar->value() < bar->maximum()) {
        timer.restart();
        bar->setValue(bar->value() + bar->pageStep());
        table->viewport()->repaint();
        frames.push_back(msSince(timer));
    }
    std::sort(frames.begin(), frames.end());

    std::printf("file list, %d records (%s)\n", kRecords, qPrintable(QGuiApplication::platformName()));
    std::printf("  show to first paint of the list: %8.2f ms\n", firstPaint);
    std::printf("  jump to the end, repainted:      %8.2f ms (at the end: %s)\n", jumpToEnd, atEnd ? "yes" : "no");
    std::printf("  page-by-page scroll to the end:  %zu frames, median %.2f ms, 95th %.2f ms, worst %.2f ms\n",
                frames.size(), frames[frames.size() / 2], frames[frames.size() * 95 / 100], frames.back());
    delete window;
    return atEnd ? 0 : 1;
}
