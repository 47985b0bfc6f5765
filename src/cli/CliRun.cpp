#include "cli/CliRun.h"

#include "cli/TerminalPasswordPrompt.h"
#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "convert/RunOutcome.h"
#include "files/KDConvertFileManager.h"
#include "frameworks/CommPassport.h"
#include "frameworks/DIRADoduredode.h"
#include "product/AppSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int gInterruptFds[2] = {-1, -1};

// The command line speaks English whatever the window's language is.
const QString kCliLanguage = QStringLiteral("English");
const QString kNotFound = QStringLiteral("not found");
const QString kNoPassword = QStringLiteral("protected, no password");

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(gInterruptFds[1], &byte, 1);
}

void printLine(std::FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

} // namespace

CliRun::CliRun(CliOptions options, QObject *parent)
    : QObject(parent), mOptions(std::move(options)), mProgress(stderr, ::isatty(STDERR_FILENO) == 1, mOptions.quiet)
{
}

CliRun::~CliRun() = default;

bool CliRun::configure(QString *errorText)
{
    if (!mOptions.serviceUrl.isEmpty()) {
        if (PDFConvert::normalizedServiceUrl(mOptions.serviceUrl).isEmpty()) {
            *errorText = QStringLiteral("--service needs an https URL, got \"%1\"").arg(mOptions.serviceUrl);
            return false;
        }
        PDFConvert::setServiceUrlOverride(mOptions.serviceUrl);
    }
    if (!mOptions.caFile.isEmpty() && !DIRADoduredode::shared().addCaCertificatesFromFile(mOptions.caFile, errorText))
        return false;
    if (!mOptions.identityToken.isEmpty())
        CommPassport::setProcessIdentityToken(mOptions.identityToken);
    if (!mOptions.outputFolder.isEmpty()) {
        const QString folder = QFileInfo(mOptions.outputFolder).absoluteFilePath();
        if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
            *errorText = QStringLiteral("cannot use the output folder %1").arg(folder);
            return false;
        }
        PDFConvert::setOutputFolderOverride(folder);
    }
    return true;
}

QStringList CliRun::takeInputs()
{
    QStringList absolute;
    for (const QString &path : std::as_const(mOptions.paths))
        absolute.append(QFileInfo(path).absoluteFilePath());
    QStringList matched =
        KDConvertFileManager::matchFiles(absolute, KDConvertFileManager::matchFileTypesWithConvertMode(mOptions.mode));
    matched.removeDuplicates();
    for (const QString &path : std::as_const(matched)) {
        if (!QFileInfo::exists(path)) {
            skip(path, kNotFound);
        }
    }

    KDConvertFileManager &store = KDConvertFileManager::defaultManager();
    const std::optional<QString> password = mOptions.password;
    const std::optional<QString> editPassword = mOptions.editPassword;
    store.setPasswordPromptFactory([password, editPassword](QObject *) {
        return std::make_unique<TerminalPasswordPrompt>(password, editPassword);
    });
    store.parseInputFiles(matched, mOptions.mode);

    const KDConvertFileList &records = store.getFileDatasWithConvertMode(mOptions.mode);
    for (const QString &path : std::as_const(matched)) {
        if (std::any_of(mSkipped.cbegin(), mSkipped.cend(), [&path](const auto &s) { return s.first == path; }))
            continue;
        const auto record = std::find_if(records.cbegin(), records.cend(),
                                         [&path](const KDConvertFileRecord &r) { return r->sourcePath() == path; });
        if (record == records.cend()) {
            skip(path, kNoPassword);
            continue;
        }
        mInputs.append((*record)->filePath());
        mUserPaths.append(path);
    }
    return mInputs;
}

void CliRun::start()
{
    QString errorText;
    if (!configure(&errorText)) {
        printLine(stderr, QStringLiteral("mirelune-cli: %1").arg(errorText));
        end(kExitUsage);
        return;
    }
    if (takeInputs().isEmpty()) {
        printLine(stderr, QStringLiteral("mirelune-cli: no file to convert for this mode"));
        end(kExitUsage);
        return;
    }
    watchInterrupt();
    mProgress.show(0);
    // The closures run on background threads and may outlive this object:
    // they hop to the application's thread and check it is still there.
    QPointer<CliRun> guard(this);
    PDFConvert::startConvertPDFWithAction(
        mOptions.mode, mInputs, CliOptions::outputFileType(mOptions),
        [guard](qint32 percent) {
            QMetaObject::invokeMethod(
                qApp,
                [guard, percent] {
                    if (guard)
                        guard->mProgress.show(percent);
                },
                Qt::QueuedConnection);
        },
        [guard](qint32 status, const QStringList &paths, const QString &message) {
            QMetaObject::invokeMethod(
                qApp,
                [guard, status, paths, message] {
                    if (guard)
                        guard->onCompleted(status, paths, message);
                },
                Qt::QueuedConnection);
        });
}

void CliRun::onCompleted(int status, const QStringList &paths, const QString &message)
{
    if (mEnded)
        return;
    mProgress.finish();
    if (status != 1) {
        printLine(stderr, QStringLiteral("mirelune-cli: the conversion failed (%1)%2")
                              .arg(status)
                              .arg(message.isEmpty() ? QString() : QStringLiteral(": ") + message));
        reportFiles(status, paths, message);
        end(kExitRunFailed);
        return;
    }
    for (const QString &path : paths)
        printLine(stdout, path);
    // A merge leaves out a file that never reached the service: that is a failure too.
    end(reportFiles(status, paths, message) == 0 ? kExitOk : kExitSomeFailed);
}

void CliRun::skip(const QString &path, const QString &reason)
{
    mSkipped.append({path, reason});
    printLine(stderr, QStringLiteral("skipped: %1 (%2)").arg(path, reason));
}

// One line per input, each failure with its reason, then the count of both.
qsizetype CliRun::reportFiles(int status, const QStringList &paths, const QString &message)
{
    const QList<RunOutcome::File> files =
        RunOutcome::files(status, paths, message, PDFConvert::convertTasks(), PDFConvert::isMergeRun(), kCliLanguage);
    qsizetype converted = 0;
    for (qsizetype i = 0; i < mInputs.size(); ++i) {
        const auto file = std::find_if(files.cbegin(), files.cend(),
                                       [&](const RunOutcome::File &f) { return f.inputPath == mInputs.at(i); });
        if (file != files.cend() && file->converted()) {
            ++converted;
            printLine(stderr, QStringLiteral("Finished %1").arg(mUserPaths.at(i)));
            continue;
        }
        const QString reason =
            file != files.cend() ? file->failureReason : RunOutcome::runFailureReason(status, false, kCliLanguage);
        printLine(stderr, failedLine(mUserPaths.at(i), reason));
    }
    for (const auto &[path, reason] : std::as_const(mSkipped))
        printLine(stderr, failedLine(path, reason));
    const qsizetype failed = mInputs.size() - converted + mSkipped.size();
    printLine(stderr, RunOutcome::summary(converted, failed, kCliLanguage));
    return failed;
}

QString CliRun::failedLine(const QString &path, const QString &reason)
{
    return reason.isEmpty() ? QStringLiteral("Failed %1").arg(path) : QStringLiteral("Failed %1: %2").arg(path, reason);
}

void CliRun::watchInterrupt()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gInterruptFds) != 0)
        return;
    mInterruptNotifier = std::make_unique<QSocketNotifier>(gInterruptFds[0], QSocketNotifier::Read);
    connect(mInterruptNotifier.get(), &QSocketNotifier::activated, this, &CliRun::interrupt);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void CliRun::interrupt()
{
    mInterruptNotifier->setEnabled(false);
    PDFConvert::cancel();
    // Transfers under way end now, so no partial file is left behind.
    DIRADoduredode::shared().cancelAll();
    mProgress.finish();
    printLine(stderr, QStringLiteral("mirelune-cli: interrupted, the run was cancelled"));
    end(kExitInterrupted);
}

void CliRun::end(int exitCode)
{
    if (mEnded)
        return;
    mEnded = true;
    emit finished(exitCode);
}
