#include "AppSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Mirelune"));
    QCoreApplication::setApplicationName(QStringLiteral("mirelune-cli"));
    QCoreApplication::setApplicationVersion(AppSettings::AppVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Converts files to and from PDF with the Mirelune conversion service."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    QTextStream err(stderr);
    err << "mirelune-cli: conversions are not available in this build yet; see --help.\n";
    return 2;
}
