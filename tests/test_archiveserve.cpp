// plotwise-archive serve: its answers to good and bad requests, what caches
// may keep and conditional requests, a new day shown at once, a read-only
// archive served, and the request log.
#include "support/ArchiveService.h"
#include "support/ArchiveTests.h"
#include "support/RawGet.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <unistd.h>

class TestArchiveServe : public QObject
{
    Q_OBJECT
private slots:
    void badRequests_data();
    void badRequests();
    void serviceShowsANewDayOnTheNextRequest();
    void cacheHeaders_data();
    void cacheHeaders();
    void conditionalRequests_data();
    void conditionalRequests();
    void archiveReadWithoutWriteAccess_data();
    void archiveReadWithoutWriteAccess();
    void logShowsControlBytesEscaped_data();
    void logShowsControlBytesEscaped();
};

void TestArchiveServe::badRequests_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body"); // in the answer

    QTest::newRow("a page") << PageTarget(90, "1") << 200 << QByteArray("<statistics page=\"1\">");
    QTest::newRow("leading zeros") << QByteArray("/xmlapi/boardgame/00090?historical=1&page=1") << 200
                                   << QByteArray("objectid=\"90\"");
    QTest::newRow("an ID too large") << QByteArray("/xmlapi/boardgame/99999999999999999999999?page=1")
                                     << 404 << QByteArray();
    QTest::newRow("an unknown game") << PageTarget(91, "1") << 404 << QByteArray();
    QTest::newRow("an ID that is no number") << QByteArray("/xmlapi/boardgame/9x?page=1") << 400
                                             << QByteArray();
    QTest::newRow("page 0") << PageTarget(90, "0") << 400 << QByteArray();
    QTest::newRow("a negative page") << PageTarget(90, "-1") << 400 << QByteArray();
    QTest::newRow("no page") << QByteArray("/xmlapi/boardgame/90?historical=1") << 400 << QByteArray();
    QTest::newRow("a huge page: the end page")
        << PageTarget(90, "99999999999999999999999") << 200 << QByteArray("</name>\n  </boardgame>");
    QTest::newRow("a search of 10,000 characters")
        << "/xmlapi/search?search=" + QByteArray(10000, 'q') << 414 << QByteArray(); // URI too long
    QTest::newRow("a search in bad UTF-8") << QByteArray("/xmlapi/search?search=%FF%FE%C3") << 200
                                           << QByteArray("<boardgames>\n</boardgames>");
    QTest::newRow("bad percent-encoding") << QByteArray("/xmlapi/search?search=%zz%4") << 200
                                          << QByteArray("<boardgames>");
    QTest::newRow("a search, case ignored") << QByteArray("/xmlapi/search?search=CAF%C3%89%20%3Ccart")
                                            << 200 << QByteArray("Caf\xC3\xA9 &#60;Cartographers&#62;");
    QTest::newRow("a geeklist") << QByteArray("/xmlapi/geeklist/500") << 404 << QByteArray();
    // The ranking lists: the CSV of the commands; a 400's body is its reason alone.
    QTest::newRow("a top list") << QByteArray("/lists/top?count=2") << 200
                                << QByteArray("day,rank,id,name,year,average,bayes_average,users_rated\n2016-10-23,1,");
    QTest::newRow("a movers list") << QByteArray("/lists/movers?from=2016-10-12&to=2016-10-18&top=3") << 200
                                   << QByteArray("from,to,id,name,year,rank_from,rank_to,change,status\n"
                                                 "2016-10-12,2016-10-17,");
    QTest::newRow("the days") << QByteArray("/lists/days") << 200
                              << QByteArray("first,2016-10-12\nlast,2016-10-23\nmissing,2016-10-18,2016-10-18\n");
    QTest::newRow("a list before the first day") << QByteArray("/lists/top?day=2016-10-11") << 400
                                                 << QByteArray("no day imported at or before 2016-10-11\n");
    QTest::newRow("a count that is no number") << QByteArray("/lists/top?count=ten") << 400
                                               << QByteArray("count takes a whole number (0: all)\n");
    QTest::newRow("a day that is no calendar day") << QByteArray("/lists/movers?from=2016-02-30&to=2016-10-12")
                                                   << 400 << QByteArray("from takes a day as YYYY-MM-DD\n");
    QTest::newRow("movers without a second day") << QByteArray("/lists/movers?from=2016-10-12") << 400
                                                 << QByteArray("to is needed: the second day\n");
    QTest::newRow("a year given twice") << QByteArray("/lists/top?year=2001&year=2002") << 400
                                        << QByteArray("year is given twice\n");
    QTest::newRow("a parameter of another list") << QByteArray("/lists/top?top=5") << 400
                                                 << QByteArray("top is not a parameter of this list\n");
    QTest::newRow("a parameter's name with a line break") << QByteArray("/lists/days?a%0Ab=1") << 400
                                                          << QByteArray("a b is not a parameter of this list\n");
    QTest::newRow("no such list") << QByteArray("/lists/climbers") << 404 << QByteArray();
}

void TestArchiveServe::badRequests()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    static QTemporaryDir dir;
    static const QString archive = dir.filePath("a.pwa");
    if (!QFileInfo::exists(archive))
        QCOMPARE(Archive({ "import", archive, GeneratedSnapshots("small", { "--days", "12", "--games", "40" }) }).status, 0);
    static ArchiveService service(archive);
    QVERIFY(service.port() != 0);
    const RawAnswer answer = RawGet(service.port(), target);
    QCOMPARE(answer.status, status);
    QVERIFY2(answer.body.contains(body), answer.body.left(2000).constData());
    if (target.startsWith("/lists/") && status == 400)
        QCOMPARE(answer.body, body);
    if (target.startsWith("/lists/") && status == 200)
        QCOMPARE(answer.headers["content-type"], QByteArray("text/csv; charset=utf-8"));
    QVERIFY(service.running());
}

// A day imported while the service runs is served on the next request, in
// the pages and in the lists.
void TestArchiveServe::serviceShowsANewDayOnTheNextRequest()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    WriteFile(dir.filePath("2016-10-12.csv"), Header + Alpha);
    QCOMPARE(Archive({ "import", archive, dir.filePath("2016-10-12.csv") }).status, 0);
    ArchiveService service(archive);
    const RawAnswer before = RawGet(service.port(), PageTarget(13, "1"));
    QCOMPARE(before.body.count("<ratings "), 1);
    QCOMPARE(RawGet(service.port(), "/lists/days").body, QByteArray("first,2016-10-12\nlast,2016-10-12\n"));
    WriteFile(dir.filePath("2016-10-13.csv"), Header + "13,Alpha,2001,2,7.5,5.7,130\n");
    QCOMPARE(Archive({ "import", archive, dir.filePath("2016-10-13.csv") }).status, 0);
    QCOMPARE(RawGet(service.port(), "/lists/days").body, QByteArray("first,2016-10-12\nlast,2016-10-13\n"));
    // The changed page has another tag: a cache holding the old one gets it.
    const RawAnswer answer = RawGet(
        service.port(), PageTarget(13, "1"), "raw-check", "If-None-Match: " + before.headers["etag"] + "\r\n");
    QCOMPARE(answer.status, 200);
    QVERIFY(answer.headers["etag"] != before.headers["etag"]);
    QCOMPARE(answer.body.count("<ratings "), 2);
    QVERIFY(answer.body.contains("<ratings date=\"20161013\">\n        <usersrated>130</usersrated>"));
}

// What caches may keep of each kind of answer.
void TestArchiveServe::cacheHeaders_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("cacheControl");

    const QByteArray brief = "public, max-age=300, stale-while-revalidate=300, stale-if-error=86400";
    QTest::newRow("a full page") << QStringList() << PageTarget(13, "1") << QByteArray("public, max-age=86400");
    QTest::newRow("a full page, --max-age") << QStringList { "--max-age", "600" } << PageTarget(13, "1")
                                            << QByteArray("public, max-age=600");
    QTest::newRow("the last page with records") << QStringList() << PageTarget(13, "2") << brief;
    QTest::newRow("the end page") << QStringList() << PageTarget(13, "3") << brief;
    QTest::newRow("a search") << QStringList() << QByteArray("/xmlapi/search?search=alpha") << brief;
    QTest::newRow("a list") << QStringList() << QByteArray("/lists/top") << brief;
}

void TestArchiveServe::cacheHeaders()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, cacheControl);
    ArchiveService service(CachingArchive(), options);
    QVERIFY(service.port() != 0);
    const RawAnswer answer = RawGet(service.port(), target);
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.headers["cache-control"], cacheControl);
    QVERIFY2(QRegularExpression("^\"[0-9a-f]{16}\"$").match(QString::fromLatin1(answer.headers["etag"])).hasMatch(),
        answer.headers["etag"].constData());
    const QDateTime changed = QFileInfo(CachingArchive()).lastModified().toUTC();
    QDateTime lastModified = QLocale::c().toDateTime(
        QString::fromLatin1(answer.headers["last-modified"]), "ddd, dd MMM yyyy HH:mm:ss 'GMT'");
    lastModified.setTimeZone(QTimeZone::utc());
    QVERIFY2(lastModified.isValid() && lastModified.toSecsSinceEpoch() >= changed.toSecsSinceEpoch()
            && lastModified <= QDateTime::currentDateTimeUtc(),
        qPrintable(answer.headers["last-modified"] + " archive " + changed.toString(Qt::ISODateWithMs)));
    // The same bytes, the same tag.
    QCOMPARE(RawGet(service.port(), target).headers["etag"], answer.headers["etag"]);
}

// Conditional requests: 304 with the same headers and no body when the
// client holds the answer; If-None-Match decides when it is sent.
void TestArchiveServe::conditionalRequests_data()
{
    QTest::addColumn<QByteArray>("headers"); // TAG and DATE stand for the answer's
    QTest::addColumn<int>("status");

    QTest::newRow("no condition") << QByteArray() << 200;
    QTest::newRow("the tag") << QByteArray("If-None-Match: TAG\r\n") << 304;
    QTest::newRow("the tag in a list") << QByteArray("If-None-Match: \"0\", W/TAG\r\n") << 304;
    QTest::newRow("any tag") << QByteArray("If-None-Match: *\r\n") << 304;
    QTest::newRow("another tag") << QByteArray("If-None-Match: \"0123456789abcdef\"\r\n") << 200;
    QTest::newRow("the date") << QByteArray("If-Modified-Since: DATE\r\n") << 304;
    QTest::newRow("a date yet to come") << QByteArray("If-Modified-Since: Fri, 01 Jan 2100 00:00:00 GMT\r\n") << 200;
    QTest::newRow("an earlier date") << QByteArray("If-Modified-Since: Sat, 01 Jan 2000 00:00:00 GMT\r\n") << 200;
    QTest::newRow("not a date") << QByteArray("If-Modified-Since: yesterday\r\n") << 200;
    QTest::newRow("another tag, the date")
        << QByteArray("If-None-Match: \"0\"\r\nIf-Modified-Since: DATE\r\n") << 200;
}

void TestArchiveServe::conditionalRequests()
{
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    static ArchiveService service(CachingArchive());
    QVERIFY(service.port() != 0);
    for (const QByteArray &target : { PageTarget(13, "1"), QByteArray("/xmlapi/search?search=alpha"),
             QByteArray("/lists/movers?from=2016-10-12&to=2017-01-20") }) {
        const RawAnswer plain = RawGet(service.port(), target);
        QByteArray conditions = headers;
        conditions.replace("TAG", plain.headers["etag"]).replace("DATE", plain.headers["last-modified"]);
        const RawAnswer answer = RawGet(service.port(), target, "raw-check", conditions);
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.body, status == 304 ? QByteArray() : plain.body);
        for (const char *name : { "etag", "last-modified", "cache-control" })
            QCOMPARE(answer.headers[name], plain.headers[name]);
    }
}

// An archive the user may read but not write (shared read-only, on read-only
// media) is read by info and served, and left as it is. As root no
// permission refuses anything, so the commands run as nobody.
void TestArchiveServe::archiveReadWithoutWriteAccess_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::newRow("in a folder the user may not write") << false;
    QTest::newRow("in a folder the user may write") << true;
}

void TestArchiveServe::archiveReadWithoutWriteAccess()
{
    QFETCH(bool, folderWritable);
    QStringList runner;
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty())
            QSKIP("setpriv is not installed: as root, no permission would refuse a write");
        runner = { setpriv, "--reuid=65534", "--regid=65534", "--clear-groups" };
    }
    QTemporaryDir dir;
    const QString folder = dir.filePath("shared"), archive = folder + "/a.pwa";
    QDir().mkpath(folder);
    WriteFile(dir.filePath("2016-10-12.csv"), Header + Alpha);
    QCOMPARE(Archive({ "import", archive, dir.filePath("2016-10-12.csv") }).status, 0);
    const QByteArray before = ReadAll(archive);
    // The program is run from a copy the other user can reach.
    const QString program = dir.filePath("plotwise-archive");
    QVERIFY(QFile::copy(qEnvironmentVariable("PLOTWISE_ARCHIVE"), program));
    const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
        | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    const auto readable = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(dir.path(), readable | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(archive, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QFile::setPermissions(folder, folderWritable ? all : readable));
    const auto restore = qScopeGuard([&] { QFile::setPermissions(folder, all); });

    const QStringList command = runner << program;
    const RunResult info = RunProgram(command.first(), command.mid(1) + QStringList { "info", archive });
    QVERIFY2(info.status == 0, qPrintable(info.err));
    QVERIFY2(info.out.contains("\nrecords: 1\n"), qPrintable(info.out));

    ArchiveService service(archive, {}, command);
    QVERIFY(service.port() != 0);
    const RawAnswer answer = RawGet(service.port(), PageTarget(13, "1"));
    QCOMPARE(answer.status, 200);
    QVERIFY(answer.body.contains("<ratings date=\"20161012\">"));
    QCOMPARE(ReadAll(archive), before);
}

// The log shows what a request sent, but no byte that could move a
// terminal's cursor, ring it or start a line of its own.
void TestArchiveServe::logShowsControlBytesEscaped_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("userAgent");
    QTest::addColumn<QByteArray>("line"); // the whole log
    QTest::newRow("ESC and BEL in the target")
        << QByteArray("/xmlapi/search?search=\x1b]0;owned\x07\x1b[2J") << QByteArray("ua")
        << QByteArray(R"(GET /xmlapi/search?search=\x1b]0;owned\x07\x1b[2J)" "\tua\n");
    QTest::newRow("CR in the User-Agent")
        << QByteArray("/xmlapi/search?search=a") << QByteArray("ua\rGET /forged")
        << QByteArray("GET /xmlapi/search?search=a\t" R"(ua\x0dGET /forged)" "\n");
    QTest::newRow("a backslash, which the escapes use")
        << QByteArray("/xmlapi/search?search=a") << QByteArray(R"(ua\x1b)")
        << QByteArray("GET /xmlapi/search?search=a\t" R"(ua\x5cx1b)" "\n");
}

void TestArchiveServe::logShowsControlBytesEscaped()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, userAgent);
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    WriteFile(dir.filePath("2016-10-12.csv"), Header + Alpha);
    QCOMPARE(Archive({ "import", archive, dir.filePath("2016-10-12.csv") }).status, 0);
    ArchiveService service(archive, { "--log", dir.filePath("log.txt") });
    QVERIFY(service.port() != 0);
    QCOMPARE(RawGet(service.port(), target, userAgent).status, 200);
    QCOMPARE(ReadAll(dir.filePath("log.txt")), line);
}

QTEST_GUILESS_MAIN(TestArchiveServe)
#include "test_archiveserve.moc"
