// docx -> pdf throughput of mirelune-service with its default workers against
// sequential cold LibreOffice runs of the same files, measured in one run.
//   bench_service_throughput [FILES] [ROUNDS]
#include "support/service/ServiceClient.h"
#include "support/service/ServiceProcess.h"
#include "support/service/TestDocuments.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

QStringList makeDocuments(const QString &folder, int count)
{
    QDir().mkpath(folder);
    QStringList texts;
    for (int i = 1; i <= count; ++i) {
        const QString text = folder + QStringLiteral("/letter-%1.txt").arg(i, 2, 10, QLatin1Char('0'));
        QByteArray body = "Letter " + QByteArray::number(i) + "\n\n";
        for (int line = 0; line < 30; ++line)
            body += "This is line " + QByteArray::number(line) + " of a small document about nothing much.\n";
        TestDocuments::write(text, body);
        texts << text;
    }
    const QString profile = folder + QStringLiteral("/profile");
    QStringList arguments = {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                             QStringLiteral("--headless"),
                             QStringLiteral("--convert-to"),
                             QStringLiteral("docx:MS Word 2007 XML"),
                             QStringLiteral("--outdir"),
                             folder};
    TestDocuments::run(QStringLiteral("soffice"), arguments + texts, 600000);
    QStringList documents;
    for (const QString &text : std::as_const(texts))
        documents << QString(text).replace(QStringLiteral(".txt"), QStringLiteral(".docx"));
    return documents;
}

// One cold LibreOffice process per file, one after the other; seconds for all.
double coldRound(const QStringList &documents, const QString &profile, const QString &out)
{
    QElapsedTimer clock;
    clock.start();
    for (const QString &document : documents) {
        TestDocuments::run(QStringLiteral("soffice"),
                           {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                            QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                            QStringLiteral("--outdir"), out, document});
    }
    return clock.elapsed() / 1000.0;
}

// Upload all, create all tasks, wait for all and download every result.
double serviceRound(ServiceClient &client, const QString &token, const QStringList &documents, int *failures)
{
    QElapsedTimer clock;
    clock.start();
    QStringList tasks;
    for (const QString &document : documents) {
        const QString file = client.upload(token, QFileInfo(document).fileName(), TestDocuments::read(document));
        tasks << client.taskId(client.createTask(token, QStringLiteral("word-to-pdf"), {file}));
    }
    for (const QString &task : std::as_const(tasks)) {
        const QJsonObject data = client.waitForTask(token, task, 600000);
        const QUrl url(data.value(QStringLiteral("target_file")).toObject().value(QStringLiteral("url")).toString());
        const ServiceClient::Reply result = client.get(url);
        if (!url.isValid() || result.status != 200 || !result.body.startsWith("%PDF-"))
            ++*failures;
    }
    return clock.elapsed() / 1000.0;
}

QString seconds(const QList<double> &values)
{
    QStringList parts;
    for (const double value : values)
        parts << QString::number(value, 'f', 1);
    return parts.join(QStringLiteral(" "));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int count = arguments.size() > 1 ? arguments[1].toInt() : 20;
    const int rounds = arguments.size() > 2 ? arguments[2].toInt() : 3;
    QTemporaryDir dir;
    const QStringList documents = makeDocuments(dir.filePath(QStringLiteral("docs")), count);
    const QString profile = dir.filePath(QStringLiteral("cold-profile"));
    // The baseline's profile is made before timing starts, as the service's workers' are.
    coldRound(documents.mid(0, 1), profile, dir.filePath(QStringLiteral("warmup")));

    // The service as shipped (a warm LibreOffice per worker) and with --cold-office.
    ServiceProcess warm(dir.filePath(QStringLiteral("warm")));
    ServiceProcess coldService(dir.filePath(QStringLiteral("cold-service")));
    if (!warm.start() || !coldService.start({QStringLiteral("--cold-office")})) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    ServiceClient warmClient(warm);
    ServiceClient coldClient(coldService);
    const QString warmToken = warmClient.apiToken();
    const QString coldToken = coldClient.apiToken();
    const int workers = QThread::idealThreadCount();
    int failures = 0;
    serviceRound(warmClient, warmToken, documents.mid(0, workers), &failures);
    serviceRound(coldClient, coldToken, documents.mid(0, workers), &failures);

    QList<double> cold;
    QList<double> served;
    QList<double> servedCold;
    for (int round = 0; round < rounds; ++round) {
        cold << coldRound(documents, profile, dir.filePath(QStringLiteral("cold-%1").arg(round)));
        served << serviceRound(warmClient, warmToken, documents, &failures);
        servedCold << serviceRound(coldClient, coldToken, documents, &failures);
    }
    warm.stop();
    coldService.stop();
    const double coldRate = count / median(cold);
    const double serviceRate = count / median(served);
    const double serviceColdRate = count / median(servedCold);
    std::printf("docx -> pdf, %d files, %d rounds, service workers: %d (default)\n", count, rounds, workers);
    std::printf("cold soffice, sequential:       rounds %s s, median %.1f s = %.2f files/s\n",
                qPrintable(seconds(cold)), median(cold), coldRate);
    std::printf("mirelune-service:               rounds %s s, median %.1f s = %.2f files/s\n",
                qPrintable(seconds(served)), median(served), serviceRate);
    std::printf("mirelune-service --cold-office: rounds %s s, median %.1f s = %.2f files/s\n",
                qPrintable(seconds(servedCold)), median(servedCold), serviceColdRate);
    std::printf("ratio service / cold: %.2fx (target >= 2x); --cold-office / cold: %.2fx; failed conversions: %d\n",
                serviceRate / coldRate, serviceColdRate / coldRate, failures);
    return failures == 0 ? 0 : 1;
}
