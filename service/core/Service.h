#pragma once

#include "core/ServiceOptions.h"
#include "store/DataFolder.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <memory>

class HttpServer;
class IdentityTokens;
class ObjectStore;
class QLockFile;
class Records;
class ServiceApi;
class TaskQueue;
class TlsMaterial;
class UploadCallback;

// The whole service: data folder, keys, records, object store, task queue and
// HTTPS server, the ready file, expiry of old files and the idle exit.
class Service final : public QObject {
    Q_OBJECT
public:
    explicit Service(const ServiceOptions &options, QObject *parent = nullptr);
    ~Service() override;

    bool start(QString *error);
    void stop();
    // {"base_url", "ca_file", "identity_token", "pid"}: what a launcher needs.
    QJsonObject readyInfo() const;

signals:
    void stopped();

private:
    bool prepareFolder(QString *error);
    bool openRecords(QString *error);
    bool listen(QString *error);
    bool writeReadyFile(QString *error);
    void removeReadyFile() const;
    void sweep();
    void checkIdle();
    void clearLeftovers() const;
    // Puts the LibreOffice bridge script in place; whether workers keep LibreOffice warm.
    bool warmOffice() const;

    ServiceOptions mOptions;
    DataFolder mFolder;
    std::unique_ptr<QLockFile> mLock;
    std::unique_ptr<IdentityTokens> mIdentities;
    std::unique_ptr<TlsMaterial> mTls;
    std::unique_ptr<Records> mRecords;
    std::unique_ptr<UploadCallback> mCallback;
    std::unique_ptr<ObjectStore> mObjects;
    std::unique_ptr<TaskQueue> mQueue;
    std::unique_ptr<ServiceApi> mApi;
    std::unique_ptr<HttpServer> mServer;
    QTimer mSweepTimer;
    QTimer mIdleTimer;
    bool mRunning = false;
};
