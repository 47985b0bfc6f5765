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
    // The stored folder when it exists, else the default one.
    static QString ConvertOuputFolderPath();
    // The folder the user chose, whether it exists now or not; the default
    // one when none was chosen. What the window shows and writes into.
    static QString chosenConvertOutputFolderPath();
    // Makes sure the folder exists, creating it (and its parents) if needed.
    static bool prepareConvertOutputFolder(const QString &path);
    static void openConverOutputFolderPath();

    static inline const QString kLanguageKey = QStringLiteral("userdefault.appInfo.language");
    static inline const QString kOutputFolderKey =
        QStringLiteral("userdefault.settings.defaultConvertOutputFolderPath");
};
