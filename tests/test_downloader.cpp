// Downloads against the sample service: a page file appears only for a
// complete status-200 answer, every failure leaves nothing behind (no page,
// no temporary file, no old copy) and says why.
#include "service/Downloader.h"
#include "service/PlotwiseError.h"
#include "service/RetryAfter.h"
#include "support/SampleService.h"

#include <QDir>

#include <functional>
#include <QElapsedTimer>
#include <QLocale>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using Failure = Downloader::Failure;

namespace {

const QString Agent = QStringLiteral("plotwise-agent-check");
const QString Page1 = QStringLiteral("/xmlapi/boardgame/1001?historical=1&page=1");

// Short limits so that time-outs and retries take moments, with room for a
// busy machine on the answers that should arrive.
Downloader::Limits TestLimits()
{
    Downloader::Limits limits;
    limits.idleTimeoutMs = 1500;
    limits.totalTimeoutMs = 8000;
    limits.maxAttempts = 2;
    limits.firstRetryWaitMs = 20;
    limits.maxRetryWaitMs = 2000;
    limits.maxBodyBytes = 1024 * 1024;
    return limits;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteOld(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("an old copy");
}

QStringList FilesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Answers the requests on 127.0.0.1 as answerFor says, given how many
// requests came before on the same connection; an empty answer closes the
// connection without answering. Counts connections and requests.
class ScriptedServer : public QTcpServer
{
public:
    explicit ScriptedServer(std::function<QByteArray(int)> answerFor)
        : m_answerFor(std::move(answerFor))
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_pending[socket] += socket->readAll();
                    while (m_pending[socket].contains("\r\n\r\n")) {
                        m_pending[socket].remove(0, m_pending[socket].indexOf("\r\n\r\n") + 4);
                        ++requests;
                        const QByteArray answer = m_answerFor(m_answered[socket]++);
                        if (answer.isEmpty()) {
                            socket->abort();
                            return;
                        }
                        socket->write(answer);
                    }
                });
            }
        });
    }
    int connections = 0;
    int requests = 0;

private:
    std::function<QByteArray(int)> m_answerFor;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QHash<QTcpSocket *, int> m_answered;
};

} // namespace

class DownloaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void outcomes_data();
    void outcomes();
    void unreachableService_data();
    void unreachableService();
    void loopbackBypassesProxy();
    void redirectsRefused_data();
    void redirectsRefused();
    void keptConnectionClosed_data();
    void keptConnectionClosed();
    void retryAfterIsHonoured();
    void fileErrors_data();
    void fileErrors();
    void endedFromOutside_data();
    void endedFromOutside();
    void retryAfterHeader_data();
    void retryAfterHeader();
    void notModified_data();
    void notModified();

private:
    QTemporaryDir m_data;
};

void DownloaderTest::initTestCase()
{
    QVERIFY(m_data.isValid());
    QString error;
    QVERIFY2(SampleService::generateData(m_data.path(),
                 { QStringLiteral("--games"), QStringLiteral("2"), QStringLiteral("--pages"),
                     QStringLiteral("2") },
                 &error),
        qPrintable(error));
    // A geeklist answered with status 200 and no body at all.
    QVERIFY(QFile(m_data.filePath(QStringLiteral("geeklist/600.xml"))).open(QIODevice::WriteOnly));
}

void DownloaderTest::outcomes_data()
{
    QTest::addColumn<bool>("keepAlive"); // Limits::keepAliveLoopback
    QTest::addColumn<QString>("fault"); // --fail rule, empty for none
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("totalTimeoutMs"); // 0: the test default
    QTest::addColumn<bool>("stored");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("reason");
    // Requests whose target holds "page=1"; the redirect row counts the
    // redirected ones, as Qt sometimes sends the first request twice.
    QTest::addColumn<int>("requests");

    const QString none;
    const QString unknownGame = QStringLiteral("/xmlapi/boardgame/9999?historical=1&page=1");
    // Both ways to the service behave alike.
    for (const bool keepAlive : { true, false }) {
        const auto row = [keepAlive](const char *name) -> QTestData & {
            return QTest::addRow("%s, %s", keepAlive ? "keep-alive" : "Qt Network", name)
                << keepAlive;
        };
        row("plain page") << none << Page1 << 0 << true << Failure::None << "" << 1;
        row("redirect followed") << "*=redirect" << Page1 << 0 << true << Failure::None << "" << 1;
        row("503 then success") << "*=503,times=1" << Page1 << 0 << true << Failure::None << ""
                                << 2;
        row("429 then success") << "*=429,retry-after=0,times=1" << Page1 << 0 << true
                                << Failure::None << "" << 2;
        // The downloader stores any complete body; judging it is the reader's job.
        row("body not XML") << "*=notxml" << Page1 << 0 << true << Failure::None << "" << 1;

        row("404 unknown game") << none << unknownGame << 0 << false << Failure::HttpStatus
                                << "HTTP 404" << 1;
        row("500 not retried") << "*=500" << Page1 << 0 << false << Failure::HttpStatus
                               << "HTTP 500" << 1;
        row("503 every time") << "*=503" << Page1 << 0 << false << Failure::HttpStatus
                              << "HTTP 503" << 2;
        row("429 asking too long") << "*=429,retry-after=60" << Page1 << 0 << false
                                   << Failure::HttpStatus << "HTTP 429" << 1;
        row("202") << "*=202" << Page1 << 0 << false << Failure::HttpStatus << "HTTP 202" << 1;
        row("204") << "*=204" << Page1 << 0 << false << Failure::HttpStatus << "HTTP 204" << 1;
        row("empty answer") << none << QStringLiteral("/xmlapi/geeklist/600") << 0 << false
                            << Failure::Empty << "empty answer" << 0;
        row("broken off") << "*=broken" << Page1 << 0 << false << Failure::Broken
                          << "transfer broken off" << 1;
        row("stalled, retried") << "*=trickle,interval-ms=4000" << Page1 << 0 << false
                                << Failure::TimedOut << "timed out" << 2;
        row("deadline passed") << "*=trickle,interval-ms=50" << Page1 << 700 << false
                               << Failure::TimedOut << "timed out" << 1;
        row("too large") << "*=huge" << Page1 << 0 << false << Failure::TooLarge
                         << "answer too large" << 1;
    }
}

void DownloaderTest::outcomes()
{
    QFETCH(bool, keepAlive);
    QFETCH(QString, fault);
    QFETCH(QString, target);
    QFETCH(int, totalTimeoutMs);
    QFETCH(bool, stored);
    QFETCH(Failure, failure);
    QFETCH(QString, reason);
    QFETCH(int, requests);

    SampleService::Options options;
    options.dataDir = m_data.path();
    if (!fault.isEmpty())
        options.serviceArgs = { QStringLiteral("--fail"), fault };
    SampleService service(options);
    QVERIFY2(service.start(), qPrintable(service.errorString()));

    QTemporaryDir cache;
    const QString page = cache.filePath(QStringLiteral("1001_1.xml"));
    WriteOld(page);
    Downloader::Limits limits = TestLimits();
    limits.keepAliveLoopback = keepAlive;
    if (totalTimeoutMs > 0)
        limits.totalTimeoutMs = totalTimeoutMs;
    Downloader downloader(Agent, limits);

    const bool ok = downloader.DownloadFile(service.baseUrl() + target, page);
    QCOMPARE(downloader.lastError(), reason);
    QCOMPARE(ok, stored);
    QCOMPARE(downloader.lastFailure(), failure);
    QStringList targets;
    for (const SampleService::Request &request : service.requests())
        targets << request.target;
    const QString counted
        = fault == u"*=redirect" ? QStringLiteral("/moved/") : QStringLiteral("page=1");
    QVERIFY2(service.requestCount(counted) == requests, qPrintable(targets.join(u' ')));
    for (const SampleService::Request &request : service.requests())
        QCOMPARE(request.userAgent, Agent);
    // Nothing but the finished page: no temporary file, and the old copy was
    // replaced or removed whatever happened.
    QCOMPARE(FilesIn(cache.path()),
        stored ? QStringList { QStringLiteral("1001_1.xml") } : QStringList {});
    if (stored && fault != u"*=notxml")
        QCOMPARE(ReadAll(page), ReadAll(m_data.filePath(QStringLiteral("boardgame/1001/1.xml"))));
}

void DownloaderTest::unreachableService_data()
{
    QTest::addColumn<bool>("keepAlive"); // Limits::keepAliveLoopback
    QTest::newRow("keep-alive") << true;
    QTest::newRow("Qt Network") << false;
}

void DownloaderTest::unreachableService()
{
    QFETCH(bool, keepAlive);
    // A port that was free a moment ago: nothing listens there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();

    QTemporaryDir cache;
    const QString page = cache.filePath(QStringLiteral("1001_1.xml"));
    WriteOld(page);
    Downloader::Limits limits = TestLimits();
    limits.keepAliveLoopback = keepAlive;
    Downloader downloader(Agent, limits);
    QVERIFY(
        !downloader.DownloadFile(QStringLiteral("http://127.0.0.1:%1").arg(port) + Page1, page));
    QCOMPARE(downloader.lastFailure(), Failure::Unreachable);
    QCOMPARE(downloader.lastError(), QStringLiteral("connection refused"));
    QCOMPARE(FilesIn(cache.path()), QStringList {});
}

void DownloaderTest::redirectsRefused_data()
{
    QTest::addColumn<bool>("keepAlive"); // Limits::keepAliveLoopback
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<int>("requests"); // at most (Qt Network sends some twice)

    for (const bool keepAlive : { true, false }) {
        const auto row = [keepAlive](const char *name) -> QTestData & {
            return QTest::addRow("%s, %s", keepAlive ? "keep-alive" : "Qt Network", name)
                << keepAlive;
        };
        // Qt Network's bound of 50 redirects holds for both.
        row("redirected without end") << QByteArray("/again") << 102;
        // A service never makes the downloader read a file of this machine.
        row("redirected to a local file") << QByteArray("file:///etc/hostname") << 1;
    }
}

void DownloaderTest::redirectsRefused()
{
    QFETCH(bool, keepAlive);
    QFETCH(QByteArray, location);
    QFETCH(int, requests);

    ScriptedServer server([&location](int) {
        return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
    });
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir cache;
    const QString page = cache.filePath(QStringLiteral("1001_1.xml"));
    Downloader::Limits limits = TestLimits();
    limits.keepAliveLoopback = keepAlive;
    Downloader downloader(Agent, limits);
    QVERIFY(!downloader.DownloadFile(
        QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()) + Page1, page));
    QCOMPARE(downloader.lastFailure(), Failure::HttpStatus);
    QCOMPARE(downloader.lastError(), QStringLiteral("HTTP 302"));
    QVERIFY2(server.requests >= 1 && server.requests <= requests,
        qPrintable(QString::number(server.requests)));
    QCOMPARE(FilesIn(cache.path()), QStringList {});
}

void DownloaderTest::keptConnectionClosed_data()
{
    QTest::addColumn<int>("answered"); // requests answered on each connection
    QTest::addColumn<bool>("stored"); // the second download
    QTest::addColumn<int>("requests");

    // The service closed the kept connection as the next request went out:
    // it is sent once more, on a new connection.
    QTest::newRow("closed after one answer") << 1 << true << 3;
    // Sent once more only: a service that never answers is a failure.
    QTest::newRow("never answers") << 0 << false << 2;
}

void DownloaderTest::keptConnectionClosed()
{
    QFETCH(int, answered);
    QFETCH(bool, stored);
    QFETCH(int, requests);

    const QByteArray body = "<boardgames/>";
    ScriptedServer server([&](int before) {
        return before < answered ? "HTTP/1.1 200 OK\r\nContent-Length: "
                + QByteArray::number(body.size()) + "\r\n\r\n" + body
                                 : QByteArray();
    });
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir cache;
    Downloader::Limits limits = TestLimits();
    limits.maxAttempts = 1;
    Downloader downloader(Agent, limits);
    const QString url = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()) + Page1;
    if (answered > 0)
        QVERIFY(downloader.DownloadFile(url, cache.filePath(QStringLiteral("first.xml"))));
    const QString page = cache.filePath(QStringLiteral("1001_1.xml"));
    QCOMPARE(downloader.DownloadFile(url, page), stored);
    QCOMPARE(ReadAll(page), stored ? body : QByteArray());
    if (!stored)
        QCOMPARE(downloader.lastError(), QStringLiteral("connection closed without an answer"));
    QCOMPARE(server.requests, requests);
    QCOMPARE(server.connections, 2);
}

void DownloaderTest::loopbackBypassesProxy()
{
    // A proxy from the environment cannot reach this machine's loopback, so
    // the sample service on 127.0.0.1 must be asked directly.
    SampleService service(SampleService::Options { m_data.path(), {}, {} });
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    const QByteArray saved = qgetenv("http_proxy");
    qputenv("http_proxy", "http://127.0.0.1:9");
    const auto restore = qScopeGuard([&] {
        if (saved.isEmpty())
            qunsetenv("http_proxy");
        else
            qputenv("http_proxy", saved);
    });
    QTemporaryDir cache;
    Downloader downloader(Agent, TestLimits());
    QVERIFY2(
        downloader.DownloadFile(service.baseUrl() + Page1, cache.filePath(QStringLiteral("p.xml"))),
        qPrintable(downloader.lastError()));
}

void DownloaderTest::retryAfterIsHonoured()
{
    SampleService::Options options;
    options.dataDir = m_data.path();
    options.serviceArgs
        = { QStringLiteral("--fail"), QStringLiteral("*=429,retry-after=1,times=1") };
    SampleService service(options);
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    QTemporaryDir cache;
    Downloader downloader(Agent, TestLimits()); // its own first wait is 20 ms

    QElapsedTimer clock;
    clock.start();
    QVERIFY(downloader.DownloadFile(
        service.baseUrl() + Page1, cache.filePath(QStringLiteral("p.xml"))));
    QVERIFY2(clock.elapsed() >= 950, "the service asked for one second");
    QCOMPARE(service.requestCount(), 2);
}

void DownloaderTest::fileErrors_data()
{
    QTest::addColumn<QString>("relativeName");
    QTest::addColumn<bool>("folderInTheWay");

    QTest::newRow("folder where the page should be") << "1001_1.xml" << true;
    QTest::newRow("cache folder missing") << "missing/1001_1.xml" << false;
}

void DownloaderTest::fileErrors()
{
    QFETCH(QString, relativeName);
    QFETCH(bool, folderInTheWay);

    SampleService service(SampleService::Options { m_data.path(), {}, {} });
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    QTemporaryDir cache;
    const QString page = cache.filePath(relativeName);
    if (folderInTheWay)
        QVERIFY(QDir().mkpath(page));

    Downloader downloader(Agent, TestLimits());
    try {
        downloader.DownloadFile(service.baseUrl() + Page1, page);
        QFAIL("no error raised");
    } catch (const PlotwiseError &error) {
        QVERIFY2(
            error.message().contains(QDir::toNativeSeparators(page)), qPrintable(error.message()));
    }
    QCOMPARE(service.requestCount(), 0);
    QCOMPARE(FilesIn(cache.path()), QStringList {});
}

void DownloaderTest::endedFromOutside_data()
{
    QTest::addColumn<bool>("keepAlive"); // Limits::keepAliveLoopback
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("destroy"); // delete the Downloader instead of abort()

    for (const bool keepAlive : { true, false }) {
        const auto row = [keepAlive](const char *name) -> QTestData & {
            return QTest::addRow("%s, %s", keepAlive ? "keep-alive" : "Qt Network", name)
                << keepAlive;
        };
        row("abort during the transfer") << "*=trickle,interval-ms=200" << false;
        row("abort while waiting to retry") << "*=503,retry-after=1" << false;
        row("destroyed during the transfer") << "*=trickle,interval-ms=200" << true;
        row("destroyed while waiting to retry") << "*=503,retry-after=1" << true;
    }
}

void DownloaderTest::endedFromOutside()
{
    QFETCH(bool, keepAlive);
    QFETCH(QString, fault);
    QFETCH(bool, destroy);

    SampleService service(
        SampleService::Options { m_data.path(), {}, { QStringLiteral("--fail"), fault } });
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    QTemporaryDir cache;
    const QString page = cache.filePath(QStringLiteral("1001_1.xml"));

    // A handler run by the downloader's own event loop ends the call, as a
    // Stop button or a closing window would.
    Downloader::Limits limits = TestLimits();
    limits.keepAliveLoopback = keepAlive;
    auto downloader = std::make_unique<Downloader>(Agent, limits);
    QTimer::singleShot(300, [&] {
        if (destroy)
            downloader.reset();
        else
            downloader->abort();
    });
    QVERIFY(!downloader->DownloadFile(service.baseUrl() + Page1, page));
    QCOMPARE(service.requestCount(), 1);
    QCOMPARE(FilesIn(cache.path()), QStringList {});
    if (!destroy) {
        QCOMPARE(downloader->lastFailure(), Failure::Aborted);
        QCOMPARE(downloader->lastError(), QStringLiteral("aborted"));
        // An abort ends that call only: the next one runs normally.
        SampleService plain(SampleService::Options { m_data.path(), {}, {} });
        QVERIFY2(plain.start(), qPrintable(plain.errorString()));
        QVERIFY(downloader->DownloadFile(plain.baseUrl() + Page1, page));
    }
}

void DownloaderTest::retryAfterHeader_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<qint64>("expectedMs"); // -1: not understood

    QTest::newRow("seconds") << QByteArray("3") << qint64(3000);
    QTest::newRow("seconds with blanks") << QByteArray(" 7 ") << qint64(7000);
    QTest::newRow("zero") << QByteArray("0") << qint64(0);
    QTest::newRow("negative") << QByteArray("-5") << qint64(-1);
    QTest::newRow("fraction") << QByteArray("1.5") << qint64(-1);
    QTest::newRow("word") << QByteArray("soon") << qint64(-1);
    QTest::newRow("empty") << QByteArray() << qint64(-1);
    QTest::newRow("absurd count") << QByteArray("99999999999999999999")
                                  << qint64(1'000'000'000'000);
    QTest::newRow("IMF date") << QByteArray("Wed, 21 Oct 2015 07:28:10 GMT") << qint64(10000);
    QTest::newRow("RFC 850 date") << QByteArray("Wednesday, 21-Oct-15 07:28:10 GMT")
                                  << qint64(10000);
    QTest::newRow("asctime date") << QByteArray("Wed Oct 21 07:28:10 2015") << qint64(10000);
    QTest::newRow("date already past") << QByteArray("Wed, 21 Oct 2015 07:27:00 GMT") << qint64(0);
    QTest::newRow("date in another zone")
        << QByteArray("Wed, 21 Oct 2015 07:28:10 UTC") << qint64(-1);
}

void DownloaderTest::retryAfterHeader()
{
    QFETCH(QByteArray, value);
    QFETCH(qint64, expectedMs);

    // Day and month names are English whatever the user's locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
    const QDateTime now(QDate(2015, 10, 21), QTime(7, 28), QTimeZone::utc());
    QCOMPARE(RetryAfterMs(value, now).value_or(-1), expectedMs);
}

void DownloaderTest::notModified_data()
{
    QTest::addColumn<bool>("keepAlive"); // Limits::keepAliveLoopback
    QTest::newRow("keep-alive") << true;
    QTest::newRow("Qt Network") << false;
}

// A page asked for with its copy's entity tag: 304 stores nothing and says
// NotModified; a stale tag gets the page whole.
void DownloaderTest::notModified()
{
    QFETCH(bool, keepAlive);
    SampleService service(
        SampleService::Options { m_data.path(), {}, { QStringLiteral("--etags") } });
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    QTemporaryDir cache;
    const QString page = cache.filePath(QStringLiteral("1001_1.xml"));
    Downloader::Limits limits = TestLimits();
    limits.keepAliveLoopback = keepAlive;
    Downloader downloader(Agent, limits);
    QVERIFY(downloader.DownloadFile(service.baseUrl() + Page1, page));
    const QByteArray tag = downloader.lastEntityTag();
    QVERIFY(tag.startsWith('"'));

    const QString again = cache.filePath(QStringLiteral("again.xml"));
    QVERIFY(!downloader.DownloadFile(service.baseUrl() + Page1, again, nullptr, tag));
    QCOMPARE(downloader.lastFailure(), Failure::NotModified);
    QVERIFY(downloader.lastEntityTag().isEmpty());
    QCOMPARE(FilesIn(cache.path()), QStringList { QStringLiteral("1001_1.xml") });

    QVERIFY(downloader.DownloadFile(service.baseUrl() + Page1, again, nullptr, "\"stale\""));
    QCOMPARE(ReadAll(again), ReadAll(page));
    QCOMPARE(downloader.lastEntityTag(), tag);
}

QTEST_GUILESS_MAIN(DownloaderTest)
#include "test_downloader.moc"
