#pragma once

#include <QString>

#include <optional>

// The conversion service that runs on this machine when no service URL is
// configured: mirelune-service on loopback, one per user data folder, shared
// by every launcher of that user and ending by itself when idle. A launcher
// never stops it.
class EmbeddedService final {
public:
    struct Endpoint {
        QString baseUrl;       // "https://127.0.0.1:PORT/api"
        QString caFile;        // the service's own CA, to be trusted for it only
        QString identityToken; // the service's local identity token
    };

    EmbeddedService() = delete;

    // Reuses the running service of this user's data folder, or starts one and
    // waits (bounded) until it answers. Safe to call from any thread.
    static std::optional<Endpoint> ensureRunning(QString *error);
    static std::optional<Endpoint> ensureRunning(const QString &dataFolder, const QString &program, QString *error);

    static QString dataFolder();
    // Beside the calling executable (../service/ or ../../service/ in a build
    // tree, the same folder when installed), else on PATH.
    static QString findProgram();

    // The endpoint of DATA/ready.json when the service it names answers its
    // health check with the same process id.
    static std::optional<Endpoint> runningEndpoint(const QString &dataFolder);

private:
    static std::optional<Endpoint> start(const QString &dataFolder, const QString &program, QString *error);
    static bool healthy(const QString &baseUrl, const QString &caFile, qint64 pid);
};
