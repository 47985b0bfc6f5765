#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

// A response: a small body in memory, or a span of a file that the connection
// streams in chunks.
class HttpResponse final {
public:
    HttpResponse() = default;
    HttpResponse(int status, const QByteArray &body, const QByteArray &contentType);

    static HttpResponse json(const QJsonObject &object, int status = 200);
    static HttpResponse text(int status, const QString &text);
    static HttpResponse file(int status, const QString &path, qint64 offset, qint64 length,
                             const QByteArray &contentType);

    int status() const { return mStatus; }
    const QByteArray &body() const { return mBody; }
    const QString &filePath() const { return mFilePath; }
    qint64 fileOffset() const { return mFileOffset; }
    qint64 bodyLength() const;
    bool hasFileBody() const { return !mFilePath.isEmpty(); }

    HttpResponse &setHeader(const QByteArray &name, const QByteArray &value);
    // HEAD: the head says how long the body would be, and no body follows.
    void dropBody() { mHeadOnly = true; }
    bool headOnly() const { return mHeadOnly; }
    void setCloseConnection() { mClose = true; }
    bool closeConnection() const { return mClose; }

    QByteArray head(bool keepAlive) const;
    static QByteArray reasonPhrase(int status);

private:
    int mStatus = 200;
    QByteArray mBody;
    QString mFilePath;
    qint64 mFileOffset = 0;
    qint64 mFileLength = 0;
    QList<QPair<QByteArray, QByteArray>> mHeaders;
    bool mHeadOnly = false;
    bool mClose = false;
};
