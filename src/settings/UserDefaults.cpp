#include "settings/UserDefaults.h"

#include "settings/PreferenceStore.h"
#include "settings/ValueText.h"

#include <QByteArrayView>
#include <QDataStream>
#include <QIODevice>

namespace {

// Archive layout: magic 'MLKA', layout version, payload size, CRC-16 of the
// payload, then the payload: the QVariant in QDataStream Qt 6.4 encoding. The
// header lets unarchiveObject refuse other bytes before QDataStream sees them
// (it trusts counts it reads and would reserve for them).
constexpr quint32 kArchiveMagic = 0x4D4C4B41;
constexpr quint32 kArchiveLayout = 1;
constexpr qsizetype kArchiveHeaderSize = 4 + 4 + 4 + 2;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;

// The stored value; invalid when the key is absent or the store unreadable.
QVariant storedValue(const QString &key)
{
    if (key.isEmpty())
        return {};
    return PreferenceStore::open()->value(key);
}

// Stores a value (an invalid one removes the key) and flushes.
bool storeValue(const QString &key, const QVariant &value)
{
    if (key.isEmpty())
        return false;
    const auto settings = PreferenceStore::open();
    if (value.isValid())
        settings->setValue(key, value);
    else
        settings->remove(key);
    return PreferenceStore::flush(*settings);
}

// A stored empty block reads back as an empty, non-null QByteArray, so that
// it differs from "absent".
QByteArray presentBytes(const QVariant &value)
{
    QByteArray bytes = value.toByteArray();
    if (bytes.isNull())
        bytes = QByteArray(0, '\0');
    return bytes;
}

bool holdsBytes(const QVariant &value)
{
    return value.metaType().id() == QMetaType::QByteArray;
}

} // namespace

bool saveIntegerToUserDefaults(qint64 value, const QString &key)
{
    return storeValue(key, QVariant(qlonglong(value)));
}

bool saveBoolToUserDefaults(bool value, const QString &key)
{
    return storeValue(key, QVariant(value));
}

bool saveDoubleToUserDefaults(double value, const QString &key)
{
    return storeValue(key, QVariant(value));
}

bool saveObjectToUserDefaults(const QVariant &object, const QString &key)
{
    return storeValue(key, object);
}

bool saveArchivedObjectToUserDefaults(const QVariant &object, const QString &key)
{
    const QByteArray archive = archiveObject(object);
    if (archive.isEmpty())
        return false;
    return storeValue(key, archive);
}

bool saveRectToUserDefaults(const QRectF &rect, const QString &key)
{
    return storeValue(key, archiveObject(QVariant(rect)));
}

QVariant objectFromUserDefaults(const QString &key, const QVariant &defaultObject)
{
    const QVariant value = storedValue(key);
    return value.isValid() ? value : defaultObject;
}

qint64 integerFromUserDefaults(const QString &key, qint64 defaultValue)
{
    const QVariant value = storedValue(key);
    return value.isValid() ? ValueText::integerReading(value) : defaultValue;
}

bool boolFromUserDefaults(const QString &key, bool defaultValue)
{
    const QVariant value = storedValue(key);
    return value.isValid() ? ValueText::boolReading(value) : defaultValue;
}

double doubleFromUserDefaults(const QString &key, double defaultValue)
{
    const QVariant value = storedValue(key);
    return value.isValid() ? ValueText::doubleReading(value) : defaultValue;
}

QByteArray dataFromUserDefaults(const QString &key, const QByteArray &defaultValue)
{
    const QVariant value = storedValue(key);
    return holdsBytes(value) ? presentBytes(value) : defaultValue;
}

QVariant archivedObjectFromUserDefaults(const QString &key, const QVariant &defaultObject)
{
    const QVariant value = storedValue(key);
    if (!holdsBytes(value))
        return defaultObject;
    const QVariant object = unarchiveObject(value.toByteArray());
    return object.isValid() ? object : defaultObject;
}

QRectF rectFromUserDefaults(const QString &key, const QRectF &defaultRect)
{
    const QVariant value = storedValue(key);
    if (!holdsBytes(value) || value.toByteArray().isEmpty())
        return defaultRect;
    const QVariant object = unarchiveObject(value.toByteArray());
    return object.metaType().id() == QMetaType::QRectF ? object.toRectF() : defaultRect;
}

QByteArray archiveObject(const QVariant &object)
{
    if (!object.isValid() || !object.metaType().hasRegisteredDataStreamOperators())
        return {};
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        out << object;
        if (out.status() != QDataStream::Ok)
            return {};
    }
    QByteArray archive;
    QDataStream out(&archive, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << kArchiveMagic << kArchiveLayout << quint32(payload.size()) << quint16(qChecksum(payload));
    if (out.writeRawData(payload.constData(), int(payload.size())) != payload.size() || out.status() != QDataStream::Ok)
        return {};
    return archive;
}

QVariant unarchiveObject(const QByteArray &bytes)
{
    if (bytes.size() < kArchiveHeaderSize)
        return {};
    QDataStream header(bytes);
    header.setVersion(kStreamVersion);
    quint32 magic = 0;
    quint32 layout = 0;
    quint32 size = 0;
    quint16 checksum = 0;
    header >> magic >> layout >> size >> checksum;
    if (header.status() != QDataStream::Ok || magic != kArchiveMagic || layout != kArchiveLayout ||
        qsizetype(size) != bytes.size() - kArchiveHeaderSize)
        return {};
    const QByteArray payload = bytes.mid(kArchiveHeaderSize);
    if (qChecksum(payload) != checksum)
        return {};
    QDataStream in(payload);
    in.setVersion(kStreamVersion);
    QVariant object;
    in >> object;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return {};
    return object;
}
