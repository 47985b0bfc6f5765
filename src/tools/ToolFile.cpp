#include "tools/ToolFile.h"

#include "tools/Log.h"
#include "tools/ToolError.h"
#include "tools/ToolString.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QMediaDevices>
#include <QMetaObject>
#include <QMimeDatabase>
#include <QProcess>
#include <QSaveFile>
#include <QSet>
#include <QSoundEffect>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// POSIX helpers. They work on the file-system encoding of the path and keep
// errno, so that a failure becomes a precise ToolError.

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// Reports a failure: fills the caller's error and writes the error record.
void reportFailure(int errnoValue, const QString &path, const QString &operation, ToolError *error)
{
    const ToolError failure = ToolError::fromErrno(errnoValue, path, operation);
    if (error)
        *error = failure;
    logError(failure);
}

struct Failure {
    int errnoValue = 0;
    QString path;
};

// Closes a descriptor, keeping errno of an earlier failure.
void closeQuietly(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

// Writes the whole buffer, retrying on short writes and EINTR.
bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

// Copies a regular file's bytes, permissions and times to a destination that
// must not exist yet (O_EXCL: an existing destination is never replaced).
std::optional<Failure> copyRegularFile(const QString &source, const QString &destination, const struct stat &info)
{
    const QByteArray from = nativePath(source);
    const QByteArray to = nativePath(destination);
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Failure{errno, source};
    const mode_t mode = info.st_mode & 07777;
    const int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode | S_IWUSR);
    if (out < 0) {
        closeQuietly(in);
        return Failure{errno, destination};
    }

    auto fail = [&](const QString &path) {
        const Failure failure{errno, path};
        ::close(in);
        ::close(out);
        ::unlink(to.constData());
        return failure;
    };

    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(source);
        }
        if (got == 0)
            break;
        if (!writeAll(out, buffer.data(), size_t(got)))
            return fail(destination);
    }
    if (::fchmod(out, mode) != 0)
        return fail(destination);
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    ::futimens(out, times); // times are kept where the file system allows it
    ::close(in);
    if (::close(out) != 0) {
        const Failure failure{errno, destination};
        ::unlink(to.constData());
        return failure;
    }
    return std::nullopt;
}

// Copies one non-directory entry the way the platform's file manager does: a
// symbolic link is copied as a link, a special file is made anew, a regular
// file is copied with its contents.
std::optional<Failure> copyEntry(const QString &source, const QString &destination)
{
    struct stat info {};
    if (::lstat(nativePath(source).constData(), &info) != 0)
        return Failure{errno, source};
    const QByteArray to = nativePath(destination);
    if (S_ISLNK(info.st_mode)) {
        QByteArray target(qsizetype(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
        const ssize_t length = ::readlink(nativePath(source).constData(), target.data(), size_t(target.size()));
        if (length < 0)
            return Failure{errno, source};
        target.truncate(length);
        if (::symlink(target.constData(), to.constData()) != 0)
            return Failure{errno, destination};
        return std::nullopt;
    }
    if (S_ISREG(info.st_mode))
        return copyRegularFile(source, destination, info);
    if (::mknod(to.constData(), info.st_mode, info.st_rdev) != 0)
        return Failure{errno, destination};
    return std::nullopt;
}

// rename(2) that never replaces an existing destination.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // The file system cannot do RENAME_NOREPLACE: check, then rename.
    struct stat info {};
    if (::lstat(to.constData(), &info) == 0)
        return EEXIST;
    if (::rename(from.constData(), to.constData()) == 0)
        return 0;
    return errno;
}

// ---------------------------------------------------------------------------
// Path name rules of the platform (NSString lastPathComponent,
// pathExtension, deletingPathExtension): slashes compressed, one trailing
// slash stripped; the extension starts after the last "." of the last
// component unless that "." opens the component, and ".." has none.

QString lastPathComponent(const QString &path)
{
    QString fixed;
    fixed.reserve(path.size());
    for (const QChar c : path) {
        if (c == QLatin1Char('/') && fixed.endsWith(QLatin1Char('/')))
            continue;
        fixed.append(c);
    }
    if (fixed.size() > 1 && fixed.endsWith(QLatin1Char('/')))
        fixed.chop(1);
    if (fixed.size() <= 1)
        return fixed;
    return fixed.mid(fixed.lastIndexOf(QLatin1Char('/')) + 1);
}

// Index of the extension's "." in a component; -1 without an extension.
qsizetype extensionDot(const QString &component)
{
    if (component.size() <= 1 || component.contains(QLatin1Char('/')))
        return -1;
    if (component == QStringLiteral(".."))
        return -1;
    const qsizetype dot = component.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? dot : -1;
}

QString appendPathComponent(const QString &folder, const QString &name)
{
    if (name.isEmpty())
        return folder;
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QDateTime dateFromTimespec(qint64 seconds, qint64 nanoseconds)
{
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + nanoseconds / 1000000);
}

QString fileTypeName(mode_t mode)
{
    if (S_ISREG(mode))
        return QStringLiteral("NSFileTypeRegular");
    if (S_ISDIR(mode))
        return QStringLiteral("NSFileTypeDirectory");
    if (S_ISLNK(mode))
        return QStringLiteral("NSFileTypeSymbolicLink");
    return QStringLiteral("NSFileTypeUnknown");
}

// ---------------------------------------------------------------------------
// Revealing files: the freedesktop FileManager1 interface, else the folders.

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");
constexpr int kDBusQueryTimeoutMs = 1000;
constexpr int kShowItemsTimeoutMs = 3000;

bool fileManagerAvailable(QDBusConnection &bus)
{
    QDBusMessage hasOwner =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    hasOwner << kFileManagerService;
    const QDBusMessage owned = bus.call(hasOwner, QDBus::Block, kDBusQueryTimeoutMs);
    if (owned.type() == QDBusMessage::ReplyMessage && !owned.arguments().isEmpty() &&
        owned.arguments().constFirst().toBool())
        return true;

    const QDBusMessage listActivatable =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames"));
    const QDBusMessage names = bus.call(listActivatable, QDBus::Block, kDBusQueryTimeoutMs);
    return names.type() == QDBusMessage::ReplyMessage && !names.arguments().isEmpty() &&
           names.arguments().constFirst().toStringList().contains(kFileManagerService);
}

bool showItemsOverDBus(const QList<QUrl> &files)
{
    if (!QCoreApplication::instance())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !fileManagerAvailable(bus))
        return false;
    QStringList uris;
    for (const QUrl &url : files)
        uris.append(QString::fromUtf8(url.toEncoded()));
    QDBusMessage showItems =
        QDBusMessage::createMethodCall(kFileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
                                       kFileManagerService, QStringLiteral("ShowItems"));
    showItems << uris << QString();
    const QDBusMessage reply = bus.call(showItems, QDBus::Block, kShowItemsTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// Opens each distinct parent folder of the files once, in order.
bool openParentFolders(const QList<QUrl> &files)
{
    QSet<QString> seen;
    bool opened = false;
    for (const QUrl &url : files) {
        const QString folder = QFileInfo(url.toLocalFile()).absolutePath();
        if (seen.contains(folder))
            continue;
        seen.insert(folder);
        opened = QDesktopServices::openUrl(QUrl::fromLocalFile(folder)) || opened;
    }
    return opened;
}

bool revealFiles(const QList<QUrl> &files)
{
    if (files.isEmpty())
        return false;
    if (showItemsOverDBus(files))
        return true;
    return openParentFolders(files);
}

// Runs on the application thread; deletes itself when done.
void startSoundEffect(const QUrl &source)
{
    if (QMediaDevices::defaultAudioOutput().isNull())
        return; // no audio device: nothing to play on
    auto *effect = new QSoundEffect(QCoreApplication::instance());
    auto started = std::make_shared<bool>(false);
    auto startWhenReady = [effect, started] {
        if (effect->status() == QSoundEffect::Error) {
            effect->deleteLater();
        } else if (effect->status() == QSoundEffect::Ready && !*started) {
            *started = true;
            effect->play();
        }
    };
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, startWhenReady);
    QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect, started] {
        if (*started && !effect->isPlaying())
            effect->deleteLater();
    });
    effect->setSource(source);
    startWhenReady();
}

} // namespace

// ---------------------------------------------------------------------------
// Writing

bool ToolFile::writeData(const QByteArray &data, const QString &toFile, bool append)
{
    if (!isFileExistsAtPath(toFile))
        return false;
    if (append) {
        // One write after a seek to the end, through a handle for this call alone.
        QFile file(toFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return false;
        return file.write(data) == data.size();
    }
    QSaveFile file(toFile);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool ToolFile::writeImage(const QImage &image, const QString &toFile)
{
    if (image.isNull() || toFile.isEmpty())
        return false;
    QImageWriter writer(toFile, QByteArrayLiteral("png"));
    return writer.write(image);
}

// ---------------------------------------------------------------------------
// Revealing and opening

bool ToolFile::showFileInFinder(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat info {};
    if (::lstat(nativePath(path).constData(), &info) != 0)
        return false;
    return revealFiles({QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())});
}

bool ToolFile::showMultipleFilesInFinder(const QList<QUrl> &fileUrls)
{
    QList<QUrl> files;
    for (const QUrl &url : fileUrls) {
        if (url.isValid() && url.isLocalFile())
            files.append(QUrl::fromLocalFile(QFileInfo(url.toLocalFile()).absoluteFilePath()));
    }
    return revealFiles(files);
}

bool ToolFile::openFileAtURL(const QUrl &url)
{
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

bool ToolFile::openFileAtURL(const QString &filePath, const QString &withApplication)
{
    if (filePath.isEmpty() || withApplication.isEmpty())
        return false;
    QString executable = QStandardPaths::findExecutable(withApplication);
    if (executable.isEmpty())
        executable = QStandardPaths::findExecutable(withApplication.toLower());
    if (executable.isEmpty())
        return false;
    return QProcess::startDetached(executable, {filePath});
}

// ---------------------------------------------------------------------------
// Checks and operations

bool ToolFile::isFileExistsAtPath(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat info {};
    return ::stat(nativePath(path).constData(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool ToolFile::isFolderExistsAtPath(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat info {};
    return ::stat(nativePath(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ToolFile::createFileAtPath(const QString &path)
{
    if (path.isEmpty())
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

bool ToolFile::createFolderAtPath(const QString &path)
{
    if (path.isEmpty())
        return false;
    if (isFolderExistsAtPath(path))
        return true;
    // mkpath with the errno of the step that fails, for the error record.
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    qsizetype end = 0;
    while (end < absolute.size()) {
        end = absolute.indexOf(QLatin1Char('/'), end + 1);
        if (end < 0)
            end = absolute.size();
        const QString prefix = absolute.left(end);
        if (prefix.isEmpty() || isFolderExistsAtPath(prefix))
            continue;
        if (::mkdir(nativePath(prefix).constData(), 0777) != 0) {
            int failure = errno;
            if (failure == EEXIST && isFolderExistsAtPath(prefix))
                continue; // made meanwhile by someone else
            if (failure == EEXIST && end < absolute.size())
                failure = ENOTDIR; // a file where a parent folder should be
            reportFailure(failure, prefix, QStringLiteral("create the folder"), nullptr);
            return false;
        }
    }
    return true;
}

bool ToolFile::moveFileFromPath(const QString &path, const QString &toPath, ToolError *error)
{
    if (!isFileExistsAtPath(path))
        return false;
    const QString operation = QStringLiteral("move ") + quoted(path) + QStringLiteral(" to");
    if (toPath.isEmpty()) {
        reportFailure(ENOENT, toPath, operation, error);
        return false;
    }
    const QByteArray from = nativePath(path);
    const QByteArray to = nativePath(toPath);
    const int renamed = renameNoReplace(from, to);
    if (renamed == 0)
        return true;
    if (renamed != EXDEV) {
        reportFailure(renamed, toPath, operation, error);
        return false;
    }
    // Another file system: copy (never over an existing file), then remove.
    if (const std::optional<Failure> failure = copyEntry(path, toPath)) {
        reportFailure(failure->errnoValue, failure->path, operation, error);
        return false;
    }
    if (::unlink(from.constData()) != 0) {
        const int failure = errno;
        ::unlink(to.constData());
        reportFailure(failure, path, operation, error);
        return false;
    }
    return true;
}

bool ToolFile::copyFileFormPath(const QString &path, const QString &toPath, ToolError *error)
{
    if (!isFileExistsAtPath(path))
        return false;
    const QString operation = QStringLiteral("copy ") + quoted(path) + QStringLiteral(" to");
    if (toPath.isEmpty()) {
        reportFailure(ENOENT, toPath, operation, error);
        return false;
    }
    if (const std::optional<Failure> failure = copyEntry(path, toPath)) {
        reportFailure(failure->errnoValue, failure->path, operation, error);
        return false;
    }
    return true;
}

bool ToolFile::removeFileAtPath(const QString &path, ToolError *error)
{
    if (!isFileExistsAtPath(path))
        return false;
    if (::unlink(nativePath(path).constData()) != 0) {
        reportFailure(errno, path, QStringLiteral("remove"), error);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Listing

QStringList ToolFile::subFileNamesWithFolderPath(const QString &folder)
{
    QStringList names;
    if (!isFolderExistsAtPath(folder))
        return names;
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(root.relativeFilePath(it.next()));
    return names;
}

QStringList ToolFile::subFilePathsWithFolderPath(const QString &folder)
{
    QStringList paths;
    const QStringList names = subFileNamesWithFolderPath(folder);
    paths.reserve(names.size());
    for (const QString &name : names)
        paths.append(appendPathComponent(folder, name));
    return paths;
}

// ---------------------------------------------------------------------------
// Attributes

std::optional<QVariantMap> ToolFile::getFileAttributesAtPath(const QString &path, ToolError *error)
{
    if (path.isEmpty())
        return std::nullopt;
    const QByteArray native = nativePath(path);

    // The entry itself (a link is not followed), with its birth time when the
    // file system records one.
    qint64 size = 0;
    mode_t mode = 0;
    QDateTime created;
    QDateTime modified;
    struct statx extended {};
    int result = ::statx(AT_FDCWD, native.constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &extended);
    if (result == 0) {
        size = qint64(extended.stx_size);
        mode = extended.stx_mode;
        const struct statx_timestamp &birth =
            (extended.stx_mask & STATX_BTIME) ? extended.stx_btime : extended.stx_ctime;
        created = dateFromTimespec(birth.tv_sec, birth.tv_nsec);
        modified = dateFromTimespec(extended.stx_mtime.tv_sec, extended.stx_mtime.tv_nsec);
    } else if (errno == ENOSYS || errno == EPERM) {
        // statx unavailable (an old kernel or a seccomp filter): lstat.
        struct stat info {};
        result = ::lstat(native.constData(), &info);
        if (result == 0) {
            size = qint64(info.st_size);
            mode = info.st_mode;
            created = dateFromTimespec(info.st_ctim.tv_sec, info.st_ctim.tv_nsec);
            modified = dateFromTimespec(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
        }
    }
    if (result != 0) {
        const int failure = errno;
        // Nothing at the path (also when a parent is not a folder): absent, no error.
        if (failure == ENOENT || failure == ENOTDIR)
            return std::nullopt;
        reportFailure(failure, path, QStringLiteral("read the attributes of"), error);
        return std::nullopt;
    }

    QVariantMap attributes;
    attributes.insert(QStringLiteral("fileSize"), size);
    attributes.insert(QStringLiteral("fileType"), fileTypeName(mode));
    attributes.insert(QStringLiteral("fileCreationDate"), created);
    attributes.insert(QStringLiteral("fileModificationDate"), modified);
    attributes.insert(QStringLiteral("filePosixPermissions"), int(mode & 07777));
    return attributes;
}

std::optional<QDateTime> ToolFile::fileCreateDateAtPath(const QString &path, ToolError *error)
{
    const std::optional<QVariantMap> attributes = getFileAttributesAtPath(path, error);
    if (!attributes)
        return std::nullopt;
    return attributes->value(QStringLiteral("fileCreationDate")).toDateTime();
}

std::optional<QDateTime> ToolFile::fileModificationDateAtPath(const QString &path, ToolError *error)
{
    const std::optional<QVariantMap> attributes = getFileAttributesAtPath(path, error);
    if (!attributes)
        return std::nullopt;
    return attributes->value(QStringLiteral("fileModificationDate")).toDateTime();
}

qint64 ToolFile::fileSizeAtPath(const QString &path, ToolError *error)
{
    const std::optional<QVariantMap> attributes = getFileAttributesAtPath(path, error);
    if (!attributes)
        return 0;
    return attributes->value(QStringLiteral("fileSize")).toLongLong();
}

QString ToolFile::fileSizeFormatterToString(qint64 bytes)
{
    return ToolString::formatSizeFromByte(bytes, 2);
}

// ---------------------------------------------------------------------------
// Name parts

QString ToolFile::fileExtensionAtPath(const QString &path)
{
    const QString component = lastPathComponent(path);
    const qsizetype dot = extensionDot(component);
    return dot < 0 ? QStringLiteral("") : component.mid(dot + 1);
}

QString ToolFile::fileNameAtPath(const QString &path)
{
    const QString component = lastPathComponent(path);
    const qsizetype dot = extensionDot(component);
    return dot < 0 ? component : component.left(dot);
}

QString ToolFile::fileTypeIdentifierAtURL(const QUrl &url)
{
    const QString empty = QStringLiteral("");
    if (!url.isValid() || !url.isLocalFile())
        return empty;
    const QString path = url.toLocalFile();
    struct stat info {};
    if (path.isEmpty() || ::stat(nativePath(path).constData(), &info) != 0)
        return empty;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    return type.isValid() ? type.name() : empty;
}

// ---------------------------------------------------------------------------
// Sound

void ToolFile::playSoundWithName(const QString &name)
{
    if (name.isEmpty())
        return;
    const QString resource = QStringLiteral(":/sounds/") + name + QStringLiteral(".wav");
    if (!QFile::exists(resource))
        return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    const QUrl source(QStringLiteral("qrc") + resource);
    // QSoundEffect belongs to the application thread, whatever thread asks.
    QMetaObject::invokeMethod(
        app, [source] { startSoundEffect(source); }, Qt::QueuedConnection);
}
