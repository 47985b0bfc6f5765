#include "frameworks/DIRADoduredode.h"

#include "MireluneVersion.h"
#include "frameworks/HttpWorker.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QMutexLocker>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QUrl>

namespace {

QString queryValueText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
    case QMetaType::QVariantMap: {
        const QJsonValue json = QJsonValue::fromVariant(value);
        const QJsonDocument document = json.isArray() ? QJsonDocument(json.toArray()) : QJsonDocument(json.toObject());
        return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return value.toString();
    }
}

ToolError stoppedError()
{
    return ToolError(QStringLiteral("DIRADoduredode"), QNetworkReply::OperationCanceledError,
                     QStringLiteral("The HTTP client has been shut down"));
}

} // namespace

DIRADoduredode::DIRADoduredode()
{
    mThread.setObjectName(QStringLiteral("DIRADoduredode"));
    mWorker = new HttpWorker;
    mWorker->moveToThread(&mThread);
    mThread.start();
}

DIRADoduredode::~DIRADoduredode()
{
    shutdown();
}

DIRADoduredode &DIRADoduredode::shared()
{
    static DIRADoduredode client;
    return client;
}

bool DIRADoduredode::postToWorker(std::function<void(HttpWorker *)> job)
{
    // Posting under the lock orders every job before the worker's deletion in
    // shutdown(), so a job either runs (and completes) or is refused here.
    QMutexLocker lock(&mMutex);
    if (mStopped)
        return false;
    QMetaObject::invokeMethod(mWorker, [worker = mWorker, job = std::move(job)] { job(worker); });
    return true;
}

void DIRADoduredode::shutdown()
{
    {
        QMutexLocker lock(&mMutex);
        if (mStopped)
            return;
        mStopped = true;
    }
    HttpWorker *worker = mWorker;
    if (QThread::currentThread() == &mThread)
        delete worker;
    else
        QMetaObject::invokeMethod(
            worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    mWorker = nullptr;
    mThread.quit();
    mThread.wait();
}

void DIRADoduredode::cancelAll()
{
    if (QThread::currentThread() == &mThread) {
        mWorker->abortAll();
        return;
    }
    QMutexLocker lock(&mMutex);
    if (!mStopped)
        QMetaObject::invokeMethod(mWorker, &HttpWorker::abortAll, Qt::BlockingQueuedConnection);
}

void DIRADoduredode::setTransferTimeout(int milliseconds)
{
    QMutexLocker lock(&mMutex);
    mTransferTimeout = milliseconds;
}

int DIRADoduredode::transferTimeout() const
{
    QMutexLocker lock(&mMutex);
    return mTransferTimeout;
}

bool DIRADoduredode::addCaCertificatesFromFile(const QString &path, QString *errorText)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(path, QSsl::Pem);
    if (certificates.isEmpty()) {
        if (errorText)
            *errorText = QStringLiteral("No PEM certificate could be read from %1").arg(path);
        return false;
    }
    QMutexLocker lock(&mMutex);
    for (const QSslCertificate &certificate : certificates) {
        if (!mExtraCaCertificates.contains(certificate))
            mExtraCaCertificates.append(certificate);
    }
    return true;
}

QByteArray DIRADoduredode::extraCasPem() const
{
    QMutexLocker lock(&mMutex);
    QByteArray pem;
    for (const QSslCertificate &certificate : mExtraCaCertificates)
        pem += certificate.toPem() + '\n';
    return pem;
}

CurlTransfer::Request DIRADoduredode::transferRequest(const QUrl &url, const QVariantMap &headers)
{
    CurlTransfer::Request request;
    request.url = url;
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        request.headers.append({it.key().toUtf8(), it.value().toString().toUtf8()});
    request.extraCas = extraCasPem();
    request.idleTimeoutMs = transferTimeout();
    request.userAgent = QByteArrayLiteral("Mirelune/" MIRELUNE_VERSION);
    return request;
}

QList<QSslCertificate> DIRADoduredode::extraCaCertificates() const
{
    QMutexLocker lock(&mMutex);
    return mExtraCaCertificates;
}

QByteArray DIRADoduredode::jsonBody(const QVariantMap &parameters)
{
    return QJsonDocument(QJsonObject::fromVariantMap(parameters)).toJson(QJsonDocument::Compact);
}

QString DIRADoduredode::queryString(const QVariantMap &parameters)
{
    QStringList items;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        items.append(QString::fromLatin1(QUrl::toPercentEncoding(it.key()) + '=' +
                                         QUrl::toPercentEncoding(queryValueText(it.value()))));
    }
    return items.join(QLatin1Char('&'));
}

namespace {

QNetworkRequest makeRequest(const QUrl &url, const QVariantMap &headers, const QList<QSslCertificate> &extraCas,
                            int timeout)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setTransferTimeout(timeout);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Mirelune/" MIRELUNE_VERSION));
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!extraCas.isEmpty())
        ssl.addCaCertificates(extraCas);
    request.setSslConfiguration(ssl);
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        request.setRawHeader(it.key().toUtf8(), it.value().toString().toUtf8());
    return request;
}

} // namespace

void DIRADoduredode::POSTWithUrl(const QString &url, const QVariantMap &withDictrionary, const QVariantMap &withHeaders,
                                 DataReturn withReturn)
{
    QNetworkRequest request = makeRequest(QUrl(url), withHeaders, extraCaCertificates(), transferTimeout());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    const QByteArray body = jsonBody(withDictrionary);
    const bool posted = postToWorker(
        [request, body, done = withReturn](HttpWorker *worker) { worker->startData(request, "POST", body, done); });
    if (!posted)
        withReturn(stoppedError(), {});
}

void DIRADoduredode::GETtWithUrl(const QString &url, const QVariantMap &withDictionary, const QVariantMap &withHeaders,
                                 ReplyReturn withRerturn)
{
    QUrl target(url);
    const QString query = queryString(withDictionary);
    if (!query.isEmpty()) {
        const QString existing = target.query(QUrl::FullyEncoded);
        target.setQuery(existing.isEmpty() ? query : existing + QLatin1Char('&') + query, QUrl::StrictMode);
    }
    const QNetworkRequest request = makeRequest(target, withHeaders, extraCaCertificates(), transferTimeout());
    HttpWorker::DataDone done = [reply = withRerturn](const ToolError &error, const QByteArray &body) {
        reply(error, QVariant(body));
    };
    const bool posted =
        postToWorker([request, done](HttpWorker *worker) { worker->startData(request, "GET", QByteArray(), done); });
    if (!posted)
        withRerturn(stoppedError(), QVariant());
}

void DIRADoduredode::downloadFile(const QString &url, const QString &withFilePath, DownloadProgress withProgressBlcok)
{
    CurlTransfer::Request request = transferRequest(QUrl(url), {});
    const bool posted = postToWorker([request, withFilePath, progress = withProgressBlcok](HttpWorker *worker) {
        worker->files().startDownload(request, withFilePath, progress);
    });
    if (!posted)
        withProgressBlcok(0.0f, true, stoppedError());
}

void DIRADoduredode::PUTFileWithUrl(const QUrl &url, const QString &filePath, const QVariantMap &withHeaders,
                                    UploadProgress progress, UploadReturn withReturn)
{
    CurlTransfer::Request request = transferRequest(url, withHeaders);
    const bool posted = postToWorker([request, filePath, progress, done = withReturn](HttpWorker *worker) {
        worker->files().startUpload(request, filePath, progress, done);
    });
    if (!posted)
        withReturn(stoppedError(), 0, QByteArray(), QByteArray());
}
