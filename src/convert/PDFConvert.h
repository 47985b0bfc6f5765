#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class ConvertRun;
class DIRADoduredode;
class QObject;
class PDFConvertTask;

// The conversion service client. Never instantiated: its state (the cached
// api token, the run's output file type) is class-level.
class PDFConvert final {
public:
    PDFConvert() = delete;

    // ---- the conversion run ----

    using ProgressBlock = std::function<void(qint32 percent)>;
    using CompletedBlock = std::function<void(qint32 status, const QStringList &paths, const QString &message)>;

    // Starts a run over the input paths and returns at once. The mode is
    // accepted and not used: the inputs and the output type decide. Both
    // closures are called on background threads.
    static void startConvertPDFWithAction(quint64 mode, const QStringList &withInputFiles,
                                          const QString &withOuputFileType, ProgressBlock progressBlock,
                                          CompletedBlock completedBlock);
    static void cancel();
    // Cancels the run and silences it for good: its closures are never
    // called again (a front end that is going away). Returns when the run
    // and its tasks have ended, or after two seconds at most.
    static void abandonRun();
    // The current run's tasks, in input order.
    static QList<std::shared_ptr<PDFConvertTask>> convertTasks();
    static bool isMergeRun();
    static quint64 currentRunGeneration();

    // The folder results go to; empty = the settings' output folder.
    static void setOutputFolderOverride(const QString &folder);
    static QString outputFolderPath();

    // ---- service requests and access token ----

    // The service's API base URL: a URL set for this process, else
    // MIRELUNE_SERVICE_URL, else the settings key "service/url", else empty.
    // Always https and ending in "/api".
    static QString zentroURL();
    static void setServiceUrlOverride(const QString &url);
    // When no service is configured, makes sure the self-hosted service of
    // this user runs (starting it if needed), trusts its CA for this process
    // and uses its identity token. Blocking: call it off the main thread.
    // True when a service is there to talk to.
    static bool prepareService(QString *errorText);
    // The configured service URL, without the self-hosted fallback.
    static QString configuredServiceUrl();
    // A configured address as a base URL: https only, trailing "/" dropped,
    // "/api" appended when missing; empty for anything unusable.
    static QString normalizedServiceUrl(const QString &configured);

    static QString apiToken();
    static void clearToken();
    static QVariantMap convertHeaderDict();
    // Clears the cached token whenever the signed-in account changes, for as
    // long as owner lives.
    static void clearTokenOnAccountChange(QObject *owner);

    using TokenCompletion = std::function<void(bool ok, const QString &failureText)>;
    // The token procedure: a cached token succeeds at once; otherwise the
    // identity token is exchanged for an api token. stepDone is called when
    // the token step has earned its progress (cache hit or accepted reply).
    static void obtainApiToken(const std::function<void()> &stepDone, const TokenCompletion &completion);
    // The upload-credential request for one file name: its "data" object on success.
    static void requestUploadConfig(const QString &fileName,
                                    const std::function<void(const std::optional<QVariantMap> &data)> &completion);
    // The task-creation request; the completion gets the task id, or a null
    // text when the service did not create the task, and the reply's "data"
    // object (which may carry a pacing hint).
    using CreationCompletion = std::function<void(const QString &taskId, const QVariantMap &data)>;
    static void requestCreateTask(const QString &serviceType, const QStringList &fileIds, const QVariantMap &args,
                                  const CreationCompletion &completion);
    // The task-status request; the parsed reply, or nothing when it does not parse.
    static void requestTaskStatus(const QString &taskId,
                                  const std::function<void(const std::optional<QVariantMap> &reply)> &completion);

    // ---- task kinds ----

    static void setServiceTypeToTask(PDFConvertTask *task, const QString &ouputFileType);
    static QVariantMap getServerTaskArgsWithServiceTypeName(const QString &serviceTypeName,
                                                            const QString &inputFileExtension);
    // The run's output file type (lower-cased), read by the arguments operation.
    static void setRunOutputFileType(const QString &ouputFileType);
    static QString runOutputFileType();

    // The HTTP client in use; nullptr returns to the shared one.
    static void setHttpClient(DIRADoduredode *client);
    static DIRADoduredode &httpClient();

    static inline const QString kServiceUrlKey = QStringLiteral("service/url");
    static inline const QString kServiceUrlEnvironment = QStringLiteral("MIRELUNE_SERVICE_URL");
};
