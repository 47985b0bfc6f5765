#include "product/AppSettings.h"

#include "frameworks/CommLang.h"
#include "frameworks/CommProductInfo.h"
#include "frameworks/CommSettings.h"
#include "frameworks/CommUtils.h"
#include "settings/UserDefaults.h"
#include "tools/ToolFile.h"

#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <QUrl>

namespace {

CommProductInfo catalogueEntry()
{
    return CommProductInfo::getInfoWithProductID(AppSettings::AppID(), AppSettings::AppLanguageName(),
                                                 AppSettings::AppType());
}

QImage aboutImage()
{
    QImage image(QStringLiteral(":/icons/about.svg"));
    return image;
}

} // namespace

QString AppSettings::AppVersion()
{
    return CommSettings::getAppVersion(ReleaseDate());
}

QString AppSettings::AppCopyright()
{
    return CommUtils::replaceFromString(catalogueEntry().copyright(), QStringLiteral("Orvanta"),
                                        QStringLiteral("Mirelune"));
}

QString AppSettings::ProductLink()
{
    return QStringLiteral("https://www.mirelune.com/pdf-converter-mac/");
}

QString AppSettings::ProductFAQLink()
{
    return QStringLiteral("https://www.mirelune.com/pdf-converter-mac/how-to/");
}

QString AppSettings::SupportLink()
{
    return QStringLiteral("https://www.mirelune.com/support/");
}

QString AppSettings::AppIdentify()
{
    return CommProductInfo::getAppIdentifyByID(AppID());
}

QString AppSettings::AppType()
{
    return QStringLiteral("vol-mirelune");
}

QString AppSettings::AppName()
{
    return QStringLiteral("Mirelune PDF Converter");
}

qint32 AppSettings::AppID()
{
    return 202;
}

QString AppSettings::ReleaseDate()
{
    return QStringLiteral("06/08/2020");
}

CommAppInfo AppSettings::GetAppInfo()
{
    const CommProductInfo entry = catalogueEntry();
    CommAppInfo info;
    info.setAppLocalizedName(AppName());
    info.setUrlProduct(ProductLink());
    info.setUrlFAQ(ProductFAQLink());
    info.setUrlSupport(SupportLink());
    info.setAppID(AppID());
    info.setAppType(AppType());
    info.setAppName(entry.identify());
    info.setAppVersion(AppVersion());
    info.setAppLang(AppLanguageName());
    info.setUrlHome(entry.urlHome());
    info.setAppImage(aboutImage());
    return info;
}

QString AppSettings::AppLanguageName()
{
    return objectFromUserDefaults(kLanguageKey, CommLang::GetSystemLanguage()).toString();
}

void AppSettings::setAppLanguageName(const QString &langName)
{
    saveObjectToUserDefaults(langName, kLanguageKey);
}

QString AppSettings::defaultConvertOutputFolderPath()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath() + QStringLiteral("/Documents");
    const QString path = QDir(documents).filePath(QStringLiteral("Quorvex"));
    if (!ToolFile::isFileExistsAtPath(path))
        ToolFile::createFolderAtPath(path);
    return path;
}

void AppSettings::SetConvertOutputFolderPath(const QString &path)
{
    saveObjectToUserDefaults(path, kOutputFolderKey);
}

QString AppSettings::ConvertOuputFolderPath()
{
    const QString defaultFolder = defaultConvertOutputFolderPath();
    const QString stored = objectFromUserDefaults(kOutputFolderKey, defaultFolder).toString();
    if (ToolFile::isFolderExistsAtPath(stored))
        return stored;
    return defaultConvertOutputFolderPath();
}

QString AppSettings::chosenConvertOutputFolderPath()
{
    const QString stored = objectFromUserDefaults(kOutputFolderKey, QString()).toString();
    return stored.isEmpty() ? defaultConvertOutputFolderPath() : stored;
}

bool AppSettings::prepareConvertOutputFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    if (!ToolFile::isFolderExistsAtPath(path))
        QDir().mkpath(path);
    return ToolFile::isFolderExistsAtPath(path);
}

void AppSettings::openConverOutputFolderPath()
{
    ToolFile::openFileAtURL(QUrl::fromLocalFile(ConvertOuputFolderPath()));
}
