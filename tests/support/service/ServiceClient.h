#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

class ServiceProcess;
class QNetworkReply;

// Talks to a test's service the way the client does: JSON POSTs, status GETs
// and signed object-store PUTs, each waited for with a bounded time-out.
class ServiceClient final {
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    struct Reply {
        int status = 0; // HTTP status; 0 when the transfer failed
        QByteArray body;
        Headers headers;
        QJsonObject json() const;
        QByteArray header(const QByteArray &name) const;
        // The <Code> of an object-store XML error.
        QByteArray errorCode() const;
    };

    // Everything a signed upload is made of; tests change a field to forge one.
    struct Put {
        QString bucket;
        QString key;
        QByteArray accessId;
        QByteArray accessSecret;
        QByteArray securityToken;
        QByteArray contentType = "application/octet-stream";
        QDateTime date = QDateTime::currentDateTimeUtc();
        QByteArray callback;  // the x-oss-callback header value
        QByteArray signature; // empty: computed
        bool virtualHosted = false;
        bool sendSecurityToken = true;
        bool dateAsOssDate = false; // x-oss-date instead of Date, as SDKs send it
    };

    explicit ServiceClient(const ServiceProcess &service);

    Reply post(const QString &apiPath, const QJsonObject &parameters);
    Reply get(const QUrl &url, const Headers &headers = {});
    Reply send(const Put &put, const QByteArray &content);
    // The signed request head of a PUT, for tests that write it on a socket themselves.
    QByteArray rawPutHead(const Put &put, qint64 contentLength) const;

    QString apiToken();
    // The "data" of a credential reply for one file name.
    QJsonObject authorize(const QString &apiToken, const QString &fileName);
    Put putFor(const QJsonObject &grant, const QString &fileName) const;
    // Uploads with the grant's credentials; the file id, or empty.
    QString upload(const QString &apiToken, const QString &fileName, const QByteArray &content);
    Reply createTask(const QString &apiToken, const QString &serviceType, const QStringList &fileIds,
                     const QJsonObject &args = {}, const QStringList &passwords = {});
    QString taskId(const Reply &reply) const;
    // Polls until the task ends (status negative or progress 100); its last "data".
    QJsonObject waitForTask(const QString &apiToken, const QString &taskId, int timeoutMs,
                            QList<int> *progressSeen = nullptr);
    QJsonObject taskStatus(const QString &apiToken, const QString &taskId);

    // One raw TLS exchange: writes `request` and reads until the peer closes,
    // `responses` complete responses have arrived, or the time-out passes.
    QByteArray raw(const QByteArray &request, int responses, int timeoutMs);

    const QString &baseUrl() const { return mBaseUrl; }
    // Trusts the service's CA, for tests that open sockets of their own.
    const QSslConfiguration &sslConfiguration() const { return mSsl; }
    // Trusts this CA instead of the service's own.
    void trust(const QString &caFile);
    quint16 port() const { return mPort; }
    static QByteArray httpDate(const QDateTime &utc);

private:
    Reply wait(QNetworkReply *reply, int timeoutMs);
    // Every header of a signed PUT, Authorization and (virtual-hosted) Host included.
    Headers putHeaders(const Put &put) const;
    QNetworkRequest request(const QUrl &url) const;

    QString mBaseUrl;
    quint16 mPort = 0;
    QByteArray mIdentityToken;
    QSslConfiguration mSsl;
    QNetworkAccessManager mManager;
};
