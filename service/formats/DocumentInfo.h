#pragma once

#include <QDateTime>
#include <QString>

// What a document says about itself (a PDF's document information), carried
// into the documents made from it.
struct DocumentInfo {
    QString title;
    QString author;
    QString subject;
    QString keywords;
    QDateTime created; // invalid when unknown

    bool operator==(const DocumentInfo &other) const = default;
};
