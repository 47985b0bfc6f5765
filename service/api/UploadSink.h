#pragma once

#include "api/UploadCallback.h"
#include "http/HttpBodySink.h"
#include "store/RecordTypes.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringList>

#include <functional>
#include <optional>

// Streams one object upload into a private part file beside its final place,
// moves it there (never over an existing object), then runs the upload
// callback; an object whose callback fails is removed again.
class UploadSink final : public HttpBodySink {
public:
    struct Upload {
        ObjectSlot slot;
        QString path;
        qint64 length = 0;
        QString mimeType;
        QByteArray contentMd5;
        std::optional<UploadCallback::Parameters> callback;
        QStringList ownHosts;
        QList<quint16> ports;
        std::function<void()> release; // called once the sink is done with the slot
    };

    UploadSink(Upload upload, UploadCallback &callback);
    ~UploadSink() override;

    bool write(const char *data, qint64 size) override;
    HttpResponse finish() override;
    void abort() override;

private:
    bool open();
    HttpResponse place(const QByteArray &etag);
    HttpResponse runCallback(const QByteArray &etag);
    void discard();

    Upload mUpload;
    UploadCallback &mCallback;
    QFile mFile;
    QCryptographicHash mMd5{QCryptographicHash::Md5};
    qint64 mReceived = 0;
    bool mFailed = false;
};
