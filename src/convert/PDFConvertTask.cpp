#include "convert/PDFConvertTask.h"

#include "convert/PDFConvert.h"
#include "convert/ResultNames.h"
#include "convert/ServicePacing.h"
#include "convert/ServiceProtocol.h"
#include "convert/oss/OssClient.h"
#include "frameworks/CommLog.h"
#include "frameworks/DIRADoduredode.h"
#include "protocol/WireFields.h"
#include "tools/SerialQueue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QThreadPool>
#include <QUuid>

#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> gQueryInterval{ServicePacing::kDefaultPollMs};

QString textOfValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    const QJsonValue json = QJsonValue::fromVariant(value);
    if (json.isObject())
        return QString::fromUtf8(QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact));
    if (json.isArray())
        return QString::fromUtf8(QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact));
    return value.toString();
}

// The service's errors as a person reads them: its texts, not their JSON.
QString readableErrors(const QVariant &errors)
{
    QStringList texts;
    if (errors.typeId() == QMetaType::QVariantList || errors.typeId() == QMetaType::QStringList) {
        for (const QVariant &error : errors.toList())
            texts.append(textOfValue(error));
    } else {
        texts.append(textOfValue(errors));
    }
    texts.removeAll(QString());
    return ServiceProtocol::maskSecretsInText(texts.join(QStringLiteral("; ")));
}

qint32 percentOf(double done, double total)
{
    // Single precision, truncated toward zero, as the progress figures are defined.
    return total > 0 ? qint32(float(done) / float(total) * 100.0f) : 0;
}

} // namespace

PDFConvertTask::PDFConvertTask() = default;

PDFConvertTask::~PDFConvertTask() = default;

void PDFConvertTask::setQueryInterval(int milliseconds)
{
    gQueryInterval = milliseconds;
}

int PDFConvertTask::queryInterval()
{
    return gQueryInterval;
}

SerialQueue &PDFConvertTask::queryQueue()
{
    QMutexLocker lock(&mMutex);
    if (!mQueryQueue)
        mQueryQueue = std::make_unique<SerialQueue>(QStringLiteral("queue.serverTask.queryConvertProgress"));
    return *mQueryQueue;
}

// ---- upload ----

void PDFConvertTask::startUploadWithProgressBlock(ProgressBlock progressBlock, CompletedBlock completedProgressBlock)
{
    setIsCompleted(false);
    setUploadFileId(QString());
    auto self = shared_from_this();
    QThreadPool::globalInstance()->start(
        [self, progressBlock, completedProgressBlock] { self->upload(progressBlock, completedProgressBlock); });
}

void PDFConvertTask::upload(const ProgressBlock &progressBlock, const CompletedBlock &completedBlock)
{
    const QVariantMap config = uploadConfigDict();
    const QString fileName = QFileInfo(localPath()).fileName();
    const QString endpoint = config.value(WireFields::kEndpoint).toString();
    const QString bucket = config.value(WireFields::kBucket).toString();
    const QString objectKey = config.value(WireFields::kObjects).toMap().value(fileName).toString();
    if (endpoint.isEmpty() || bucket.isEmpty() || objectKey.isEmpty()) {
        // A cancelled run hears nothing more from its uploads, this failure included.
        if (isCanceled())
            return;
        // Nothing to send to: fail here rather than sign a request for nowhere.
        setIsCompleted(true);
        progressBlock(this, 100);
        completedBlock(this, false, QStringLiteral("The upload configuration names no endpoint, bucket or object key"));
        return;
    }
    const OssStsTokenCredentialProvider credentials{config.value(WireFields::kAccessId).toString(),
                                                    config.value(WireFields::kAccessSecret).toString(),
                                                    config.value(WireFields::kSecurityToken).toString()};
    auto client = std::make_shared<OssClient>(PDFConvert::httpClient(), endpoint, credentials);
    set(mClient, client);

    std::weak_ptr<PDFConvertTask> weak = weak_from_this();
    OssPutObjectRequest request;
    request.bucketName = bucket;
    request.objectKey = objectKey;
    request.callbackParam = config.value(WireFields::kCallbackUrl);
    request.uploadingFilePath = localPath();
    request.uploadProgress = [weak, progressBlock](qint64, qint64 totalSent, qint64 totalExpected) {
        const auto self = weak.lock();
        if (self && !self->isCanceled())
            progressBlock(self.get(), percentOf(double(totalSent), double(totalExpected)));
    };
    client->putObject(request, [self = shared_from_this(), progressBlock,
                                completedBlock](const OssPutObjectResult &result) {
        if (self->isCanceled())
            return;
        self->setIsCompleted(true);
        if (!result.completed) {
            self->setFailureDetail(ServiceProtocol::maskSecretsInText(result.errorDescription));
            progressBlock(self.get(), 100);
            completedBlock(self.get(), false, result.errorDescription);
            return;
        }
        const std::optional<QVariantMap> reply = ServiceProtocol::parseReply(result.serverReturnJsonString.toUtf8());
        if (!ServiceProtocol::isSuccess(reply)) {
            self->setFailureDetail(ServiceProtocol::maskSecretsInText(result.errorDescription));
            completedBlock(self.get(), false, result.errorDescription);
            return;
        }
        self->setUploadFileId(ServiceProtocol::valueAtPath(*reply, {WireFields::kData, WireFields::kId}).toString());
        progressBlock(self.get(), 100);
        completedBlock(self.get(), true, QString(QLatin1String("")));
    });
}

// ---- status query ----

void PDFConvertTask::startQueryConvertWithProgressBlock(ProgressBlock progressBlock,
                                                        CompletedBlock completedProgressBlock)
{
    // A creation reply that hints a pace says when the task is worth a first
    // look too: a task queued behind others is not asked about at once.
    startQuery(mPollHintMs, std::move(progressBlock), std::move(completedProgressBlock));
}

void PDFConvertTask::startQuery(int waitMs, const ProgressBlock &progressBlock, const CompletedBlock &completedBlock)
{
    CommLog::I(QStringLiteral("开始查询转换进度"));
    SerialQueue &queue = queryQueue();
    setIsCompleted(false);
    setProgressPercent(0);
    auto job = [self = shared_from_this(), progressBlock, completedBlock] {
        self->poll(progressBlock, completedBlock);
    };
    if (waitMs > 0)
        queue.asyncAfter(waitMs, std::move(job));
    else
        queue.async(std::move(job));
}

void PDFConvertTask::poll(const ProgressBlock &progressBlock, const CompletedBlock &completedBlock)
{
    // Its reply would be dropped unread: a cancelled task asks no more.
    if (isCanceled())
        return;
    const QString id = taskId();
    if (id.isEmpty()) {
        progressBlock(this, 100);
        completedBlock(this, false, QStringLiteral("服务端创建任务失败"));
        return;
    }
    PDFConvert::requestTaskStatus(
        id, [self = shared_from_this(), progressBlock, completedBlock](const std::optional<QVariantMap> &reply) {
            self->handleStatusReply(reply, progressBlock, completedBlock);
        });
}

void PDFConvertTask::handleStatusReply(const std::optional<QVariantMap> &reply, const ProgressBlock &progressBlock,
                                       const CompletedBlock &completedBlock)
{
    if (isCanceled())
        return;
    if (!reply) {
        // A transport failure looks like this: try again, but not forever.
        if (++mUnparseableReplies < kMaxUnparseableReplies) {
            scheduleNextPoll(progressBlock, completedBlock);
            return;
        }
        progressBlock(this, 100);
        completedBlock(this, false,
                       QStringLiteral("服务端创建任务失败 - the service gave %1 unreadable status replies in a row")
                           .arg(kMaxUnparseableReplies));
        return;
    }
    mUnparseableReplies = 0;
    const QVariantMap data = reply->value(WireFields::kData).toMap();
    takePacingHint(data);
    const qint64 status = ServiceProtocol::integerValue(data.value(WireFields::kStatus));
    const qint32 progress =
        qint32(std::clamp<qint64>(ServiceProtocol::integerValue(data.value(WireFields::kProgress)), 0, 100));
    const QVariant errors = data.value(WireFields::kErrors);
    const bool hasErrors = data.contains(WireFields::kErrors) && !errors.isNull();
    if (status < 0 || hasErrors) {
        const QString text = QStringLiteral("服务端创建任务失败 - %1").arg(textOfValue(errors));
        setFailureDetail(readableErrors(errors));
        progressBlock(this, 100);
        if (status < 0)
            CommLog::E(text);
        completedBlock(this, false, text);
        return;
    }
    progressBlock(this, progress);
    if (progress < 100) {
        scheduleNextPoll(progressBlock, completedBlock);
        return;
    }
    const QVariantMap target = data.value(WireFields::kTargetFile).toMap();
    setDownloadURL(target.value(WireFields::kUrl).toString());
    setDownloadFileName(target.value(WireFields::kFilename).toString());
    completedBlock(this, true, QString(QLatin1String("")));
}

void PDFConvertTask::takePacingHint(const QVariantMap &data)
{
    if (const std::shared_ptr<ServicePacing> runPacing = pacing())
        mPollHintMs = runPacing->takeHint(data);
}

void PDFConvertTask::scheduleNextPoll(const ProgressBlock &progressBlock, const CompletedBlock &completedBlock)
{
    const std::shared_ptr<ServicePacing> runPacing = pacing();
    const int interval = runPacing ? runPacing->pollIntervalMs(mPollHintMs) : queryInterval();
    queryQueue().asyncAfter(interval, [self = shared_from_this(), progressBlock, completedBlock] {
        self->startQuery(0, progressBlock, completedBlock);
    });
}

// ---- download ----

void PDFConvertTask::startDownloadWithProgressBlock(ProgressBlock progressBlock, CompletedBlock completedProgressBlock)
{
    setIsCompleted(false);
    setProgressPercent(0);
    const QString url = downloadURL();
    if (url.isEmpty() || downloadFileName().isEmpty()) {
        if (progressBlock)
            progressBlock(this, 100);
        setDownloadLocalPath(QString());
        if (completedProgressBlock)
            completedProgressBlock(this, false, QString(QLatin1String("")));
        return;
    }
    // Never the service's own name: that name may be one of the user's files.
    const QString destination = QDir(outputFolder()).filePath(ResultNames::temporaryDownloadName(downloadFileName()));
    setDownloadLocalPath(QString());
    queryQueue().async([self = shared_from_this(), url, destination, progressBlock, completedProgressBlock] {
        PDFConvert::httpClient().downloadFile(
            url, destination,
            [self, destination, progressBlock, completedProgressBlock](float fraction, bool finished,
                                                                       const ToolError &error) {
                self->handleDownloadEvent(destination, fraction, finished,
                                          error.isNull() ? QString() : error.localizedDescription(), progressBlock,
                                          completedProgressBlock);
            });
    });
}

void PDFConvertTask::handleDownloadEvent(const QString &destination, float fraction, bool finished,
                                         const QString &error, const ProgressBlock &progressBlock,
                                         const CompletedBlock &completedBlock)
{
    if (isCanceled()) {
        if (finished && error.isNull())
            QFile::remove(destination); // an abandoned result must not litter the output folder
        return;
    }
    if (!finished) {
        if (progressBlock)
            progressBlock(this, qint32(fraction * 100.0f));
        return;
    }
    if (error.isNull()) {
        setDownloadLocalPath(destination);
        if (completedBlock)
            completedBlock(this, true, QString(QLatin1String("")));
    } else {
        setFailureDetail(ServiceProtocol::maskSecretsInText(error));
        if (completedBlock)
            completedBlock(this, false, QStringLiteral("下载文件失败， error - %1").arg(error));
    }
}
