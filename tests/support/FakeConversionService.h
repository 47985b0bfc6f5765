#pragma once

#include "support/FakeHttpsServer.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QStringList>

// A loopback stand-in for the conversion service and its object store on one
// HTTPS server: it issues tokens and upload credentials, checks each upload's
// signature, security token and callback like the store would, creates tasks,
// answers status polls from a script and serves results. Failures are
// scripted per file name.
class FakeConversionService final : public QObject {
    Q_OBJECT
public:
    explicit FakeConversionService(QObject *parent = nullptr);

    bool listen();
    QString baseUrl() const; // ".../api"
    FakeHttpsServer &server() { return mServer; }

    // Scripts.
    QString apiToken = QStringLiteral("fake-api-token-0123456789");
    QString accessSecret = QStringLiteral("fake-access-secret-0123456789");
    QString securityToken = QStringLiteral("fake-security-token-0123456789");
    QSet<QString> failCredentialsFor;       // file names
    QSet<QString> incompleteCredentialsFor; // file names: status 1, but no endpoint, bucket or object key
    QHash<QString, int> credentialDelayFor; // file name -> ms before the reply
    QSet<QString> failUploadFor;            // file names: 403 from the store
    QSet<QString> failCallbackFor;          // file names: 203 from the store
    QSet<QString> failCreationFor;          // file names (first file of the task)
    QSet<QString> failTaskFor;              // file names: status -1 with errors
    QList<int> progressScript{40, 100};     // status replies of every task, last one repeats
    QHash<QString, QString> resultNameFor;  // input file name -> the service's result file name
    QSet<QString> failDownloadFor;          // file names: 404 on download
    bool garbageStatusReplies = false;
    QJsonObject creationPacingHint;            // merged into the "data" of creation replies
    QJsonObject statusPacingHint;              // merged into the "data" of status replies
    QHash<QString, QJsonObject> pacingHintFor; // by file name: merged into both, over the two above

    // When a request arrived, in milliseconds on the fake's own clock.
    struct Arrival {
        QByteArray kind;  // "create", "status" or "download"
        QString fileName; // the task's first file
        qint64 atMs = 0;
    };

    // What happened.
    QStringList uploadedNames() const { return mUploadedNames; }
    QList<QStringList> createdTasks() const { return mCreatedTasks; } // file names per task
    QByteArray resultContent(const QString &taskInputName) const;
    int signatureFailures() const { return mSignatureFailures; }
    QList<Arrival> arrivals() const { return mArrivals; }
    // The arrival times of one kind of request for the task of a file.
    QList<qint64> arrivalTimes(const QByteArray &kind, const QString &fileName) const;

private:
    FakeResponse handle(const RecordedRequest &request);
    FakeResponse sessions(const RecordedRequest &request);
    FakeResponse authentications(const RecordedRequest &request);
    FakeResponse upload(const RecordedRequest &request);
    FakeResponse createTask(const RecordedRequest &request);
    FakeResponse taskStatus(const QString &taskId);
    FakeResponse download(const QString &token);
    bool signatureMatches(const RecordedRequest &request, const QString &bucket, const QString &key) const;
    static FakeResponse ossError(int status, const char *code, const QString &message);
    void arrived(const QByteArray &kind, const QString &fileName);

    struct Task {
        QStringList fileNames;
        int polls = 0;
        QString downloadToken;
    };

    FakeHttpsServer mServer;
    QHash<QString, QString> mFileNameForKey;  // object key -> file name
    QHash<QString, QString> mFileNameForId;   // file id -> file name
    QHash<QString, Task> mTasks;              // task id -> task
    QHash<QString, QString> mTaskForDownload; // download token -> task id
    QStringList mUploadedNames;
    QList<QStringList> mCreatedTasks;
    int mSignatureFailures = 0;
    int mNextId = 1;
    QElapsedTimer mClock;
    QList<Arrival> mArrivals;
};
