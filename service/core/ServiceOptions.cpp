#include "core/ServiceOptions.h"

#include "store/DataFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostInfo>
#include <QRegularExpression>
#include <QThread>

#include <functional>

namespace {

bool positive(const QString &text, qint64 minimum, qint64 *value)
{
    bool ok = false;
    *value = text.toLongLong(&ok);
    return ok && *value >= minimum;
}

struct ClusterOptions {
    const QCommandLineOption &database;
    const QCommandLineOption &nodeId;
    const QCommandLineOption &publicUrl;
};

bool parseCluster(const QCommandLineParser &parser, const ClusterOptions &names, ServiceOptions *options,
                  QString *message)
{
    if (parser.isSet(names.database)) {
        QString problem;
        options->database = DatabaseUrl::parse(parser.value(names.database), &problem);
        if (!options->database) {
            *message = QStringLiteral("--database: %1").arg(problem);
            return false;
        }
    }
    options->nodeId = parser.isSet(names.nodeId) ? parser.value(names.nodeId) : ServiceOptions::defaultNodeId();
    if (!ServiceOptions::validNodeId(options->nodeId)) {
        *message = QStringLiteral("--node-id: letters, digits, '.', '_' and '-' only, at most 64: %1")
                       .arg(options->nodeId.left(64));
        return false;
    }
    if (parser.isSet(names.publicUrl)) {
        const std::optional<QUrl> url = ServiceOptions::parsePublicUrl(parser.value(names.publicUrl));
        if (!url) {
            *message = QStringLiteral("--public-url: not an https://HOST[:PORT] URL with nothing after the port");
            return false;
        }
        options->publicUrl = *url;
    }
    return true;
}

} // namespace

bool ServiceOptions::parseListen(const QString &text, QHostAddress *address, quint16 *port)
{
    QString host = text;
    QString portText = QStringLiteral("0");
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype end = text.indexOf(QLatin1Char(']'));
        if (end < 0)
            return false;
        host = text.mid(1, end - 1);
        const QString rest = text.mid(end + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return false;
        if (!rest.isEmpty())
            portText = rest.mid(1);
    } else if (text.count(QLatin1Char(':')) == 1) {
        host = text.section(QLatin1Char(':'), 0, 0);
        portText = text.section(QLatin1Char(':'), 1);
    }
    if (host == QLatin1String("localhost"))
        host = QStringLiteral("127.0.0.1");
    bool ok = false;
    const uint number = portText.toUInt(&ok);
    if (!ok || number > 65535 || !address->setAddress(host))
        return false;
    *port = quint16(number);
    return true;
}

std::optional<QUrl> ServiceOptions::parsePublicUrl(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString path = url.path();
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty() || !url.userInfo().isEmpty() ||
        url.hasQuery() || url.hasFragment() || (!path.isEmpty() && path != QLatin1String("/")) || url.port(443) <= 0)
        return std::nullopt;
    QUrl origin;
    origin.setScheme(QStringLiteral("https"));
    origin.setHost(url.host().toLower());
    origin.setPort(url.port(443));
    return origin;
}

bool ServiceOptions::validNodeId(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,63}$"));
    return pattern.match(text).hasMatch();
}

QString ServiceOptions::defaultNodeId()
{
    QString host;
    for (const QChar c : QHostInfo::localHostName().section(QLatin1Char('.'), 0, 0)) {
        if (c.isLetterOrNumber() && c.unicode() < 0x80)
            host.append(c);
        else
            host.append(QLatin1Char('-'));
    }
    host = host.left(40);
    if (host.isEmpty())
        host = QStringLiteral("node");
    return host + QLatin1Char('-') + QString::number(QCoreApplication::applicationPid());
}

std::optional<ServiceOptions> ServiceOptions::parse(const QStringList &arguments, QString *message, int *exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The Mirelune conversion service (HTTPS on loopback by default)."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption listen(
        QStringLiteral("listen"), QStringLiteral("Address and port to listen on (default 127.0.0.1 and a free port)."),
        QStringLiteral("ADDRESS[:PORT]"));
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("Data folder."), QStringLiteral("DIR"),
                                  DataFolder::defaultRoot());
    const QCommandLineOption workers(
        QStringLiteral("workers"),
        QStringLiteral("Conversions run at once (default: the number of cores; 0 queues only)."), QStringLiteral("N"));
    const QCommandLineOption maxUpload(QStringLiteral("max-upload"),
                                       QStringLiteral("Largest upload in bytes (default 2 GiB)."),
                                       QStringLiteral("BYTES"));
    const QCommandLineOption keep(QStringLiteral("keep"),
                                  QStringLiteral("Hours uploads and results are kept (default 24)."),
                                  QStringLiteral("HOURS"));
    const QCommandLineOption timeout(QStringLiteral("job-timeout"),
                                     QStringLiteral("Seconds one conversion may take (default 300)."),
                                     QStringLiteral("SECONDS"));
    const QCommandLineOption idle(QStringLiteral("idle-exit"),
                                  QStringLiteral("Stop after this many idle minutes with no task (default: never)."),
                                  QStringLiteral("MINUTES"));
    const QCommandLineOption cold(
        QStringLiteral("cold-office"),
        QStringLiteral("Start LibreOffice for every conversion instead of keeping one per worker."));
    const QCommandLineOption pollInterval(
        QStringLiteral("poll-interval"),
        QStringLiteral("Milliseconds between status polls suggested to clients (default 200, at least 100)."),
        QStringLiteral("MS"));
    const QCommandLineOption downloadStagger(
        QStringLiteral("download-stagger"),
        QStringLiteral("Milliseconds between the starts of downloads suggested to clients (default 0)."),
        QStringLiteral("MS"));
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("PostgreSQL database shared by several nodes (default: SQLite in the data folder)."),
        QStringLiteral("postgresql://USER@HOST[:PORT]/DB"));
    const QCommandLineOption nodeId(QStringLiteral("node-id"),
                                    QStringLiteral("This node's name (default: hostname-pid)."), QStringLiteral("ID"));
    const QCommandLineOption publicUrl(
        QStringLiteral("public-url"),
        QStringLiteral("The address clients reach the service under, used in the URLs it hands out."),
        QStringLiteral("https://HOST[:PORT]"));
    const QCommandLineOption lease(
        QStringLiteral("task-lease"),
        QStringLiteral("Seconds a task stays with a node that stopped renewing its lease (default 30)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption tlsCertificate(
        QStringLiteral("tls-cert"),
        QStringLiteral("PEM certificate (and intermediates) to serve instead of the private CA's."),
        QStringLiteral("FILE"));
    const QCommandLineOption tlsKey(QStringLiteral("tls-key"), QStringLiteral("PEM key of --tls-cert."),
                                    QStringLiteral("FILE"));
    parser.addOptions({listen, data, workers, maxUpload, keep, timeout, idle, cold, pollInterval, downloadStagger,
                       database, nodeId, publicUrl, lease, tlsCertificate, tlsKey});
    *exitCode = 2;
    if (!parser.parse(arguments)) {
        *message = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        *exitCode = 0;
        *message = parser.isSet(help) ? parser.helpText()
                                      : QCoreApplication::applicationName() + QLatin1Char(' ') +
                                            QCoreApplication::applicationVersion();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *message = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return std::nullopt;
    }
    ServiceOptions options;
    options.dataFolder = parser.value(data);
    options.coldOffice = parser.isSet(cold);
    options.workers = qMax(1, QThread::idealThreadCount());
    qint64 number = 0;
    if (!parseCluster(parser, {database, nodeId, publicUrl}, &options, message))
        return std::nullopt;
    if (parser.isSet(tlsCertificate) != parser.isSet(tlsKey)) {
        *message = QStringLiteral("--tls-cert and --tls-key go together");
        return std::nullopt;
    }
    options.tlsCertificate = parser.value(tlsCertificate);
    options.tlsKey = parser.value(tlsKey);
    if (parser.isSet(listen)) {
        options.listenGiven = true;
        if (!parseListen(parser.value(listen), &options.listenAddress, &options.port)) {
            *message = QStringLiteral("--listen: not an address[:port]: %1").arg(parser.value(listen));
            return std::nullopt;
        }
    }
    const struct {
        const QCommandLineOption &option;
        qint64 minimum;
        std::function<void(qint64)> store;
    } numbers[] = {
        {workers, 0, [&](qint64 n) { options.workers = int(qMin<qint64>(n, 64)); }},
        {maxUpload, 1, [&](qint64 n) { options.maxUploadBytes = n; }},
        {keep, 1, [&](qint64 n) { options.keepHours = int(qMin<qint64>(n, 24 * 365)); }},
        {timeout, 1, [&](qint64 n) { options.jobTimeoutSeconds = int(qMin<qint64>(n, 24 * 3600)); }},
        {idle, 0, [&](qint64 n) { options.idleExitMinutes = int(qMin<qint64>(n, 24 * 60)); }},
        {pollInterval, 100, [&](qint64 n) { options.pollIntervalMs = int(qMin<qint64>(n, 60000)); }},
        {downloadStagger, 0, [&](qint64 n) { options.downloadStaggerMs = int(qMin<qint64>(n, 60000)); }},
        {lease, 3, [&](qint64 n) { options.leaseSeconds = int(qMin<qint64>(n, 3600)); }},
    };
    for (const auto &entry : numbers) {
        if (!parser.isSet(entry.option))
            continue;
        if (!positive(parser.value(entry.option), entry.minimum, &number)) {
            *message = QStringLiteral("--%1: expected a whole number of at least %2")
                           .arg(entry.option.names().first())
                           .arg(entry.minimum);
            return std::nullopt;
        }
        entry.store(number);
    }
    return options;
}
