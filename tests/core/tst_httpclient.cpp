#include "frameworks/DIRADoduredode.h"

#include "frameworks/FileTransfers.h"
#include "frameworks/HttpWorker.h"
#include "support/FakeHttpsServer.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"
#include "support/TestTiming.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QMutex>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <memory>

// Completions arrive on the client's thread; this collects them safely.
struct Outcome {
    QMutex mutex;
    int calls = 0;
    ToolError error;
    QByteArray body;
    QList<float> fractions;
    int finishedCalls = 0;

    int count()
    {
        QMutexLocker lock(&mutex);
        return calls;
    }
};

// The most loopback TCP may hold for a connection whose reader has stopped:
// the largest receive and send buffers the kernel grows sockets to (this
// machine lets a receive buffer reach 32 MiB).
qint64 kernelSocketBuffers()
{
    qint64 total = 0;
    for (const char *path : {"/proc/sys/net/ipv4/tcp_rmem", "/proc/sys/net/ipv4/tcp_wmem"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly))
            total += QString::fromLatin1(file.readAll()).simplified().section(QLatin1Char(' '), 2, 2).toLongLong();
    }
    return total;
}

class TestHttpClient : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeHttpsServer> mServer;
    std::unique_ptr<DIRADoduredode> mClient;

    static DIRADoduredode::DataReturn collect(const std::shared_ptr<Outcome> &outcome)
    {
        return [outcome](const ToolError &error, const QByteArray &body) {
            QMutexLocker lock(&outcome->mutex);
            ++outcome->calls;
            outcome->error = error;
            outcome->body = body;
        };
    }

    static DIRADoduredode::DownloadProgress collectDownload(const std::shared_ptr<Outcome> &outcome)
    {
        return [outcome](float fraction, bool finished, const ToolError &error) {
            QMutexLocker lock(&outcome->mutex);
            outcome->fractions.append(fraction);
            if (finished) {
                ++outcome->calls;
                ++outcome->finishedCalls;
                outcome->error = error;
            }
        };
    }

    static DIRADoduredode::UploadReturn collectUpload(const std::shared_ptr<Outcome> &outcome)
    {
        return [outcome](const ToolError &error, int, const QByteArray &, const QByteArray &body) {
            QMutexLocker lock(&outcome->mutex);
            ++outcome->calls;
            outcome->error = error;
            outcome->body = body;
        };
    }

    // Waits for the completion, then for a probe queued on the client's
    // thread behind it: a download into a path below a plain file, which
    // fails as soon as that thread takes it up. Completions run on that
    // thread, in order, so a second completion already on its way has been
    // delivered when the probe's comes.
    static void expectSingleCompletion(const std::shared_ptr<Outcome> &outcome, DIRADoduredode &client)
    {
        QTRY_COMPARE_WITH_TIMEOUT(outcome->count(), 1, 15000);
        QTemporaryFile plain;
        QVERIFY(plain.open());
        auto probe = std::make_shared<Outcome>();
        client.downloadFile(QStringLiteral("https://127.0.0.1:1/probe"), plain.fileName() + QStringLiteral("/probe"),
                            collectDownload(probe));
        QTRY_COMPARE_WITH_TIMEOUT(probe->count(), 1, 15000);
        QCOMPARE(outcome->count(), 1);
    }

private slots:
    void initTestCase() { QVERIFY(TestCertificates::instance().isValid()); }

    void init()
    {
        mServer = std::make_unique<FakeHttpsServer>();
        QVERIFY(mServer->listen());
        mClient = std::make_unique<DIRADoduredode>();
        QVERIFY(mClient->addCaCertificatesFromFile(TestCertificates::instance().caFile()));
    }

    void cleanup()
    {
        mClient.reset();
        mServer.reset();
    }

    void postSendsJsonBodyAndHeaders()
    {
        mServer->setHandler([](const RecordedRequest &) { return FakeResponse::json(R"({"status":1})"); });
        auto outcome = std::make_shared<Outcome>();
        mClient->POSTWithUrl(
            mServer->origin() + QStringLiteral("/api/sessions"),
            {{QStringLiteral("n"), 100},
             {QStringLiteral("t"), QStringLiteral("1")},
             {QStringLiteral("list"), QVariantList{QStringLiteral("a.pdf")}}},
            {{QStringLiteral("accept_lang"), QStringLiteral("en")}, {QStringLiteral("App"), QStringLiteral("x")}},
            collect(outcome));
        expectSingleCompletion(outcome, *mClient);
        QVERIFY(outcome->error.isNull());
        QCOMPARE(outcome->body, QByteArray(R"({"status":1})"));
        const RecordedRequest request = mServer->requests().value(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QStringLiteral("/api/sessions"));
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.header("accept_lang"), QByteArray("en"));
        QCOMPARE(request.json().value(QStringLiteral("n")).toInt(), 100);
        QVERIFY(request.json().value(QStringLiteral("n")).isDouble());
        QCOMPARE(request.json().value(QStringLiteral("t")).toString(), QStringLiteral("1"));
        QCOMPARE(request.json().value(QStringLiteral("list")).toArray().size(), 1);
    }

    void getEncodesAQueryString()
    {
        mServer->setHandler([](const RecordedRequest &) { return FakeResponse::json(R"({"data":{}})"); });
        auto outcome = std::make_shared<Outcome>();
        mClient->GETtWithUrl(mServer->origin() + QStringLiteral("/api/tasks/7"),
                             {{QStringLiteral("api_token"), QStringLiteral("a+b/c=d&e")},
                              {QStringLiteral("nested"), QVariantMap{{QStringLiteral("k"), 1}}},
                              {QStringLiteral("list"), QVariantList{1, QStringLiteral("x")}}},
                             {}, [outcome](const ToolError &error, const QVariant &reply) {
                                 QMutexLocker lock(&outcome->mutex);
                                 ++outcome->calls;
                                 outcome->error = error;
                                 outcome->body = reply.toByteArray();
                             });
        expectSingleCompletion(outcome, *mClient);
        const RecordedRequest request = mServer->requests().value(0);
        QCOMPARE(request.method, QByteArray("GET"));
        QVERIFY(request.body.isEmpty());
        const QUrlQuery query = request.query();
        QCOMPARE(query.queryItemValue(QStringLiteral("api_token"), QUrl::FullyDecoded), QStringLiteral("a+b/c=d&e"));
        QCOMPARE(query.queryItemValue(QStringLiteral("nested"), QUrl::FullyDecoded), QStringLiteral(R"({"k":1})"));
        QCOMPARE(query.queryItemValue(QStringLiteral("list"), QUrl::FullyDecoded), QStringLiteral(R"([1,"x"])"));
        QVERIFY(!request.hasHeader("accept_lang"));
    }

    void httpErrorStillDeliversTheBody()
    {
        mServer->setHandler(
            [](const RecordedRequest &) { return FakeResponse::json(R"({"status":0,"message":"no"})", 403); });
        auto outcome = std::make_shared<Outcome>();
        mClient->POSTWithUrl(mServer->origin() + QStringLiteral("/x"), {}, {}, collect(outcome));
        expectSingleCompletion(outcome, *mClient);
        QVERIFY(!outcome->error.isNull());
        QCOMPARE(outcome->body, QByteArray(R"({"status":0,"message":"no"})"));
    }

    void transportFailuresCompleteOnceWithoutBody_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("server closes") << int(FakeResponse::Action::Close);
        QTest::newRow("garbage") << int(FakeResponse::Action::Garbage);
        QTest::newRow("never answers") << int(FakeResponse::Action::Hang);
    }

    void transportFailuresCompleteOnceWithoutBody()
    {
        QFETCH(int, action);
        mServer->setHandler([action](const RecordedRequest &) {
            FakeResponse response;
            response.action = FakeResponse::Action(action);
            return response;
        });
        mClient->setTransferTimeout(700);
        auto outcome = std::make_shared<Outcome>();
        mClient->POSTWithUrl(mServer->origin() + QStringLiteral("/x"), {}, {}, collect(outcome));
        expectSingleCompletion(outcome, *mClient);
        QVERIFY(!outcome->error.isNull());
        QVERIFY(outcome->body.isEmpty());
    }

    void refusedConnection()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close(); // nothing listens there now
        auto outcome = std::make_shared<Outcome>();
        mClient->POSTWithUrl(QStringLiteral("https://127.0.0.1:%1/api/sessions").arg(port), {}, {}, collect(outcome));
        expectSingleCompletion(outcome, *mClient);
        QVERIFY(!outcome->error.isNull());
        QVERIFY(outcome->body.isEmpty());
    }

    void untrustedCertificateIsRefused()
    {
        DIRADoduredode strict; // trusts the system CAs only
        QVERIFY(strict.addCaCertificatesFromFile(TestCertificates::instance().otherCaFile()));
        mServer->setHandler([](const RecordedRequest &) { return FakeResponse::json(R"({"status":1})"); });
        auto outcome = std::make_shared<Outcome>();
        strict.POSTWithUrl(mServer->origin() + QStringLiteral("/x"), {}, {}, collect(outcome));
        expectSingleCompletion(outcome, strict);
        QVERIFY(!outcome->error.isNull());
        QVERIFY(outcome->body.isEmpty());
        QVERIFY(mServer->requests().isEmpty()); // nothing was sent to the untrusted peer
    }

    void badCaFileIsReported()
    {
        QTemporaryDir dir;
        QFile junk(dir.filePath(QStringLiteral("junk.pem")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a certificate");
        junk.close();
        QString errorText;
        QVERIFY(!mClient->addCaCertificatesFromFile(junk.fileName(), &errorText));
        QVERIFY(errorText.contains(junk.fileName()));
        QVERIFY(!mClient->addCaCertificatesFromFile(dir.filePath(QStringLiteral("missing.pem"))));
    }

    void redirectToAnotherOriginIsNotFollowed()
    {
        FakeHttpsServer other;
        QVERIFY(other.listen());
        other.setHandler([](const RecordedRequest &) { return FakeResponse::json(R"({"status":1})"); });
        const QByteArray target = other.origin().toLatin1() + "/elsewhere";
        mServer->setHandler([target](const RecordedRequest &request) {
            if (request.path == QLatin1String("/same"))
                return FakeResponse::json(R"({"status":1,"same":true})");
            FakeResponse response = FakeResponse::json("", 302);
            response.headers.append(
                {"Location", request.path == QLatin1String("/local") ? QByteArray("/same") : target});
            return response;
        });
        auto followed = std::make_shared<Outcome>();
        mClient->POSTWithUrl(mServer->origin() + QStringLiteral("/local"), {}, {}, collect(followed));
        expectSingleCompletion(followed, *mClient);
        QVERIFY(followed->body.contains("same"));

        auto refused = std::make_shared<Outcome>();
        mClient->POSTWithUrl(mServer->origin() + QStringLiteral("/away"), {}, {}, collect(refused));
        expectSingleCompletion(refused, *mClient);
        QVERIFY(!refused->error.isNull());
        QVERIFY(other.requests().isEmpty());
    }

    void shutdownCompletesPendingRequests()
    {
        mServer->setHandler([](const RecordedRequest &) { return FakeResponse::hang(); });
        auto outcome = std::make_shared<Outcome>();
        mClient->POSTWithUrl(mServer->origin() + QStringLiteral("/x"), {}, {}, collect(outcome));
        QTRY_COMPARE(mServer->requests().size(), 1);
        mClient->shutdown();
        QCOMPARE(outcome->count(), 1);
        QVERIFY(!outcome->error.isNull());
        // After shutdown requests fail at once, still with one completion each.
        auto late = std::make_shared<Outcome>();
        mClient->POSTWithUrl(mServer->origin() + QStringLiteral("/x"), {}, {}, collect(late));
        QCOMPARE(late->count(), 1);
    }

    void uploadStreamsTheFile()
    {
        QTemporaryDir dir;
        QFile source(dir.filePath(QStringLiteral("big upload.bin")));
        QVERIFY(source.open(QIODevice::WriteOnly));
        QByteArray payload(3 * 1024 * 1024 + 17, '\0');
        for (qsizetype i = 0; i < payload.size(); i += 997)
            payload[i] = char(i % 251);
        source.write(payload);
        source.close();
        mServer->setHandler([](const RecordedRequest &) { return FakeResponse::json(R"({"status":1})"); });
        auto outcome = std::make_shared<Outcome>();
        QList<qint64> totals;
        QMutex totalsMutex;
        int status = 0;
        mClient->PUTFileWithUrl(
            QUrl(mServer->origin() + QStringLiteral("/bucket/k%201")), source.fileName(),
            {{QStringLiteral("x-oss-callback"), QStringLiteral("abc")}},
            [&](qint64, qint64 sent, qint64 total) {
                QMutexLocker lock(&totalsMutex);
                totals.append(sent);
                QCOMPARE(total, qint64(payload.size()));
            },
            [outcome, &status](const ToolError &error, int httpStatus, const QByteArray &, const QByteArray &body) {
                QMutexLocker lock(&outcome->mutex);
                ++outcome->calls;
                outcome->error = error;
                outcome->body = body;
                status = httpStatus;
            });
        expectSingleCompletion(outcome, *mClient);
        QVERIFY2(outcome->error.isNull(), qPrintable(outcome->error.localizedDescription()));
        QCOMPARE(status, 200);
        QCOMPARE(outcome->body, QByteArray(R"({"status":1})"));
        const RecordedRequest request = mServer->requests().value(0);
        QCOMPARE(request.method, QByteArray("PUT"));
        QCOMPARE(request.path, QStringLiteral("/bucket/k 1"));
        QCOMPARE(request.header("x-oss-callback"), QByteArray("abc"));
        QCOMPARE(request.body, payload);
        QMutexLocker lock(&totalsMutex);
        QVERIFY(std::is_sorted(totals.begin(), totals.end()));
        QCOMPARE(totals.last(), qint64(payload.size()));
    }

    void uploadFailuresCompleteOnce()
    {
        QTemporaryDir dir;
        QFile source(dir.filePath(QStringLiteral("f.bin")));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("data");
        source.close();
        const auto put = [&](DIRADoduredode &client, const QString &path) {
            auto outcome = std::make_shared<Outcome>();
            client.PUTFileWithUrl(QUrl(mServer->origin() + QStringLiteral("/b/k")), path, {}, {},
                                  [outcome](const ToolError &error, int, const QByteArray &, const QByteArray &) {
                                      QMutexLocker lock(&outcome->mutex);
                                      ++outcome->calls;
                                      outcome->error = error;
                                  });
            return outcome;
        };
        // An untrusted server gets nothing.
        DIRADoduredode strict;
        auto untrusted = put(strict, source.fileName());
        expectSingleCompletion(untrusted, strict);
        QVERIFY(!untrusted->error.isNull());
        QVERIFY(mServer->requests().isEmpty());
        // A missing file, and a server that never answers.
        auto missing = put(*mClient, dir.filePath(QStringLiteral("gone.bin")));
        expectSingleCompletion(missing, *mClient);
        QVERIFY(!missing->error.isNull());
        mServer->setHandler([](const RecordedRequest &) { return FakeResponse::hang(); });
        mClient->setTransferTimeout(700);
        auto hanging = put(*mClient, source.fileName());
        expectSingleCompletion(hanging, *mClient);
        QVERIFY(!hanging->error.isNull());
    }

    // Replies held in memory stop at the bound, announced or not; the
    // server's count shows the client hung up near it instead of reading on.
    void oversizedRepliesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("announceLength");
        QTest::addColumn<qint64>("filler");
        QTest::addColumn<bool>("refused");
        constexpr qint64 huge = 256LL * 1024 * 1024;
        QTest::newRow("POST, length announced") << QStringLiteral("post") << true << huge << true;
        QTest::newRow("POST, until the connection closes") << QStringLiteral("post") << false << huge << true;
        QTest::newRow("GET, until the connection closes") << QStringLiteral("get") << false << huge << true;
        QTest::newRow("upload answer, length announced") << QStringLiteral("upload") << true << huge << true;
        QTest::newRow("POST just below the bound")
            << QStringLiteral("post") << false << HttpWorker::kMaxReplyBytes - 1024 << false;
    }

    void oversizedRepliesAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(bool, announceLength);
        QFETCH(qint64, filler);
        QFETCH(bool, refused);
        const QByteArray start = "{\"status\":1,\"data\":\"";
        mServer->setHandler([start, announceLength, filler](const RecordedRequest &) {
            FakeResponse response = FakeResponse::json(start);
            response.streamBytes = filler;
            response.announceLength = announceLength;
            return response;
        });
        QTemporaryDir dir;
        QFile source(dir.filePath(QStringLiteral("up.bin")));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write("data") == 4);
        source.close();
        auto outcome = std::make_shared<Outcome>();
        int status = -1;
        const QString url = mServer->origin() + QStringLiteral("/api/x");
        if (kind == QLatin1String("post")) {
            mClient->POSTWithUrl(url, {}, {}, collect(outcome));
        } else if (kind == QLatin1String("get")) {
            mClient->GETtWithUrl(url, {}, {}, [outcome](const ToolError &error, const QVariant &reply) {
                collect(outcome)(error, reply.toByteArray());
            });
        } else {
            mClient->PUTFileWithUrl(
                QUrl(url), source.fileName(), {}, {},
                [outcome, &status](const ToolError &error, int httpStatus, const QByteArray &, const QByteArray &body) {
                    collect(outcome)(error, body);
                    QMutexLocker lock(&outcome->mutex);
                    status = httpStatus;
                });
        }
        expectSingleCompletion(outcome, *mClient);
        if (!refused) {
            QVERIFY2(outcome->error.isNull(), qPrintable(outcome->error.localizedDescription()));
            QCOMPARE(outcome->body.size(), start.size() + filler);
            return;
        }
        QVERIFY(outcome->body.isEmpty());
        QCOMPARE(outcome->error.localizedDescription(),
                 QStringLiteral("The reply is larger than 16 MiB and was refused"));
        if (kind == QLatin1String("upload"))
            QCOMPARE(status, 0); // never a stored upload
        // The client stopped reading at its bound: the server got no further
        // than that, what the sockets hold, and a little more.
        QVERIFY2(mServer->streamedBytes() < 3 * HttpWorker::kMaxReplyBytes + kernelSocketBuffers(),
                 qPrintable(QString::number(mServer->streamedBytes())));
    }

    void downloadOfAnyLengthGoesToDisk()
    {
        constexpr qint64 filler = 40LL * 1024 * 1024;
        mServer->setHandler([](const RecordedRequest &) {
            FakeResponse response = FakeResponse::json("head");
            response.contentType = "application/octet-stream";
            response.streamBytes = filler;
            response.announceLength = false;
            return response;
        });
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("big.zip"));
        auto outcome = std::make_shared<Outcome>();
        mClient->downloadFile(mServer->origin() + QStringLiteral("/files/big"), target, collectDownload(outcome));
        expectSingleCompletion(outcome, *mClient);
        QVERIFY2(outcome->error.isNull(), qPrintable(outcome->error.localizedDescription()));
        QCOMPARE(QFileInfo(target).size(), 4 + filler);
    }

    void downloadStreamsToTheFile()
    {
        QByteArray payload(3 * 1024 * 1024, 'x');
        for (int i = 0; i < payload.size(); i += 4096)
            payload[i] = char('a' + (i / 4096) % 26);
        mServer->setHandler([payload](const RecordedRequest &) {
            FakeResponse response = FakeResponse::json(payload);
            response.contentType = "application/octet-stream";
            return response;
        });
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("résultat final.docx"));
        auto outcome = std::make_shared<Outcome>();
        mClient->downloadFile(mServer->origin() + QStringLiteral("/files/r"), target, collectDownload(outcome));
        expectSingleCompletion(outcome, *mClient);
        QVERIFY2(outcome->error.isNull(), qPrintable(outcome->error.localizedDescription()));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), payload);
        QCOMPARE(outcome->fractions.last(), 1.0f);
        for (qsizetype i = 1; i < outcome->fractions.size(); ++i)
            QVERIFY(outcome->fractions[i] >= outcome->fractions[i - 1]);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
    }

    void failedDownloadLeavesTheOldFileAlone()
    {
        mServer->setHandler([](const RecordedRequest &) { return FakeResponse::json("gone", 404); });
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("a.pdf"));
        QFile existing(target);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("the user's file");
        existing.close();
        auto outcome = std::make_shared<Outcome>();
        mClient->downloadFile(mServer->origin() + QStringLiteral("/missing"), target, collectDownload(outcome));
        expectSingleCompletion(outcome, *mClient);
        QVERIFY(!outcome->error.isNull());
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("the user's file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void downloadIntoAnUnwritablePathFailsOnce()
    {
        QTemporaryDir dir;
        QFile plain(dir.filePath(QStringLiteral("file")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        auto outcome = std::make_shared<Outcome>();
        mClient->downloadFile(mServer->origin() + QStringLiteral("/r"), plain.fileName() + QStringLiteral("/below.pdf"),
                              collectDownload(outcome));
        expectSingleCompletion(outcome, *mClient);
        QVERIFY(!outcome->error.isNull());
    }

    // Downloads follow a redirect within their origin and refuse one to another.
    void downloadRedirectsStayInTheirOrigin()
    {
        FakeHttpsServer other;
        QVERIFY(other.listen());
        other.setHandler([](const RecordedRequest &) { return FakeResponse::json("elsewhere"); });
        const QByteArray away = other.origin().toLatin1() + "/elsewhere";
        mServer->setHandler([away](const RecordedRequest &request) {
            if (request.path == QLatin1String("/moved/here"))
                return FakeResponse::json("the result");
            FakeResponse response = FakeResponse::json("see elsewhere", 302);
            response.headers.append(
                {"Location", request.path == QLatin1String("/local") ? QByteArray("/moved/here") : away});
            return response;
        });
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("r.pdf"));
        auto followed = std::make_shared<Outcome>();
        mClient->downloadFile(mServer->origin() + QStringLiteral("/local"), target, collectDownload(followed));
        expectSingleCompletion(followed, *mClient);
        QVERIFY2(followed->error.isNull(), qPrintable(followed->error.localizedDescription()));
        QFile result(target);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("the result"));

        const QString second = dir.filePath(QStringLiteral("s.pdf"));
        auto refused = std::make_shared<Outcome>();
        mClient->downloadFile(mServer->origin() + QStringLiteral("/away"), second, collectDownload(refused));
        expectSingleCompletion(refused, *mClient);
        QVERIFY(!refused->error.isNull());
        QVERIFY(other.requests().isEmpty());
        QVERIFY(!QFile::exists(second));
    }

    // Cancelling ends transfers that wait on a silent server at once, each
    // with one completion, and a download's target stays as it was.
    void cancelAllEndsTransfersUnderWay()
    {
        mServer->setHandler([](const RecordedRequest &) { return FakeResponse::hang(); });
        QTemporaryDir dir;
        QFile source(dir.filePath(QStringLiteral("up.bin")));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(QByteArray(2 * 1024 * 1024, 'u')) > 0);
        source.close();
        const QString target = dir.filePath(QStringLiteral("down.pdf"));
        auto upload = std::make_shared<Outcome>();
        mClient->PUTFileWithUrl(QUrl(mServer->origin() + QStringLiteral("/b/k")), source.fileName(), {}, {},
                                [upload](const ToolError &error, int, const QByteArray &, const QByteArray &body) {
                                    collect(upload)(error, body);
                                });
        auto download = std::make_shared<Outcome>();
        mClient->downloadFile(mServer->origin() + QStringLiteral("/r"), target, collectDownload(download));
        QTRY_COMPARE_WITH_TIMEOUT(mServer->requests().size(), 2, 15000);
        QElapsedTimer timer;
        timer.start();
        mClient->cancelAll();
        QVERIFY2(timer.elapsed() < scaledMs(5000), qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(upload->count(), 1);
        QCOMPARE(download->count(), 1);
        QCOMPARE(upload->error.localizedDescription(), QStringLiteral("The transfer was cancelled or timed out"));
        QVERIFY(!download->error.isNull());
        QVERIFY(!QFile::exists(target));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
        expectSingleCompletion(upload, *mClient);
        expectSingleCompletion(download, *mClient);
    }
    // Transfers one after another to one server share a kept TLS connection;
    // one the server has closed meanwhile is replaced without a failure.
    void transfersReuseTheirConnection()
    {
        const QByteArray payload(200 * 1024, 'p');
        mServer->setHandler([payload](const RecordedRequest &request) {
            if (request.method == "PUT")
                return FakeResponse::json(R"({"status":1})");
            FakeResponse response = FakeResponse::json(payload);
            response.contentType = "application/octet-stream";
            return response;
        });
        QTemporaryDir dir;
        QFile source(dir.filePath(QStringLiteral("in.bin")));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write(payload);
        source.close();
        const auto upload = [&] {
            auto outcome = std::make_shared<Outcome>();
            mClient->PUTFileWithUrl(QUrl(mServer->origin() + QStringLiteral("/bucket/in")), source.fileName(), {},
                                    nullptr, collectUpload(outcome));
            QTRY_COMPARE_WITH_TIMEOUT(outcome->count(), 1, 15000);
            QVERIFY2(outcome->error.isNull(), qPrintable(outcome->error.localizedDescription()));
        };
        const auto download = [&](const QString &name) {
            auto outcome = std::make_shared<Outcome>();
            mClient->downloadFile(mServer->origin() + QStringLiteral("/files/r"), dir.filePath(name),
                                  collectDownload(outcome));
            QTRY_COMPARE_WITH_TIMEOUT(outcome->count(), 1, 15000);
            QVERIFY2(outcome->error.isNull(), qPrintable(outcome->error.localizedDescription()));
            QCOMPARE(QFileInfo(dir.filePath(name)).size(), payload.size());
        };
        upload();
        download(QStringLiteral("a.bin"));
        download(QStringLiteral("b.bin"));
        QCOMPARE(mServer->requests().size(), 3);
        QCOMPARE(mServer->connectionCount(), 1);

        mServer->dropConnections();
        upload();
        download(QStringLiteral("c.bin"));
        QCOMPARE(mServer->requests().size(), 5);
        QCOMPARE(mServer->requests().at(3).body, payload);
        QCOMPARE(mServer->connectionCount(), 2);
    }
    // Beyond the running limit transfers wait their turn, then go over the
    // kept connections; cancelling ends the waiting ones too, once each.
    void transfersBeyondTheLimitWaitTheirTurn()
    {
        constexpr int count = FileTransfers::kMaxRunning + 4;
        bool hang = true;
        mServer->setHandler([&hang](const RecordedRequest &) {
            FakeResponse response = hang ? FakeResponse::hang() : FakeResponse::json("result");
            response.delayMs = hang ? 0 : 20;
            return response;
        });
        QTemporaryDir dir;
        const auto startAll = [&](const QString &prefix) {
            QList<std::shared_ptr<Outcome>> outcomes;
            for (int i = 0; i < count; ++i) {
                outcomes.append(std::make_shared<Outcome>());
                mClient->downloadFile(mServer->origin() + QStringLiteral("/r/%1").arg(i),
                                      dir.filePath(prefix + QString::number(i)), collectDownload(outcomes.last()));
            }
            return outcomes;
        };
        QList<std::shared_ptr<Outcome>> cancelled = startAll(QStringLiteral("c"));
        QTRY_COMPARE_WITH_TIMEOUT(mServer->requests().size(), FileTransfers::kMaxRunning, 15000);
        QTest::qWait(scaledMs(200));
        QCOMPARE(mServer->requests().size(), FileTransfers::kMaxRunning);
        mClient->cancelAll();
        for (const auto &outcome : cancelled) {
            QCOMPARE(outcome->count(), 1);
            QVERIFY(!outcome->error.isNull());
        }
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

        hang = false;
        mServer->clearRequests();
        const int connectionsBefore = mServer->connectionCount();
        const QList<std::shared_ptr<Outcome>> done = startAll(QStringLiteral("d"));
        for (const auto &outcome : done) {
            QTRY_COMPARE_WITH_TIMEOUT(outcome->count(), 1, 15000);
            QVERIFY2(outcome->error.isNull(), qPrintable(outcome->error.localizedDescription()));
        }
        QCOMPARE(mServer->requests().size(), count);
        QVERIFY(mServer->connectionCount() - connectionsBefore <= FileTransfers::kMaxRunning);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), count);
    }
};

MIRELUNE_TEST_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
