#pragma once

#include "api/DownloadHandler.h"
#include "api/IdentityTokens.h"
#include "api/ObjectStore.h"
#include "http/HttpHandler.h"
#include "jobs/TaskQueue.h"
#include "store/Records.h"

#include <QHostAddress>
#include <QObject>
#include <QUrl>

// Routes every request: the JSON API under /api, result downloads under
// /download, and everything else to the object store.
class ServiceApi final : public HttpHandler {
public:
    struct Settings {
        QString bucket;
        QHostAddress listenAddress;
        quint16 port = 0;
        qint64 keepSeconds = 0;
        // The pace suggested to pollers in creation and status replies (at
        // most; a task likely done sooner gets a shorter one).
        int pollIntervalMs = 200;
        int downloadStaggerMs = 0;
        // The address clients reach this node under (behind a load balancer:
        // the balancer's); invalid: the listening address.
        QUrl publicUrl;
        QString nodeId;
    };

    ServiceApi(Records &records, IdentityTokens &identities, ObjectStore &objects, TaskQueue &queue, Settings settings);

    void setPort(quint16 port) { mSettings.port = port; }
    HttpRoute route(const HttpRequest &head) override;

    // "https://host:port": the public URL, or as the client addressed this service.
    QString origin(const HttpRequest &head) const;
    QStringList ownHosts(const HttpRequest &head) const;
    QList<quint16> ownPorts() const;

private:
    HttpResponse post(const HttpRequest &request);
    HttpRoute get(const HttpRequest &head);
    // A task's status; a poll of one about to end here is answered when it ends.
    HttpRoute statusRoute(const HttpRequest &head, const QString &id);
    // How long a status poll of the task is held: for a task this node runs
    // and likely ends within the pace, until it ends or a pace past its likely
    // end (the estimate was wrong); nothing for any other task.
    std::optional<int> holdMs(const QString &taskId) const;
    HttpResponse sessions(const QJsonObject &parameters);
    HttpResponse authentications(const HttpRequest &request, const QJsonObject &parameters);
    HttpResponse createTask(const QJsonObject &parameters);
    HttpResponse taskStatus(const HttpRequest &head, const QString &id);
    HttpResponse health();
    QByteArray owner(const QJsonObject &parameters) const;
    // The data of a creation or status reply with the suggested pace added:
    // the configured one, or sooner when the task is likely done before it.
    QJsonObject paced(QJsonObject data, const QString &taskId, const QString &serviceType, TaskState state) const;

    Records &mRecords;
    IdentityTokens &mIdentities;
    ObjectStore &mObjects;
    TaskQueue &mQueue;
    DownloadHandler mDownloads;
    Settings mSettings;
    QObject mHeldPolls; // owns the waits of held status polls, which go with it
};
