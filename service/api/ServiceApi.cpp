#include "api/ServiceApi.h"

#include "api/TaskEndWait.h"
#include "api/UploadCallback.h"
#include "converters/Conversions.h"
#include "protocol/WireFields.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {

constexpr int kMaxNamesPerRequest = 100;
constexpr int kMaxNameLength = 1024;

HttpResponse failure(int httpStatus, const QString &message)
{
    return HttpResponse::json({{WireFields::kStatus, 0}, {QStringLiteral("message"), message}}, httpStatus);
}

HttpResponse success(const QJsonObject &data)
{
    return HttpResponse::json({{WireFields::kStatus, 1}, {WireFields::kData, data}});
}

// A value that arrived as JSON text (form-encoded requests) is parsed here.
QJsonValue structured(const QJsonValue &value)
{
    if (!value.isString())
        return value;
    const QJsonDocument document = QJsonDocument::fromJson(value.toString().toUtf8());
    if (document.isArray())
        return document.array();
    if (document.isObject())
        return document.object();
    return value;
}

QString text(const QJsonValue &value)
{
    return value.isDouble() ? QString::number(value.toInteger()) : value.toString();
}

// A held status poll keeps its connection: not for long.
constexpr qint64 kLongestHoldMs = 1000;

// A failed status for the client's poll loop: it stops only on a negative status.
HttpResponse taskFailure(int httpStatus, const QString &message)
{
    QJsonObject reply{{WireFields::kStatus, 0}, {QStringLiteral("message"), message}};
    reply.insert(WireFields::kData,
                 QJsonObject{{WireFields::kStatus, -1}, {WireFields::kProgress, 0}, {WireFields::kErrors, message}});
    return HttpResponse::json(reply, httpStatus);
}

} // namespace

ServiceApi::ServiceApi(Records &records, IdentityTokens &identities, ObjectStore &objects, TaskQueue &queue,
                       Settings settings)
    : mRecords(records), mIdentities(identities), mObjects(objects), mQueue(queue), mDownloads(records),
      mSettings(std::move(settings))
{
}

QStringList ServiceApi::ownHosts(const HttpRequest &head) const
{
    QStringList hosts = {QStringLiteral("127.0.0.1"), QStringLiteral("::1"), QStringLiteral("localhost"),
                         mSettings.listenAddress.toString().toLower()};
    const QString requested = head.hostName();
    if (!requested.isEmpty() && !requested.startsWith(mSettings.bucket + QLatin1Char('.')))
        hosts << requested;
    if (mSettings.publicUrl.isValid())
        hosts << mSettings.publicUrl.host().toLower();
    return hosts;
}

QList<quint16> ServiceApi::ownPorts() const
{
    QList<quint16> ports{mSettings.port};
    if (mSettings.publicUrl.isValid())
        ports << quint16(mSettings.publicUrl.port(443));
    return ports;
}

QString ServiceApi::origin(const HttpRequest &head) const
{
    const QUrl &fixed = mSettings.publicUrl;
    if (fixed.isValid()) {
        const QString name =
            fixed.host().contains(QLatin1Char(':')) ? QLatin1Char('[') + fixed.host() + QLatin1Char(']') : fixed.host();
        return QStringLiteral("https://") + name + QLatin1Char(':') + QString::number(fixed.port(443));
    }
    QString host = head.hostName();
    const QByteArray hostHeader = head.header("Host");
    const bool valid = !host.isEmpty() && hostHeader.endsWith(QByteArray(':' + QByteArray::number(mSettings.port))) &&
                       !host.contains(QLatin1Char('/')) && !host.contains(QLatin1Char('@'));
    if (!valid) {
        const QHostAddress address = mSettings.listenAddress;
        host = address == QHostAddress::AnyIPv4 || address == QHostAddress::Any ? QStringLiteral("127.0.0.1")
                                                                                : address.toString();
    }
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("https://") + host + QLatin1Char(':') + QString::number(mSettings.port);
}

HttpRoute ServiceApi::route(const HttpRequest &head)
{
    const bool api = head.path.startsWith(QLatin1String("/api/"));
    const bool download = head.path.startsWith(QLatin1String("/download/"));
    if (mObjects.isVirtualHosted(head) || (!api && !download))
        return mObjects.route(head, ownHosts(head), ownPorts());
    if (download)
        return HttpRoute::respond(mDownloads.serve(head));
    if (head.method == "POST")
        return HttpRoute::buffer([this](const HttpRequest &request) { return post(request); });
    if (head.method == "GET")
        return get(head);
    return HttpRoute::respond(failure(405, QStringLiteral("Method not allowed")));
}

HttpResponse ServiceApi::post(const HttpRequest &request)
{
    const QJsonObject parameters = request.parameters();
    if (request.path == QLatin1String("/api/sessions"))
        return sessions(parameters);
    if (request.path == QLatin1String("/api/authentications"))
        return authentications(request, parameters);
    if (request.path == QLatin1String("/api/tasks"))
        return createTask(parameters);
    return failure(404, QStringLiteral("Not found"));
}

HttpRoute ServiceApi::get(const HttpRequest &head)
{
    if (head.path == QLatin1String("/api/health"))
        return HttpRoute::respond(health());
    static const QLatin1String tasks("/api/tasks/");
    if (head.path.startsWith(tasks) && !head.path.mid(tasks.size()).contains(QLatin1Char('/')))
        return statusRoute(head, head.path.mid(tasks.size()));
    return HttpRoute::respond(failure(404, QStringLiteral("Not found")));
}

HttpRoute ServiceApi::statusRoute(const HttpRequest &head, const QString &id)
{
    HttpResponse now = taskStatus(head, id);
    const std::optional<int> hold = holdMs(id);
    if (now.status() != 200 || !hold)
        return HttpRoute::respond(std::move(now));
    return HttpRoute::later([this, head, id, limitMs = *hold](const HttpRoute::Responder &respond) {
        TaskEndWait::start(mQueue, id, limitMs, &mHeldPolls,
                           [this, head, id, respond] { respond(taskStatus(head, id)); });
    });
}

std::optional<int> ServiceApi::holdMs(const QString &taskId) const
{
    const std::optional<qint64> remaining = mQueue.runningRemainingMs(taskId);
    const qint64 pace = std::min<qint64>(mSettings.pollIntervalMs, kLongestHoldMs / 2);
    if (!remaining || *remaining > pace)
        return std::nullopt;
    return int(*remaining + pace);
}

QByteArray ServiceApi::owner(const QJsonObject &parameters) const
{
    return mRecords.ownerOf(text(parameters.value(WireFields::kApiToken)).toLatin1());
}

QJsonObject ServiceApi::paced(QJsonObject data, const QString &taskId, const QString &serviceType,
                              TaskState state) const
{
    // On this service a task is done in well under a second: the client's
    // default pace (a poll every 3 s, downloads 1 s apart) would set the
    // speed of every run.
    data.insert(WireFields::kPollIntervalMs, mQueue.pollHintMs(taskId, serviceType, state, mSettings.pollIntervalMs));
    data.insert(WireFields::kDownloadStaggerMs, mSettings.downloadStaggerMs);
    return data;
}

HttpResponse ServiceApi::sessions(const QJsonObject &parameters)
{
    const QByteArray identity = text(parameters.value(WireFields::kIdentityToken)).toUtf8();
    if (!mIdentities.accepts(identity))
        return failure(401, QStringLiteral("Unknown identity token"));
    const QByteArray token = mRecords.issueApiToken(identity);
    if (token.isEmpty())
        return failure(500, QStringLiteral("Cannot issue an api token"));
    return success(
        {{WireFields::kUser, QJsonObject{{WireFields::kApiToken, QString::fromLatin1(token)},
                                         {QStringLiteral("expires_in"), double(Records::kApiTokenSeconds)}}}});
}

HttpResponse ServiceApi::authentications(const HttpRequest &request, const QJsonObject &parameters)
{
    const QByteArray ownerKey = owner(parameters);
    if (ownerKey.isEmpty())
        return failure(401, QStringLiteral("Invalid api_token"));
    const QJsonValue files = structured(parameters.value(WireFields::kFiles));
    QStringList names;
    const QJsonArray array = files.isArray() ? files.toArray() : QJsonArray{files};
    for (const QJsonValue &value : array) {
        const QString name = value.toString();
        if (name.isEmpty() || name.size() > kMaxNameLength)
            return failure(400, QStringLiteral("\"files\" must list file names"));
        names << name;
    }
    if (names.isEmpty() || names.size() > kMaxNamesPerRequest)
        return failure(400, QStringLiteral("\"files\" must list between 1 and %1 file names").arg(kMaxNamesPerRequest));
    const UploadGrant grant = mRecords.grantUpload(ownerKey, mSettings.bucket, names);
    if (grant.accessId.isEmpty())
        return failure(500, QStringLiteral("Cannot issue upload credentials"));
    QJsonObject objects;
    for (auto it = grant.objects.cbegin(); it != grant.objects.cend(); ++it)
        objects.insert(it.key(), it.value());
    const QString base = origin(request);
    return success({
        {WireFields::kEndpoint, base.mid(QStringLiteral("https://").size())},
        {WireFields::kAccessId, QString::fromLatin1(grant.accessId)},
        {WireFields::kAccessSecret, QString::fromLatin1(grant.accessSecret)},
        {WireFields::kSecurityToken, QString::fromLatin1(grant.securityToken)},
        {QStringLiteral("expiration"), QDateTime::fromSecsSinceEpoch(grant.expires, Qt::UTC).toString(Qt::ISODate)},
        {WireFields::kBucket, mSettings.bucket},
        {WireFields::kCallbackUrl, UploadCallback::parametersFor(base)},
        {WireFields::kObjects, objects},
    });
}

HttpResponse ServiceApi::createTask(const QJsonObject &parameters)
{
    const QByteArray ownerKey = owner(parameters);
    if (ownerKey.isEmpty())
        return failure(401, QStringLiteral("Invalid api_token"));
    const QString type = text(parameters.value(WireFields::kServiceType));
    if (!Conversions::find(type))
        return failure(400, QStringLiteral("Unknown service type: %1").arg(type.left(64)));
    const QJsonValue autostart = parameters.value(WireFields::kAutostart);
    if (!autostart.isUndefined() && text(autostart) != QLatin1String("1"))
        return failure(400, QStringLiteral("Tasks start at once here: \"autostart\" must be \"1\""));
    QList<TaskInput> inputs;
    const QJsonArray files = structured(parameters.value(WireFields::kFiles)).toArray();
    for (const QJsonValue &value : files) {
        const QJsonObject entry = value.toObject();
        const QString id = text(entry.value(WireFields::kFileId));
        const std::optional<StoredFile> file = mRecords.file(id);
        // Another user's file is as unknown as one that never existed.
        if (!file || file->owner != ownerKey)
            return failure(400, QStringLiteral("Unknown file: %1").arg(id.left(64)));
        inputs.append({id, entry.value(WireFields::kPassword).toString()});
    }
    if (inputs.isEmpty())
        return failure(400, QStringLiteral("\"files\" must name at least one uploaded file"));
    const QJsonValue args = structured(parameters.value(WireFields::kArgs));
    const QString id = mRecords.createTask(ownerKey, type, args.toObject(), inputs, mSettings.keepSeconds);
    if (id.isEmpty())
        return failure(500, QStringLiteral("Cannot create the task"));
    mQueue.kick();
    // Kicked, the task runs here now, or waits in the queue.
    QJsonObject data = paced({{WireFields::kTaskId, id}}, id, type, TaskState::Queued);
    // A task about to end here is best asked about at once, which a reply
    // without a poll hint tells the client: that poll is held until the end.
    if (holdMs(id))
        data.remove(WireFields::kPollIntervalMs);
    return success(data);
}

HttpResponse ServiceApi::taskStatus(const HttpRequest &head, const QString &id)
{
    const QByteArray ownerKey = mRecords.ownerOf(head.query.queryItemValue(WireFields::kApiToken).toLatin1());
    if (ownerKey.isEmpty())
        return taskFailure(401, QStringLiteral("Invalid api_token"));
    const std::optional<TaskRecord> task = mRecords.task(id);
    if (!task || task->owner != ownerKey)
        return taskFailure(404, QStringLiteral("No such task"));
    QJsonObject data{{WireFields::kTaskId, task->id},
                     {WireFields::kStatus, int(task->state)},
                     {WireFields::kProgress, task->progress}};
    if (task->state == TaskState::Failed)
        data.insert(WireFields::kErrors, task->errors);
    if (task->state == TaskState::Finished) {
        data.insert(WireFields::kTargetFile,
                    QJsonObject{{WireFields::kUrl, QString(origin(head) + DownloadHandler::urlPath(task->downloadToken,
                                                                                                   task->resultName))},
                                {WireFields::kFilename, task->resultName},
                                {QStringLiteral("size"), double(QFileInfo(task->resultPath).size())}});
    }
    return success(paced(data, task->id, task->serviceType, task->state));
}

HttpResponse ServiceApi::health()
{
    QString problem;
    const bool databaseOk = mRecords.ping(&problem);
    const QJsonObject data{
        {QStringLiteral("service"), QStringLiteral("mirelune-service")},
        {QStringLiteral("version"), QCoreApplication::applicationVersion()},
        {WireFields::kPid, double(QCoreApplication::applicationPid())},
        {QStringLiteral("running_tasks"), mQueue.runningCount()},
        {QStringLiteral("node"), mSettings.nodeId},
        {QStringLiteral("database"), databaseOk ? QStringLiteral("ok") : QStringLiteral("unavailable")}};
    if (databaseOk)
        return success(data);
    // A balancer's health check takes this node out of rotation until its database answers again.
    std::fprintf(stderr, "mirelune-service: health: the database does not answer: %s\n", qPrintable(problem));
    return HttpResponse::json({{WireFields::kStatus, 0},
                               {QStringLiteral("message"), QStringLiteral("The database is unavailable")},
                               {WireFields::kData, data}},
                              503);
}
