#include "PreferenceStore.h"

#include "UserDefaults.h"

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
#include <cstdio>
#include <limits>

namespace {

// Containers nested deeper than this are written as one archived value, so
// that the file never outgrows the nesting limit of Qt's JSON reader (1024).
constexpr int kMaxJsonDepth = 200;

void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char ch : utf8) {
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(ch) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(ch));
                out += escaped;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

void appendTag(QByteArray &out, const char *tag, const QByteArray &asciiText)
{
    out += "{\"";
    out += tag;
    out += "\":\"";
    out += asciiText;
    out += "\"}";
}

void appendDouble(QByteArray &out, double value)
{
    // Qt's JSON reader keeps an integral number that fits in 64 bits as an
    // integer, even when written as 3.0, and drops the sign of -0.0; such
    // doubles are tagged so that they come back as doubles.
    constexpr double twoTo63 = 9223372036854775808.0;
    if (std::isnan(value)) {
        appendTag(out, "$double", "nan");
    } else if (std::isinf(value)) {
        appendTag(out, "$double", value > 0 ? "inf" : "-inf");
    } else if (std::trunc(value) == value && value >= -twoTo63 && value < twoTo63) {
        appendTag(out, "$double",
                  value == 0 && std::signbit(value) ? QByteArray("-0") // number() drops the sign
                                                    : QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
    } else {
        out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    }
}

void appendArchived(QByteArray &out, const QVariant &value)
{
    const QByteArray archive = archiveObject(value);
    if (archive.isEmpty())
        out += "null"; // a type QDataStream cannot write: lost on the next read
    else
        appendTag(out, "$variant", archive.toBase64());
}

void appendValue(QByteArray &out, const QVariant &value, int depth)
{
    if (!value.isValid()) {
        out += "null";
        return;
    }
    switch (value.metaType().id()) {
    case QMetaType::Nullptr:
        out += "null";
        return;
    case QMetaType::Bool:
        out += value.toBool() ? "true" : "false";
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        out += QByteArray::number(value.toLongLong());
        return;
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        const qulonglong u = value.toULongLong();
        if (u <= qulonglong(std::numeric_limits<qint64>::max()))
            out += QByteArray::number(qint64(u));
        else
            appendDouble(out, double(u));
        return;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        appendDouble(out, value.toDouble());
        return;
    case QMetaType::QString:
        appendString(out, value.toString());
        return;
    case QMetaType::QByteArray:
        appendTag(out, "$bytes", value.toByteArray().toBase64());
        return;
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        appendTag(out, "$date",
                  dt.isValid() ? dt.toOffsetFromUtc(dt.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1()
                               : QByteArray());
        return;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        if (depth >= kMaxJsonDepth) {
            appendArchived(out, value);
            return;
        }
        out += '[';
        bool first = true;
        for (const QVariant &item : value.toList()) {
            if (!first)
                out += ',';
            first = false;
            appendValue(out, item, depth + 1);
        }
        out += ']';
        return;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        if (depth >= kMaxJsonDepth) {
            appendArchived(out, value);
            return;
        }
        const QVariantMap map = value.toMap();
        // A map shaped like a tag (one key starting with '$') is wrapped.
        const bool wrap = map.size() == 1 && map.firstKey().startsWith(u'$');
        if (wrap)
            out += "{\"$map\":";
        out += '{';
        bool first = true;
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (!first)
                out += ',';
            first = false;
            appendString(out, it.key());
            out += ':';
            appendValue(out, it.value(), depth + 1);
        }
        out += '}';
        if (wrap)
            out += '}';
        return;
    }
    default:
        appendArchived(out, value);
        return;
    }
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
        appendString(out, it.key());
        out += ": ";
        appendValue(out, it.value(), 0);
    }
    out += first ? "}\n" : "\n}\n";
    return device.write(out) == out.size();
}
