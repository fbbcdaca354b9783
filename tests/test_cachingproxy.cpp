// plotwise-archive serve behind nginx set up as dist/nginx/plotwise-archive.conf:
// pages are kept, the tail pages revalidated after an import (304 for those
// that stayed, 200 for those that changed), and Plotwise charts the new day
// through the cache. nginx's clock is moved on with libfaketime, so that
// pages expire without the test waiting for them.
#include "support/ArchiveService.h"
#include "support/RawGet.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

RunResult Run(const QString &program, const QStringList &args, const QString &workDir = {})
{
    return RunProgram(program, args, workDir);
}

QString Nginx()
{
    const QString found = QStandardPaths::findExecutable("nginx");
    return found.isEmpty() ? QStandardPaths::findExecutable("nginx", { "/usr/sbin", "/usr/local/sbin" })
                           : found;
}

QString FakeTimeLibrary()
{
    for (const QString &dir : QDir("/usr/lib").entryList({ "*-linux-gnu*" }, QDir::Dirs))
        if (QFile::exists("/usr/lib/" + dir + "/faketime/libfaketime.so.1"))
            return "/usr/lib/" + dir + "/faketime/libfaketime.so.1";
    return QFile::exists("/usr/lib/faketime/libfaketime.so.1") ? "/usr/lib/faketime/libfaketime.so.1"
                                                                : QString();
}

// A port free a moment ago on 127.0.0.1 (nginx cannot be asked to pick one).
quint16 FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// nginx in its own prefix (configuration, cache, logs, pid) under dir, in
// front of the service, with the deployment's configuration as it ships;
// its clock is the real one moved on by what the file "clock" says.
class CachingProxy
{
public:
    CachingProxy(const QString &dir, quint16 servicePort)
        : m_dir(dir)
    {
        QString site = QString::fromUtf8(ReadAll(QStringLiteral(PLOTWISE_SOURCE_DIR "/dist/nginx/plotwise-archive.conf")));
        m_port = FreePort();
        const QList<QPair<QString, QString>> local = {
            { "/var/cache/nginx/plotwise-archive", dir + "/cache" },
            { "server 127.0.0.1:8642;", QStringLiteral("server 127.0.0.1:%1;").arg(servicePort) },
            { "listen 80;", QStringLiteral("listen 127.0.0.1:%1;").arg(m_port) },
        };
        for (const auto &[from, to] : local) {
            if (!site.contains(from))
                m_problem += "the configuration has no \"" + from + "\"; ";
            site.replace(from, to);
        }
        const QString top = QStringLiteral(
            "daemon off;\nworker_processes 1;\npid %1/nginx.pid;\nerror_log %1/error.log;\n%2"
            "env LD_PRELOAD;\nenv FAKETIME_TIMESTAMP_FILE;\nenv FAKETIME_NO_CACHE;\n"
            "env FAKETIME_DONT_FAKE_MONOTONIC;\nevents { worker_connections 64; }\nhttp {\n"
            "  log_format upstream '$request_uri $upstream_cache_status $upstream_status';\n"
            "  access_log %1/access.log upstream;\n"
            "  client_body_temp_path %1/body;\n  proxy_temp_path %1/proxy;\n"
            "  fastcgi_temp_path %1/fastcgi;\n  uwsgi_temp_path %1/uwsgi;\n  scgi_temp_path %1/scgi;\n"
            "  include %1/site.conf;\n}\n")
                                  .arg(dir, ::geteuid() == 0 ? "user root;\n" : "");
        setClock(0);
        if (!WriteFile(dir + "/site.conf", site.toUtf8()) || !WriteFile(dir + "/nginx.conf", top.toUtf8()))
            m_problem += "cannot write the configuration; ";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", FakeTimeLibrary());
        environment.insert("FAKETIME_TIMESTAMP_FILE", dir + "/clock");
        environment.insert("FAKETIME_NO_CACHE", "1");
        environment.insert("FAKETIME_DONT_FAKE_MONOTONIC", "1");
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(Nginx(), { "-p", dir, "-c", dir + "/nginx.conf" });
        // The pid file is written once the listening socket is bound.
        const QDeadlineTimer deadline(10000);
        while (!QFile::exists(dir + "/nginx.pid") && m_process.state() != QProcess::NotRunning
            && !deadline.hasExpired())
            m_process.waitForFinished(20);
        if (!QFile::exists(dir + "/nginx.pid"))
            m_problem += "nginx did not start: " + QString::fromUtf8(m_process.readAll())
                + QString::fromUtf8(ReadAll(dir + "/error.log"));
    }
    ~CachingProxy()
    {
        m_process.terminate(); // a fast shutdown
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    [[nodiscard]] QString problem() const { return m_problem; }
    [[nodiscard]] quint16 port() const { return m_port; }
    // nginx's clock, seconds ahead of the real one.
    void setClock(int seconds) const { WriteFile(m_dir + "/clock", "+" + QByteArray::number(seconds) + '\n'); }
    // "TARGET CACHE-STATUS UPSTREAM-STATUS" of each request so far.
    [[nodiscard]] QList<QByteArray> log() const { return ReadAll(m_dir + "/access.log").split('\n'); }

private:
    QString m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_problem;
};

QByteArray PageTarget(int game, int page)
{
    return "/xmlapi/boardgame/" + QByteArray::number(game) + "?historical=1&page=" + QByteArray::number(page);
}

// How many requests for target the service's log holds.
int Asked(const QString &log, const QByteArray &target)
{
    return int(ReadAll(log).count("GET " + target + '\t'));
}

} // namespace

class TestCachingProxy : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cacheKeepsPagesAndRevalidatesAfterAnImport();
};

void TestCachingProxy::initTestCase()
{
    if (Nginx().isEmpty())
        QSKIP("nginx is not installed (tools/install-deps.sh installs nginx-light): "
              "the cache in front of the service is not tested");
    QVERIFY2(!FakeTimeLibrary().isEmpty(), "libfaketime is not installed (tools/install-deps.sh)");
}

void TestCachingProxy::cacheKeepsPagesAndRevalidatesAfterAnImport()
{
    QTemporaryDir dir;
    const QString snapshots = dir.filePath("snapshots");
    QCOMPARE(Run(qEnvironmentVariable("PLOTWISE_SAMPLE_SNAPSHOTS"), { "--days", "103", "--games", "40", snapshots }).status, 0);
    QStringList files;
    for (const QFileInfo &file : QDir(snapshots).entryInfoList({ "*.csv" }, QDir::Files, QDir::Name))
        files << file.filePath();
    // The last day is imported later, while the service runs.
    const QString lastDay = QFileInfo(files.last()).fileName().left(10);
    QStringList earlier, later;
    for (const QString &file : files)
        (QFileInfo(file).fileName().startsWith(lastDay) ? later : earlier) << file;
    const QString archive = dir.filePath("a.pwa"), serviceLog = dir.filePath("service.log");
    const QString program = qEnvironmentVariable("PLOTWISE_ARCHIVE");
    QCOMPARE(Run(program, QStringList { "import", archive } + earlier).status, 0);
    ArchiveService service(archive, { "--log", serviceLog });
    QVERIFY2(service.port() != 0, qPrintable(service.errors()));
    QDir(dir.path()).mkpath("nginx/cache");
    CachingProxy proxy(dir.filePath("nginx"), service.port());
    QVERIFY2(proxy.problem().isEmpty(), qPrintable(proxy.problem()));

    // Game 90 is ranked from the first day: a full page, its last page with
    // records, its end page; game 718 joins later; a search.
    const QList<QByteArray> targets = { PageTarget(90, 1), PageTarget(90, 2), PageTarget(90, 3),
        PageTarget(718, 1), PageTarget(718, 2), "/xmlapi/search?search=sample%20game" };
    std::map<QByteArray, RawAnswer> before;
    for (const QByteArray &target : targets) {
        const RawAnswer first = RawGet(proxy.port(), target);
        QCOMPARE(first.status, 200);
        QCOMPARE(first.headers["x-cache-status"], QByteArray("MISS"));
        const RawAnswer second = RawGet(proxy.port(), target);
        QCOMPARE(second.headers["x-cache-status"], QByteArray("HIT"));
        QCOMPARE(second.body, first.body);
        QCOMPARE(Asked(serviceLog, target), 1);
        before[target] = first;
    }
    const RawAnswer packed = RawGet(proxy.port(), PageTarget(90, 1), "raw-check", "Accept-Encoding: gzip\r\n");
    QCOMPARE(packed.headers["content-encoding"], QByteArray("gzip"));
    QVERIFY(packed.body.size() * 4 < before[PageTarget(90, 1)].body.size());

    QCOMPARE(Run(program, QStringList { "import", archive } + later).status, 0);
    // Past the short lifetime of the tail pages, within a full page's.
    proxy.setClock(400);
    int full = 0, changed = 0, kept = 0;
    for (const QByteArray &target : targets) {
        const RawAnswer now = RawGet(proxy.port(), target);
        QCOMPARE(now.status, 200);
        const RawAnswer direct = RawGet(service.port(), target);
        QCOMPARE(now.body, direct.body);
        const QByteArray status = proxy.log().value(proxy.log().size() - 2);
        if (before[target].headers["cache-control"] == "public, max-age=86400") {
            ++full;
            QCOMPARE(status, target + " HIT -");
            QCOMPARE(Asked(serviceLog, target), 2); // the direct request only
        } else {
            const bool same = now.body == before[target].body;
            ++(same ? kept : changed);
            QCOMPARE(status, target + (same ? " REVALIDATED 304" : " EXPIRED 200"));
            QCOMPARE(Asked(serviceLog, target), 3);
        }
    }
    QVERIFY(full > 0 && changed > 0 && kept > 0);

    // Plotwise charts the new day through the cache.
    QDir(dir.path()).mkpath("program");
    QVERIFY(QFile::copy(qEnvironmentVariable("PLOTWISE"), dir.filePath("program/plotwise")));
    QVERIFY(WriteFile(dir.filePath("nodes.txt"), "ranks/rank|name=boardgame\n"));
    QVERIFY(WriteFile(dir.filePath("s.txt"), "90,ranks/rank|name=boardgame,,,,,\n"));
    const RunResult chart = Run(dir.filePath("program/plotwise"),
        { "--run", "s.txt", "--csv", "out.csv", "--service", QStringLiteral("http://127.0.0.1:%1").arg(proxy.port()) },
        dir.path());
    QCOMPARE(chart.err, QString());
    QCOMPARE(chart.status, 0);
    const QList<QByteArray> rows = ReadAll(dir.filePath("out.csv")).trimmed().split('\n');
    QVERIFY2(rows.last().contains("," + lastDay.toLatin1() + ","), rows.last().constData());
    QCOMPARE(Asked(serviceLog, PageTarget(90, 1)), 2); // its full page came from the cache
}

QTEST_GUILESS_MAIN(TestCachingProxy)
#include "test_cachingproxy.moc"
