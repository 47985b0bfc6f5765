#include "frameworks/CurlTransfer.h"

#include "frameworks/CurlConnectionPool.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

namespace {

constexpr int kMaxRedirects = 5;
constexpr long kDownloadBufferBytes = 512 * 1024;
// Progress is handed on at most this often in bytes, besides the last figure.
constexpr qint64 kProgressStepBytes = 1024 * 1024;

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool isRedirect(long status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isSuccess(long status)
{
    return status >= 200 && status < 300;
}

int effectivePort(const QUrl &url)
{
    return url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
}

// A path libcurl was built with (its certificate folder or bundle file).
QString curlDefaultPath(CURLINFO what)
{
    CURL *easy = curl_easy_init();
    char *path = nullptr;
    curl_easy_getinfo(easy, what, &path);
    const QString value = path ? QString::fromLocal8Bit(path) : QString();
    curl_easy_cleanup(easy);
    return value;
}

// libcurl's default certificate folder when it holds OpenSSL's hashed links.
QString systemCaFolder()
{
    const QString folder = curlDefaultPath(CURLINFO_CAPATH);
    const bool hashed = !folder.isEmpty() && !QDir(folder).entryList({QStringLiteral("*.0")}, QDir::Files).isEmpty();
    return hashed ? folder : QString();
}

// libcurl's default bundle file, for systems without the hashed folder.
QByteArray systemCaBundle()
{
    QFile file(curlDefaultPath(CURLINFO_CAINFO));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

CurlTransfer::CurlTransfer(Request request, QFileDevice *file, qint64 maxAnswerBytes)
    : mRequest(std::move(request)), mFile(file), mMaxAnswerBytes(maxAnswerBytes)
{
    initialiseCurlOnce();
    mMulti = CurlConnectionPool::instance().take();
}

CurlTransfer::~CurlTransfer()
{
    // Held until now, not until run() returns: cancel() may still wake it.
    CurlConnectionPool::instance().giveBack(mMulti);
}

QString CurlTransfer::cancelledText()
{
    return QStringLiteral("The transfer was cancelled or timed out");
}

void CurlTransfer::cancel()
{
    mCancelled = true;
    curl_multi_wakeup(static_cast<CURLM *>(mMulti)); // thread-safe: ends the wait in perform()
}

CurlTransfer::Result CurlTransfer::run(const Progress &progress)
{
    mProgress = &progress;
    QUrl url = mRequest.url;
    for (int hop = 0;; ++hop) {
        resetAttempt();
        curl_slist *headers = nullptr;
        auto *easy = static_cast<CURL *>(configure(url, reinterpret_cast<void **>(&headers)));
        const int code = perform(easy);
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        char *location = nullptr;
        curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
        const QUrl next = location ? QUrl::fromEncoded(location) : QUrl();
        // Downloads follow redirects within their origin only, as every other request does.
        const bool follow = code == CURLE_OK && mRequest.kind == Kind::Download && isRedirect(status) &&
                            hop < kMaxRedirects && sameOrigin(next);
        Result result;
        if (!follow)
            result = finish(easy, code);
        curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
        mEasy = nullptr;
        if (!follow)
            return result;
        url = next;
    }
}

void CurlTransfer::resetAttempt()
{
    mAnswer.clear();
    mReason.clear();
    mErrorText[0] = '\0';
    mAnswerTooLarge = false;
    mWriteFailed = false;
    mLastReported = -1;
}

void *CurlTransfer::configure(const QUrl &url, void **headerList)
{
    CURL *easy = curl_easy_init();
    mEasy = easy;
    curl_easy_setopt(easy, CURLOPT_URL, url.toEncoded().constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    setTrust(easy);
    // "No bytes for this long" ends the transfer, in whichever direction.
    const long idleSeconds = std::max(1L, long((mRequest.idleTimeoutMs + 999) / 1000));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(mRequest.idleTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, idleSeconds);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, mErrorText);
    if (!mRequest.userAgent.isEmpty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, mRequest.userAgent.constData());

    curl_slist *headers = nullptr;
    for (const auto &[name, value] : mRequest.headers)
        headers = curl_slist_append(headers, QByteArray(name + ": " + value).constData());
    if (mRequest.kind == Kind::Upload)
        headers = curl_slist_append(headers, "Expect:"); // the body follows at once, as before
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    *headerList = headers;

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::onWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlTransfer::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    if (mRequest.kind == Kind::Upload) {
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(mFile->size()));
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &CurlTransfer::onRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        // A kept connection the server has closed meanwhile is retried on a new
        // one, which needs the body from its start again.
        curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &CurlTransfer::onSeek);
        curl_easy_setopt(easy, CURLOPT_SEEKDATA, this);
    } else {
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kDownloadBufferBytes);
    }
    return easy;
}

// The system's certificates and the extra ones. libcurl's default bundle file
// is parsed whole for every connection (a tenth of a second of CPU with
// OpenSSL 3), so where the system's hashed folder is there, it alone is used:
// OpenSSL reads from it only the certificates a chain needs. A blob of extra
// certificates replaces the bundle file but not the folder.
void CurlTransfer::setTrust(void *handle)
{
    auto *easy = static_cast<CURL *>(handle);
    static const QString folder = systemCaFolder();
    QByteArray pem = mRequest.extraCas;
    if (!folder.isEmpty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    else if (!pem.isEmpty())
        pem.prepend(systemCaBundle() + '\n');
    if (pem.isEmpty())
        return;
    curl_blob blob{pem.data(), size_t(pem.size()), CURL_BLOB_COPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
}

int CurlTransfer::perform(void *easy)
{
    auto *multi = static_cast<CURLM *>(mMulti);
    curl_multi_add_handle(multi, easy);
    int running = 1;
    while (running > 0 && !mCancelled) {
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            break;
        if (running > 0)
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    CURLcode code = mCancelled ? CURLE_ABORTED_BY_CALLBACK : CURLE_OK;
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE && !mCancelled)
            code = message->data.result;
    }
    if (running > 0 && !mCancelled)
        code = CURLE_FAILED_INIT; // the multi interface itself failed
    curl_multi_remove_handle(multi, easy);
    return code;
}

ToolError CurlTransfer::failure(int code, const QString &text) const
{
    return failureFor(mRequest.url, code, text);
}

ToolError CurlTransfer::failureFor(const QUrl &url, int code, const QString &text)
{
    return ToolError(QStringLiteral("DIRADoduredode"), code, text,
                     url.toDisplayString(QUrl::RemoveQuery | QUrl::RemoveUserInfo));
}

CurlTransfer::Result CurlTransfer::cancelledResult(const QUrl &url)
{
    Result result;
    result.error = failureFor(url, CURLE_ABORTED_BY_CALLBACK, cancelledText());
    return result;
}

CurlTransfer::Result CurlTransfer::finish(void *easy, int code)
{
    Result result;
    long status = 0;
    curl_easy_getinfo(static_cast<CURL *>(easy), CURLINFO_RESPONSE_CODE, &status);
    const bool upload = mRequest.kind == Kind::Upload;
    if (upload && mAnswerTooLarge) {
        result.error =
            failure(code, QStringLiteral("The reply is larger than %1 MiB and was refused").arg(mMaxAnswerBytes >> 20));
        return result; // never a stored upload
    }
    if (mWriteFailed) {
        result.error = failure(
            code,
            QStringLiteral("Cannot write %1: %2").arg(QFileInfo(mFile->fileName()).fileName(), mFile->errorString()));
        return result;
    }
    // A download's refusal is the status it carried, however its body ended.
    if (!upload && status != 0 && !isSuccess(status)) {
        result.httpStatus = int(status);
        result.reason = mReason;
        result.error =
            failure(int(status),
                    QStringLiteral("The server replied %1 %2").arg(status).arg(QString::fromLatin1(mReason)).trimmed());
        return result;
    }
    if (code != CURLE_OK) {
        const bool stopped = code == CURLE_ABORTED_BY_CALLBACK || code == CURLE_OPERATION_TIMEDOUT;
        const QString text = mErrorText[0] ? QString::fromUtf8(mErrorText).trimmed()
                                           : QString::fromUtf8(curl_easy_strerror(CURLcode(code)));
        result.error = failure(code, stopped ? cancelledText() : text);
        return result; // a transport failure hands over no status and no body
    }
    result.httpStatus = int(status);
    result.reason = mReason;
    result.body = mAnswer;
    if (!isSuccess(status))
        result.error =
            failure(int(status),
                    QStringLiteral("The server replied %1 %2").arg(status).arg(QString::fromLatin1(mReason)).trimmed());
    return result;
}

bool CurlTransfer::sameOrigin(const QUrl &target) const
{
    const QUrl &origin = mRequest.url;
    return target.isValid() && target.scheme().compare(origin.scheme(), Qt::CaseInsensitive) == 0 &&
           target.host().compare(origin.host(), Qt::CaseInsensitive) == 0 &&
           effectivePort(target) == effectivePort(origin);
}

size_t CurlTransfer::onRead(char *buffer, size_t size, size_t count, void *self)
{
    auto *transfer = static_cast<CurlTransfer *>(self);
    const qint64 read = transfer->mFile->read(buffer, qint64(size * count));
    return read < 0 ? CURL_READFUNC_ABORT : size_t(read);
}

int CurlTransfer::onSeek(void *self, long long offset, int origin)
{
    auto *transfer = static_cast<CurlTransfer *>(self);
    if (origin != SEEK_SET)
        return CURL_SEEKFUNC_CANTSEEK;
    return transfer->mFile->seek(offset) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

size_t CurlTransfer::onWrite(char *buffer, size_t size, size_t count, void *self)
{
    auto *transfer = static_cast<CurlTransfer *>(self);
    const size_t bytes = size * count;
    long status = 0;
    curl_easy_getinfo(static_cast<CURL *>(transfer->mEasy), CURLINFO_RESPONSE_CODE, &status);
    if (transfer->mRequest.kind == Kind::Download && isSuccess(status)) {
        if (transfer->mFile->write(buffer, qint64(bytes)) == qint64(bytes))
            return bytes;
        transfer->mWriteFailed = true; // the disk is full or gone: fail the transfer
        return 0;
    }
    // An upload's answer, or the body of a refusal: held in memory, bounded.
    if (transfer->mAnswer.size() + qint64(bytes) > transfer->mMaxAnswerBytes) {
        transfer->mAnswerTooLarge = true;
        return 0;
    }
    transfer->mAnswer.append(buffer, qsizetype(bytes));
    return bytes;
}

size_t CurlTransfer::onHeader(char *buffer, size_t size, size_t count, void *self)
{
    auto *transfer = static_cast<CurlTransfer *>(self);
    const QByteArray line = QByteArray(buffer, qsizetype(size * count)).trimmed();
    if (line.startsWith("HTTP/")) {
        // "HTTP/1.1 200 OK": the reason is what follows the status; interim
        // replies (100 Continue) are replaced by the final one.
        const QList<QByteArray> parts = line.split(' ');
        transfer->mReason = parts.mid(2).join(' ');
    }
    return size * count;
}

int CurlTransfer::onProgress(void *self, long long downTotal, long long downNow, long long upTotal, long long upNow)
{
    auto *transfer = static_cast<CurlTransfer *>(self);
    if (transfer->mCancelled)
        return 1;
    const bool upload = transfer->mRequest.kind == Kind::Upload;
    const qint64 done = upload ? upNow : downNow;
    const qint64 total = upload ? upTotal : downTotal;
    const bool last = total > 0 && done == total;
    if (done == transfer->mLastReported || (!last && done - transfer->mLastReported < kProgressStepBytes))
        return 0;
    transfer->mLastReported = done;
    if (*transfer->mProgress)
        (*transfer->mProgress)(done, total);
    return 0;
}
