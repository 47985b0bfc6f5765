#include "support/service/ServiceClient.h"

#include "protocol/OssSignature.h"
#include "support/service/ServiceProcess.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

QJsonObject ServiceClient::Reply::json() const
{
    return QJsonDocument::fromJson(body).object();
}

QByteArray ServiceClient::Reply::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QByteArray ServiceClient::Reply::errorCode() const
{
    const qsizetype start = body.indexOf("<Code>");
    const qsizetype end = body.indexOf("</Code>");
    return start < 0 || end < start ? QByteArray() : body.mid(start + 6, end - start - 6);
}

ServiceClient::ServiceClient(const ServiceProcess &service)
    : mBaseUrl(service.baseUrl()), mPort(service.port()), mIdentityToken(service.identityToken())
{
    mSsl = QSslConfiguration::defaultConfiguration();
    mSsl.setCaCertificates(QSslCertificate::fromPath(service.caFile()));
    mSsl.setPeerVerifyMode(QSslSocket::VerifyPeer);
}

void ServiceClient::trust(const QString &caFile)
{
    mSsl.setCaCertificates(QSslCertificate::fromPath(caFile));
}

QByteArray ServiceClient::httpDate(const QDateTime &utc)
{
    return QLocale::c().toString(utc.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}

QNetworkRequest ServiceClient::request(const QUrl &url) const
{
    QNetworkRequest request(url);
    request.setSslConfiguration(mSsl);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    return request;
}

ServiceClient::Reply ServiceClient::wait(QNetworkReply *reply, int timeoutMs)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, reply, &QNetworkReply::abort);
    timer.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    Reply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    for (const auto &pair : reply->rawHeaderPairs())
        result.headers.append(pair);
    reply->deleteLater();
    return result;
}

ServiceClient::Reply ServiceClient::post(const QString &apiPath, const QJsonObject &parameters)
{
    QNetworkRequest req = request(QUrl(mBaseUrl + apiPath));
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    // The headers every client request carries; the service ignores them.
    req.setRawHeader("App", "Mirelune");
    req.setRawHeader("accept_lang", "en");
    return wait(mManager.post(req, QJsonDocument(parameters).toJson(QJsonDocument::Compact)), 30000);
}

ServiceClient::Reply ServiceClient::get(const QUrl &url, const Headers &headers)
{
    QNetworkRequest req = request(url);
    for (const auto &[name, value] : headers)
        req.setRawHeader(name, value);
    return wait(mManager.get(req), 60000);
}

ServiceClient::Headers ServiceClient::putHeaders(const Put &put) const
{
    OssSignature::Headers headers = {{put.dateAsOssDate ? "x-oss-date" : "Date", httpDate(put.date)},
                                     {"Content-Type", put.contentType}};
    if (put.sendSecurityToken)
        headers.append({"x-oss-security-token", put.securityToken});
    if (!put.callback.isEmpty())
        headers.append({"x-oss-callback", put.callback});
    const QByteArray signature =
        put.signature.isEmpty()
            ? OssSignature::sign(put.accessSecret, OssSignature::stringToSign("PUT", headers, put.bucket, put.key))
            : put.signature;
    headers.append({"Authorization", "OSS " + put.accessId + ':' + signature});
    if (put.virtualHosted)
        headers.append({"Host", put.bucket.toLatin1() + ".localhost:" + QByteArray::number(mPort)});
    return headers;
}

ServiceClient::Reply ServiceClient::send(const Put &put, const QByteArray &content)
{
    QUrl url(QStringLiteral("https://127.0.0.1:%1").arg(mPort));
    url.setPath(put.virtualHosted ? QString(QLatin1Char('/') + put.key)
                                  : QString(QLatin1Char('/') + put.bucket + QLatin1Char('/') + put.key));
    QNetworkRequest req = request(url);
    for (const auto &[name, value] : putHeaders(put))
        req.setRawHeader(name, value);
    return wait(mManager.put(req, content), 60000);
}

QByteArray ServiceClient::rawPutHead(const Put &put, qint64 contentLength) const
{
    QByteArray head = "PUT /" + (put.virtualHosted ? QByteArray() : put.bucket.toLatin1() + '/') + put.key.toLatin1() +
                      " HTTP/1.1\r\n";
    const Headers headers = putHeaders(put);
    if (!put.virtualHosted)
        head += "Host: 127.0.0.1\r\n";
    for (const auto &[name, value] : headers)
        head += name + ": " + value + "\r\n";
    return head + "Content-Length: " + QByteArray::number(contentLength) + "\r\n\r\n";
}

QString ServiceClient::apiToken()
{
    const Reply reply =
        post(QStringLiteral("/sessions"), {{QStringLiteral("identity_token"), QString::fromLatin1(mIdentityToken)}});
    return reply.json()
        .value(QStringLiteral("data"))
        .toObject()
        .value(QStringLiteral("user"))
        .toObject()
        .value(QStringLiteral("api_token"))
        .toString();
}

QJsonObject ServiceClient::authorize(const QString &apiToken, const QString &fileName)
{
    const Reply reply = post(QStringLiteral("/authentications"), {{QStringLiteral("api_token"), apiToken},
                                                                  {QStringLiteral("files"), QJsonArray{fileName}},
                                                                  {QStringLiteral("Cli-Os"), QStringLiteral("mac")}});
    return reply.json().value(QStringLiteral("data")).toObject();
}

ServiceClient::Put ServiceClient::putFor(const QJsonObject &grant, const QString &fileName) const
{
    Put put;
    put.bucket = grant.value(QStringLiteral("bucket")).toString();
    put.key = grant.value(QStringLiteral("objects")).toObject().value(fileName).toString();
    put.accessId = grant.value(QStringLiteral("access_id")).toString().toLatin1();
    put.accessSecret = grant.value(QStringLiteral("access_secret")).toString().toLatin1();
    put.securityToken = grant.value(QStringLiteral("security_token")).toString().toLatin1();
    put.callback =
        QJsonDocument(grant.value(QStringLiteral("callback_url")).toObject()).toJson(QJsonDocument::Compact).toBase64();
    return put;
}

QString ServiceClient::upload(const QString &apiToken, const QString &fileName, const QByteArray &content)
{
    const Reply reply = send(putFor(authorize(apiToken, fileName), fileName), content);
    if (reply.status != 200)
        return {};
    const QJsonValue id = reply.json().value(QStringLiteral("data")).toObject().value(QStringLiteral("id"));
    return id.toVariant().toString();
}

ServiceClient::Reply ServiceClient::createTask(const QString &apiToken, const QString &serviceType,
                                               const QStringList &fileIds, const QJsonObject &args,
                                               const QStringList &passwords)
{
    QJsonArray files;
    for (int i = 0; i < fileIds.size(); ++i) {
        files.append(
            QJsonObject{{QStringLiteral("file_id"), fileIds[i]}, {QStringLiteral("password"), passwords.value(i)}});
    }
    return post(QStringLiteral("/tasks"), {{QStringLiteral("autostart"), QStringLiteral("1")},
                                           {QStringLiteral("api_token"), apiToken},
                                           {QStringLiteral("Cli-Os"), QStringLiteral("mac")},
                                           {QStringLiteral("product_id"), QStringLiteral("202")},
                                           {QStringLiteral("service_type"), serviceType},
                                           {QStringLiteral("files"), files},
                                           {QStringLiteral("args"), args}});
}

QString ServiceClient::taskId(const Reply &reply) const
{
    return reply.json().value(QStringLiteral("data")).toObject().value(QStringLiteral("task_id")).toString();
}

QJsonObject ServiceClient::taskStatus(const QString &apiToken, const QString &taskId)
{
    QUrl url(mBaseUrl + QStringLiteral("/tasks/") + taskId);
    url.setQuery(QStringLiteral("api_token=%1&Cli-Os=mac").arg(apiToken));
    return get(url).json();
}

QJsonObject ServiceClient::waitForTask(const QString &apiToken, const QString &taskId, int timeoutMs,
                                       QList<int> *progressSeen)
{
    const QDeadlineTimer deadline(timeoutMs);
    QJsonObject data;
    while (!deadline.hasExpired()) {
        data = taskStatus(apiToken, taskId).value(QStringLiteral("data")).toObject();
        const int progress = data.value(QStringLiteral("progress")).toInt();
        if (progressSeen && (progressSeen->isEmpty() || progressSeen->last() != progress))
            progressSeen->append(progress);
        if (data.value(QStringLiteral("status")).toInt() < 0 || progress >= 100)
            return data;
        QThread::msleep(100);
    }
    return data;
}

QByteArray ServiceClient::raw(const QByteArray &request, int responses, int timeoutMs)
{
    QSslSocket socket;
    socket.setSslConfiguration(mSsl);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), mPort);
    if (!socket.waitForEncrypted(10000))
        return {};
    socket.write(request);
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray received;
    const auto complete = [&received]() {
        int count = 0;
        qsizetype at = 0;
        while (true) {
            const qsizetype end = received.indexOf("\r\n\r\n", at);
            if (end < 0)
                return count;
            const QByteArray head = received.mid(at, end - at).toLower();
            const qsizetype field = head.indexOf("content-length:");
            const qint64 length =
                field < 0 ? 0 : head.mid(field + 15, head.indexOf('\r', field) - field - 15).trimmed().toLongLong();
            if (received.size() < end + 4 + length)
                return count;
            ++count;
            at = end + 4 + length;
        }
    };
    while (!deadline.hasExpired() && complete() < responses && socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(100);
        received += socket.readAll();
    }
    received += socket.readAll();
    return received;
}
