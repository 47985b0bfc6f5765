#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>

// Short spellings for UTF-8 test texts.
inline QString s(const char *text)
{
    return QString::fromUtf8(text);
}

inline QStringList strings(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list << s(item);
    return list;
}
