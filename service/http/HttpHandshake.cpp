#include "http/HttpHandshake.h"

#include <QSslSocket>

HttpHandshake::HttpHandshake(const QSslConfiguration &tls, int timeoutMs, QObject *parent)
    : QObject(parent), mSocket(new QSslSocket(this))
{
    mSocket->setSslConfiguration(tls);
    mDeadline.setSingleShot(true);
    mDeadline.setInterval(timeoutMs);
    connect(&mDeadline, &QTimer::timeout, this, &HttpHandshake::fail);
    connect(mSocket, &QSslSocket::encrypted, this, [this] {
        if (mOver)
            return;
        mOver = true;
        mDeadline.stop();
        emit succeeded(this);
    });
    connect(mSocket, &QSslSocket::errorOccurred, this, &HttpHandshake::fail);
    connect(mSocket, &QSslSocket::disconnected, this, &HttpHandshake::fail);
}

bool HttpHandshake::start(qintptr descriptor)
{
    if (!mSocket->setSocketDescriptor(descriptor))
        return false;
    mDeadline.start();
    mSocket->startServerEncryption();
    return true;
}

QSslSocket *HttpHandshake::takeSocket()
{
    mSocket->disconnect(this);
    mSocket->setParent(nullptr);
    QSslSocket *socket = mSocket;
    mSocket = nullptr;
    return socket;
}

void HttpHandshake::fail()
{
    if (mOver)
        return;
    mOver = true;
    mDeadline.stop();
    mSocket->abort();
    emit failed(this);
}
