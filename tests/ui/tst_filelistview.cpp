#include "frameworks/NotificationCenter.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "tools/ToolFile.h"
#include "ui/FileContentTabView.h"
#include "ui/FilesContentView.h"
#include "ui/FilesTableModel.h"
#include "ui/KDButtonFitting.h"
#include "ui/KDNoticeWindow.h"
#include "ui/KDTableCellView.h"

#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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
    void rowsMoveWithTheKeyboard();
    void rowsMoveByDragAndDrop_data();
    void rowsMoveByDragAndDrop();
    void rowMenu();
    void activatingARow();
    void failedRowsShowTheirReason();
    void focusIsVisible();

private:
    QString file(const QString &name) { return UiFixtures::writeFile(mDir->path(), name); }
    void add(const QStringList &names, quint64 mode);
    QMimeData *urlsOf(const QStringList &paths);
    // The mode's list with a.pdf ... d.pdf, shown and focused.
    void focusedList(const QStringList &names);
    void select(const QList<int> &rows);
    QList<int> selectedRows() const;
    KDConvertFileRecord record(int row) const;

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
    const int width = 8 + button->imageSize().width() + 6 + KDButtonFitting::titleSize(button).width() + 12;
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

void TestFileListView::focusedList(const QStringList &names)
{
    add(names, MergePdf);
    QTest::mousePress(mView->tabForMode(MergePdf), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowActive(mView.get()));
    mView->tableView()->setFocus(Qt::TabFocusReason);
    QVERIFY(mView->tableView()->hasFocus());
}

void TestFileListView::select(const QList<int> &rows)
{
    KDConvertFileList records;
    for (int row : rows)
        records.append(record(row));
    mView->selectRecords(records);
}

QList<int> TestFileListView::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : mView->tableView()->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

KDConvertFileRecord TestFileListView::record(int row) const
{
    return KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(MergePdf).at(row);
}

// Alt+Up and Alt+Down move the selected rows, which stay selected; Delete
// removes them.
void TestFileListView::rowsMoveWithTheKeyboard()
{
    const QStringList names{QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("c.pdf"),
                            QStringLiteral("d.pdf")};
    focusedList(names);
    QTableView *table = mView->tableView();
    // Home and End go to the list's ends and select the row there (the
    // first key only finds the list's start).
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_End);
    QCOMPARE(selectedRows(), QList<int>{3});
    QTest::keyClick(table, Qt::Key_Home);
    QCOMPARE(selectedRows(), QList<int>{0});
    select({1, 2});
    QTest::keyClick(table, Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(UiFixtures::fileNames(MergePdf).join(QLatin1Char(',')), QStringLiteral("b.pdf,c.pdf,a.pdf,d.pdf"));
    QCOMPARE(selectedRows(), (QList<int>{0, 1}));
    QCOMPARE(table->currentIndex().row(), 0);
    QTest::keyClick(table, Qt::Key_Up, Qt::AltModifier); // at the top already
    QCOMPARE(UiFixtures::fileNames(MergePdf).join(QLatin1Char(',')), QStringLiteral("b.pdf,c.pdf,a.pdf,d.pdf"));
    QTest::keyClick(table, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(table, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(table, Qt::Key_Down, Qt::AltModifier); // at the bottom already
    QCOMPARE(UiFixtures::fileNames(MergePdf).join(QLatin1Char(',')), QStringLiteral("a.pdf,d.pdf,b.pdf,c.pdf"));
    QCOMPARE(selectedRows(), (QList<int>{2, 3}));
    QTest::keyClick(table, Qt::Key_Delete);
    QCOMPARE(UiFixtures::fileNames(MergePdf).join(QLatin1Char(',')), QStringLiteral("a.pdf,d.pdf"));
    // The same keys do nothing to the list while another control has the focus.
    select({1});
    mView->tabForMode(MergePdf)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(mView->tabForMode(MergePdf), Qt::Key_Delete);
    QTest::keyClick(mView->tabForMode(MergePdf), Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(UiFixtures::fileNames(MergePdf).join(QLatin1Char(',')), QStringLiteral("a.pdf,d.pdf"));
}

void TestFileListView::rowsMoveByDragAndDrop_data()
{
    QTest::addColumn<QList<int>>("dragged");
    QTest::addColumn<int>("ontoRow");
    QTest::addColumn<bool>("upperHalf");
    QTest::addColumn<QString>("from"); // "this" list, "other" list
    QTest::addColumn<QString>("order");
    QTest::newRow("last above the first") << QList<int>{3} << 0 << true << "this"
                                          << "d,a,b,c";
    QTest::newRow("first below the last") << QList<int>{0} << 3 << false << "this"
                                          << "b,c,d,a";
    QTest::newRow("two onto the middle") << QList<int>{0, 3} << 2 << true << "this"
                                         << "b,a,d,c";
    QTest::newRow("rows of another list") << QList<int>{3} << 0 << true << "other"
                                          << "a,b,c,d";
}

void TestFileListView::rowsMoveByDragAndDrop()
{
    QFETCH(QList<int>, dragged);
    QFETCH(int, ontoRow);
    QFETCH(bool, upperHalf);
    QFETCH(QString, from);
    QFETCH(QString, order);
    focusedList({QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("c.pdf"), QStringLiteral("d.pdf")});
    QTableView *table = mView->tableView();
    FilesContentView other;
    other.awakeFromNib();
    QAbstractItemModel *source = from == QLatin1String("this") ? table->model() : other.tableView()->model();
    QModelIndexList indexes;
    for (int row : std::as_const(dragged))
        indexes.append(source->index(row, 0));
    std::unique_ptr<QMimeData> data(source->mimeData(indexes));
    QVERIFY(data->hasFormat(FilesTableModel::kRowsMimeType));

    const QRect target = table->visualRect(table->model()->index(ontoRow, 0));
    const QPoint at(target.center().x(), upperHalf ? target.top() + 10 : target.bottom() - 10);
    QWidget *viewport = table->viewport();
    QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);

    QStringList names = UiFixtures::fileNames(MergePdf);
    for (QString &name : names)
        name.chop(4);
    QCOMPARE(names.join(QLatin1Char(',')), order);
    if (from == QLatin1String("this"))
        QCOMPARE(selectedRows().size(), dragged.size());
}

// The row's menu: the result of a finished file, opened or shown; removing
// and moving rows.
void TestFileListView::rowMenu()
{
    focusedList({QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("c.pdf")});
    const QString result = file(QStringLiteral("out/a.txt"));
    record(0)->setOutcome(Finished, result);
    record(1)->setOutcome(Failed, QString(), QStringLiteral("The service could not read it"));
    mView->reloadData();
    QTableView *table = mView->tableView();
    UrlRecorder opened;
    const auto menuAt = [this, table](int row) {
        return mView->showRowMenu(table->visualRect(table->model()->index(row, 0)).center());
    };
    const auto action = [](QMenu *menu, const char *name) { return menu->findChild<QAction *>(QLatin1String(name)); };

    QMenu *menu = menuAt(0);
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), QStringLiteral("rowMenu"));
    QCOMPARE(selectedRows(), QList<int>{0});
    QVERIFY(action(menu, "actionOpenResult")->isEnabled());
    QCOMPARE(action(menu, "actionOpenResult")->text(), QStringLiteral("Open Result"));
    action(menu, "actionShowInFolder")->trigger();
    action(menu, "actionOpenResult")->trigger();
    menu->close();
    QCOMPARE(opened.urls(), (QList<QUrl>{QUrl::fromLocalFile(QFileInfo(result).path()), QUrl::fromLocalFile(result)}));

    menu = menuAt(1);
    QVERIFY(!action(menu, "actionOpenResult")->isEnabled());
    QVERIFY(!action(menu, "actionShowInFolder")->isEnabled());
    QList<QAction *> shared = menu->actions();
    QVERIFY(shared.contains(mView->removeAction()) && shared.contains(mView->moveUpAction()) &&
            shared.contains(mView->moveDownAction()));
    mView->moveUpAction()->trigger();
    menu->close();
    QCOMPARE(UiFixtures::fileNames(MergePdf).join(QLatin1Char(',')), QStringLiteral("b.pdf,a.pdf,c.pdf"));

    // A right click on a selected row keeps the whole selection.
    select({1, 2});
    menu = menuAt(2);
    QCOMPARE(selectedRows(), (QList<int>{1, 2}));
    mView->removeAction()->trigger();
    menu->close();
    QCOMPARE(UiFixtures::fileNames(MergePdf), QStringList{QStringLiteral("b.pdf")});
    QVERIFY(!mView->showRowMenu(QPoint(5, table->viewport()->height() - 5)) || table->currentIndex().isValid());
}

// Double-click or Return: a finished row opens its result, a failed row
// shows its reason, a waiting row does nothing.
void TestFileListView::activatingARow()
{
    focusedList({QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("c.pdf")});
    const QString result = file(QStringLiteral("out/a.docx"));
    record(0)->setOutcome(Finished, result);
    record(1)->setOutcome(Failed, QString(), QStringLiteral("The conversion service could not convert the file"));
    mView->reloadData();
    QTableView *table = mView->tableView();
    UrlRecorder opened;

    const QPoint first = table->visualRect(table->model()->index(0, 0)).center();
    // A widget's double click in Qt Test is the second click alone.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, first);
    QVERIFY(opened.urls().isEmpty());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, first);
    QCOMPARE(opened.urls(), QList<QUrl>{QUrl::fromLocalFile(result)});

    table->setCurrentIndex(table->model()->index(2, 0));
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(opened.urls().size(), 1);
    QVERIFY(!mView->findChild<KDNoticeWindow *>());

    table->setCurrentIndex(table->model()->index(1, 0));
    QTest::keyClick(table, Qt::Key_Return);
    auto *notice = mView->findChild<KDNoticeWindow *>();
    QVERIFY(notice);
    QTRY_VERIFY(notice->isVisible());
    QCOMPARE(notice->messageLabel()->text(), QStringLiteral("b.pdf"));
    QCOMPARE(notice->detail(), record(1)->failureReason());
    QCOMPARE(opened.urls().size(), 1);
    QTest::keyClick(notice, Qt::Key_Escape);
    QTRY_VERIFY(!mView->findChild<KDNoticeWindow *>());
}

// The line under a failed file's name is its reason, in red; a new run's
// Waiting brings the path back.
void TestFileListView::failedRowsShowTheirReason()
{
    focusedList({QStringLiteral("a.pdf")});
    const QString why = QStringLiteral("The result could not be downloaded into the output folder");
    record(0)->setOutcome(Failed, QString(), why);
    KDTableCellView *cell = mView->tableViewViewForTableColumnRow(0);
    QVERIFY(cell->detailLineShowsFailure());
    QLabel *line = cell->filePathLabel();
    QCOMPARE(line->text(), line->fontMetrics().elidedText(why, Qt::ElideRight, line->width()));
    QVERIFY(line->text().startsWith(QStringLiteral("The result")));
    QCOMPARE(mView->tableView()->model()->index(0, 0).data(Qt::ToolTipRole).toString(), why);
    record(0)->setOutcome(Waiting);
    cell = mView->tableViewViewForTableColumnRow(0);
    QVERIFY(!cell->detailLineShowsFailure());
    QCOMPARE(line->text(), line->fontMetrics().elidedText(record(0)->filePath(), Qt::ElideMiddle, line->width()));
    QCOMPARE(mView->tableView()->model()->index(0, 0).data(Qt::ToolTipRole).toString(), record(0)->filePath());
}

// Where the keyboard is shows: the list's border and the current row while
// the table has the focus, the ring of a tab reached with Tab. A tab is
// chosen with Space and its neighbour with the arrow keys.
void TestFileListView::focusIsVisible()
{
    focusedList({QStringLiteral("a.pdf"), QStringLiteral("b.pdf")});
    QTableView *table = mView->tableView();
    table->setCurrentIndex(table->model()->index(0, 0));
    const QImage focused = mView->grab().toImage();
    FileContentTabView *tab = mView->tabForMode(MergePdf);
    tab->setFocus(Qt::TabFocusReason);
    QVERIFY(tab->hasFocus());
    const QImage onTab = mView->grab().toImage();

    const int ratio = int(focused.devicePixelRatio());
    const QPoint border(0, (FileContentTabView::kStripHeight + 40));
    QVERIFY(focused.pixelColor(border * ratio) != onTab.pixelColor(border * ratio));
    const QRect row = table->visualRect(table->model()->index(0, 0));
    const QPoint ringPoint = table->viewport()->mapTo(mView.get(), QPoint(row.center().x(), row.top() + 2));
    QVERIFY(focused.pixelColor(ringPoint * ratio) != onTab.pixelColor(ringPoint * ratio));
    const QRect tabArea(tab->pos(), tab->size());
    QVERIFY(focused.copy(QRect(tabArea.topLeft() * ratio, tabArea.size() * ratio)) !=
            onTab.copy(QRect(tabArea.topLeft() * ratio, tabArea.size() * ratio)));

    QTest::keyClick(tab, Qt::Key_Left);
    QCOMPARE(mView->currentConvertMode(), quint64(ConvertToPdf));
    QVERIFY(mView->tabForMode(ConvertToPdf)->hasFocus());
    QTest::keyClick(mView->tabForMode(ConvertToPdf), Qt::Key_Left);
    QTest::keyClick(mView->tabForMode(ConvertFromPdf), Qt::Key_Left); // the first tab stays
    QCOMPARE(mView->currentConvertMode(), quint64(ConvertFromPdf));
    mView->tabForMode(MergePdf)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(mView->tabForMode(MergePdf), Qt::Key_Space);
    QCOMPARE(mView->currentConvertMode(), quint64(MergePdf));
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestFileListView)
#include "tst_filelistview.moc"
