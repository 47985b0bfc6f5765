#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <QVariant>

// The plain preference functions. Writers report the success of their flush;
// readers return their default when the key is absent or the store cannot be
// reached. An invalid QVariant is an absent object.

bool saveIntegerToUserDefaults(qint64 value, const QString &key);
bool saveBoolToUserDefaults(bool value, const QString &key);
bool saveDoubleToUserDefaults(double value, const QString &key);
// An invalid (absent) object removes the key.
bool saveObjectToUserDefaults(const QVariant &object, const QString &key);
bool saveArchivedObjectToUserDefaults(const QVariant &object, const QString &key);
bool saveRectToUserDefaults(const QRectF &rect, const QString &key);

QVariant objectFromUserDefaults(const QString &key, const QVariant &defaultObject);
qint64 integerFromUserDefaults(const QString &key, qint64 defaultValue);
bool boolFromUserDefaults(const QString &key, bool defaultValue);
double doubleFromUserDefaults(const QString &key, double defaultValue);
QByteArray dataFromUserDefaults(const QString &key, const QByteArray &defaultValue);
QVariant archivedObjectFromUserDefaults(const QString &key, const QVariant &defaultObject);
QRectF rectFromUserDefaults(const QString &key, const QRectF &defaultRect);

// The keyed archive of a value (QDataStream of the QVariant); empty when the
// value cannot be archived. unarchiveObject gives an invalid QVariant for
// bytes that are not an archive.
QByteArray archiveObject(const QVariant &object);
QVariant unarchiveObject(const QByteArray &bytes);
