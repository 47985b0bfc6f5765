#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "convert/PDFConvert.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/VAZevediZeziz.h"
#include "product/AppSettings.h"

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
    QObject::connect(
        &run, &CliRun::finished, &app, [](int exitCode) { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
    run.start();
    const int exitCode = app.exec();
    PDFConvert::abandonRun();
    DIRADoduredode::shared().shutdown();
    return exitCode;
}
