#include "AppSettings.h"
#include "CliOptions.h"
#include "CliRun.h"
#include "DIRADoduredode.h"
#include "PDFConvert.h"
#include "VAZevediZeziz.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Mirelune"));
    QCoreApplication::setApplicationName(QStringLiteral("mirelune-cli"));
    QCoreApplication::setApplicationVersion(AppSettings::AppVersion());

    QString errorText;
    const std::optional<CliOptions> options = CliOptions::parse(QCoreApplication::arguments(), &errorText);
    if (!options) {
        std::fprintf(stderr, "mirelune-cli: %s\nTry 'mirelune-cli --help'.\n", errorText.toLocal8Bit().constData());
        return CliRun::kExitUsage;
    }
    VAZevediZeziz::initWithCommAppInfo(AppSettings::GetAppInfo(), nullptr);
    CliRun run(*options);
    QObject::connect(&run, &CliRun::finished, &app, [](int exitCode) { QCoreApplication::exit(exitCode); },
                     Qt::QueuedConnection);
    run.start();
    const int exitCode = app.exec();
    PDFConvert::abandonRun();
    DIRADoduredode::shared().shutdown();
    return exitCode;
}
