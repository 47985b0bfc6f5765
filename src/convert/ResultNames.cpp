#include "convert/ResultNames.h"

#include "tools/ToolFile.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>

QString ResultNames::safeFileName(const QString &serviceFileName)
{
    QString name = serviceFileName;
    const qsizetype cut = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    name = name.mid(cut + 1);
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control || c == QChar(0x7f); });
    name = name.trimmed();
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1); // no "..", and no hidden results
    while (name.toUtf8().size() > 255)
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("result") : name;
}

QString ResultNames::temporaryDownloadName(const QString &serviceFileName)
{
    const QString extension = ToolFile::fileExtensionAtPath(safeFileName(serviceFileName));
    const QString unique = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return QStringLiteral(".mirelune-download-%1%2")
        .arg(unique, extension.isEmpty() ? QString() : QLatin1Char('.') + extension);
}

QString ResultNames::finalPath(const QString &folder, const QString &inputPath, const QString &serviceFileName)
{
    const QString base = ToolFile::fileNameAtPath(inputPath);
    const QString extension = ToolFile::fileExtensionAtPath(safeFileName(serviceFileName));
    return QDir(folder).filePath(extension.isEmpty() ? base : base + QLatin1Char('.') + extension);
}

QString ResultNames::avoidingClaimed(const QString &path, const QStringList &claimedPaths)
{
    const auto claimed = [&claimedPaths](const QString &candidate) {
        const QString clean = QDir::cleanPath(candidate);
        return std::any_of(claimedPaths.cbegin(), claimedPaths.cend(), [&clean](const QString &other) {
            return QDir::cleanPath(QFileInfo(other).absoluteFilePath()) == clean;
        });
    };
    if (!claimed(path))
        return path;
    const QString folder = QFileInfo(path).path();
    const QString base = ToolFile::fileNameAtPath(path);
    const QString extension = ToolFile::fileExtensionAtPath(path);
    // Ends: every step is a new name, and only finitely many are claimed or on disk.
    for (qint64 n = 1;; ++n) {
        const QString name = base + QLatin1Char('(') + QString::number(n) + QLatin1Char(')');
        const QString candidate =
            QDir(folder).filePath(extension.isEmpty() ? name : name + QLatin1Char('.') + extension);
        if (!claimed(candidate) && !QFileInfo::exists(candidate))
            return candidate;
    }
}
