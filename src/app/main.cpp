#include "app/AppDelegate.h"
#include "convert/PDFConvert.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/widgets/KDWindow.h"
#include "product/AppSettings.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

namespace {

// Files named on the command line (options left out), as absolute paths.
QStringList commandLinePaths()
{
    QStringList paths;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (const QString &argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-')))
            paths.append(QFileInfo(argument).absoluteFilePath());
    }
    return paths;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Mirelune"));
    QApplication::setApplicationName(QStringLiteral("mirelune"));
    QApplication::setApplicationVersion(AppSettings::AppVersion());
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/mirelune.svg")));
    // Ties the windows to the installed desktop entry (icon, grouping).
    QGuiApplication::setDesktopFileName(QStringLiteral("mirelune"));

    AppDelegate delegate;
    MainWindow *window = KDWindow::loadForNib<MainWindow>();
    window->setAttribute(Qt::WA_DeleteOnClose);
    delegate.setWindow(window);
    window->makeKeyAndOrderFront();
    delegate.applicationDidFinishLaunching();
    window->addFilesFromCommandLine(commandLinePaths());

    const int exitCode = app.exec();
    PDFConvert::abandonRun();
    DIRADoduredode::shared().shutdown();
    return exitCode;
}
