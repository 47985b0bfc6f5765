#include "support/FakeHttpsServer.h"

#include "support/TestCertificates.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool RecordedRequest::hasHeader(const QByteArray &name) const
{
    for (const auto &entry : headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QUrlQuery RecordedRequest::query() const
{
    return QUrlQuery(QString::fromLatin1(rawQuery));
}

QJsonObject RecordedRequest::json() const
{
    return QJsonDocument::fromJson(body).object();
}

FakeResponse FakeResponse::json(const QByteArray &body, int status)
{
    FakeResponse response;
    response.body = body;
    response.status = status;
    return response;
}

FakeResponse FakeResponse::close()
{
    FakeResponse response;
    response.action = Action::Close;
    return response;
}

FakeResponse FakeResponse::hang()
{
    FakeResponse response;
    response.action = Action::Hang;
    return response;
}

FakeResponse FakeResponse::garbage()
{
    FakeResponse response;
    response.action = Action::Garbage;
    return response;
}

FakeHttpsServer::FakeHttpsServer(QObject *parent) : QObject(parent), mServer(new QSslServer(this))
{
    const TestCertificates &certificates = TestCertificates::instance();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificates.serverCertificate());
    configuration.setPrivateKey(certificates.serverKey());
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    mServer->setSslConfiguration(configuration);
    connect(mServer, &QTcpServer::pendingConnectionAvailable, this, &FakeHttpsServer::onConnection);
    mHandler = [](const RecordedRequest &) { return FakeResponse::json("{}", 404); };
}

FakeHttpsServer::~FakeHttpsServer() = default;

bool FakeHttpsServer::listen()
{
    return mServer->listen(QHostAddress(QHostAddress::LocalHost), 0);
}

quint16 FakeHttpsServer::port() const
{
    return mServer->serverPort();
}

QString FakeHttpsServer::origin() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(port());
}

QList<RecordedRequest> FakeHttpsServer::requestsTo(const QString &path) const
{
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : mRequests) {
        if (request.path == path)
            matching.append(request);
    }
    return matching;
}

void FakeHttpsServer::onConnection()
{
    while (mServer->hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(mServer->nextPendingConnection());
        if (!socket)
            continue;
        ++mConnections;
        mBuffers.insert(socket, {});
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QSslSocket::encryptedBytesWritten, this, [this, socket] { streamFiller(socket); });
        connect(socket, &QSslSocket::disconnected, this, [this, socket] {
            mBuffers.remove(socket);
            mFillerLeft.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeHttpsServer::dropConnections()
{
    const QList<QSslSocket *> sockets = mBuffers.keys();
    for (QSslSocket *socket : sockets)
        socket->disconnectFromHost();
}

void FakeHttpsServer::onReadyRead(QSslSocket *socket)
{
    QByteArray &buffer = mBuffers[socket];
    buffer += socket->readAll();
    RecordedRequest request;
    while (takeRequest(buffer, request)) {
        mRequests.append(request);
        const FakeResponse response = mHandler(request);
        if (response.delayMs > 0) {
            QPointer<QSslSocket> guarded(socket);
            QTimer::singleShot(response.delayMs, this, [this, guarded, response] {
                if (guarded)
                    respond(guarded, response);
            });
            continue;
        }
        respond(socket, response);
        if (response.action != FakeResponse::Action::Reply)
            return;
    }
}

bool FakeHttpsServer::takeRequest(QByteArray &buffer, RecordedRequest &request)
{
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request = RecordedRequest();
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const qsizetype queryStart = target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(queryStart < 0 ? target : target.left(queryStart));
    request.rawQuery = queryStart < 0 ? QByteArray() : target.mid(queryStart + 1);
    qsizetype contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name.compare("content-length", Qt::CaseInsensitive) == 0)
            contentLength = value.toLongLong();
    }
    if (buffer.size() < headerEnd + 4 + contentLength)
        return false;
    request.body = buffer.mid(headerEnd + 4, contentLength);
    buffer.remove(0, headerEnd + 4 + contentLength);
    return true;
}

void FakeHttpsServer::respond(QSslSocket *socket, const FakeResponse &response)
{
    switch (response.action) {
    case FakeResponse::Action::Close:
        socket->abort();
        return;
    case FakeResponse::Action::Hang:
        return;
    case FakeResponse::Action::Garbage:
        socket->write("this is not an HTTP reply\r\n\r\n\x01\x02\x03");
        socket->disconnectFromHost();
        return;
    case FakeResponse::Action::Reply:
        break;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    if (response.announceLength)
        head += "Content-Length: " + QByteArray::number(response.body.size() + response.streamBytes) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    head += response.announceLength ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    socket->write(head + response.body);
    if (response.streamBytes > 0) {
        mFillerLeft.insert(socket, response.streamBytes);
        streamFiller(socket);
    } else if (!response.announceLength) {
        socket->disconnectFromHost();
    }
}

void FakeHttpsServer::streamFiller(QSslSocket *socket)
{
    constexpr qint64 kChunk = 256 * 1024;
    const auto it = mFillerLeft.find(socket);
    if (it == mFillerLeft.end())
        return;
    // A little ahead of the client, never the whole body; both buffers count,
    // as QSslSocket moves everything it encrypted into the plain socket's.
    while (*it > 0 && socket->bytesToWrite() + socket->encryptedBytesToWrite() < 4 * kChunk &&
           socket->state() == QAbstractSocket::ConnectedState) {
        const qint64 size = qMin(kChunk, *it);
        socket->write(QByteArray(size, 'x'));
        *it -= size;
        mStreamed += size;
    }
    if (*it == 0) {
        mFillerLeft.erase(it);
        socket->disconnectFromHost();
    }
}
