#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>

// Typed class operations on the preference store. The getters with a default
// read a present value through its text form ('42px' → 42, 'abc' → 0); the
// default stands only for an absent key.
class KDUserDefaultKit final {
public:
    KDUserDefaultKit() = delete;

    static double getFromUserDefaults_Double(const QString &key);
    static double getFromUserDefaults_Double(const QString &key, double withDefaultValue);
    static qint32 getFromUserDefaults_Integer(const QString &key);
    static qint32 getFromUserDefaults_Integer(const QString &key, qint32 withDefaultValue);
    static bool getFromUserDefaults_BOOL(const QString &key);
    static bool getFromUserDefaults_BOOL(const QString &key, bool withDefaultValue);
    static QVariant getFromUserDefaults_NSString(const QString &key);
    static QString getFromUserDefaults_NSString(const QString &key, const QString &withDefaultValue);
    static QVariant getFromUserDefaults_Array(const QString &key);
    static QVariant getFromUserDefaults_Array(const QString &key, const QVariantList &withDefaultValue);
    static QVariant getFromUserDefaults_Object(const QString &key);
    static QByteArray getFromUserDefaults_Data(const QString &key);

    static void saveToUserDefaultsForKeyBOOLValue(const QString &key, bool value);
    static void saveToUserDefaultsForKeyIngeterValue(const QString &key, qint32 value);
    static void saveToUserDefaultsForKeyObjectValue(const QString &key, const QVariant &value);
    static void saveToUserDefaultsForKeyDoubleValue(const QString &key, double value);
    static void saveToUserDefaultsForKeyNSStringValue(const QString &key, const QString &value);
    static void saveToUserDefaultsForKeyArrayValue(const QString &key, const QVariantList &value);
};
