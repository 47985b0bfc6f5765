#pragma once

#include <QSettings>

#include <memory>

class QIODevice;

// The per-user preference store: a QSettings of organisation "Mirelune" in a
// JSON file format that keeps value types (booleans, integers, doubles, byte
// blocks, lists, maps) across restarts, which the INI format would turn into text.
//
// The file maps each full key to a value. Strings, booleans, integers, lists,
// maps and non-integral doubles are written as themselves; other values as
// one-member tag objects: {"$bytes": base64}, {"$date": ISO 8601 with ms and
// offset}, {"$double": "3"|"-0"|"nan"|"inf"|"-inf"} for the doubles Qt's JSON
// reader would turn into integers or cannot hold, {"$variant": base64 of the
// keyed archive} for any other streamable type, and {"$map": {...}} around a
// genuine map whose only key starts with '$'. A malformed or unknown tag reads
// as a plain map.
class PreferenceStore final {
public:
    PreferenceStore() = delete;

    // A new handle on the store; QSettings handles share one cache per file.
    // Use a handle on one thread only.
    static std::unique_ptr<QSettings> open();
    // Flushes the store to disk; true when it was written.
    static bool flush(QSettings &settings);
    // The store's file, for the README and for tests.
    static QString filePath();

    // The registered JSON format and its two functions (public for tests: they
    // read a store file without QSettings' per-file cache).
    static QSettings::Format format();
    static bool readJson(QIODevice &device, QSettings::SettingsMap &map);
    static bool writeJson(QIODevice &device, const QSettings::SettingsMap &map);
};
