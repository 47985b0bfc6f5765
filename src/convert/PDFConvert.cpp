#include "convert/PDFConvert.h"

#include "convert/ConvertRun.h"
#include "convert/EmbeddedService.h"
#include "convert/PDFConvertTask.h"
#include "convert/ServiceProtocol.h"
#include "convert/TaskKinds.h"
#include "frameworks/CommLog.h"
#include "frameworks/CommPassport.h"
#include "frameworks/CommUtils.h"
#include "frameworks/DIRADoduredode.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "product/AppSettings.h"
#include "protocol/WireFields.h"
#include "settings/UserDefaults.h"
#include "tools/ToolFile.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace {

struct ClientState {
    QMutex mutex;
    QString apiToken; // null while absent
    QString outputFileType;
    QString serviceUrlOverride;
    QString outputFolderOverride;
    QString embeddedUrl; // the self-hosted service in use, when nothing is configured
    DIRADoduredode *httpClient = nullptr;
    std::shared_ptr<ConvertRun> run;
    quint64 generation = 0;
};

ClientState &state()
{
    static ClientState s;
    return s;
}

// How long a front end going away waits for the jobs in flight of the run
// it abandons; a status poll waiting for its turn holds the run until then.
constexpr int kLetGoMs = 2000;

// Lets go of a run and waits, briefly, until every job that still holds it
// or one of its tasks has let go too. Left to the end of the process, they
// would end after the application object, with their queues' threads still
// running while the statics are destroyed.
void letGo(std::shared_ptr<ConvertRun> run)
{
    if (!run)
        return;
    const std::weak_ptr<ConvertRun> weakRun = run;
    QList<std::weak_ptr<PDFConvertTask>> tasks;
    for (const auto &task : run->tasks())
        tasks.append(task);
    run.reset();
    const auto ended = [&] {
        return weakRun.expired() &&
               std::all_of(tasks.cbegin(), tasks.cend(), [](const auto &task) { return task.expired(); });
    };
    const QDeadlineTimer deadline(kLetGoMs);
    while (!ended() && !deadline.hasExpired())
        QThread::msleep(5);
}

void storeApiToken(const QString &token)
{
    QMutexLocker lock(&state().mutex);
    state().apiToken = token;
}

} // namespace

QString PDFConvert::normalizedServiceUrl(const QString &configured)
{
    QUrl url(configured.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0 ||
        url.host().isEmpty() || url.hasQuery() || url.hasFragment())
        return {};
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (!path.endsWith(QLatin1String("/api")))
        path += QStringLiteral("/api");
    url.setPath(path);
    return url.toString(QUrl::FullyEncoded);
}

void PDFConvert::startConvertPDFWithAction(quint64 mode, const QStringList &withInputFiles,
                                           const QString &withOuputFileType, ProgressBlock progressBlock,
                                           CompletedBlock completedBlock)
{
    Q_UNUSED(mode)
    setRunOutputFileType(withOuputFileType);
    std::shared_ptr<ConvertRun> run;
    {
        QMutexLocker lock(&state().mutex);
        run = std::make_shared<ConvertRun>(++state().generation, withInputFiles, withOuputFileType.toLower(), QString(),
                                           std::move(progressBlock), std::move(completedBlock));
    }
    for (const auto &task : run->tasks())
        task->setOutputFolder(outputFolderPath());
    {
        QMutexLocker lock(&state().mutex);
        state().run = run;
    }
    run->start();
}

void PDFConvert::cancel()
{
    std::shared_ptr<ConvertRun> run;
    {
        QMutexLocker lock(&state().mutex);
        run = state().run;
    }
    if (run)
        run->cancel();
}

void PDFConvert::abandonRun()
{
    cancel();
    std::shared_ptr<ConvertRun> run;
    {
        QMutexLocker lock(&state().mutex);
        ++state().generation;
        run = std::move(state().run);
    }
    letGo(std::move(run));
}

QList<std::shared_ptr<PDFConvertTask>> PDFConvert::convertTasks()
{
    QMutexLocker lock(&state().mutex);
    return state().run ? state().run->tasks() : QList<std::shared_ptr<PDFConvertTask>>();
}

bool PDFConvert::isMergeRun()
{
    QMutexLocker lock(&state().mutex);
    return state().run && state().run->isMerge();
}

quint64 PDFConvert::currentRunGeneration()
{
    QMutexLocker lock(&state().mutex);
    return state().generation;
}

void PDFConvert::setOutputFolderOverride(const QString &folder)
{
    QMutexLocker lock(&state().mutex);
    state().outputFolderOverride = folder;
}

QString PDFConvert::outputFolderPath()
{
    {
        QMutexLocker lock(&state().mutex);
        if (!state().outputFolderOverride.isEmpty())
            return state().outputFolderOverride;
    }
    return AppSettings::ConvertOuputFolderPath();
}

void PDFConvert::setServiceUrlOverride(const QString &url)
{
    QMutexLocker lock(&state().mutex);
    state().serviceUrlOverride = url;
}

QString PDFConvert::configuredServiceUrl()
{
    {
        QMutexLocker lock(&state().mutex);
        if (!state().serviceUrlOverride.isEmpty())
            return normalizedServiceUrl(state().serviceUrlOverride);
    }
    const QString fromEnvironment = qEnvironmentVariable(kServiceUrlEnvironment.toLatin1().constData());
    if (!fromEnvironment.trimmed().isEmpty())
        return normalizedServiceUrl(fromEnvironment);
    const QString fromSettings = objectFromUserDefaults(kServiceUrlKey, QVariant()).toString();
    if (!fromSettings.trimmed().isEmpty())
        return normalizedServiceUrl(fromSettings);
    return {};
}

QString PDFConvert::zentroURL()
{
    const QString configured = configuredServiceUrl();
    if (!configured.isEmpty())
        return configured;
    QMutexLocker lock(&state().mutex);
    return state().embeddedUrl;
}

bool PDFConvert::prepareService(QString *errorText)
{
    if (!configuredServiceUrl().isEmpty())
        return true;
    // Checked at every run: the shared service ends by itself when idle.
    const std::optional<EmbeddedService::Endpoint> endpoint = EmbeddedService::ensureRunning(errorText);
    if (!endpoint)
        return false;
    if (!httpClient().addCaCertificatesFromFile(endpoint->caFile, errorText))
        return false;
    CommPassport::setProcessIdentityToken(endpoint->identityToken);
    QMutexLocker lock(&state().mutex);
    state().embeddedUrl = endpoint->baseUrl;
    return true;
}

QString PDFConvert::apiToken()
{
    QMutexLocker lock(&state().mutex);
    return state().apiToken;
}

void PDFConvert::clearToken()
{
    storeApiToken(QString());
}

void PDFConvert::clearTokenOnAccountChange(QObject *owner)
{
    NotificationCenter::defaultCenter().addObserver(owner, CommPassport::kPassportDidUpdate,
                                                    [](const QString &, const QVariantMap &) { clearToken(); });
}

QVariantMap PDFConvert::convertHeaderDict()
{
    const CommAppInfo info = VAZevediZeziz::appInfo();
    return {{QStringLiteral("App"), info.appName()},
            {QStringLiteral("Brand"), QStringLiteral("Orvanta")},
            {QStringLiteral("App-Version"), info.appVersion()},
            {QStringLiteral("Cli-Os"), QStringLiteral("mac")},
            {QStringLiteral("Cli-Os-Version"), CommUtils::GetOSversion()},
            {QStringLiteral("Cli-Id"), CommUtils::GetGuid()},
            {QStringLiteral("accept_lang"), info.get_lang_code()}};
}

void PDFConvert::obtainApiToken(const std::function<void()> &stepDone, const TokenCompletion &completion)
{
    // An empty cached text is no token: treating it as one would make every
    // later run skip the token request and fail at the credential step.
    if (!apiToken().isEmpty()) {
        stepDone();
        completion(true, QString());
        return;
    }
    CommLog::I(QStringLiteral("获取转换用的令牌"));
    const QString identityToken = CommPassport::identityToken();
    CommLog::I(QStringLiteral("用户帐户的identifyToken:%1").arg(ServiceProtocol::maskSecret(identityToken)));
    httpClient().POSTWithUrl(
        zentroURL() + QStringLiteral("/sessions"), ServiceProtocol::tokenParameters(identityToken), convertHeaderDict(),
        [stepDone, completion](const ToolError &, const QByteArray &body) {
            const std::optional<QVariantMap> reply = ServiceProtocol::parseReply(body);
            if (!ServiceProtocol::isSuccess(reply)) {
                completion(false, QStringLiteral("token 数据获取异常 %1")
                                      .arg(ServiceProtocol::maskSecretsInText(QString::fromUtf8(body))));
                return;
            }
            stepDone();
            const QVariant token =
                ServiceProtocol::valueAtPath(*reply, {WireFields::kData, WireFields::kUser, WireFields::kApiToken});
            storeApiToken(token.isValid() && !token.isNull() ? token.toString() : QString());
            const QString accountToken = CommPassport::apiToken();
            if (!accountToken.isEmpty())
                storeApiToken(accountToken);
            if (apiToken().isEmpty())
                completion(false, QStringLiteral("token 数据获取异常"));
            else
                completion(true, QString());
        });
}

void PDFConvert::requestUploadConfig(const QString &fileName,
                                     const std::function<void(const std::optional<QVariantMap> &data)> &completion)
{
    httpClient().POSTWithUrl(zentroURL() + QStringLiteral("/authentications"),
                             ServiceProtocol::credentialParameters(fileName, apiToken()), convertHeaderDict(),
                             [completion](const ToolError &, const QByteArray &body) {
                                 const std::optional<QVariantMap> reply = ServiceProtocol::parseReply(body);
                                 if (!ServiceProtocol::isSuccess(reply)) {
                                     completion(std::nullopt);
                                     return;
                                 }
                                 completion(reply->value(WireFields::kData).toMap());
                             });
}

void PDFConvert::requestCreateTask(const QString &serviceType, const QStringList &fileIds, const QVariantMap &args,
                                   const CreationCompletion &completion)
{
    const QString url = zentroURL() + QStringLiteral("/tasks");
    const QVariantMap parameters = ServiceProtocol::creationParameters(apiToken(), serviceType, fileIds, args);
    CommLog::I(QStringLiteral("创建任务 : %1 , url - %2").arg(ServiceProtocol::describeParameters(parameters), url));
    httpClient().POSTWithUrl(
        url, parameters, convertHeaderDict(), [completion](const ToolError &, const QByteArray &body) {
            const std::optional<QVariantMap> reply = ServiceProtocol::parseReply(body);
            if (!ServiceProtocol::isSuccess(reply)) {
                completion(QString(), QVariantMap());
                return;
            }
            const QVariant taskId = ServiceProtocol::valueAtPath(*reply, {WireFields::kData, WireFields::kTaskId});
            completion(taskId.isValid() && !taskId.isNull() && !taskId.toString().isEmpty() ? taskId.toString()
                                                                                            : QString(),
                       reply->value(WireFields::kData).toMap());
        });
}

void PDFConvert::requestTaskStatus(const QString &taskId,
                                   const std::function<void(const std::optional<QVariantMap> &reply)> &completion)
{
    const QString path = QStringLiteral("/tasks/%1").arg(QString::fromLatin1(QUrl::toPercentEncoding(taskId)));
    httpClient().GETtWithUrl(zentroURL() + path, ServiceProtocol::statusParameters(apiToken()), QVariantMap(),
                             [completion](const ToolError &, const QVariant &reply) {
                                 if (reply.typeId() == QMetaType::QVariantMap)
                                     completion(reply.toMap());
                                 else
                                     completion(ServiceProtocol::parseReply(reply.toByteArray()));
                             });
}

void PDFConvert::setServiceTypeToTask(PDFConvertTask *task, const QString &ouputFileType)
{
    const QString serviceType =
        TaskKinds::serviceTypeFor(ToolFile::fileExtensionAtPath(task->localPath()), ouputFileType);
    if (!serviceType.isNull())
        task->setServiceTypeName(serviceType);
}

QVariantMap PDFConvert::getServerTaskArgsWithServiceTypeName(const QString &serviceTypeName,
                                                             const QString &inputFileExtension)
{
    Q_UNUSED(inputFileExtension) // the decision rests on the type and the run's output alone
    return TaskKinds::argumentsFor(serviceTypeName, runOutputFileType());
}

void PDFConvert::setRunOutputFileType(const QString &ouputFileType)
{
    QMutexLocker lock(&state().mutex);
    state().outputFileType = ouputFileType.toLower();
}

QString PDFConvert::runOutputFileType()
{
    QMutexLocker lock(&state().mutex);
    return state().outputFileType;
}

void PDFConvert::setHttpClient(DIRADoduredode *client)
{
    QMutexLocker lock(&state().mutex);
    state().httpClient = client;
}

DIRADoduredode &PDFConvert::httpClient()
{
    {
        QMutexLocker lock(&state().mutex);
        if (state().httpClient)
            return *state().httpClient;
    }
    return DIRADoduredode::shared();
}
