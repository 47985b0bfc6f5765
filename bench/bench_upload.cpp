// Upload throughput of mirelune-cli against curl -T, to the same loopback
// object store, in the same run. Prints medians, the ratio and the CLI's peak
// resident memory. Not a test: it only reports figures.
//
//   bench_upload [--size-mib N] [--runs N]      (needs mirelune-cli beside ../src/cli, curl, openssl)

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
#include <cstdio>
#include <fcntl.h>
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
    return reply(R"({"status":0,"message":"the bench stops after the upload"})"); // creation fails: the run ends
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
        if (c.bodyLeft == 0) {
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
         {QStringLiteral("size-mib"), QStringLiteral("file size"), QStringLiteral("n"), QStringLiteral("1024")},
         {QStringLiteral("runs"), QStringLiteral("runs per side"), QStringLiteral("n"), QStringLiteral("3")}});
    parser.process(app);
    if (parser.isSet(QStringLiteral("sink")))
        return runSink(parser.value(QStringLiteral("cert")), parser.value(QStringLiteral("key")));

    QTemporaryDir dir;
    if (!makeCertificates(dir.path())) {
        std::fprintf(stderr, "bench_upload: openssl failed\n");
        return 1;
    }
    QProcess sink;
    sink.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--sink"), QStringLiteral("--cert"), dir.filePath(QStringLiteral("server.pem")),
                QStringLiteral("--key"), dir.filePath(QStringLiteral("server.key"))});
    if (!sink.waitForReadyRead(10000))
        return 1;
    const QString port = QString::fromLatin1(sink.readLine().trimmed());

    const qint64 size = parser.value(QStringLiteral("size-mib")).toLongLong() * 1024 * 1024;
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
                           QStringLiteral("-T"),
                           big,
                           base + QStringLiteral("/bench/big.pdf"),
                           QStringLiteral("-o"),
                           QStringLiteral("/dev/null")};
    std::vector<double> cliSeconds;
    std::vector<double> curlSeconds;
    long cliPeak = 0;
    const int runs = parser.value(QStringLiteral("runs")).toInt();
    for (int i = 0; i < runs; ++i) {
        const Measure c = spawnAndWait(cli);
        const Measure u = spawnAndWait(curl);
        cliSeconds.push_back(c.seconds);
        curlSeconds.push_back(u.seconds);
        cliPeak = std::max(cliPeak, c.peakKiB);
    }
    sink.kill();
    sink.waitForFinished();
    const double mib = double(size) / (1024.0 * 1024.0);
    const double cliRate = mib / median(cliSeconds);
    const double curlRate = mib / median(curlSeconds);
    QTextStream out(stdout);
    out << "upload of " << mib << " MiB over loopback TLS, median of " << runs << " runs\n";
    out << "  mirelune-cli: " << median(cliSeconds) << " s, " << cliRate << " MiB/s, peak RSS " << cliPeak / 1024.0
        << " MiB\n";
    out << "  curl -T:      " << median(curlSeconds) << " s, " << curlRate << " MiB/s\n";
    out << "  ratio cli/curl throughput: " << cliRate / curlRate << "\n";
    return 0;
}
