#pragma once

#include "files/KDConvertFileManager.h"
#include "ui/KDOpenPanel.h"

#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <optional>

// Helpers shared by the window tests: files on disk, the shared store
// emptied between tests, open panels answered by the test, and the URLs the
// application hands to the desktop.
class UiFixtures final {
public:
    UiFixtures() = delete;

    // Writes a small file (a PDF when the name ends in .pdf) and returns its path.
    static QString writeFile(const QString &folder, const QString &relativePath);
    static void clearStore();
    static QStringList fileNames(quint64 mode);
    static QList<qint32> statuses(quint64 mode);
};

// Replaces the open panels for its lifetime: records each panel's options and
// answers it with the scripted paths, or with Cancel when there are none.
class ScriptedPanels final {
public:
    ScriptedPanels();
    ~ScriptedPanels();

    std::optional<QStringList> answer;
    QList<KDOpenPanel::Options> shown;
};

// Receives what QDesktopServices would open, from any thread.
class UrlRecorder final : public QObject {
    Q_OBJECT
public:
    UrlRecorder();
    ~UrlRecorder() override;
    QList<QUrl> urls() const;

public slots:
    void open(const QUrl &url);

private:
    mutable QMutex mMutex;
    QList<QUrl> mUrls;
};
