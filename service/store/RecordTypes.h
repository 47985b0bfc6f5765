#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The rows the service keeps, as plain values.

enum class TaskState { Queued = 0, Running = 1, Finished = 2, Failed = -1 };

struct UploadGrant {
    QByteArray accessId;
    QByteArray accessSecret;
    QByteArray securityToken;
    QMap<QString, QString> objects; // requested name -> object key
    qint64 expires = 0;
};

struct Credential {
    QByteArray accessId;
    QByteArray accessSecret;
    QByteArray securityTokenHash;
    QByteArray owner;
    qint64 expires = 0;
};

struct ObjectSlot {
    QString bucket;
    QString key;
    QByteArray accessId;
    QString name; // the name the client asked to upload, as given
    QByteArray owner;
    QString fileId; // set once the upload has been recorded
};

struct StoredFile {
    QString id;
    QByteArray owner;
    QString name;
    QString objectKey;
    qint64 size = 0;
    QString mimeType;
};

struct TaskInput {
    QString fileId;
    QString password;
};

struct TaskRecord {
    QString id;
    QByteArray owner;
    QString serviceType;
    QJsonObject args;
    QList<TaskInput> inputs;
    TaskState state = TaskState::Queued;
    int progress = 0;
    QString errors;
    QString resultName;
    QString resultPath;
    QByteArray downloadToken;
    int attempt = 0; // how many times the task was claimed, this claim included
};

// A node's hold on a running task: only the holder of the latest claim may
// report progress, finish, fail or hand the task back.
struct TaskClaim {
    QString taskId;
    int attempt = 0;
};

struct ExpiredItems {
    QStringList objectKeys;
    QStringList taskIds;
};
