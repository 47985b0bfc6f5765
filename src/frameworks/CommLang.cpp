#include "frameworks/CommLang.h"

#include "frameworks/VAZevediZeziz.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QTranslator>

#include <memory>

namespace {

const QString kEnglish = QStringLiteral("English");

// Loaded translators by language code. GetAppLang runs on any thread, so the
// cache is guarded; a QTranslator is only read once loaded.
class TranslatorCache final {
public:
    const QTranslator *translatorFor(const QString &code)
    {
        QMutexLocker lock(&mMutex);
        auto it = mTranslators.find(code);
        if (it == mTranslators.end()) {
            auto translator = std::make_shared<QTranslator>();
            if (!translator->load(QStringLiteral(":/i18n/mirelune_%1.qm").arg(code)))
                translator.reset();
            it = mTranslators.insert(code, translator);
        }
        return it.value().get();
    }

private:
    QMutex mMutex;
    QHash<QString, std::shared_ptr<QTranslator>> mTranslators;
};

TranslatorCache &translators()
{
    static TranslatorCache cache;
    return cache;
}

QString lookUp(const QString &key, const QString &code)
{
    const QTranslator *translator = translators().translatorFor(code);
    if (!translator)
        return {};
    return translator->translate(nullptr, key.toUtf8().constData());
}

} // namespace

QString CommLang::GetAppLang(const QString &key)
{
    return GetAppLang(key, VAZevediZeziz::appInfo().appLang());
}

QString CommLang::GetAppLang(const QString &key, const QString &langName)
{
    QString code = langInfoForName(langName).langCode;
    if (code.isEmpty())
        code = langInfoForName(kEnglish).langCode;
    QString text = lookUp(key, code);
    if (text.isEmpty() && code != QLatin1String("en"))
        text = lookUp(key, QStringLiteral("en"));
    return text.isEmpty() ? key : text;
}

QList<CommLangInfo> CommLang::GetAppLangInfos()
{
    static const QList<CommLangInfo> infos = [] {
        QFile file(QStringLiteral(":/data/languages.json"));
        return file.open(QIODevice::ReadOnly) ? parseLangInfos(file.readAll()) : QList<CommLangInfo>{};
    }();
    return infos;
}

QString CommLang::GetSystemLanguage()
{
    return languageForUiLanguages(QLocale::system().uiLanguages(), GetAppLangInfos());
}

CommLangInfo CommLang::langInfoForName(const QString &langName)
{
    const QList<CommLangInfo> infos = GetAppLangInfos();
    for (const CommLangInfo &info : infos) {
        if (info.langName == langName)
            return info;
    }
    return {};
}

QList<CommLangInfo> CommLang::parseLangInfos(const QByteArray &json)
{
    QList<CommLangInfo> infos;
    const QJsonArray array = QJsonDocument::fromJson(json).array();
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        CommLangInfo info{object.value(QLatin1String("langName")).toString(),
                          object.value(QLatin1String("langDisplayName")).toString(),
                          object.value(QLatin1String("code")).toString()};
        if (!info.langName.isEmpty() && !info.langDisplayName.isEmpty() && !info.langCode.isEmpty())
            infos.append(info);
    }
    return infos;
}

QString CommLang::languageForUiLanguages(const QStringList &uiLanguages, const QList<CommLangInfo> &infos)
{
    // The user's order wins; within one tag an exact match ("zh-TW") beats a
    // match of the language alone ("de" for "de-AT").
    for (const QString &tag : uiLanguages) {
        const QString wanted = QString(tag).replace(QLatin1Char('_'), QLatin1Char('-')).toLower();
        for (const CommLangInfo &info : infos) {
            if (info.langCode.toLower() == wanted)
                return info.langName;
        }
        const QString language = wanted.section(QLatin1Char('-'), 0, 0);
        for (const CommLangInfo &info : infos) {
            if (info.langCode.toLower().section(QLatin1Char('-'), 0, 0) == language)
                return info.langName;
        }
    }
    return kEnglish;
}
