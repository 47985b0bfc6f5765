#include "files/KDConvertFileManager.h"
#include "files/pdf/PdfDocument.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "ui/KDInputPDFPasswordAlertWindow.h"

#include "support/PdfFixtures.h"
#include "support/TestMain.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

using Dialog = KDInputPDFPasswordAlertWindow;
const QString kUser = PdfFixtures::kUserPassword;
const QString kOwner = PdfFixtures::kOwnerPassword;

void type(QLineEdit *field, const QString &text)
{
    if (!text.isEmpty())
        QTest::keyClicks(field, text);
}

// Runs action once the event loop runs, i.e. inside the dialog's modal loop.
void whenModal(std::function<void()> action)
{
    QMetaObject::invokeMethod(qApp, std::move(action), Qt::QueuedConnection);
}

} // namespace

class TestPasswordAlertWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void preparesTheDialog();
    void rowsFollowTheNeedForAnEditPassword_data();
    void rowsFollowTheNeedForAnEditPassword();
    void confirmation_data();
    void confirmation();
    void everyOtherWayOfClosingCancels_data();
    void everyOtherWayOfClosingCancels();
    void errorLinesHideOnEditOfTheirField_data();
    void errorLinesHideOnEditOfTheirField();
    void runModalReturnsWhenTheDialogCloses();
    void intakeUnlocksThroughTheDialog_data();
    void intakeUnlocksThroughTheDialog();
    void popupsCloseBeforeTheDialogOpens();

private:
    Dialog *open(const QString &pdf, bool needEditPassword);

    QTemporaryDir mDir;
    QString mOpenOnly;
    QString mRestricted;
    KDWindow *mParent = nullptr;
    std::shared_ptr<PdfDocument> mDocument;
};

void TestPasswordAlertWindow::initTestCase()
{
    QVERIFY(mDir.isValid());
    mOpenOnly = mDir.filePath(QStringLiteral("open only.pdf"));
    mRestricted = mDir.filePath(QStringLiteral("restricted.pdf"));
    QVERIFY(PdfFixtures::write(mOpenOnly, PdfFixtures::aes256NothingForbidden()));
    QVERIFY(PdfFixtures::write(mRestricted, PdfFixtures::aes256AllForbidden()));
}

void TestPasswordAlertWindow::init()
{
    mParent = new KDWindow;
    mParent->setGeometry(100, 200, 1000, 700);
    mParent->show();
}

void TestPasswordAlertWindow::cleanup()
{
    delete mParent;
    mDocument.reset();
}

Dialog *TestPasswordAlertWindow::open(const QString &pdf, bool needEditPassword)
{
    mDocument = PdfDocument::openWithPath(pdf);
    auto *dialog =
        Dialog::windowWithSuperWindowWithSuperWindow<Dialog>(mParent, QRect(QPoint(0, 0), Dialog::kDialogSize));
    dialog->showWithFileName(QFileInfo(pdf).fileName(), mDocument, needEditPassword);
    return dialog;
}

void TestPasswordAlertWindow::preparesTheDialog()
{
    Dialog *dialog = open(mRestricted, true);
    // As high as its content, centred on the window.
    QCOMPARE(dialog->width(), 400);
    QCOMPARE(dialog->geometry().center(), mParent->frameGeometry().center());
    QCOMPARE(dialog->height(), dialog->layout()->totalHeightForWidth(400));
    QCOMPARE(dialog->fileNameLabel()->text(), QStringLiteral("restricted.pdf"));
    QCOMPARE(dialog->lookPasswordLabel()->text(), QStringLiteral("Enter the password to open this file"));
    QCOMPARE(dialog->editPasswordLabel()->text(), QStringLiteral("Enter the permissions password to allow editing"));
    QCOMPARE(dialog->lookPasswordErrorLabel()->text(), QStringLiteral("Wrong password"));
    QCOMPARE(dialog->sureBtn()->text(), QStringLiteral("OK"));
    QCOMPARE(dialog->cancelBtn()->text(), QStringLiteral("Cancel"));
    QCOMPARE(dialog->lookPasswordInputTextField()->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog->editPasswordInputTextField()->echoMode(), QLineEdit::Password);
    QVERIFY(dialog->lookPasswordErrorLabel()->isHidden());
    QVERIFY(dialog->editPasswordErrorLabel()->isHidden());
    QVERIFY(dialog->minButton()->isHidden());
    QVERIFY(dialog->zoomButton()->isHidden());
    QCOMPARE(dialog->borderRadius(), 8.0f);
    QVERIFY(!dialog->isCanceled());
    dialog->close();

    // A long name loses its middle rather than running under the buttons.
    const QString longName = QString(120, QLatin1Char('x')) + QStringLiteral(".pdf");
    auto *other =
        Dialog::windowWithSuperWindowWithSuperWindow<Dialog>(mParent, QRect(QPoint(0, 0), Dialog::kDialogSize));
    other->showWithFileName(longName, mDocument, false);
    QLabel *label = other->fileNameLabel();
    QVERIFY(label->text().endsWith(QStringLiteral(".pdf")));
    QVERIFY(label->text().contains(QChar(0x2026)));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
    QCOMPARE(label->toolTip(), longName);
}

void TestPasswordAlertWindow::rowsFollowTheNeedForAnEditPassword_data()
{
    QTest::addColumn<bool>("need");
    QTest::newRow("both rows") << true;
    QTest::newRow("open-password row only") << false;
}

void TestPasswordAlertWindow::rowsFollowTheNeedForAnEditPassword()
{
    QFETCH(bool, need);
    Dialog *dialog = open(mRestricted, need);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->editPasswordLabel()->isVisible(), need);
    QCOMPARE(dialog->editPasswordInputTextField()->isVisible(), need);
    // The name heads the dialog; the rows follow without a gap, the
    // buttons last.
    QLabel *name = dialog->fileNameLabel();
    QLineEdit *lastField = need ? dialog->editPasswordInputTextField() : dialog->lookPasswordInputTextField();
    QVERIFY(name->geometry().bottom() < dialog->lookPasswordLabel()->geometry().top());
    QVERIFY(dialog->lookPasswordLabel()->geometry().top() - name->geometry().bottom() <= 12);
    QVERIFY(lastField->mapTo(dialog, QPoint(0, lastField->height())).y() <
            dialog->sureBtn()->mapTo(dialog, QPoint()).y());
    QVERIFY(dialog->sureBtn()->mapTo(dialog, QPoint()).y() -
                lastField->mapTo(dialog, QPoint(0, lastField->height())).y() <=
            20);
    QCOMPARE(name->width(), dialog->contextView()->width() - 48);
    // Everything fits inside the dialog.
    for (QWidget *widget :
         {static_cast<QWidget *>(dialog->sureBtn()), static_cast<QWidget *>(name), static_cast<QWidget *>(lastField)})
        QVERIFY(dialog->contextView()->rect().contains(
            QRect(widget->mapTo(dialog->contextView(), QPoint()), widget->size())));
}

void TestPasswordAlertWindow::confirmation_data()
{
    QTest::addColumn<bool>("restricted");
    QTest::addColumn<QString>("lookPassword");
    QTest::addColumn<QString>("editPassword");
    QTest::addColumn<bool>("unlocked");
    QTest::addColumn<bool>("lookError");
    QTest::addColumn<bool>("editError");

    QTest::newRow("open password only") << false << kUser << QString() << true << false << false;
    QTest::newRow("wrong open password") << false << QStringLiteral("nope") << QString() << false << true << false;
    QTest::newRow("edit password missing") << true << kUser << QString() << false << false << true;
    QTest::newRow("edit password wrong") << true << kUser << QStringLiteral("nope") << false << false << true;
    QTest::newRow("both passwords") << true << kUser << kOwner << true << false << false;
    QTest::newRow("both wrong") << true << QStringLiteral("a") << QStringLiteral("b") << false << true << true;
}

void TestPasswordAlertWindow::confirmation()
{
    QFETCH(bool, restricted);
    QFETCH(QString, lookPassword);
    QFETCH(QString, editPassword);
    QFETCH(bool, unlocked);
    QFETCH(bool, lookError);
    QFETCH(bool, editError);

    // The intake asks for the edit password exactly when editing is restricted.
    Dialog *dialog = open(restricted ? mRestricted : mOpenOnly, restricted);
    type(dialog->lookPasswordInputTextField(), lookPassword);
    type(dialog->editPasswordInputTextField(), editPassword);
    QTest::mouseClick(dialog->sureBtn(), Qt::LeftButton);

    QCOMPARE(dialog->isVisible(), !unlocked);
    QVERIFY(!dialog->isCanceled());
    QCOMPARE(!mDocument->isLocked() && !KDConvertFileManager::isLockedWithEditPermission(mDocument.get()), unlocked);
    QCOMPARE(dialog->lookPasswordErrorLabel()->isVisible(), lookError);
    QCOMPARE(dialog->editPasswordErrorLabel()->isVisible(), editError);
    QCOMPARE(dialog->maskWindow()->isVisible(), !unlocked);
    if (!unlocked) {
        QCOMPARE(dialog->lookPassword(), lookPassword);
        QCOMPARE(dialog->editPassword(), editPassword);
    }
}

void TestPasswordAlertWindow::everyOtherWayOfClosingCancels_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("title bar close button") << 1;
    QTest::newRow("Escape") << 2;
    QTest::newRow("window closed") << 3;
}

void TestPasswordAlertWindow::everyOtherWayOfClosingCancels()
{
    QFETCH(int, way);
    Dialog *dialog = open(mOpenOnly, false);
    type(dialog->lookPasswordInputTextField(), QStringLiteral("wrong"));
    QTest::mouseClick(dialog->sureBtn(), Qt::LeftButton);
    QVERIFY(dialog->isVisible());

    switch (way) {
    case 0:
        QTest::mouseClick(dialog->cancelBtn(), Qt::LeftButton);
        break;
    case 1:
        QTest::mouseClick(dialog->closeButton(), Qt::LeftButton);
        break;
    case 2:
        QTest::keyClick(dialog->lookPasswordInputTextField(), Qt::Key_Escape);
        break;
    default:
        dialog->close();
    }
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->maskWindow()->isVisible());
    QVERIFY(dialog->isCanceled());
    QVERIFY(mDocument->isLocked());
}

void TestPasswordAlertWindow::errorLinesHideOnEditOfTheirField_data()
{
    QTest::addColumn<bool>("editTheEditField");
    QTest::newRow("open-password field") << false;
    QTest::newRow("edit-password field") << true;
}

void TestPasswordAlertWindow::errorLinesHideOnEditOfTheirField()
{
    QFETCH(bool, editTheEditField);
    Dialog *dialog = open(mRestricted, true);
    type(dialog->lookPasswordInputTextField(), QStringLiteral("a"));
    type(dialog->editPasswordInputTextField(), QStringLiteral("b"));
    QTest::mouseClick(dialog->sureBtn(), Qt::LeftButton);
    QVERIFY(dialog->lookPasswordErrorLabel()->isVisible());
    QVERIFY(dialog->editPasswordErrorLabel()->isVisible());

    QTest::keyClick(editTheEditField ? dialog->editPasswordInputTextField() : dialog->lookPasswordInputTextField(),
                    Qt::Key_Backspace);
    QCOMPARE(dialog->lookPasswordErrorLabel()->isVisible(), editTheEditField);
    QCOMPARE(dialog->editPasswordErrorLabel()->isVisible(), !editTheEditField);

    // Anything but a text field changes nothing.
    dialog->controlTextDidChange(dialog->sureBtn());
    QCOMPARE(dialog->lookPasswordErrorLabel()->isVisible(), editTheEditField);
}

void TestPasswordAlertWindow::runModalReturnsWhenTheDialogCloses()
{
    Dialog *dialog = open(mOpenOnly, false);
    whenModal([dialog] {
        QTest::keyClicks(dialog->lookPasswordInputTextField(), kUser);
        QTest::keyClick(dialog->lookPasswordInputTextField(), Qt::Key_Return);
    });
    dialog->runModal();
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->isCanceled());
    QVERIFY(!mDocument->isLocked());
    // A closed dialog does not wait again.
    dialog->runModal();
}

void TestPasswordAlertWindow::intakeUnlocksThroughTheDialog_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("unlocked") << false;
    QTest::newRow("cancelled") << true;
}

void TestPasswordAlertWindow::intakeUnlocksThroughTheDialog()
{
    QFETCH(bool, cancel);
    const QString source = mDir.filePath(cancel ? QStringLiteral("cancel.pdf") : QStringLiteral("unlock.pdf"));
    QVERIFY(PdfFixtures::write(source, PdfFixtures::aes256AllForbidden()));

    KDConvertFileManager store;
    store.setAppMainWindow(mParent);
    store.setPasswordPromptFactory(Dialog::promptFactory());
    QPointer<Dialog> seen;
    whenModal([this, cancel, &seen] {
        seen = mParent->findChild<Dialog *>();
        QVERIFY(seen && seen->isVisible());
        QVERIFY(seen->editPasswordInputTextField()->isVisibleTo(seen));
        if (cancel) {
            QTest::mouseClick(seen->cancelBtn(), Qt::LeftButton);
            return;
        }
        QTest::keyClicks(seen->lookPasswordInputTextField(), kUser);
        QTest::keyClicks(seen->editPasswordInputTextField(), kOwner);
        QTest::mouseClick(seen->sureBtn(), Qt::LeftButton);
    });
    store.parseInputFiles({source}, ConvertFromPdf);

    QVERIFY(seen.isNull());
    const KDConvertFileList &list = store.getFileDatasWithConvertMode(ConvertFromPdf);
    QCOMPARE(list.size(), cancel ? 0 : 1);
    if (!cancel) {
        const auto copy = PdfDocument::openWithPath(list.first()->filePath());
        QVERIFY(copy && !copy->isEncrypted());
    }
}

// A completion list left open by the open panel would sit over the dialog
// and take its first Escape; the dialog closes it first.
void TestPasswordAlertWindow::popupsCloseBeforeTheDialogOpens()
{
    const QString source = mDir.filePath(QStringLiteral("report-1.pdf"));
    QVERIFY(PdfFixtures::write(source, PdfFixtures::aes256AllForbidden()));
    QWidget panel;
    auto *name = new QLineEdit(&panel);
    auto *completer = new QCompleter(QStringList{QStringLiteral("report-1.pdf"), QStringLiteral("report-2.pdf")}, name);
    name->setCompleter(completer);
    panel.show();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("rep"));
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(QApplication::activePopupWidget(), completer->popup());

    KDConvertFileManager store;
    store.setAppMainWindow(mParent);
    store.setPasswordPromptFactory(Dialog::promptFactory());
    QPointer<Dialog> seen;
    whenModal([this, &seen, completer] {
        seen = mParent->findChild<Dialog *>();
        QVERIFY(seen && seen->isVisible());
        QVERIFY(!completer->popup()->isVisible());
        QVERIFY(!QApplication::activePopupWidget());
        // The first Escape is the dialog's.
        QTest::keyClick(seen->lookPasswordInputTextField(), Qt::Key_Escape);
    });
    store.parseInputFiles({source}, ConvertFromPdf);
    QVERIFY(seen.isNull());
    QVERIFY(store.getFileDatasWithConvertMode(ConvertFromPdf).isEmpty());
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestPasswordAlertWindow)
#include "tst_passwordalertwindow.moc"
