#pragma once

#include "frameworks/CommLangInfo.h"

#include <QList>
#include <QString>

// Languages of the interface and localised texts by key. The texts are
// id-based Qt translations embedded as ":/i18n/mirelune_<code>.qm"; the
// language list is the resource ":/data/languages.json".
class CommLang final {
public:
    CommLang() = delete;

    // The text of a key in the language of the current application record;
    // English when that language lacks the key, the key itself when no
    // translation has it.
    static QString GetAppLang(const QString &key);
    // The text of a key in a given language (by langName).
    static QString GetAppLang(const QString &key, const QString &langName);

    // The languages in menu order.
    static QList<CommLangInfo> GetAppLangInfos();
    // The langName that best matches the user's preferred UI languages;
    // "English" when none matches.
    static QString GetSystemLanguage();
    // The record of a langName; an empty record when it is unknown.
    static CommLangInfo langInfoForName(const QString &langName);

    // The language list parsed from JSON text (an array of objects with
    // "langName", "langDisplayName", "code"); invalid entries are skipped.
    static QList<CommLangInfo> parseLangInfos(const QByteArray &json);
    // The langName for an ordered list of UI language tags (e.g. "de-DE").
    static QString languageForUiLanguages(const QStringList &uiLanguages, const QList<CommLangInfo> &infos);
};
