#pragma once

#include <QString>

// How an upload ended: on success the body the service's callback produced;
// on failure the error's localized description.
struct OssPutObjectResult {
    bool completed = false;
    int httpStatus = 0;
    QString serverReturnJsonString;
    QString errorDescription; // null when there is no error
};
