// Throughput of mirelune-service nodes sharing one PostgreSQL database and one
// data folder: the same batch of PDF -> PNG conversions on 1 node and on 2
// nodes (one worker each), and on 1 node with 2 workers for comparison, with
// uploads and task creations spread over the nodes as a load balancer would.
// All nodes run on this machine, so they share its cores.
//   bench_service_nodes [TASKS] [ROUNDS]        (defaults: 40 3)
#include "support/service/PostgresCluster.h"
#include "support/service/ServiceClient.h"
#include "support/service/ServiceProcess.h"
#include "support/service/TestDocuments.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Setup {
    const char *name;
    int nodes;
    int workers;
};

struct Cluster {
    std::vector<std::unique_ptr<ServiceProcess>> nodes;
    std::vector<std::unique_ptr<ServiceClient>> clients;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

QByteArray document(int index)
{
    QList<QStringList> pages;
    for (int page = 1; page <= 3; ++page)
        pages.append({QStringLiteral("Document %1, page %2").arg(index).arg(page),
                      QStringLiteral("A few lines of text so that the page is not empty.")});
    return TestDocuments::pdf(pages);
}

// Upload all, create all (each on the next node), wait for all, download every result.
double round(Cluster &cluster, const QString &token, const QList<QByteArray> &documents, int *failures)
{
    QElapsedTimer clock;
    clock.start();
    const size_t nodes = cluster.clients.size();
    QStringList tasks;
    for (qsizetype i = 0; i < documents.size(); ++i) {
        ServiceClient &uploader = *cluster.clients[size_t(i) % nodes];
        ServiceClient &creator = *cluster.clients[size_t(i + 1) % nodes];
        const QString file = uploader.upload(token, QStringLiteral("doc-%1.pdf").arg(i), documents[i]);
        tasks << creator.taskId(creator.createTask(token, QStringLiteral("pdf-to-image"), {file},
                                                   {{QStringLiteral("format"), QStringLiteral("png")}}));
    }
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        ServiceClient &client = *cluster.clients[size_t(i) % nodes];
        const QJsonObject data = client.waitForTask(token, tasks[i], 600000);
        QUrl url(data.value(QStringLiteral("target_file")).toObject().value(QStringLiteral("url")).toString());
        url.setPort(client.port());
        if (data.value(QStringLiteral("status")).toInt() != 2 || client.get(url).status != 200)
            ++*failures;
    }
    return clock.elapsed() / 1000.0;
}

bool startNodes(PostgresCluster &postgres, const QString &folder, const Setup &setup, int index, Cluster *cluster)
{
    const QString database = QStringLiteral("bench_%1").arg(index);
    if (!postgres.createDatabase(database))
        return false;
    for (int node = 0; node < setup.nodes; ++node) {
        auto process = std::make_unique<ServiceProcess>(folder);
        if (!process->start({QStringLiteral("--database"), postgres.url(database), QStringLiteral("--node-id"),
                             QStringLiteral("bench-%1").arg(node), QStringLiteral("--workers"),
                             QString::number(setup.workers)}))
            return false;
        cluster->clients.push_back(std::make_unique<ServiceClient>(*process));
        cluster->nodes.push_back(std::move(process));
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured
    const QStringList arguments = app.arguments();
    const int count = arguments.size() > 1 ? qMax(1, arguments[1].toInt()) : 40;
    const int rounds = arguments.size() > 2 ? qMax(1, arguments[2].toInt()) : 3;
    QTemporaryDir dir;
    PostgresCluster postgres;
    QString error;
    if (!postgres.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    QList<QByteArray> documents;
    for (int i = 0; i < count; ++i)
        documents << document(i);

    const Setup setups[] = {
        {"1 node,  1 worker ", 1, 1}, {"2 nodes, 1 worker each", 2, 1}, {"1 node,  2 workers", 1, 2}};
    std::printf("pdf -> png (3 pages each), %d tasks, %d rounds, %d cores here, PostgreSQL records\n", count, rounds,
                QThread::idealThreadCount());
    double single = 0;
    int failures = 0;
    int index = 0;
    for (const Setup &setup : setups) {
        Cluster cluster;
        if (!startNodes(postgres, dir.filePath(QStringLiteral("data-%1").arg(index)), setup, index, &cluster)) {
            std::fprintf(stderr, "the nodes did not start\n");
            return 1;
        }
        ++index;
        const QString token = cluster.clients.front()->apiToken();
        round(cluster, token, documents.mid(0, 2 * setup.nodes), &failures); // warm-up
        QList<double> seconds;
        for (int r = 0; r < rounds; ++r)
            seconds << round(cluster, token, documents, &failures);
        const double rate = count / median(seconds);
        if (single == 0)
            single = rate;
        std::printf("%-24s median %6.2f s = %6.2f tasks/s (x%.2f)\n", setup.name, median(seconds), rate, rate / single);
        for (auto &node : cluster.nodes)
            node->stop();
    }
    std::printf("failed conversions: %d\n", failures);
    return failures == 0 ? 0 : 1;
}
