#pragma once

#include <QList>
#include <QString>
#include <QUrl>

class QWidget;

// Hands folders, files, web pages and mail addresses to the desktop. When
// the desktop has no program for one (no file manager, browser or mail
// program), a notice over the given window shows the path or address with
// Copy, instead of nothing happening.
class DesktopOpener final {
public:
    DesktopOpener() = delete;

    // True when the desktop took the URL.
    static bool open(const QUrl &url, QWidget *window);
    // Shows the files in the file manager, else opens their folders; the
    // notice names the first file's folder.
    static bool reveal(const QList<QUrl> &files, QWidget *window);
    // The notice for a URL nothing could open.
    static void showCannotOpen(const QUrl &url, QWidget *window);
    // What the notice shows: a local path, a mail address or the URL itself.
    static QString shownAddress(const QUrl &url);
};
