#include "ui/DesktopOpener.h"

#include "frameworks/CommLang.h"
#include "tools/ToolFile.h"
#include "ui/KDNoticeWindow.h"

#include <QFileInfo>
#include <QWidget>

namespace {

QString messageFor(const QUrl &url)
{
    const char *key = "OpenLinkFailed";
    if (url.isLocalFile())
        key = QFileInfo(url.toLocalFile()).isDir() ? "OpenFolderFailed" : "OpenFileFailed";
    else if (url.scheme() == QLatin1String("mailto"))
        key = "OpenMailFailed";
    return CommLang::GetAppLang(QLatin1String(key));
}

} // namespace

bool DesktopOpener::open(const QUrl &url, QWidget *window)
{
    if (ToolFile::openFileAtURL(url))
        return true;
    showCannotOpen(url, window);
    return false;
}

bool DesktopOpener::reveal(const QList<QUrl> &files, QWidget *window)
{
    if (files.isEmpty() || ToolFile::showMultipleFilesInFinder(files))
        return true;
    showCannotOpen(QUrl::fromLocalFile(QFileInfo(files.constFirst().toLocalFile()).absolutePath()), window);
    return false;
}

void DesktopOpener::showCannotOpen(const QUrl &url, QWidget *window)
{
    if (window)
        KDNoticeWindow::showOver(window, messageFor(url), shownAddress(url));
}

QString DesktopOpener::shownAddress(const QUrl &url)
{
    if (url.isLocalFile())
        return url.toLocalFile();
    // The query carries the prepared subject and body; the address is what to copy.
    if (url.scheme() == QLatin1String("mailto"))
        return url.path();
    return url.toString();
}
