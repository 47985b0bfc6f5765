#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrlQuery>

#include <functional>

class QSslServer;
class QSslSocket;

// One HTTP request as the fake server received it.
struct RecordedRequest {
    QByteArray method;
    QString path;                                 // decoded path, without the query
    QByteArray rawQuery;                          // as sent, still percent-encoded
    QList<QPair<QByteArray, QByteArray>> headers; // names as sent, in order
    QByteArray body;

    QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
    bool hasHeader(const QByteArray &name) const;
    QUrlQuery query() const;
    QJsonObject json() const;
};

// What the fake server does with a request.
struct FakeResponse {
    enum class Action { Reply, Close, Hang, Garbage };
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
    Action action = Action::Reply;
    int delayMs = 0; // answer this much later
    // Filler bytes sent after `body`, paced by how fast the client reads, so
    // that a huge reply never sits in the server's memory.
    qint64 streamBytes = 0;
    bool announceLength = true; // false: no Content-Length, the body ends when the connection closes

    static FakeResponse json(const QByteArray &body, int status = 200);
    static FakeResponse close();
    static FakeResponse hang();
    static FakeResponse garbage();
};

// An HTTPS/1.1 server on 127.0.0.1 (a free port) with the test CA's server
// certificate. It records every request and answers through a handler; it
// lives on the thread that made it, so tests spin the event loop (QTRY_*).
class FakeHttpsServer final : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<FakeResponse(const RecordedRequest &request)>;

    explicit FakeHttpsServer(QObject *parent = nullptr);
    ~FakeHttpsServer() override;

    bool listen();
    quint16 port() const;
    QString origin() const; // "https://127.0.0.1:PORT"
    void setHandler(Handler handler) { mHandler = std::move(handler); }

    const QList<RecordedRequest> &requests() const { return mRequests; }
    // Filler bytes handed to the sockets so far (see FakeResponse::streamBytes).
    qint64 streamedBytes() const { return mStreamed; }
    QList<RecordedRequest> requestsTo(const QString &path) const;
    void clearRequests() { mRequests.clear(); }
    // Connections accepted so far.
    int connectionCount() const { return mConnections; }
    // Closes every open connection, as a server does with idle keep-alives.
    void dropConnections();

private:
    void onConnection();
    void onReadyRead(QSslSocket *socket);
    bool takeRequest(QByteArray &buffer, RecordedRequest &request);
    void respond(QSslSocket *socket, const FakeResponse &response);
    void streamFiller(QSslSocket *socket);

    QSslServer *mServer = nullptr;
    Handler mHandler;
    QList<RecordedRequest> mRequests;
    QHash<QSslSocket *, QByteArray> mBuffers;
    QHash<QSslSocket *, qint64> mFillerLeft;
    qint64 mStreamed = 0;
    int mConnections = 0;
};
