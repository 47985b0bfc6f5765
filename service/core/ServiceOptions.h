#pragma once

#include "store/DatabaseUrl.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// The command line of mirelune-service.
struct ServiceOptions {
    QHostAddress listenAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 0;
    bool listenGiven = false;
    QString dataFolder;
    int workers = 1;
    qint64 maxUploadBytes = 2LL * 1024 * 1024 * 1024;
    int keepHours = 24;
    int jobTimeoutSeconds = 300;
    int idleExitMinutes = 0; // 0: run until stopped
    bool coldOffice = false; // start LibreOffice for every conversion
    // The pace suggested to clients: milliseconds between status polls and
    // between the starts of downloads. Tasks here take well under a second.
    int pollIntervalMs = 200;
    int downloadStaggerMs = 0;
    // Several nodes: the shared PostgreSQL database (none: SQLite in the data
    // folder), this node's name, the URL clients reach the nodes under, and
    // how long a task stays with a node that stopped renewing its lease.
    std::optional<DatabaseUrl> database;
    QString nodeId;
    QUrl publicUrl;
    int leaseSeconds = 30;
    // A certificate clients already trust, instead of the private CA's (both or neither).
    QString tlsCertificate;
    QString tlsKey;

    // Nothing (and a message in `error`) for a bad command line; `error` is
    // also used for --help and --version, with `exitCode` 0.
    static std::optional<ServiceOptions> parse(const QStringList &arguments, QString *message, int *exitCode);
    // "127.0.0.1:8443", "[::1]:0", "0.0.0.0" (port 0).
    static bool parseListen(const QString &text, QHostAddress *address, quint16 *port);
    // "https://host[:port]" with nothing else: no path, query or user.
    static std::optional<QUrl> parsePublicUrl(const QString &text);
    // Letters, digits, '.', '_' and '-', 1 to 64 of them, not starting with a dot: it names a folder.
    static bool validNodeId(const QString &text);
    // "hostname-pid", cleaned to a valid id.
    static QString defaultNodeId();
    bool isLoopback() const { return listenAddress.isLoopback(); }
};
