#pragma once

#include <QFileDialog>
#include <QStringList>

#include <functional>

// The open panel: a non-native file dialog shown as a sheet of a window,
// window-modal and hanging from the window's title bar. Unlike a plain
// QFileDialog it can choose files and folders together; a folder typed into
// its name field is opened, not chosen. A panel opened without a directory
// starts where the last such panel was confirmed, also after a restart.
class KDOpenPanel final : public QFileDialog {
    Q_OBJECT
public:
    struct Options {
        bool canChooseFiles = true;
        bool canChooseDirectories = false;
        bool allowsMultipleSelection = false;
        // Lower-case extensions without the dot; empty allows every file.
        QStringList allowedFileTypes;
        // Where the panel opens; empty for the folder last used.
        QString directory;
    };
    // confirmed is false for Cancel; paths are the chosen items.
    using Completion = std::function<void(bool confirmed, const QStringList &paths)>;
    using Presenter = std::function<void(QWidget *window, const Options &options, const Completion &completion)>;

    explicit KDOpenPanel(const Options &options, QWidget *parent = nullptr);

    // Shows a panel as a sheet of window and returns at once; completion runs
    // when the panel closes.
    static void beginSheetModalForWindow(QWidget *window, const Options &options, Completion completion);
    // Tests replace the panels; an empty presenter brings them back.
    static void setPresenter(Presenter presenter);

    // The confirmed choice.
    QStringList chosenPaths() const;

    // The folder the last confirmed panel without a directory of its own was showing.
    static QString lastFolder();
    static inline const QString kLastFolderKey = QStringLiteral("userdefault.openPanel.lastFolder");

public slots:
    void accept() override;
    void done(int result) override;

private:
    static Presenter &presenter();
    void placeAsSheetOf(QWidget *window);
    void watchTyping();
    // The folder the name field names, when the user typed one.
    QString typedFolder() const;

    bool mChoosesFilesAndFolders = false;
    bool mRemembersFolder = false;
    QString mTypedName; // the field's text as the user last typed it
    QStringList mChosenPaths;
};
