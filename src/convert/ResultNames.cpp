#include "convert/ResultNames.h"

#include "tools/ToolFile.h"
#include "tools/ToolString.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

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

QString ResultNames::avoidingInputs(const QString &path, const QStringList &inputPaths)
{
    const QString clean = QDir::cleanPath(path);
    for (const QString &input : inputPaths) {
        if (QDir::cleanPath(QFileInfo(input).absoluteFilePath()) == clean)
            return ToolString::renameFromFilePath(path, 0);
    }
    return path;
}
