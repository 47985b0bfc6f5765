#include "settings/KDUserDefaultKit.h"

#include "settings/PreferenceStore.h"
#include "settings/UserDefaults.h"
#include "settings/ValueText.h"

namespace {

// The stored object; invalid when the key is absent.
QVariant stored(const QString &key)
{
    return objectFromUserDefaults(key, QVariant());
}

} // namespace

double KDUserDefaultKit::getFromUserDefaults_Double(const QString &key)
{
    return ValueText::doubleReading(stored(key));
}

double KDUserDefaultKit::getFromUserDefaults_Double(const QString &key, double withDefaultValue)
{
    const QVariant value = stored(key);
    return value.isValid() ? ValueText::leadingDouble(ValueText::textForm(value)) : withDefaultValue;
}

// 32-bit results wrap the 64-bit reading (static_cast), as the store's
// integer reading is cut to 32 bits.
qint32 KDUserDefaultKit::getFromUserDefaults_Integer(const QString &key)
{
    return static_cast<qint32>(ValueText::integerReading(stored(key)));
}

qint32 KDUserDefaultKit::getFromUserDefaults_Integer(const QString &key, qint32 withDefaultValue)
{
    const QVariant value = stored(key);
    return value.isValid() ? static_cast<qint32>(ValueText::leadingInteger(ValueText::textForm(value)))
                           : withDefaultValue;
}

bool KDUserDefaultKit::getFromUserDefaults_BOOL(const QString &key)
{
    return ValueText::boolReading(stored(key));
}

bool KDUserDefaultKit::getFromUserDefaults_BOOL(const QString &key, bool withDefaultValue)
{
    const QVariant value = stored(key);
    return value.isValid() ? ValueText::boolFromText(ValueText::textForm(value)) : withDefaultValue;
}

QVariant KDUserDefaultKit::getFromUserDefaults_NSString(const QString &key)
{
    return stored(key);
}

QString KDUserDefaultKit::getFromUserDefaults_NSString(const QString &key, const QString &withDefaultValue)
{
    const QVariant value = stored(key);
    return value.isValid() ? ValueText::textForm(value) : withDefaultValue;
}

QVariant KDUserDefaultKit::getFromUserDefaults_Array(const QString &key)
{
    return stored(key);
}

QVariant KDUserDefaultKit::getFromUserDefaults_Array(const QString &key, const QVariantList &withDefaultValue)
{
    const QVariant value = stored(key);
    if (value.metaType().id() == QMetaType::QByteArray && !value.toByteArray().isEmpty()) {
        const QVariant object = unarchiveObject(value.toByteArray());
        if (object.isValid())
            return object;
    }
    return QVariant(withDefaultValue);
}

QVariant KDUserDefaultKit::getFromUserDefaults_Object(const QString &key)
{
    return stored(key);
}

QByteArray KDUserDefaultKit::getFromUserDefaults_Data(const QString &key)
{
    return dataFromUserDefaults(key, QByteArray());
}

void KDUserDefaultKit::saveToUserDefaultsForKeyBOOLValue(const QString &key, bool value)
{
    saveBoolToUserDefaults(value, key);
}

void KDUserDefaultKit::saveToUserDefaultsForKeyIngeterValue(const QString &key, qint32 value)
{
    saveIntegerToUserDefaults(qint64(value), key);
}

void KDUserDefaultKit::saveToUserDefaultsForKeyObjectValue(const QString &key, const QVariant &value)
{
    saveObjectToUserDefaults(value, key);
}

void KDUserDefaultKit::saveToUserDefaultsForKeyDoubleValue(const QString &key, double value)
{
    saveDoubleToUserDefaults(value, key);
}

void KDUserDefaultKit::saveToUserDefaultsForKeyNSStringValue(const QString &key, const QString &value)
{
    // A null QString is stored as the empty string, not as "absent".
    saveObjectToUserDefaults(QVariant(value), key);
}

void KDUserDefaultKit::saveToUserDefaultsForKeyArrayValue(const QString &key, const QVariantList &value)
{
    const QByteArray archive = archiveObject(QVariant(value));
    if (key.isEmpty() || archive.isEmpty())
        return;
    const auto settings = PreferenceStore::open();
    settings->setValue(key, archive);
    PreferenceStore::flush(*settings);
    PreferenceStore::flush(*settings);
}
