#pragma once

#include "frameworks/CommAppInfo.h"

#include <QString>

// Product facts, the application-information record and the two settings that
// persist between launches: the interface language and the output folder.
class AppSettings final {
public:
    AppSettings() = delete;

    static QString AppVersion();
    static QString AppCopyright();
    static QString ProductLink();
    static QString ProductFAQLink();
    static QString SupportLink();
    static QString AppIdentify();
    static QString AppType();
    static QString AppName();
    static qint32 AppID();
    static QString ReleaseDate();
    static CommAppInfo GetAppInfo();

    static QString AppLanguageName();
    static void setAppLanguageName(const QString &langName);

    static QString defaultConvertOutputFolderPath();
    static void SetConvertOutputFolderPath(const QString &path);
    static QString ConvertOuputFolderPath();
    static void openConverOutputFolderPath();

    static inline const QString kLanguageKey = QStringLiteral("userdefault.appInfo.language");
    static inline const QString kOutputFolderKey =
        QStringLiteral("userdefault.settings.defaultConvertOutputFolderPath");
};
