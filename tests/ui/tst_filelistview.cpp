#include "frameworks/NotificationCenter.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "tools/ToolFile.h"
#include "ui/FileContentTabView.h"
#include "ui/FilesContentView.h"
#include "ui/KDButtonFitting.h"
#include "ui/KDTableCellView.h"

#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class ActionReceiver : public QObject {
    Q_OBJECT
public:
    QList<QObject *> senders;
public slots:
    void hit(QObject *sender) { senders.append(sender); }
};

QImage imageOf(const QLabel *label)
{
    return label->pixmap().toImage();
}

QImage named(const QString &name, const QLabel *label)
{
    return KDTableCellView::imageNamed(name, label->size(), label->devicePixelRatioF()).toImage();
}

} // namespace

// The file list: mode tabs, rows, empty state, drop target and list operations.
class TestFileListView : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tabPositions_data();
    void tabPositions();
    void tabActsOnMouseDown();
    void tabClickShowsThatModesList();
    void rowsShowTheirRecords();
    void cellFileTypeSetsOnlyPdfTypesImage();
    void emptyStateFollowsTheList();
    void removeSelectedRemovesExactlyThoseRecords();
    void clearOnEmptyListStillRefreshes();
    void drop_data();
    void drop();
    void addPanelChoosesFilesAndFolders();

private:
    QString file(const QString &name) { return UiFixtures::writeFile(mDir->path(), name); }
    void add(const QStringList &names, quint64 mode);
    QMimeData *urlsOf(const QStringList &paths);

    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<FilesContentView> mView;
};

void TestFileListView::init()
{
    UiFixtures::clearStore();
    mDir = std::make_unique<QTemporaryDir>();
    mView = std::make_unique<FilesContentView>();
    mView->awakeFromNib();
    NotificationCenter::defaultCenter().postNotificationName(FilesContentView::kLangDidChangeNotification);
    mView->show();
    QVERIFY(QTest::qWaitForWindowExposed(mView.get()));
}

void TestFileListView::cleanup()
{
    mView.reset();
    UiFixtures::clearStore();
}

void TestFileListView::add(const QStringList &names, quint64 mode)
{
    QStringList paths;
    for (const QString &name : names)
        paths.append(file(name));
    KDConvertFileManager::defaultManager().parseInputFiles(paths, mode);
}

QMimeData *TestFileListView::urlsOf(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(path.contains(QLatin1String("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

void TestFileListView::tabPositions_data()
{
    QTest::addColumn<QList<bool>>("states");
    QTest::addColumn<int>("tabY");
    QTest::addColumn<int>("titleY");
    // Tab 28 high in a 30-point strip, title 18 high.
    QTest::newRow("off") << QList<bool>{false} << 2 << 7;
    QTest::newRow("off twice stays") << QList<bool>{false, false} << 2 << 7;
    QTest::newRow("on after off") << QList<bool>{false, true} << 3 << 5;
    QTest::newRow("on twice moves twice") << QList<bool>{false, true, true} << 4 << 3;
    QTest::newRow("off after on") << QList<bool>{true, false} << 2 << 7;
}

void TestFileListView::tabPositions()
{
    QFETCH(QList<bool>, states);
    QFETCH(int, tabY);
    QFETCH(int, titleY);
    FileContentTabView *tab = mView->tabForMode(ConvertToPdf);
    for (bool on : states)
        tab->setStateOn(on);
    QCOMPARE(tab->y(), tabY);
    QCOMPARE(tab->titleLabel()->y(), titleY);
    QCOMPARE(tab->stateOn(), states.last());
}

// The press alone acts, and only with both a target and an action.
void TestFileListView::tabActsOnMouseDown()
{
    ActionReceiver receiver;
    FileContentTabView *tab = mView->tabForMode(MergePdf);
    tab->setTarget(&receiver);
    tab->setAction(QByteArrayLiteral("hit"));
    QTest::mousePress(tab, Qt::LeftButton);
    QCOMPARE(receiver.senders, QList<QObject *>{tab});
    tab->setAction(QByteArray());
    QTest::mousePress(tab, Qt::LeftButton);
    tab->setAction(QByteArrayLiteral("hit"));
    tab->setTarget(nullptr);
    QTest::mousePress(tab, Qt::LeftButton);
    QCOMPARE(receiver.senders.size(), 1);
}

void TestFileListView::tabClickShowsThatModesList()
{
    add({QStringLiteral("merge-a.pdf"), QStringLiteral("merge-b.pdf")}, MergePdf);
    QSignalSpy modeChanged(mView.get(), &FilesContentView::convertModeChangedByTab);
    QSignalSpy enable(mView.get(), &FilesContentView::startConvertButtonEnableChanged);
    for (quint64 mode : {ConvertToPdf, MergePdf, MergePdf, ConvertFromPdf}) {
        QTest::mousePress(mView->tabForMode(mode), Qt::LeftButton);
        QCOMPARE(mView->currentConvertMode(), mode);
        for (quint64 other : {ConvertFromPdf, ConvertToPdf, MergePdf})
            QCOMPARE(mView->tabForMode(other)->stateOn(), other == mode);
        QCOMPARE(mView->tableView()->model()->rowCount(), mode == MergePdf ? 2 : 0);
        QCOMPARE(enable.takeLast().first().toBool(), mode == MergePdf);
    }
    QCOMPARE(modeChanged.size(), 4);
    QCOMPARE(mView->tabForMode(ConvertFromPdf)->y(), 3); // on, one below the others
    QCOMPARE(mView->tabForMode(MergePdf)->y(), 2);
}

// One cell draws every row, so each fill must replace all five values.
void TestFileListView::rowsShowTheirRecords()
{
    add({QStringLiteral("a.docx"), QStringLiteral("b.PNG"), QStringLiteral("c.xlsx"), QStringLiteral("d.pptx")},
        ConvertToPdf);
    QTest::mousePress(mView->tabForMode(ConvertToPdf), Qt::LeftButton);
    const KDConvertFileList &records = KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(ConvertToPdf);
    records[0]->setConvertStatus(Failed);
    records[1]->setConvertStatus(Finished);
    records[3]->setConvertStatus(7);
    QFile::remove(records[2]->filePath());

    struct Row {
        const char *type;
        const char *status;
    };
    const Row expected[] = {{"file_word", "list-fail"},
                            {"file_ps", "list-finish"},
                            {"file_excel", "list-waiting"},
                            {"file_ppt", "list-waiting"}};
    for (int row : {0, 1, 2, 3, 1}) {
        KDTableCellView *cell = mView->tableViewViewForTableColumnRow(row);
        QVERIFY(cell);
        QCOMPARE(cell->height(), FilesContentView::kRowHeight);
        QCOMPARE(cell->fileTitleLabel()->text(), records[row]->fileName());
        QCOMPARE(cell->filePathLabel()->text(), records[row]->filePath());
        QCOMPARE(cell->sizePageLabel()->text(),
                 ToolFile::fileSizeFormatterToString(QFileInfo(records[row]->filePath()).size()));
        QCOMPARE(imageOf(cell->fileTypeIcon()), named(QLatin1String(expected[row].type), cell->fileTypeIcon()));
        QCOMPARE(imageOf(cell->convertStatusIcon()),
                 named(QLatin1String(expected[row].status), cell->convertStatusIcon()));
    }
    QCOMPARE(mView->tableViewViewForTableColumnRow(2)->sizePageLabel()->text(), ToolFile::fileSizeFormatterToString(0));

    // On screen, each row shows its own status icon in its own place.
    QTableView *table = mView->tableView();
    const QImage shot = mView->grab().toImage();
    for (int row : {0, 1, 2}) {
        const QRect rowRect = table->visualRect(table->model()->index(row, 0));
        QCOMPARE(rowRect.height(), 60);
        QLabel *icon = mView->tableViewViewForTableColumnRow(row)->convertStatusIcon();
        // A point of the icon's disc below its glyph: solid in every status colour.
        const QPoint inIcon(icon->width() / 2, icon->height() * 4 / 5);
        const QPoint atRow = table->viewport()->mapTo(mView.get(), rowRect.topLeft() + icon->pos() + inIcon);
        const QImage image = named(QLatin1String(expected[row].status), icon);
        QCOMPARE(shot.pixelColor(atRow * shot.devicePixelRatio()).rgb(),
                 image.pixelColor(inIcon * image.devicePixelRatio()).rgb());
    }
}

void TestFileListView::cellFileTypeSetsOnlyPdfTypesImage()
{
    const std::unique_ptr<KDTableCellView> cell = KDTableCellView::loadFromNib();
    const QImage before = imageOf(cell->imageView());
    cell->setFileType(7);
    QCOMPARE(cell->fileType(), quint64(7));
    QCOMPARE(imageOf(cell->imageView()), before);
    cell->setFileType(2);
    QCOMPARE(cell->fileType(), quint64(2));
    QCOMPARE(imageOf(cell->imageView()), named(QStringLiteral("file_pdf"), cell->imageView()));
}

void TestFileListView::emptyStateFollowsTheList()
{
    auto *button = mView->findChild<KDHoverButton *>(QStringLiteral("mBtnAddFiles"));
    auto *label = mView->findChild<QLabel *>(QStringLiteral("mLabelDragFiles"));
    QVERIFY(mView->isEmptyDragFiles() && button->isVisible() && label->isVisible());
    QCOMPARE(label->text(), QStringLiteral("Drag files here or click Add Files"));
    const int width = KDButtonFitting::titleSize(button).width() + 6 + button->imageSize().width() + 6;
    QCOMPARE(button->width(), width);
    QCOMPARE(button->x(), (mView->width() - width) / 2);
    QCOMPARE(label->x(), (mView->width() - label->width()) / 2);

    QSignalSpy enable(mView.get(), &FilesContentView::startConvertButtonEnableChanged);
    add({QStringLiteral("one.pdf")}, ConvertFromPdf);
    QVERIFY(!mView->isEmptyDragFiles() && !button->isVisible() && !label->isVisible());
    QCOMPARE(enable.takeLast().first().toBool(), true);
    mView->actionForClearList();
    QVERIFY(mView->isEmptyDragFiles() && button->isVisible());
    QCOMPARE(enable.takeLast().first().toBool(), false);
}

void TestFileListView::removeSelectedRemovesExactlyThoseRecords()
{
    add({QStringLiteral("r0.pdf"), QStringLiteral("r1.pdf"), QStringLiteral("r2.pdf")}, ConvertFromPdf);
    add({QStringLiteral("r0.pdf")}, MergePdf);
    QTableView *table = mView->tableView();
    table->selectionModel()->select(table->model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->selectionModel()->select(table->model()->index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    mView->actionForRemoveSelectedFiles();
    QCOMPARE(UiFixtures::fileNames(ConvertFromPdf), QStringList{QStringLiteral("r1.pdf")});
    QCOMPARE(UiFixtures::fileNames(MergePdf), QStringList{QStringLiteral("r0.pdf")});
    QCOMPARE(table->model()->rowCount(), 1);
}

void TestFileListView::clearOnEmptyListStillRefreshes()
{
    QObject observer;
    int refreshes = 0;
    NotificationCenter::defaultCenter().addObserver(
        &observer, KDConvertFileManager::kRefreshNotification,
        [&refreshes](const QString &, const QVariantMap &) { ++refreshes; });
    QSignalSpy enable(mView.get(), &FilesContentView::startConvertButtonEnableChanged);
    mView->actionForClearList();
    QCOMPARE(refreshes, 1);
    QCOMPARE(enable.size(), 1); // the view answered the notification
    QVERIFY(mView->isEmptyDragFiles());
}

void TestFileListView::drop_data()
{
    QTest::addColumn<quint64>("mode");
    QTest::addColumn<QStringList>("files");   // written under the temporary folder
    QTest::addColumn<QStringList>("dragged"); // relative paths, folders included, or URLs
    QTest::addColumn<QStringList>("added");
    const auto list = [](std::initializer_list<const char *> items) {
        QStringList result;
        for (const char *item : items)
            result.append(QLatin1String(item));
        return result;
    };
    QTest::newRow("matching files") << quint64(ConvertFromPdf) << list({"a.pdf", "b.PDF"}) << list({"a.pdf", "b.PDF"})
                                    << list({"a.pdf", "b.PDF"});
    QTest::newRow("mixed types in mode 1") << quint64(ConvertToPdf) << list({"a.DOCX", "b.jpeg", "c.png", "d.pdf"})
                                           << list({"a.DOCX", "b.jpeg", "c.png", "d.pdf"}) << list({"a.DOCX", "c.png"});
    QTest::newRow("folder with matches") << quint64(MergePdf) << list({"in/x.pdf", "in/sub/y.pdf", "in/sub/z.txt"})
                                         << list({"in"}) << list({"x.pdf", "y.pdf"});
    QTest::newRow("folder without matches")
        << quint64(ConvertFromPdf) << list({"in/z.txt"}) << list({"in"}) << list({});
    QTest::newRow("no local files") << quint64(ConvertFromPdf) << list({}) << list({"https://example.org/a.pdf"})
                                    << list({});
}

void TestFileListView::drop()
{
    QFETCH(quint64, mode);
    QFETCH(QStringList, files);
    QFETCH(QStringList, dragged);
    QFETCH(QStringList, added);
    for (const QString &name : files)
        file(name);
    QStringList paths;
    for (const QString &item : dragged)
        paths.append(item.contains(QLatin1String("://")) ? item : mDir->filePath(item));
    QTest::mousePress(mView->tabForMode(mode), Qt::LeftButton);
    std::unique_ptr<QMimeData> data(urlsOf(paths));
    const QPoint at = mView->rect().center();

    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(mView.get(), &enter);
    QVERIFY(mView->isDraggingEnter()); // highlighted whatever is dragged
    QCOMPARE(enter.isAccepted(), !added.isEmpty());
    // A refused drag ends with a leave, an accepted one with the drop.
    if (enter.isAccepted()) {
        QDropEvent dropEvent(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(mView.get(), &dropEvent);
        QVERIFY(dropEvent.isAccepted());
    } else {
        mView->draggingExited(); // what Qt's leave event calls; QApplication delivers no synthetic leave
    }
    QVERIFY(!mView->isDraggingEnter());
    QStringList names = UiFixtures::fileNames(mode);
    names.sort();
    QCOMPARE(names, added); // a folder adds in its listing's order
    QCOMPARE(mView->isEmptyDragFiles(), added.isEmpty());
}

void TestFileListView::addPanelChoosesFilesAndFolders()
{
    ScriptedPanels panels;
    file(QStringLiteral("pick/inner.docx"));
    panels.answer = QStringList{file(QStringLiteral("single.png")), mDir->filePath(QStringLiteral("pick")),
                                file(QStringLiteral("skip.pdf"))};
    QTest::mousePress(mView->tabForMode(ConvertToPdf), Qt::LeftButton);
    QTest::mouseClick(mView->findChild<KDHoverButton *>(QStringLiteral("mBtnAddFiles")), Qt::LeftButton);
    QCOMPARE(panels.shown.size(), 1);
    const KDOpenPanel::Options options = panels.shown.first();
    QVERIFY(options.canChooseFiles && options.canChooseDirectories && options.allowsMultipleSelection);
    QCOMPARE(options.allowedFileTypes, KDConvertFileManager::matchFileTypesWithConvertMode(ConvertToPdf));
    QCOMPARE(UiFixtures::fileNames(ConvertToPdf),
             (QStringList{QStringLiteral("single.png"), QStringLiteral("inner.docx")}));

    panels.answer.reset(); // Cancel
    mView->actionForAddFiles();
    QCOMPARE(UiFixtures::fileNames(ConvertToPdf).size(), 2);
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestFileListView)
#include "tst_filelistview.moc"
