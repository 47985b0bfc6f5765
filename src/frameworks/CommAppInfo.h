#pragma once

#include <QImage>
#include <QString>

// The application-information record the framework keeps for the running
// application. A plain value: copy it, change it, hand it back.
class CommAppInfo final {
public:
    QString appLocalizedName() const { return mAppLocalizedName; }
    void setAppLocalizedName(const QString &value) { mAppLocalizedName = value; }
    QString urlProduct() const { return mUrlProduct; }
    void setUrlProduct(const QString &value) { mUrlProduct = value; }
    QString urlFAQ() const { return mUrlFAQ; }
    void setUrlFAQ(const QString &value) { mUrlFAQ = value; }
    QString urlSupport() const { return mUrlSupport; }
    void setUrlSupport(const QString &value) { mUrlSupport = value; }
    qint32 appID() const { return mAppID; }
    void setAppID(qint32 value) { mAppID = value; }
    QString appType() const { return mAppType; }
    void setAppType(const QString &value) { mAppType = value; }
    QString appName() const { return mAppName; }
    void setAppName(const QString &value) { mAppName = value; }
    QString appVersion() const { return mAppVersion; }
    void setAppVersion(const QString &value) { mAppVersion = value; }
    QString appLang() const { return mAppLang; }
    void setAppLang(const QString &value) { mAppLang = value; }
    QString urlHome() const { return mUrlHome; }
    void setUrlHome(const QString &value) { mUrlHome = value; }
    QImage appImage() const { return mAppImage; }
    void setAppImage(const QImage &value) { mAppImage = value; }

    // The code of appLang in the language list ("en" when it is unknown).
    QString get_lang_code() const;

private:
    QString mAppLocalizedName;
    QString mUrlProduct;
    QString mUrlFAQ;
    QString mUrlSupport;
    qint32 mAppID = 0;
    QString mAppType;
    QString mAppName;
    QString mAppVersion;
    QString mAppLang;
    QString mUrlHome;
    QImage mAppImage;
};
