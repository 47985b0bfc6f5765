#include "frameworks/CommLang.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDUnderlinedButton.h"
#include "product/AppSettings.h"
#include "ui/ConvertProgressWindow.h"
#include "ui/DEVavuzAze.h"
#include "ui/FilesContentView.h"
#include "ui/KDAboutWindow.h"
#include "ui/KDInputPDFPasswordAlertWindow.h"
#include "ui/KDNoticeWindow.h"
#include "ui/KDUpdateWindow.h"
#include "ui/MainWindow.h"

#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Whether a label shows all of its text: wrapped text within its height,
// one-line text within its width and every line's glyphs within its height.
QString cutText(const QLabel *label)
{
    if (label->text().isEmpty() || !label->isVisible() || label->textFormat() == Qt::RichText)
        return {};
    const QRect room = label->contentsRect();
    const QFontMetrics metrics = label->fontMetrics();
    if (label->wordWrap()) {
        if (label->heightForWidth(label->width()) > label->height())
            return QStringLiteral("needs %1 high, has %2")
                .arg(label->heightForWidth(label->width()))
                .arg(label->height());
        return {};
    }
    const QStringList lines = label->text().split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (metrics.horizontalAdvance(line) > room.width())
            return QStringLiteral("needs %1 wide, has %2").arg(metrics.horizontalAdvance(line)).arg(room.width());
    }
    const int glyphs = metrics.ascent() + metrics.descent() + (lines.size() - 1) * metrics.lineSpacing();
    if (glyphs > room.height() + 1)
        return QStringLiteral("needs %1 high, has %2").arg(glyphs).arg(room.height());
    return {};
}

// A button's title inside its frame: a push button at least as wide as it
// asks, a hover button's title field within the button.
QString cutTitle(const QAbstractButton *button)
{
    if (!button->isVisible())
        return {};
    if (qobject_cast<const QPushButton *>(button) && button->width() < button->sizeHint().width())
        return QStringLiteral("needs %1 wide, has %2").arg(button->sizeHint().width()).arg(button->width());
    if (const auto *hover = qobject_cast<const KDHoverButton *>(button)) {
        const QRect title = hover->textFiled()->geometry();
        if (!hover->title().isEmpty() && !hover->rect().contains(title))
            return QStringLiteral("the title leaves the button");
    }
    if (const auto *link = qobject_cast<const KDUnderlinedButton *>(button);
        link && link->width() < link->sizeHint().width())
        return QStringLiteral("the link is cut");
    return {};
}

} // namespace

// Every window laid out in every language: no label's text is wider (or,
// wrapped, taller) than the label, no button's title leaves the button.
// With MIRELUNE_WINDOW_SHOTS set to a folder, each window is saved there as
// it was checked.
class TestWindowTexts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void everyTextFits_data();
    void everyTextFits();

private:
    QWidget *openWindow(const QString &window);
    static void checkTexts(QWidget *window);

    QTemporaryDir mDir;
    QList<QPointer<QWidget>> mOpened;
};

void TestWindowTexts::initTestCase()
{
    KDConvertFileManager::defaultManager().parseInputFiles(
        {UiFixtures::writeFile(mDir.path(), QStringLiteral("quarterly report.pdf"))}, ConvertFromPdf);
}

void TestWindowTexts::cleanup()
{
    for (const QPointer<QWidget> &window : std::as_const(mOpened))
        delete window.data();
    mOpened.clear();
}

void TestWindowTexts::everyTextFits_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("window");
    const QStringList windows{QStringLiteral("main"),   QStringLiteral("sheet"), QStringLiteral("password"),
                              QStringLiteral("notice"), QStringLiteral("about"), QStringLiteral("update"),
                              QStringLiteral("account")};
    for (const CommLangInfo &info : CommLang::GetAppLangInfos()) {
        for (const QString &window : windows)
            QTest::addRow("%s, %s", qPrintable(info.langName), qPrintable(window)) << info.langName << window;
    }
}

QWidget *TestWindowTexts::openWindow(const QString &window)
{
    if (window == QLatin1String("main")) {
        auto *main = KDWindow::loadForNib<MainWindow>();
        NotificationCenter::defaultCenter().postNotificationName(MainWindow::kLangDidChangeNotification);
        main->show();
        // At its smallest, where texts have the least room.
        main->resize(main->minimumSize());
        return main;
    }
    if (window == QLatin1String("sheet")) {
        auto *sheet = KDWindow::loadForNib<ConvertProgressWindow>();
        sheet->updateConvertProgressNotification(
            {{ConvertProgressWindow::kStatusKey, 1}, {ConvertProgressWindow::kProgressKey, 45}});
        sheet->show();
        return sheet;
    }
    auto *parent = new KDWindow;
    mOpened.append(parent);
    parent->setGeometry(100, 100, 900, 640);
    parent->show();
    if (window == QLatin1String("password")) {
        auto *dialog =
            KDInputPDFPasswordAlertWindow::windowWithSuperWindowWithSuperWindow<KDInputPDFPasswordAlertWindow>(
                parent, QRect(QPoint(0, 0), KDInputPDFPasswordAlertWindow::kDialogSize));
        dialog->showWithFileName(QStringLiteral("quarterly report.pdf"), nullptr, true);
        dialog->lookPasswordErrorLabel()->show();
        dialog->editPasswordErrorLabel()->show();
        return dialog;
    }
    if (window == QLatin1String("notice"))
        return KDNoticeWindow::showOver(parent, CommLang::GetAppLang(QStringLiteral("OpenMailFailed")),
                                        QStringLiteral("feedback@mirelune.com"));
    if (window == QLatin1String("about")) {
        auto *about = KDAboutWindow::LoadFromNib();
        about->show();
        return about;
    }
    if (window == QLatin1String("update")) {
        auto *update = KDUpdateWindow::LoadFromNib();
        UpdateChecker::Result result;
        result.outcome = UpdateChecker::Outcome::NewerVersion;
        result.latestVersion = QStringLiteral("2.4.1");
        result.downloadUrl = QStringLiteral("https://www.mirelune.com/download/");
        result.notes = QStringLiteral("Faster merges.");
        update->showResult(result, QStringLiteral("2.3.0"));
        update->show();
        return update;
    }
    auto *account = DEVavuzAze::LoadFromNib();
    account->show();
    return account;
}

void TestWindowTexts::checkTexts(QWidget *window)
{
    for (const QLabel *label : window->findChildren<QLabel *>()) {
        const QString cut = cutText(label);
        QVERIFY2(cut.isEmpty(),
                 qPrintable(QStringLiteral("%1 \"%2\": %3").arg(label->objectName(), label->text(), cut)));
    }
    for (const QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        const QString cut = cutTitle(button);
        QVERIFY2(cut.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(button->objectName(), cut)));
    }
}

void TestWindowTexts::everyTextFits()
{
    QFETCH(QString, language);
    QFETCH(QString, window);
    AppSettings::setAppLanguageName(language);
    VAZevediZeziz::setAppInfo(AppSettings::GetAppInfo());
    QWidget *shown = openWindow(window);
    mOpened.append(shown);
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QCoreApplication::processEvents();
    if (const QString folder = qEnvironmentVariable("MIRELUNE_WINDOW_SHOTS"); !folder.isEmpty())
        shown->grab().save(QDir(folder).filePath(QStringLiteral("%1-%2.png").arg(window, language)));
    checkTexts(shown);
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestWindowTexts)
#include "tst_windowtexts.moc"
