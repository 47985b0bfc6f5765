#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QVariant>

// Text, date, duration, size, Base64, digest and machine-fact helpers.
// "Absent" is a null QString, an invalid QVariant or an invalid QUrl.
class ToolString final {
public:
    ToolString() = delete;

    // Pretty-printed JSON text of a map or list; empty when it cannot be represented.
    static QString dictionaryToJson(const QVariant &object);
    // Parsed JSON (QVariantMap / QVariantList / value); absent for an absent
    // string or a parse error (which goes to the system log).
    static QVariant dictionaryWithJsonString(const QString &string);

    // http(s) URL for a typed address; absent for empty text or another scheme.
    // A null string is a caller's error and stops the program.
    static QUrl smartURLForString(const QString &str);

    static bool isSuperString(const QString &string, const QString &containsSubString);
    static QString replaceString(const QString &string, const QString &fromString, const QString &toString);
    static bool isEqualIgnoreCase(const QString &string, const QString &toString);
    static bool isEqual(const QString &string, const QString &toString);

    static QString stringFromDate(const QDateTime &date);
    static QString stringFromDateWithLocalization(const QDateTime &date);
    // formatterString is a Unicode (UTS #35) date pattern, as NSDateFormatter reads it.
    static QString stringFromDate(const QDateTime &date, const QString &formatterString);
    static QString stringFromDuration(double seconds);
    static QString stringFromDurationWithMS(double milliseconds);
    static qint64 secondFromString(const QString &string);

    static QString trim(const QString &string);
    // Removes the characters of customCharacterSet at both ends; a null set is trim().
    static QString trim(const QString &string, const QString &withCustomCharacterSet);

    static QString renameFromFilePath(const QString &path, int renameCount);
    static QString renameFromDirectory(const QString &path, int renameCount);

    static QString base64String(const QString &string);
    static QString base64Encode(const QString &string);
    static QString base64Decode(const QString &string);
    static QString md5(const QString &string);

    static QString substring(const QString &string, int fromInex, int length);

    static QString getOSversion();
    static QString getOSLanguage();
    static QString getOSHash();
    // The hash getOSHash derives from a six-byte hardware address.
    static QString hashForHardwareAddress(const QByteArray &address);

    static QString formatSizeFromByte(qint64 bytes, int withDecimalCount);
    static QString formatSizeFromByte(qint64 bytes);

    static QString getGUID();
    static QString getTempDir();
    static QString getUniqeNameInTempDirWithExtenionName(const QString &extension);
};
