#pragma once

#include "tools/ToolError.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>

class QFileDevice;

// One bulk transfer through libcurl, run to its end on the calling thread: a
// PUT whose body streams from a file, or a GET whose body streams into a file.
// libcurl keeps loopback TLS at wire speed with a fixed buffer, where the
// network manager's upload path reached a third of it. TLS peers are always
// verified; only https is spoken.
class CurlTransfer final {
public:
    enum class Kind { Upload, Download };

    struct Request {
        Kind kind = Kind::Download;
        QUrl url;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray extraCas; // PEM, trusted besides the system's certificates
        int idleTimeoutMs = 60000;
        QByteArray userAgent;
    };

    struct Result {
        ToolError error;
        int httpStatus = 0;
        QByteArray reason;
        QByteArray body; // the answer to an upload (bounded); empty for a download
    };

    // Bytes moved so far and the total when known (0 when not); on the
    // transfer's thread.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    // `file` is the upload's open source or the download's open target; the
    // caller keeps it and must not touch it until run() returns.
    CurlTransfer(Request request, QFileDevice *file, qint64 maxAnswerBytes);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer &) = delete;
    CurlTransfer &operator=(const CurlTransfer &) = delete;

    Result run(const Progress &progress);
    // From any thread: run() returns soon with a cancellation error.
    void cancel();

    static QString cancelledText();
    // What run() gives when cancelled: for a transfer cancelled before it ran.
    static Result cancelledResult(const QUrl &url);

private:
    static size_t onRead(char *buffer, size_t size, size_t count, void *self);
    static int onSeek(void *self, long long offset, int origin);
    static size_t onWrite(char *buffer, size_t size, size_t count, void *self);
    static size_t onHeader(char *buffer, size_t size, size_t count, void *self);
    static int onProgress(void *self, long long downTotal, long long downNow, long long upTotal, long long upNow);

    void *configure(const QUrl &url, void **headerList);
    void setTrust(void *easy);
    void resetAttempt();
    int perform(void *easy);
    Result finish(void *easy, int code);
    bool sameOrigin(const QUrl &target) const;
    ToolError failure(int code, const QString &text) const;
    static ToolError failureFor(const QUrl &url, int code, const QString &text);

    Request mRequest;
    QFileDevice *mFile = nullptr;
    qint64 mMaxAnswerBytes = 0;
    void *mMulti = nullptr;
    void *mEasy = nullptr; // the attempt under way
    std::atomic<bool> mCancelled{false};
    const Progress *mProgress = nullptr;
    QByteArray mAnswer;
    QByteArray mReason;
    char mErrorText[256] = {};
    bool mAnswerTooLarge = false;
    bool mWriteFailed = false;
    qint64 mLastReported = -1;
};
