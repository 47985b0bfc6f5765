#pragma once

#include "convert/RunOutcome.h"
#include "frameworks/widgets/KDMenu.h"
#include "frameworks/widgets/KDWindow.h"
#include "ui/ConvertProgressWindow.h"
#include "ui/KDAutoresizing.h"
#include "ui/KDOpenPanel.h"

#include <QPointer>
#include <QVariantMap>

#include <atomic>
#include <memory>

class FilesContentView;
class KDHoverButton;
class QAction;

namespace Ui {
class MainWindow;
}

// The application's document window: the file list with its mode tabs, the
// list operations, the output format and folder, and Start. It turns the
// user's actions into calls on the store, the conversion run and the
// settings, shows the progress sheet during a run and re-broadcasts the run's
// progress as "notification.update.convertProgress".
class MainWindow final : public KDWindow {
    Q_OBJECT
public:
    static inline const QString kLangDidChangeNotification = QStringLiteral("notification.lang.appLangDidChange");
    // The title bar holds the window title over a row of menu buttons.
    static constexpr int kTitleBarHeight = 58;
    static constexpr int kSheetDelayMs = 250;
    // Every control stays reachable down to this size (logical pixels).
    static constexpr QSize kMinimumSize{640, 440};

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    FilesContentView *filesContentView() const;
    ConvertProgressWindow *sheetConvertProgressWindow() const { return mSheetConvertProgressWindow; }

    void setStartConvertButtonEnable(bool enable);
    void updateConvertOupputFormat();
    static QStringList getComboxOutputFormatWithConvertMode(quint64 mode);
    QString getSelectedOutputFormatWithConvertMode(quint64 mode) const;

    // Starts a run over the current mode's list into the output folder the
    // window shows, recreating that folder when it has gone; false, with a
    // notice that says why, when the folder cannot be made.
    bool beginConvert();
    QString outputFolderPath() const { return mOutputFolder; }
    // Keeps the window on its screen: no larger than the screen's free area
    // (never below the minimum size) and inside it.
    void fitIntoScreen();
    // The sheet's line about the file being worked on: "report.pdf (3 of 12)".
    QString currentFileText() const;
    // The last run's summary ("12 converted, 2 failed"); empty while it runs.
    QString runSummary() const { return mRunSummary; }

    void layoutToolbarButtons();
    void layoutOperationViewUI();
    void layoutBottomUI();
    void notificationLangDidChange();
    // Command-line paths for the list of the current mode, filtered like
    // the Add button's choice.
    void addFilesFromCommandLine(const QStringList &paths);

    // The menu most recently popped up by a title-bar button, while it is open.
    KDMenu *lastPoppedMenu() const { return mLastPoppedMenu; }

public slots:
    void actionForStart(QObject *sender = nullptr);
    void actionForCancelConvert(QObject *sender = nullptr);
    void actionForAddFiles(QObject *sender = nullptr);
    void actionForSelectFilesFromFolder(QObject *sender = nullptr);
    void actionForChangeConvertFolderPath(QObject *sender = nullptr);
    void actionForOpenFolder(QObject *sender = nullptr);
    void actionForShowFileMenu(QObject *sender = nullptr);
    void actionForShowLangMenu(QObject *sender = nullptr);
    void actionForShowHelpMenu(QObject *sender = nullptr);
    void actionForSupport(QObject *sender = nullptr);
    void actionForFeedback(QObject *sender = nullptr);
    void actionForCheckUpdate(QObject *sender = nullptr);
    void actionForAbout(QObject *sender = nullptr);
    void actionForDisplayAccount(QObject *sender = nullptr);
    void actionForChangeAppLanguage(QObject *sender = nullptr);

protected:
    void awakeFromNib() override;
    // The frame changed: the operation buttons are centred again.
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createTitlebarButtons();
    void customTitlebarButton();
    void customOperationView();
    void customBottom();
    void setUpAutoresizing();
    void connectControls();
    void setUpShortcuts();
    void styleMoveButton(KDHoverButton *button, const QString &image);
    void showOutputFolder();
    void addNotification();
    void placeWindowTitle();
    void addFilesFromPanel(const KDOpenPanel::Options &options);
    KDMenu *makeMenu();
    void popMenu(KDMenu *menu, QObject *sender);

    // The one poster of the progress notification: posts the run status and
    // percentage on the main thread. Any thread; `run` keeps a superseded run
    // off the sheet.
    void postConvertProgressNotiticationWithStatus(qint32 status, qint32 progressValue, quint64 run);
    void showConvertSheet(quint64 run);
    void endConvertSheet(quint64 run);
    // The run's completion, on the main thread; only the first one of the
    // current run counts.
    void runDidEnd(quint64 run, quint64 mode, qint32 result, const QStringList &paths, const QString &message);
    void applyConvertResults(quint64 mode, const QList<RunOutcome::File> &files);
    // Brings the sheet up to date with the run: the file worked on, and at the
    // end the summary with Close in place of Cancel.
    void updateSheet();
    void revealResults(const QList<RunOutcome::File> &files);

    std::unique_ptr<Ui::MainWindow> ui;
    KDHoverButton *mBtnTitlebarFiles = nullptr;
    KDHoverButton *mBtnTitlebarLang = nullptr;
    KDHoverButton *mBtnTitlebarHelp = nullptr;
    QPointer<ConvertProgressWindow> mSheetConvertProgressWindow;
    QPointer<KDMenu> mLastPoppedMenu;
    std::unique_ptr<KDAutoresizing> mAutoresizing;

    // Runs are numbered so that the late callbacks and timers of one run
    // never touch the sheet or the statuses of the next.
    std::atomic<quint64> mRunSerial{0};
    // From Start until the sheet is closed; the run itself may end earlier.
    bool mRunActive = false;
    bool mRunEnded = false;
    QString mRunSummary;
    QString mRunFailure; // why the run failed as a whole
    // Results the desktop could not show, shown in a notice once the sheet is closed.
    QString mUnrevealedFolder;
    QVariantMap mLastProgressInfo;
    QString mOutputFolder;
    QAction *mAddFilesAction = nullptr;
    QAction *mStartAction = nullptr;
};
