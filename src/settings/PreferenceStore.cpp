#include "settings/PreferenceStore.h"

#include "settings/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QLocale>
#include <QStandardPaths>
#include <QVariantHash>
#include <QVariantList>
#include <QVariantMap>

#include <cmath>
#include <limits>

namespace {

// Containers nested deeper than this are written as one archived value, so
// that the file never outgrows the nesting limit of Qt's JSON reader (1024).
constexpr int kMaxJsonDepth = 200;

// Qt's JSON writer would keep a lone surrogate as a \uD800-style escape; the
// store writes what the UTF-8 encoder makes of it ('?'), so files hold only
// well-formed text.
QString storableText(const QString &text)
{
    return text.isValidUtf16() ? text : QString::fromUtf8(text.toUtf8());
}

QJsonValue tagged(const QString &tag, const QByteArray &asciiText)
{
    return QJsonObject{{tag, QString::fromLatin1(asciiText)}};
}

QJsonValue encodeDouble(double value)
{
    // Qt's JSON reader keeps an integral number that fits in 64 bits as an
    // integer, even when written as 3.0, and drops the sign of -0.0; such
    // doubles are tagged so that they come back as doubles.
    constexpr double twoTo63 = 9223372036854775808.0;
    const QString tag = QStringLiteral("$double");
    if (std::isnan(value))
        return tagged(tag, "nan");
    if (std::isinf(value))
        return tagged(tag, value > 0 ? "inf" : "-inf");
    if (std::trunc(value) == value && value >= -twoTo63 && value < twoTo63) {
        return tagged(tag, value == 0 && std::signbit(value)
                               ? QByteArray("-0") // number() drops the sign
                               : QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
    }
    return value;
}

QJsonValue encodeArchived(const QVariant &value)
{
    const QByteArray archive = archiveObject(value);
    if (archive.isEmpty())
        return QJsonValue(QJsonValue::Null); // a type QDataStream cannot write: lost on the next read
    return tagged(QStringLiteral("$variant"), archive.toBase64());
}

QJsonValue encodeValue(const QVariant &value, int depth)
{
    if (!value.isValid())
        return QJsonValue(QJsonValue::Null);
    switch (value.metaType().id()) {
    case QMetaType::Nullptr:
        return QJsonValue(QJsonValue::Null);
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return qint64(value.toLongLong());
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        const qulonglong u = value.toULongLong();
        if (u <= qulonglong(std::numeric_limits<qint64>::max()))
            return qint64(u);
        return encodeDouble(double(u));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return encodeDouble(value.toDouble());
    case QMetaType::QString:
        return storableText(value.toString());
    case QMetaType::QByteArray:
        return tagged(QStringLiteral("$bytes"), value.toByteArray().toBase64());
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return tagged(QStringLiteral("$date"),
                      dt.isValid() ? dt.toOffsetFromUtc(dt.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1()
                                   : QByteArray());
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        if (depth >= kMaxJsonDepth)
            return encodeArchived(value);
        QJsonArray array;
        for (const QVariant &item : value.toList())
            array.append(encodeValue(item, depth + 1));
        return array;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        if (depth >= kMaxJsonDepth)
            return encodeArchived(value);
        const QVariantMap map = value.toMap();
        QJsonObject object;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            object.insert(storableText(it.key()), encodeValue(it.value(), depth + 1));
        // A map shaped like a tag (one key starting with '$') is wrapped.
        if (map.size() == 1 && map.firstKey().startsWith(u'$'))
            return QJsonObject{{QStringLiteral("$map"), object}};
        return object;
    }
    default:
        return encodeArchived(value);
    }
}

// One value as compact JSON text. Qt's writer only takes whole documents, so
// the value goes in as the only element of an array and the brackets come off.
QByteArray compactJson(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QVariant decodeValue(const QJsonValue &value);

QVariantMap decodeMembers(const QJsonObject &object)
{
    QVariantMap map;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        map.insert(it.key(), decodeValue(it.value()));
    return map;
}

// A one-member object whose key is a known tag with a well-formed value is
// that tagged value; anything else is a plain map, so nothing is lost.
QVariant decodeObject(const QJsonObject &object)
{
    if (object.size() == 1) {
        const QString tag = object.constBegin().key();
        const QJsonValue inner = object.constBegin().value();
        if (tag == u"$map" && inner.isObject())
            return decodeMembers(inner.toObject());
        if (inner.isString()) {
            const QString text = inner.toString();
            if (tag == u"$bytes") {
                auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
                if (decoded)
                    return QVariant(QByteArray(*decoded));
            } else if (tag == u"$date") {
                const QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
                if (dt.isValid() || text.isEmpty())
                    return QVariant(dt);
            } else if (tag == u"$double") {
                if (text == u"nan")
                    return QVariant(std::numeric_limits<double>::quiet_NaN());
                if (text == u"inf")
                    return QVariant(std::numeric_limits<double>::infinity());
                if (text == u"-inf")
                    return QVariant(-std::numeric_limits<double>::infinity());
                bool ok = false;
                const double number = text.toDouble(&ok); // C locale, whatever the user's
                if (ok)
                    return QVariant(number);
            } else if (tag == u"$variant") {
                auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
                if (decoded) {
                    const QVariant unarchived = unarchiveObject(*decoded);
                    if (unarchived.isValid())
                        return unarchived;
                }
            }
        }
    }
    return decodeMembers(object);
}

QVariant decodeValue(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::Double:
        // An integral number that fits in 64 bits is a qlonglong (integral
        // doubles are written tagged), anything else a double.
        return value.toVariant();
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array: {
        QVariantList list;
        const QJsonArray array = value.toArray();
        list.reserve(array.size());
        for (const QJsonValue &item : array)
            list.append(decodeValue(item));
        return list;
    }
    case QJsonValue::Object:
        return decodeObject(value.toObject());
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return {};
}

} // namespace

std::unique_ptr<QSettings> PreferenceStore::open()
{
    return std::make_unique<QSettings>(filePath(), format());
}

bool PreferenceStore::flush(QSettings &settings)
{
    QDir().mkpath(QFileInfo(settings.fileName()).absolutePath());
    settings.sync();
    switch (settings.status()) {
    case QSettings::NoError:
        return true;
    case QSettings::FormatError: {
        // A handle that met an unreadable file keeps FormatError for life, even
        // after sync() replaced the file (and a later AccessError cannot replace
        // it). Whether the write happened shows in the file: it now reads.
        QFile file(settings.fileName());
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QSettings::SettingsMap map;
        return readJson(file, map);
    }
    case QSettings::AccessError:
        break;
    }
    return false;
}

QString PreferenceStore::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Mirelune/Mirelune.json");
}

QSettings::Format PreferenceStore::format()
{
    // Thread-safe one-time registration.
    static const QSettings::Format registered = QSettings::registerFormat(
        QStringLiteral("json"), &PreferenceStore::readJson, &PreferenceStore::writeJson, Qt::CaseSensitive);
    return registered;
}

bool PreferenceStore::readJson(QIODevice &device, QSettings::SettingsMap &map)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(device.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const QVariant value = decodeValue(it.value());
        if (value.isValid()) // null: a value that could not be written; absent
            map.insert(it.key(), value);
    }
    return true;
}

bool PreferenceStore::writeJson(QIODevice &device, const QSettings::SettingsMap &map)
{
    // One key a line, sorted (the map is); values compact.
    QByteArray out = "{";
    bool first = true;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        out += first ? "\n    " : ",\n    ";
        first = false;
        out += compactJson(storableText(it.key()));
        out += ": ";
        out += compactJson(encodeValue(it.value(), 0));
    }
    out += first ? "}\n" : "\n}\n";
    return device.write(out) == out.size();
}
