// Upload throughput of the client's HTTP layer and of a whole mirelune-cli
// run against curl -T, and download throughput of the client's HTTP layer
// against curl, to the same loopback TLS server in the same run. Prints medians, the ratios and the peak resident
// memory of our side. Not a test: it only reports figures.
//
//   bench_upload [--size-mib N] [--runs N]      (needs mirelune-cli beside ../src/cli, curl, openssl)

#include "frameworks/DIRADoduredode.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// ---- the sink: a minimal service and object store that discards uploads ----

struct Connection {
    QByteArray head;
    qint64 bodyLeft = -1; // -1 while reading the head
    QByteArray method;
    QByteArray path;
};

QByteArray reply(const QByteArray &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: keep-alive\r\n\r\n" + body;
}

QByteArray answer(const Connection &c, quint16 port)
{
    if (c.path.endsWith("/sessions"))
        return reply(R"({"status":1,"data":{"user":{"api_token":"bench-api-token"}}})");
    if (c.path.endsWith("/authentications"))
        return reply(QByteArray(R"({"status":1,"data":{"endpoint":"127.0.0.1:)") + QByteArray::number(port) +
                     R"(","access_id":"id","access_secret":"secret","security_token":"sts","bucket":"bench",)"
                     R"("callback_url":"","objects":{"big.pdf":"big.pdf"}}})");
    if (c.method == "PUT")
        return reply(R"({"status":1,"data":{"id":"f1"}})");
    // The task is accepted, then fails: the run ends after the upload, paced
    // as the self-hosted service paces it.
    const QByteArray pace = R"("poll_interval_ms":100,"download_stagger_ms":0)";
    if (c.path.endsWith("/tasks"))
        return reply(R"({"status":1,"data":{"task_id":"t1",)" + pace + "}}");
    return reply(R"({"status":1,"data":{"status":-1,"progress":0,"errors":"the bench stops after the upload",)" + pace +
                 "}}");
}

qint64 gDownloadBytes = 0;

// Sends the download's body in chunks as the socket drains, so the sink's
// memory stays small whatever the size.
void streamDownload(QSslSocket *socket, std::shared_ptr<qint64> left)
{
    static const QByteArray chunk(1 << 20, 'x');
    while (*left > 0 && socket->bytesToWrite() < 4 * chunk.size()) {
        const qint64 n = std::min<qint64>(*left, chunk.size());
        socket->write(chunk.constData(), n);
        *left -= n;
    }
}

void startDownload(QSslSocket *socket)
{
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\nContent-Length: " +
                  QByteArray::number(gDownloadBytes) + "\r\n\r\n");
    auto left = std::make_shared<qint64>(gDownloadBytes);
    QObject::connect(socket, &QSslSocket::bytesWritten, socket, [socket, left] { streamDownload(socket, left); });
    streamDownload(socket, left);
}

void serveSink(QSslSocket *socket, Connection &c, quint16 port)
{
    while (socket->bytesAvailable() > 0) {
        if (c.bodyLeft < 0) {
            c.head += socket->read(4096);
            const qsizetype end = c.head.indexOf("\r\n\r\n");
            if (end < 0)
                continue;
            QByteArray rest = c.head.mid(end + 4);
            const QList<QByteArray> lines = c.head.left(end).split('\n');
            c.method = lines.value(0).split(' ').value(0);
            c.path = lines.value(0).split(' ').value(1);
            c.bodyLeft = 0;
            for (const QByteArray &line : lines) {
                if (line.toLower().startsWith("content-length:"))
                    c.bodyLeft = line.mid(15).trimmed().toLongLong();
            }
            c.head.clear();
            c.bodyLeft -= rest.size();
        } else {
            c.bodyLeft -= socket->read(std::min<qint64>(c.bodyLeft, 1 << 20)).size();
        }
        if (c.bodyLeft == 0 && c.method == "GET" && c.path.endsWith("/bench/big.pdf")) {
            startDownload(socket);
            c = Connection();
        } else if (c.bodyLeft == 0) {
            socket->write(answer(c, port));
            c = Connection();
        }
    }
}

int runSink(const QString &certificate, const QString &key)
{
    QSslServer server;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate::fromPath(certificate).value(0));
    QFile keyFile(key);
    keyFile.open(QIODevice::ReadOnly);
    configuration.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    server.setSslConfiguration(configuration);
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 1;
    std::printf("%d\n", server.serverPort());
    std::fflush(stdout);
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [&server] {
        while (auto *socket = qobject_cast<QSslSocket *>(server.nextPendingConnection())) {
            auto *connection = new Connection;
            QObject::connect(socket, &QSslSocket::readyRead,
                             [socket, connection, &server] { serveSink(socket, *connection, server.serverPort()); });
            QObject::connect(socket, &QSslSocket::disconnected, [socket, connection] {
                delete connection;
                socket->deleteLater();
            });
        }
    });
    return QCoreApplication::exec();
}

// ---- our side of one transfer alone: the client's HTTP layer, as the app uses it ----

// Runs on the client's thread: the exit code is set before the main thread
// is told to quit, which reads it.
void finishWith(const ToolError &error, std::atomic<int> &code)
{
    if (!error.isNull())
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
    code = error.isNull() ? 0 : 3;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit);
}

int runTransfer(bool upload, const QString &url, const QString &caFile, const QString &file)
{
    DIRADoduredode client;
    if (!client.addCaCertificatesFromFile(caFile))
        return 1;
    std::atomic<int> code = 2;
    if (upload) {
        client.PUTFileWithUrl(
            QUrl(url), file, {{QStringLiteral("Content-Type"), QStringLiteral("application/pdf")}}, {},
            [&code](const ToolError &error, int, const QByteArray &, const QByteArray &) { finishWith(error, code); });
    } else {
        client.downloadFile(url, file, [&code](float, bool finished, const ToolError &error) {
            if (finished)
                finishWith(error, code);
        });
    }
    QCoreApplication::exec();
    return code;
}

// ---- the driver ----

struct Measure {
    double seconds = 0;
    long peakKiB = 0;
    int exitCode = -1;
};

Measure spawnAndWait(const QStringList &command)
{
    std::vector<QByteArray> args;
    for (const QString &part : command)
        args.push_back(part.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    Measure measure;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return measure;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    measure.seconds = double(timer.nsecsElapsed()) / 1e9;
    measure.peakKiB = usage.ru_maxrss;
    measure.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return measure;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The runs of one side of a comparison.
struct Side {
    std::vector<double> seconds;
    long peakKiB = 0;
    int failures = 0;

    void add(const Measure &m, int expectedExit = 0)
    {
        seconds.push_back(m.seconds);
        peakKiB = std::max(peakKiB, m.peakKiB);
        failures += m.exitCode != expectedExit;
    }
    // Throughput of `ours` over `theirs`: the inverse ratio of the median times.
    static double rateRatio(const Side &ours, const Side &theirs)
    {
        return median(theirs.seconds) / median(ours.seconds);
    }
};

void report(QTextStream &out, const char *label, const Side &side, double mib)
{
    const double seconds = median(side.seconds);
    out << "  " << label << ": " << seconds << " s, " << mib / seconds << " MiB/s, peak RSS " << side.peakKiB / 1024.0
        << " MiB";
    if (side.failures)
        out << ", " << side.failures << " runs failed";
    out << "\n";
}

bool openssl(const QString &folder, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("openssl"), arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

bool makeCertificates(const QString &folder)
{
    QFile ext(folder + QStringLiteral("/server.ext"));
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write("subjectAltName=IP:127.0.0.1\n");
    ext.close();
    const auto s = [](const char *text) { return QString::fromLatin1(text); };
    return openssl(folder, {s("req"), s("-x509"), s("-newkey"), s("rsa:2048"), s("-nodes"), s("-keyout"), s("ca.key"),
                            s("-out"), s("ca.pem"), s("-days"), s("1"), s("-subj"), s("/CN=bench CA")}) &&
           openssl(folder, {s("req"), s("-newkey"), s("rsa:2048"), s("-nodes"), s("-keyout"), s("server.key"),
                            s("-out"), s("server.csr"), s("-subj"), s("/CN=127.0.0.1")}) &&
           openssl(folder, {s("x509"), s("-req"), s("-in"), s("server.csr"), s("-CA"), s("ca.pem"), s("-CAkey"),
                            s("ca.key"), s("-CAcreateserial"), s("-out"), s("server.pem"), s("-days"), s("1"),
                            s("-extfile"), s("server.ext")});
}

QString findCli()
{
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString &candidate :
         QStringList{here + QStringLiteral("/../src/cli/mirelune-cli"), here + QStringLiteral("/mirelune-cli")}) {
        if (QFile::exists(candidate))
            return QDir::cleanPath(candidate);
    }
    return QStringLiteral("mirelune-cli");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions(
        {{QStringLiteral("sink"), QStringLiteral("internal")},
         {QStringLiteral("cert"), QStringLiteral("internal"), QStringLiteral("file")},
         {QStringLiteral("key"), QStringLiteral("internal"), QStringLiteral("file")},
         {QStringLiteral("fetch"), QStringLiteral("internal"), QStringLiteral("url")},
         {QStringLiteral("put"), QStringLiteral("internal"), QStringLiteral("url")},
         {QStringLiteral("ca"), QStringLiteral("internal"), QStringLiteral("file")},
         {QStringLiteral("out"), QStringLiteral("internal"), QStringLiteral("file")},
         {QStringLiteral("size-mib"), QStringLiteral("file size"), QStringLiteral("n"), QStringLiteral("1024")},
         {QStringLiteral("runs"), QStringLiteral("runs per side"), QStringLiteral("n"), QStringLiteral("3")}});
    parser.process(app);
    const qint64 size = parser.value(QStringLiteral("size-mib")).toLongLong() * 1024 * 1024;
    if (parser.isSet(QStringLiteral("sink"))) {
        gDownloadBytes = size;
        return runSink(parser.value(QStringLiteral("cert")), parser.value(QStringLiteral("key")));
    }
    for (const QString &mode : {QStringLiteral("put"), QStringLiteral("fetch")}) {
        if (parser.isSet(mode))
            return runTransfer(mode == QLatin1String("put"), parser.value(mode), parser.value(QStringLiteral("ca")),
                               parser.value(QStringLiteral("out")));
    }

    QTemporaryDir dir;
    if (!makeCertificates(dir.path())) {
        std::fprintf(stderr, "bench_upload: openssl failed\n");
        return 1;
    }
    QProcess sink;
    sink.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--sink"), QStringLiteral("--cert"), dir.filePath(QStringLiteral("server.pem")),
                QStringLiteral("--key"), dir.filePath(QStringLiteral("server.key")), QStringLiteral("--size-mib"),
                parser.value(QStringLiteral("size-mib"))});
    if (!sink.waitForReadyRead(10000))
        return 1;
    const QString port = QString::fromLatin1(sink.readLine().trimmed());

    const QString big = dir.filePath(QStringLiteral("big.pdf"));
    QFile file(big);
    file.open(QIODevice::WriteOnly);
    file.resize(size); // sparse: reading it costs no disk time on either side
    file.close();

    const QString base = QStringLiteral("https://127.0.0.1:") + port;
    const QStringList cli{findCli(),
                          QStringLiteral("-q"),
                          QStringLiteral("--service"),
                          base + QStringLiteral("/api"),
                          QStringLiteral("--ca-file"),
                          dir.filePath(QStringLiteral("ca.pem")),
                          QStringLiteral("--identity-token"),
                          QStringLiteral("bench"),
                          QStringLiteral("-o"),
                          dir.path(),
                          big};
    const QStringList curl{QStringLiteral("curl"),
                           QStringLiteral("-sS"),
                           QStringLiteral("--cacert"),
                           dir.filePath(QStringLiteral("ca.pem")),
                           QStringLiteral("-H"),
                           QStringLiteral("Expect:"), // the sink sends no 100 Continue: no 1 s wait for it
                           QStringLiteral("-T"),
                           big,
                           base + QStringLiteral("/bench/big.pdf"),
                           QStringLiteral("-o"),
                           QStringLiteral("/dev/null")};
    // Downloads go to /dev/null on both sides: the wire and TLS are measured, not the disk.
    const QString bigUrl = base + QStringLiteral("/bench/big.pdf");
    const QStringList fetch{QCoreApplication::applicationFilePath(),
                            QStringLiteral("--fetch"),
                            bigUrl,
                            QStringLiteral("--ca"),
                            dir.filePath(QStringLiteral("ca.pem")),
                            QStringLiteral("--out"),
                            QStringLiteral("/dev/null")};
    QStringList put = fetch;
    put[1] = QStringLiteral("--put");
    put.last() = big;
    const QStringList curlGet{QStringLiteral("curl"),
                              QStringLiteral("-sS"),
                              QStringLiteral("--cacert"),
                              dir.filePath(QStringLiteral("ca.pem")),
                              bigUrl,
                              QStringLiteral("-o"),
                              QStringLiteral("/dev/null")};
    Side up;
    Side upClient;
    Side upCurl;
    Side down;
    Side downCurl;
    const int runs = parser.value(QStringLiteral("runs")).toInt();
    for (int i = 0; i < runs; ++i) {
        up.add(spawnAndWait(cli), 3); // the sink refuses the task after the upload: the run fails
        upClient.add(spawnAndWait(put));
        upCurl.add(spawnAndWait(curl));
        down.add(spawnAndWait(fetch));
        downCurl.add(spawnAndWait(curlGet));
    }
    sink.kill();
    sink.waitForFinished();
    const double mib = double(size) / (1024.0 * 1024.0);
    QTextStream out(stdout);
    out << "transfers of " << mib << " MiB over loopback TLS, median of " << runs << " runs each\n";
    report(out, "upload, HTTP client   ", upClient, mib);
    report(out, "upload, curl -T       ", upCurl, mib);
    out << "  ratio upload client/curl throughput:   " << Side::rateRatio(upClient, upCurl) << "\n";
    report(out, "upload, mirelune-cli  ", up, mib);
    out << "  ratio cli/curl (the CLI's run adds sign-in, credentials and the task): " << Side::rateRatio(up, upCurl)
        << "\n";
    report(out, "download, HTTP client ", down, mib);
    report(out, "download, curl        ", downCurl, mib);
    out << "  ratio download client/curl throughput: " << Side::rateRatio(down, downCurl) << "\n";
    return 0;
}
