#include "api/UploadSink.h"

#include "api/ObjectStore.h"
#include "store/Secrets.h"

#include <QFileInfo>

UploadSink::UploadSink(Upload upload, UploadCallback &callback) : mUpload(std::move(upload)), mCallback(callback)
{
    mFile.setFileName(mUpload.path + QStringLiteral(".part-") + QString::fromLatin1(Secrets::randomHex(6)));
    mFailed = !open();
}

UploadSink::~UploadSink()
{
    discard();
    if (mUpload.release)
        mUpload.release();
}

bool UploadSink::open()
{
    return mFile.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool UploadSink::write(const char *data, qint64 size)
{
    if (mFailed)
        return false;
    if (mReceived + size > mUpload.length || mFile.write(data, size) != size) {
        mFailed = true;
        return false;
    }
    mMd5.addData(QByteArrayView(data, size));
    mReceived += size;
    return true;
}

HttpResponse UploadSink::finish()
{
    if (mFailed || !mFile.flush() || mReceived != mUpload.length) {
        discard();
        return ObjectStore::error(500, "InternalError", QStringLiteral("The object could not be stored."));
    }
    mFile.close();
    const QByteArray md5 = mMd5.result();
    if (!mUpload.contentMd5.isEmpty() && mUpload.contentMd5 != md5.toBase64()) {
        discard();
        return ObjectStore::error(400, "InvalidDigest",
                                  QStringLiteral("The Content-MD5 you specified did not match what we received."));
    }
    return place('"' + md5.toHex().toUpper() + '"');
}

HttpResponse UploadSink::place(const QByteArray &etag)
{
    // rename() never replaces an existing file, so a stored object is never overwritten.
    if (!mFile.rename(mUpload.path)) {
        const bool taken = QFileInfo::exists(mUpload.path);
        discard();
        if (taken) {
            return ObjectStore::error(403, "AccessDenied", QStringLiteral("The object has already been uploaded."),
                                      mUpload.slot.key);
        }
        return ObjectStore::error(500, "InternalError", QStringLiteral("The object could not be stored."));
    }
    return runCallback(etag);
}

HttpResponse UploadSink::runCallback(const QByteArray &etag)
{
    QByteArray body;
    if (mUpload.callback) {
        const UploadCallback::Facts facts{mUpload.slot.bucket, mUpload.slot.key, mReceived, mUpload.mimeType,
                                          QString::fromLatin1(etag.mid(1, etag.size() - 2))};
        const UploadCallback::Reply reply = mCallback.invoke(*mUpload.callback, facts, mUpload.ownHosts, mUpload.ports);
        if (!reply.ok) {
            // Nothing was recorded: the object goes and the slot can be used again.
            QFile::remove(mUpload.path);
            return ObjectStore::error(203, "CallbackFailed", reply.error, mUpload.slot.key);
        }
        body = reply.body;
    }
    HttpResponse response(200, body, body.isEmpty() ? QByteArray() : QByteArray("application/json"));
    response.setHeader("ETag", etag);
    return response;
}

void UploadSink::abort()
{
    discard();
}

void UploadSink::discard()
{
    // Once renamed into place the file is the object and stays.
    if (mFile.fileName() == mUpload.path)
        return;
    mFile.close();
    QFile::remove(mFile.fileName());
}
