#include "frameworks/widgets/KDWindow.h"
#include "ui/KDOpenPanel.h"

#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// The real open panel: choosing files and folders together, and its sheet placement.
class TestOpenPanel : public QObject {
    Q_OBJECT

private slots:
    void init();
    void choosing_data();
    void choosing();
    void hangsFromTheTitleBarAndReportsCancel();

private:
    std::unique_ptr<QTemporaryDir> mDir;
};

void TestOpenPanel::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    for (const char *name : {"a.pdf", "b.txt", "sub/c.pdf"})
        UiFixtures::writeFile(mDir->path(), QLatin1String(name));
}

void TestOpenPanel::choosing_data()
{
    QTest::addColumn<bool>("files");
    QTest::addColumn<bool>("folders");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("chosen"); // empty: the panel stays open
    const QStringList fileAndFolder{QStringLiteral("a.pdf"), QStringLiteral("sub")};
    const QStringList folder{QStringLiteral("sub")};
    QTest::newRow("files and folders together") << true << true << fileAndFolder << fileAndFolder;
    QTest::newRow("files only opens a chosen folder") << true << false << fileAndFolder << QStringList{};
    QTest::newRow("folders only") << false << true << folder << folder;
}

void TestOpenPanel::choosing()
{
    QFETCH(bool, files);
    QFETCH(bool, folders);
    QFETCH(QStringList, selected);
    QFETCH(QStringList, chosen);
    KDOpenPanel::Options options;
    options.canChooseFiles = files;
    options.canChooseDirectories = folders;
    options.allowsMultipleSelection = true;
    options.allowedFileTypes = {QStringLiteral("pdf")};
    options.directory = mDir->path();
    KDOpenPanel panel(options);
    QSignalSpy finished(&panel, &QDialog::finished);
    panel.show();
    auto *list = panel.findChild<QListView *>(QStringLiteral("listView"));
    QVERIFY(list);
    const auto indexOf = [list](const QString &name) {
        const QModelIndex root = list->rootIndex();
        for (int row = 0; row < list->model()->rowCount(root); ++row) {
            const QModelIndex index = list->model()->index(row, 0, root);
            if (index.data().toString() == name)
                return index;
        }
        return QModelIndex();
    };
    QTRY_VERIFY(indexOf(selected.last()).isValid());
    if (files)
        QVERIFY(!indexOf(QStringLiteral("b.txt")).isValid()); // filtered by type
    for (const QString &name : selected)
        list->selectionModel()->select(indexOf(name), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    panel.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Open)->click();

    if (chosen.isEmpty()) {
        QCOMPARE(finished.size(), 0);
        QCOMPARE(QDir(panel.directory()).dirName(), QStringLiteral("sub"));
        return;
    }
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
    QStringList expected;
    for (const QString &name : chosen)
        expected.append(QDir(mDir->path()).filePath(name));
    QStringList paths = panel.chosenPaths();
    paths.sort();
    QCOMPARE(paths, expected);
}

void TestOpenPanel::hangsFromTheTitleBarAndReportsCancel()
{
    KDWindow window;
    window.setGeometry(100, 80, 900, 640);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    std::optional<bool> confirmed;
    KDOpenPanel::beginSheetModalForWindow(&window, {}, [&confirmed](bool ok, const QStringList &) { confirmed = ok; });
    auto *panel = window.findChild<KDOpenPanel *>();
    QVERIFY(panel);
    QTRY_VERIFY(panel->isVisible());
    QCOMPARE(panel->windowModality(), Qt::WindowModal);
    QCOMPARE(panel->geometry().top(), window.geometry().top() + window.titleBarHeight());
    QCOMPARE(panel->geometry().center().x(), window.geometry().center().x());
    panel->reject();
    QCOMPARE(confirmed, std::optional<bool>(false));
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestOpenPanel)
#include "tst_openpanel.moc"
