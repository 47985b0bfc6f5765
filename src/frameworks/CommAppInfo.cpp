#include "frameworks/CommAppInfo.h"

#include "frameworks/CommLang.h"

QString CommAppInfo::get_lang_code() const
{
    const QString code = CommLang::langInfoForName(mAppLang).langCode;
    return code.isEmpty() ? QStringLiteral("en") : code;
}
