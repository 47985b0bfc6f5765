#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread (the
// handler only writes a byte to a socket pair).
class SignalWatcher final : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void stopRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *mNotifier = nullptr;
};
