#pragma once

#include <QString>

// One entry of the language list: the stable name that settings store, the
// name shown in the Language menu and the code sent to the service.
struct CommLangInfo {
    QString langName;
    QString langDisplayName;
    QString langCode;
};
