#include "frameworks/widgets/KDWindow.h"
#include "settings/UserDefaults.h"
#include "ui/KDOpenPanel.h"

#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QLineEdit>
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
    void typedFolderIsOpened_data();
    void typedFolderIsOpened();
    void startsInTheLastFolder();

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

void TestOpenPanel::typedFolderIsOpened_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("opened"); // relative to the temporary folder; empty: the panel chose
    QTest::newRow("a folder's name") << "sub"
                                     << "sub";
    QTest::newRow("a folder's full path") << "<dir>/sub"
                                          << "sub";
    QTest::newRow("the parent folder") << ".."
                                       << "..";
    QTest::newRow("a file's name") << "a.pdf" << QString();
}

// A folder typed into the name field and confirmed with Return is opened,
// like in any file dialog; only a file typed there is chosen.
void TestOpenPanel::typedFolderIsOpened()
{
    QFETCH(QString, typed);
    QFETCH(QString, opened);
    KDOpenPanel::Options options;
    options.canChooseFiles = true;
    options.canChooseDirectories = true;
    options.allowsMultipleSelection = true;
    options.allowedFileTypes = {QStringLiteral("pdf")};
    options.directory = mDir->path();
    KDOpenPanel panel(options);
    QSignalSpy finished(&panel, &QDialog::finished);
    panel.show();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    auto *field = panel.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(field);
    field->setFocus();
    QTest::keyClicks(field, QString(typed).replace(QStringLiteral("<dir>"), mDir->path()));
    if (QWidget *popup = QApplication::activePopupWidget())
        QTest::keyClick(popup, Qt::Key_Escape); // the name completion, as a user would dismiss it
    QTest::keyClick(field, Qt::Key_Return);

    if (opened.isEmpty()) {
        QCOMPARE(finished.size(), 1);
        QCOMPARE(panel.chosenPaths(), QStringList{QDir(mDir->path()).filePath(typed)});
        return;
    }
    QCOMPARE(finished.size(), 0);
    QVERIFY(panel.isVisible());
    QCOMPARE(panel.directory().absolutePath(), QDir::cleanPath(QDir(mDir->path()).filePath(opened)));
    QVERIFY(field->text().isEmpty());
}

// A panel without a directory of its own starts in the folder the last such
// panel was confirmed in; the folder is kept in the preferences.
void TestOpenPanel::startsInTheLastFolder()
{
    QVERIFY(KDOpenPanel::kLastFolderKey.startsWith(QStringLiteral("userdefault.")));
    saveObjectToUserDefaults(QVariant(), KDOpenPanel::kLastFolderKey);
    const QString sub = QDir(mDir->path()).filePath(QStringLiteral("sub"));
    const auto confirmIn = [](KDOpenPanel &panel, const QString &folder, const QString &name) {
        panel.setDirectory(folder);
        panel.selectFile(QDir(folder).filePath(name));
        panel.accept();
    };
    {
        KDOpenPanel first({});
        confirmIn(first, sub, QStringLiteral("c.pdf"));
        QCOMPARE(first.result(), int(QDialog::Accepted));
    }
    QCOMPARE(objectFromUserDefaults(KDOpenPanel::kLastFolderKey, QVariant()).toString(), sub);
    KDOpenPanel second({});
    QCOMPARE(second.directory().absolutePath(), sub);

    // A panel with its own directory neither starts there nor changes it.
    KDOpenPanel::Options own;
    own.directory = mDir->path();
    {
        KDOpenPanel chooser(own);
        QCOMPARE(chooser.directory().absolutePath(), mDir->path());
        confirmIn(chooser, mDir->path(), QStringLiteral("a.pdf"));
    }
    QCOMPARE(KDOpenPanel::lastFolder(), sub);
    // Cancelled panels leave it too.
    {
        KDOpenPanel cancelled({});
        cancelled.setDirectory(mDir->path());
        cancelled.reject();
    }
    QCOMPARE(KDOpenPanel::lastFolder(), sub);

    // A folder that has gone is not offered.
    QVERIFY(QDir(sub).removeRecursively());
    QVERIFY(KDOpenPanel::lastFolder().isEmpty());
    KDOpenPanel third({});
    QVERIFY(third.directory().absolutePath() != sub);
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestOpenPanel)
#include "tst_openpanel.moc"
