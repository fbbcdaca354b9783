// Downloads against the sample service: a page file appears only for a
// complete status-200 answer, every failure leaves nothing behind (no page,
// no temporary file, no old copy) and says why.
#include "service/Downloader.h"
#include "service/PlotwiseError.h"
#include "support/DownloaderTests.h"
#include "support/SampleService.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using Failure = Downloader::Failure;
using namespace DownloaderTests;

class DownloaderTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void outcomes_data();
    void outcomes();
    void loopbackBypassesProxy();
    void retryAfterIsHonoured();
    void fileErrors_data();
    void fileErrors();
    void endedFromOutside_data();
    void endedFromOutside();
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
