#include "jobs/ConversionJob.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

ConversionJob::ConversionJob(Order order, std::shared_ptr<std::atomic_bool> cancel, Progress progress, Done done)
    : mOrder(std::move(order)), mCancel(std::move(cancel)), mProgress(std::move(progress)), mDone(std::move(done))
{
}

QString ConversionJob::safeExtension(const QString &clientName)
{
    static const QRegularExpression valid(QStringLiteral("^[a-z0-9]{1,10}$"));
    const QString extension = QFileInfo(clientName.section(QLatin1Char('/'), -1)).suffix().toLower();
    return valid.match(extension).hasMatch() ? extension : QStringLiteral("bin");
}

void ConversionJob::run(OfficeBridge *office)
{
    const Outcome outcome = convert(office);
    QDir(mOrder.jobFolder).removeRecursively();
    mDone(outcome);
}

ConversionJob::Outcome ConversionJob::convert(OfficeBridge *office)
{
    Outcome outcome{mOrder.taskId, false, {}, {}};
    const Conversions::Kind *kind = Conversions::find(mOrder.serviceType);
    JobContext context;
    QString error;
    if (!kind) {
        outcome.errors = QStringLiteral("Unknown service type");
        return outcome;
    }
    if (!makeFolders(&error) || !linkInputs(&context.inputs, &error)) {
        outcome.errors = error;
        return outcome;
    }
    mProgress(10);
    ProcessRunner runner(mOrder.jobFolder, QDeadlineTimer(qint64(mOrder.timeoutSeconds) * 1000), mCancel.get());
    context.folder = mOrder.jobFolder;
    context.outFolder = mOrder.jobFolder + QStringLiteral("/out");
    context.profileFolder = mOrder.profileFolder;
    context.args = mOrder.args;
    context.runner = &runner;
    context.office = office;
    context.progress = [this](int percent) { mProgress(qBound(10, percent, 95)); };
    const ConversionResult result = Conversions::run(*kind, context);
    if (mCancel->load()) {
        outcome.cancelled = true;
        return outcome;
    }
    if (!result.ok()) {
        outcome.errors = result.error.isEmpty() ? QStringLiteral("The conversion made no file") : result.error;
        return outcome;
    }
    outcome.resultPath = keepResult(result.path, &error);
    outcome.errors = error;
    return outcome;
}

bool ConversionJob::makeFolders(QString *error) const
{
    QDir(mOrder.jobFolder).removeRecursively();
    const QStringList folders = {QStringLiteral("home"), QStringLiteral("tmp"), QStringLiteral("in"),
                                 QStringLiteral("out")};
    for (const QString &folder : folders) {
        if (!QDir().mkpath(mOrder.jobFolder + QLatin1Char('/') + folder)) {
            *error = QStringLiteral("Cannot create the job folder");
            return false;
        }
    }
    if (!QDir().mkpath(mOrder.profileFolder)) {
        *error = QStringLiteral("Cannot create the worker's LibreOffice profile");
        return false;
    }
    return true;
}

bool ConversionJob::linkInputs(QList<JobInput> *inputs, QString *error) const
{
    for (int i = 0; i < mOrder.sources.size(); ++i) {
        const Source &source = mOrder.sources[i];
        const QString path = mOrder.jobFolder + QStringLiteral("/in/input-") + QString::number(i + 1) +
                             QLatin1Char('.') + source.extension;
        // A hard link costs nothing; a copy is the fallback across file systems.
        const bool linked =
            ::link(QFile::encodeName(source.objectPath).constData(), QFile::encodeName(path).constData()) == 0;
        if (!linked && !QFile::copy(source.objectPath, path)) {
            *error = QStringLiteral("The uploaded file is no longer available");
            return false;
        }
        inputs->append({path, source.extension, source.password, source.name});
    }
    return true;
}

QString ConversionJob::keepResult(const QString &made, QString *error) const
{
    QDir(mOrder.resultFolder).removeRecursively();
    const QString kept = mOrder.resultFolder + QStringLiteral("/result.") + QFileInfo(made).suffix();
    if (!QDir().mkpath(mOrder.resultFolder) || !(QFile::rename(made, kept) || QFile::copy(made, kept))) {
        *error = QStringLiteral("Cannot keep the result file");
        return {};
    }
    return kept;
}
