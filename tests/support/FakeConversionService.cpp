#include "support/FakeConversionService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMessageAuthenticationCode>
#include <QUrl>

namespace {

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray statusOk(const QJsonObject &data)
{
    return json({{QStringLiteral("status"), 1}, {QStringLiteral("data"), data}});
}

QJsonObject merged(QJsonObject data, const QJsonObject &extra)
{
    for (auto it = extra.constBegin(); it != extra.constEnd(); ++it)
        data.insert(it.key(), it.value());
    return data;
}

QByteArray statusFailed(const QString &message)
{
    return json({{QStringLiteral("status"), 0}, {QStringLiteral("message"), message}});
}

} // namespace

FakeConversionService::FakeConversionService(QObject *parent) : QObject(parent)
{
    mServer.setHandler([this](const RecordedRequest &request) { return handle(request); });
    mClock.start();
}

void FakeConversionService::arrived(const QByteArray &kind, const QString &fileName)
{
    mArrivals.append({kind, fileName, mClock.elapsed()});
}

QList<qint64> FakeConversionService::arrivalTimes(const QByteArray &kind, const QString &fileName) const
{
    QList<qint64> times;
    for (const Arrival &arrival : mArrivals) {
        if (arrival.kind == kind && arrival.fileName == fileName)
            times.append(arrival.atMs);
    }
    return times;
}

bool FakeConversionService::listen()
{
    return mServer.listen();
}

QString FakeConversionService::baseUrl() const
{
    return mServer.origin() + QStringLiteral("/api");
}

QByteArray FakeConversionService::resultContent(const QString &taskInputName) const
{
    return "converted:" + taskInputName.toUtf8();
}

FakeResponse FakeConversionService::handle(const RecordedRequest &request)
{
    const QString path = request.path;
    if (request.method == "POST" && path == QLatin1String("/api/sessions"))
        return sessions(request);
    if (request.method == "POST" && path == QLatin1String("/api/authentications"))
        return authentications(request);
    if (request.method == "POST" && path == QLatin1String("/api/tasks"))
        return createTask(request);
    if (request.method == "GET" && path.startsWith(QLatin1String("/api/tasks/")))
        return taskStatus(path.mid(11));
    if (request.method == "GET" && path.startsWith(QLatin1String("/files/")))
        return download(path.mid(7));
    if (request.method == "PUT")
        return upload(request);
    return FakeResponse::json(statusFailed(QStringLiteral("no route")), 404);
}

FakeResponse FakeConversionService::sessions(const RecordedRequest &request)
{
    if (request.json().value(QStringLiteral("identity_token")).toString().isEmpty())
        return FakeResponse::json(statusFailed(QStringLiteral("unknown identity")));
    return FakeResponse::json(
        statusOk({{QStringLiteral("user"), QJsonObject{{QStringLiteral("api_token"), apiToken}}}}));
}

FakeResponse FakeConversionService::authentications(const RecordedRequest &request)
{
    const QJsonObject body = request.json();
    const QString name = body.value(QStringLiteral("files")).toArray().at(0).toString();
    if (body.value(QStringLiteral("api_token")).toString() != apiToken || failCredentialsFor.contains(name))
        return FakeResponse::json(statusFailed(QStringLiteral("no credentials")));
    if (incompleteCredentialsFor.contains(name)) {
        FakeResponse response = FakeResponse::json(statusOk({{QStringLiteral("access_id"), QStringLiteral("x")}}));
        response.delayMs = credentialDelayFor.value(name);
        return response;
    }
    const QString key = QStringLiteral("up/%1/%2").arg(mNextId++).arg(name);
    mFileNameForKey.insert(key, name);
    const QJsonObject callback{
        {QStringLiteral("callbackUrl"), QString(mServer.origin() + QStringLiteral("/api/callback"))},
        {QStringLiteral("callbackBody"), QStringLiteral("{\"object\":${object},\"size\":${size}}")},
        {QStringLiteral("callbackBodyType"), QStringLiteral("application/json")}};
    FakeResponse response =
        FakeResponse::json(statusOk({{QStringLiteral("endpoint"), QStringLiteral("127.0.0.1:%1").arg(mServer.port())},
                                     {QStringLiteral("access_id"), QStringLiteral("fake-access-id")},
                                     {QStringLiteral("access_secret"), accessSecret},
                                     {QStringLiteral("security_token"), securityToken},
                                     {QStringLiteral("bucket"), QStringLiteral("bucket")},
                                     {QStringLiteral("callback_url"), callback},
                                     {QStringLiteral("objects"), QJsonObject{{name, key}}}}));
    response.delayMs = credentialDelayFor.value(name);
    return response;
}

bool FakeConversionService::signatureMatches(const RecordedRequest &request, const QString &bucket,
                                             const QString &key) const
{
    // Rebuilt here independently of the client's own signing code.
    QMap<QByteArray, QByteArray> ossHeaders;
    for (const auto &[name, value] : request.headers) {
        if (name.toLower().startsWith("x-oss-"))
            ossHeaders.insert(name.toLower(), value);
    }
    QByteArray toSign = "PUT\n" + request.header("Content-MD5") + '\n' + request.header("Content-Type") + '\n' +
                        request.header("Date") + '\n';
    for (auto it = ossHeaders.cbegin(); it != ossHeaders.cend(); ++it)
        toSign += it.key() + ':' + it.value() + '\n';
    toSign += '/' + bucket.toUtf8() + '/' + key.toUtf8();
    const QByteArray expected =
        QMessageAuthenticationCode::hash(toSign, accessSecret.toUtf8(), QCryptographicHash::Sha1).toBase64();
    return request.header("Authorization") == "OSS fake-access-id:" + expected;
}

FakeResponse FakeConversionService::ossError(int status, const char *code, const QString &message)
{
    FakeResponse response = FakeResponse::json("<?xml version=\"1.0\"?><Error><Code>" + QByteArray(code) +
                                                   "</Code><Message>" + message.toUtf8() + "</Message></Error>",
                                               status);
    response.contentType = "application/xml";
    return response;
}

FakeResponse FakeConversionService::upload(const RecordedRequest &request)
{
    const QString bucket = request.path.section(QLatin1Char('/'), 1, 1);
    const QString key = request.path.section(QLatin1Char('/'), 2);
    const QString name = mFileNameForKey.value(key);
    if (name.isEmpty() || bucket != QLatin1String("bucket"))
        return ossError(404, "NoSuchKey", QStringLiteral("unknown object key"));
    if (!signatureMatches(request, bucket, key)) {
        ++mSignatureFailures;
        return ossError(403, "SignatureDoesNotMatch",
                        QStringLiteral("The request signature we calculated does not match"));
    }
    if (request.header("x-oss-security-token") != securityToken.toUtf8())
        return ossError(403, "InvalidAccessKeyId", QStringLiteral("bad security token"));
    if (request.header("Content-Length").toLongLong() != request.body.size())
        return ossError(400, "MissingContentLength", QStringLiteral("length mismatch"));
    if (failUploadFor.contains(name))
        return ossError(403, "AccessDenied", QStringLiteral("upload refused for ") + name);
    const QJsonObject callback =
        QJsonDocument::fromJson(QByteArray::fromBase64(request.header("x-oss-callback"))).object();
    if (failCallbackFor.contains(name) ||
        !callback.value(QStringLiteral("callbackUrl")).toString().endsWith(QLatin1String("/api/callback")))
        return ossError(203, "CallbackFailed", QStringLiteral("the callback failed"));
    const QString fileId = QStringLiteral("file-%1").arg(mNextId++);
    mFileNameForId.insert(fileId, name);
    mUploadedNames.append(name);
    return FakeResponse::json(statusOk({{QStringLiteral("id"), fileId}}));
}

FakeResponse FakeConversionService::createTask(const RecordedRequest &request)
{
    const QJsonObject body = request.json();
    QStringList names;
    for (const QJsonValue &file : body.value(QStringLiteral("files")).toArray())
        names.append(mFileNameForId.value(file.toObject().value(QStringLiteral("file_id")).toString()));
    if (body.value(QStringLiteral("api_token")).toString() != apiToken || names.isEmpty() ||
        names.contains(QString()) || failCreationFor.contains(names.first()))
        return FakeResponse::json(statusFailed(QStringLiteral("task not created")));
    const QString taskId = QString::number(1000 + mNextId++);
    mTasks.insert(taskId, Task{names, 0, QStringLiteral("dl-%1-%2").arg(taskId).arg(mNextId++)});
    mCreatedTasks.append(names);
    arrived("create", names.first());
    return FakeResponse::json(statusOk(
        merged(merged({{QStringLiteral("task_id"), taskId}}, creationPacingHint), pacingHintFor.value(names.first()))));
}

FakeResponse FakeConversionService::taskStatus(const QString &taskId)
{
    if (garbageStatusReplies)
        return FakeResponse::json("<html>bad gateway</html>", 502);
    const auto it = mTasks.find(taskId);
    if (it == mTasks.end())
        return FakeResponse::json(statusFailed(QStringLiteral("no such task")), 404);
    const QString first = it->fileNames.first();
    arrived("status", first);
    if (failTaskFor.contains(first))
        return FakeResponse::json(
            statusOk({{QStringLiteral("status"), -1},
                      {QStringLiteral("progress"), 0},
                      {QStringLiteral("errors"), QString(QStringLiteral("cannot convert ") + first)}}));
    const int progress = progressScript.value(std::min(it->polls, int(progressScript.size()) - 1), 100);
    ++it->polls;
    QJsonObject data{{QStringLiteral("status"), progress < 100 ? 1 : 2}, {QStringLiteral("progress"), progress}};
    if (progress >= 100) {
        mTaskForDownload.insert(it->downloadToken, taskId);
        const QString resultName =
            resultNameFor.value(first, first.section(QLatin1Char('.'), 0, -2) + QStringLiteral(".docx"));
        data.insert(QStringLiteral("target_file"),
                    QJsonObject{{QStringLiteral("url"),
                                 QString(mServer.origin() + QStringLiteral("/files/") + it->downloadToken)},
                                {QStringLiteral("filename"), resultName}});
    }
    return FakeResponse::json(statusOk(merged(merged(data, statusPacingHint), pacingHintFor.value(first))));
}

FakeResponse FakeConversionService::download(const QString &token)
{
    const QString taskId = mTaskForDownload.value(token);
    if (taskId.isEmpty())
        return FakeResponse::json("not found", 404);
    const QString first = mTasks.value(taskId).fileNames.first();
    arrived("download", first);
    if (failDownloadFor.contains(first))
        return FakeResponse::json("gone", 404);
    FakeResponse response = FakeResponse::json(resultContent(first));
    response.contentType = "application/octet-stream";
    return response;
}
