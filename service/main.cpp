#include "MireluneVersion.h"
#include "core/Service.h"
#include "core/ServiceOptions.h"
#include "core/SignalWatcher.h"

#include <QCoreApplication>

#include <cstdio>
#include <sys/stat.h>

int main(int argc, char **argv)
{
    // Everything the service writes (records, keys, uploads, results) is the user's alone.
    ::umask(077);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mirelune-service"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MIRELUNE_VERSION));
    QString message;
    int exitCode = 0;
    const std::optional<ServiceOptions> options = ServiceOptions::parse(app.arguments(), &message, &exitCode);
    if (!options) {
        std::fprintf(exitCode == 0 ? stdout : stderr, "%s\n", qPrintable(message));
        return exitCode;
    }
    SignalWatcher watcher;
    Service service(*options);
    QObject::connect(&watcher, &SignalWatcher::stopRequested, &service, &Service::stop);
    QObject::connect(&service, &Service::stopped, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QString error;
    if (!service.start(&error)) {
        std::fprintf(stderr, "mirelune-service: %s\n", qPrintable(error));
        return 1;
    }
    return app.exec();
}
