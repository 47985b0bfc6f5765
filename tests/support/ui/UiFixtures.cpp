#include "support/ui/UiFixtures.h"

#include "support/PdfFixtures.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString UiFixtures::writeFile(const QString &folder, const QString &relativePath)
{
    const QString path = QDir(folder).filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        PdfFixtures::write(path, PdfFixtures::plain());
    } else {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("content of " + relativePath.toUtf8());
    }
    return path;
}

void UiFixtures::clearStore()
{
    KDConvertFileManager &store = KDConvertFileManager::defaultManager();
    for (quint64 mode : {ConvertFromPdf, ConvertToPdf, MergePdf})
        store.removeFileMetaDatas(store.getFileDatasWithConvertMode(mode), mode);
}

QStringList UiFixtures::fileNames(quint64 mode)
{
    QStringList names;
    for (const KDConvertFileRecord &record : KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(mode))
        names.append(record->fileName());
    return names;
}

QList<qint32> UiFixtures::statuses(quint64 mode)
{
    QList<qint32> values;
    for (const KDConvertFileRecord &record : KDConvertFileManager::defaultManager().getFileDatasWithConvertMode(mode))
        values.append(record->convertStatus());
    return values;
}

ScriptedPanels::ScriptedPanels()
{
    KDOpenPanel::setPresenter(
        [this](QWidget *, const KDOpenPanel::Options &options, const KDOpenPanel::Completion &done) {
            shown.append(options);
            done(answer.has_value(), answer.value_or(QStringList()));
        });
}

ScriptedPanels::~ScriptedPanels()
{
    KDOpenPanel::setPresenter({});
}

UrlRecorder::UrlRecorder()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

UrlRecorder::~UrlRecorder()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

QList<QUrl> UrlRecorder::urls() const
{
    QMutexLocker lock(&mMutex);
    return mUrls;
}

void UrlRecorder::open(const QUrl &url)
{
    QMutexLocker lock(&mMutex);
    mUrls.append(url);
}
