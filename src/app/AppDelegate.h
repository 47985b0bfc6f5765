#pragma once

#include "ui/MainWindow.h"

#include <QObject>
#include <QPointer>

// Finishes the application's start-up once the main window is built: the
// framework's application record and dialog parent, the first language
// broadcast, and a fresh service token whenever the account changes.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject *parent = nullptr);

    MainWindow *window() const { return mWindow; }
    void setWindow(MainWindow *window) { mWindow = window; }

    void applicationDidFinishLaunching();
    // Closing the main window quits the application.
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }

private:
    QPointer<MainWindow> mWindow;
};
