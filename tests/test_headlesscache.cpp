// The built program's page cache across command-line runs: each service
// keeps its own pages, and the tail of a history is refreshed once older
// than the settings allow, with or without entity tags.
#include "support/HeadlessTestCase.h"
#include "support/SampleService.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace HeadlessTests;

class TestHeadlessCache : public HeadlessTestCase
{
    Q_OBJECT
private slots:
    void servicesKeepTheirOwnPages();
    void tailRefresh_data();
    void tailRefresh();
};

// A changed service is never answered from the old service's cached pages,
// and coming back to the first finds its pages still there.
void TestHeadlessCache::servicesKeepTheirOwnPages()
{
    SampleService::Options options;
    options.dataDir = ProgramFolder::dataDir();
    SampleService other(options);
    QVERIFY2(other.start(), qPrintable(other.errorString()));
    const ProgramFolder folder("12,average,,,,,\n");
    const QString page = QStringLiteral("/xmlapi/boardgame/12?historical=1&page=1");
    const QStringList run { "--run", "s.txt", "--csv", "out.csv", "--service" };

    m_service->clearRequests();
    QCOMPARE(folder.run(run + QStringList { m_service->baseUrl() }).status, 0);
    QCOMPARE(m_service->requestCount(page), 1);
    const QByteArray csv = readAll(folder.work("out.csv"));
    QCOMPARE(folder.run(run + QStringList { other.baseUrl() }).status, 0);
    QCOMPARE(other.requestCount(page), 1);
    QCOMPARE(readAll(folder.work("out.csv")), csv);
    QCOMPARE(folder.run(run + QStringList { m_service->baseUrl() }).status, 0);
    QCOMPARE(m_service->requestCount(page), 1);
    QVERIFY(folder.cache(m_service->baseUrl()) != folder.cache(other.baseUrl()));
}

void TestHeadlessCache::tailRefresh_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("ageHours"); // of the cached pages before the second run
    QTest::addColumn<bool>("serviceGone"); // stopped before the second run
    QTest::addColumn<QStringList>("requests"); // pages the second run fetched
    QTest::addColumn<int>("rows"); // points the second run charted
    QTest::addColumn<bool>("tags"); // the service sends ETag and answers 304
    QTest::addColumn<bool>("grows"); // by a page before the second run
    QTest::addColumn<bool>("kept"); // the cached last page with records

    const QStringList none;
    const QStringList refreshed { "2", "3", "4" };
    const QByteArray day = "[cache]\nrefresh_hours=24\n";
    QTest::newRow("no key") << QByteArray() << 48 << false << none << 20 << false << true << true;
    QTest::newRow("0 hours") << QByteArray("[cache]\nrefresh_hours=0\n") << 48 << false << none << 20 << false << true << true;
    QTest::newRow("not a number") << QByteArray("[cache]\nrefresh_hours=a day\n") << 48 << false
                                  << none << 20 << false << true << true;
    QTest::newRow("negative") << QByteArray("[cache]\nrefresh_hours=-24\n") << 48 << false << none
                              << 20 << false << true << true;
    QTest::newRow("younger than the hours") << day << 23 << false << none << 20 << false << true << true;
    // The last page with records and the end page come again, and the new
    // pages after them.
    QTest::newRow("older than the hours") << day << 25 << false << refreshed << 30 << false << true << false;
    // The refresh fails: the cached pages are read as they are.
    QTest::newRow("service gone") << day << 48 << true << none << 20 << false << true << true;
    // A service with tags answers 304 for unchanged pages: the cached pages
    // are kept, and count as fresh; changed ones come whole.
    QTest::newRow("tags, unchanged") << day << 25 << false << QStringList { "2", "3" } << 20
                                     << true << false << true;
    QTest::newRow("tags, grown") << day << 25 << false << refreshed << 30 << true << true << false;
}

// Through --run: a second run over aged cache files after the service's
// history grew by a page.
void TestHeadlessCache::tailRefresh()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, ageHours);
    QFETCH(bool, serviceGone);
    QFETCH(QStringList, requests);
    QFETCH(int, rows);
    QFETCH(bool, tags);
    QFETCH(bool, grows);
    QFETCH(bool, kept);

    QTemporaryDir data;
    const QStringList shape { "--games", "1", "--records", "10", "--pages" };
    QString error;
    QVERIFY2(SampleService::generateData(data.path(), shape + QStringList { "2" }, &error),
        qPrintable(error));
    SampleService::Options options;
    options.dataDir = data.path();
    if (tags)
        options.serviceArgs = { QStringLiteral("--etags") };
    SampleService service(options);
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    const ProgramFolder folder("1001,average,,,,,\n");
    writeFile(folder.settings(), settings);
    const QStringList run { "--run", "s.txt", "--csv", "out.csv", "--service", service.baseUrl() };
    QCOMPARE(folder.run(run).status, 0);
    QCOMPARE(lines(readAll(folder.work("out.csv"))).size(), 1 + 20);

    // The history grows by a page, and the cache grows old.
    if (grows)
        QVERIFY2(SampleService::generateData(data.path(), shape + QStringList { "3" }, &error),
            qPrintable(error));
    const QString cache = folder.cache(service.baseUrl());
    const QDateTime aged = QDateTime::currentDateTimeUtc().addSecs(-3600LL * ageHours);
    const QStringList pages = QDir(cache).entryList({ "*.xml" }, QDir::Files);
    QCOMPARE(pages, (QStringList { "1001_1.xml", "1001_2.xml", "1001_3.xml" }));
    // A mark in the cached last page with records: gone when it is replaced.
    const QByteArray mark = "<!-- cached copy -->\n";
    writeFile(cache + pages[1], readAll(cache + pages[1]) + mark);
    for (const QString &page : pages) {
        QFile file(cache + page);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(aged, QFileDevice::FileModificationTime));
    }
    service.clearRequests();
    if (serviceGone)
        service.stop();

    const RunLines second = folder.run(run);
    QCOMPARE(second.status, serviceGone ? 1 : 0);
    if (serviceGone)
        QCOMPARE(second.err,
            QStringList { "Not every page could be loaded: Game 1001, page 2: connection refused" });
    QStringList fetched;
    for (const SampleService::Request &request : service.requests())
        fetched << request.target.section(QLatin1Char('='), -1);
    QCOMPARE(fetched, requests);
    QCOMPARE(lines(readAll(folder.work("out.csv"))).size(), 1 + rows);
    // A refreshed page replaced the cached one; nothing is left beside them
    // but their tags.
    QStringList expected = pages;
    if (!requests.isEmpty() && grows)
        expected << "1001_4.xml";
    if (tags)
        for (const QString &page : QStringList(expected))
            expected << page + ".etag";
    expected.sort();
    QCOMPARE(QDir(cache).entryList(QDir::Files | QDir::Hidden), expected);
    QCOMPARE(readAll(cache + pages[1]).endsWith(mark), kept);
    if (tags && !grows) {
        // Kept on a 304, the pages count as fresh: the next run asks nothing.
        service.clearRequests();
        QCOMPARE(folder.run(run).status, 0);
        QCOMPARE(service.requests().size(), 0);
    }
}

QTEST_GUILESS_MAIN(TestHeadlessCache)
#include "test_headlesscache.moc"
