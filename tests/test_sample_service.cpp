// The sample data generator and the sample service that other tests, the
// demo and the benchmarks stand on: the data's shape and determinism, the
// answers to the three requests, the injected faults and the request log.
#include "support/RawGet.h"
#include "support/SampleService.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <pugixml.hpp>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Seven games (one past the named ones), two pages of five records each.
bool GenerateSmallSet(const QString &dir, QString *error)
{
    return SampleService::generateData(dir,
        { QStringLiteral("--games"), QStringLiteral("7"), QStringLiteral("--pages"),
            QStringLiteral("2"), QStringLiteral("--records"), QStringLiteral("5") },
        error);
}

QStringList Attributes(const pugi::xml_node &parent, const char *child, const char *attribute)
{
    QStringList values;
    for (const pugi::xml_node node : parent.children(child))
        values << QString::fromUtf8(node.attribute(attribute).value());
    return values;
}

} // namespace

class SampleServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void generatedData();
    void answers_data();
    void answers();
    void search_data();
    void search();
    void faults();
    void requestLog();
    void badFaultRuleStopsStart();

private:
    SampleService::Options options(QStringList serviceArgs = {}) const
    {
        return { m_data.path(), {}, serviceArgs };
    }
    QTemporaryDir m_data;
};

void SampleServiceTest::initTestCase()
{
    QString error;
    QVERIFY2(GenerateSmallSet(m_data.path(), &error), qPrintable(error));
}

void SampleServiceTest::generatedData()
{
    // The same options give the same bytes in every file.
    QTemporaryDir again;
    QString error;
    QVERIFY2(GenerateSmallSet(again.path(), &error), qPrintable(error));
    int files = 0;
    for (QDirIterator it(m_data.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        const QString relative = QDir(m_data.path()).relativeFilePath(path);
        QVERIFY2(ReadAll(path) == ReadAll(again.filePath(relative)), qPrintable(relative));
        if (path.endsWith(u".xml")) {
            pugi::xml_document doc;
            QVERIFY2(doc.load_file(QFile::encodeName(path).constData()), qPrintable(relative));
        }
        ++files;
    }
    QCOMPARE(files, 7 * 3 + 3 + 2); // pages and end page per game, geeklists, index, nodes

    // Daily records without gaps across pages, 5 a page, ending on the fixed
    // last day; the end page has names but no statistics.
    QStringList dates;
    for (int page = 1; page <= 2; ++page) {
        pugi::xml_document doc;
        doc.load_file(
            QFile::encodeName(m_data.filePath(QStringLiteral("boardgame/1001/%1.xml").arg(page)))
                .constData());
        const pugi::xml_node game = doc.child("boardgames").child("boardgame");
        QCOMPARE(QString::fromUtf8(game.child("name").text().get()),
            QStringLiteral("Harbour & Hinterland"));
        dates += Attributes(game.child("statistics"), "ratings", "date");
    }
    QCOMPARE(dates.size(), 10);
    for (qsizetype i = 1; i < dates.size(); ++i) {
        const QDate before = QDate::fromString(dates[i - 1], u"yyyyMMdd");
        QCOMPARE(QDate::fromString(dates[i], u"yyyyMMdd"), before.addDays(1));
    }
    QCOMPARE(dates.last(), QStringLiteral("20241231"));
    pugi::xml_document end;
    end.load_file(
        QFile::encodeName(m_data.filePath(QStringLiteral("boardgame/1001/end.xml"))).constData());
    QVERIFY(end.child("boardgames").child("boardgame").child("name"));
    QVERIFY(!end.child("boardgames").child("boardgame").child("statistics"));

    // Every node of nodes.txt finds a value in some game's last record.
    const QStringList nodes
        = QString::fromUtf8(ReadAll(m_data.filePath(QStringLiteral("nodes.txt"))))
              .split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(nodes.contains(QStringLiteral("ranks/rank|name=boardgame")));
    std::vector<pugi::xml_document> pages(7);
    for (int i = 0; i < 7; ++i)
        pages[i].load_file(
            QFile::encodeName(m_data.filePath(QStringLiteral("boardgame/%1/2.xml").arg(1001 + i)))
                .constData());
    for (const QString &node : nodes) {
        const QByteArray element = node.section(u'|', 0, 0).section(u'/', 0, 0).toUtf8();
        const QByteArray child = node.section(u'|', 0, 0).section(u'/', 1).toUtf8();
        const QByteArray filter = node.section(u'|', 1).section(u'=', 1).toUtf8();
        const bool found
            = std::any_of(pages.begin(), pages.end(), [&](const pugi::xml_document &doc) {
                  const pugi::xml_node record = doc.select_node("//ratings[last()]").node();
                  const pugi::xml_node value = record.child(element.constData());
                  return child.isEmpty() ? !value.text().empty()
                                         : bool(value.find_child_by_attribute(
                                             child.constData(), "name", filter.constData()));
              });
        QVERIFY2(found, qPrintable(node));
    }
}

void SampleServiceTest::answers_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("file"); // in the data folder; empty: no body check

    QTest::newRow("history page") << QByteArray("/xmlapi/boardgame/1001?historical=1&page=2") << 200
                                  << "boardgame/1001/2.xml";
    QTest::newRow("past the history") << QByteArray("/xmlapi/boardgame/1001?historical=1&page=3")
                                      << 200 << "boardgame/1001/end.xml";
    QTest::newRow("far past the history")
        << QByteArray("/xmlapi/boardgame/1007?historical=1&page=900") << 200
        << "boardgame/1007/end.xml";
    QTest::newRow("page 0") << QByteArray("/xmlapi/boardgame/1001?historical=1&page=0") << 400
                            << "";
    QTest::newRow("no page") << QByteArray("/xmlapi/boardgame/1001?historical=1") << 400 << "";
    QTest::newRow("unknown game") << QByteArray("/xmlapi/boardgame/42?historical=1&page=1") << 404
                                  << "";
    QTest::newRow("geeklist") << QByteArray("/xmlapi/geeklist/501") << 200 << "geeklist/501.xml";
    QTest::newRow("unknown geeklist") << QByteArray("/xmlapi/geeklist/77") << 404 << "";
    QTest::newRow("path out of the folder")
        << QByteArray("/xmlapi/geeklist/..%2F..%2Fnodes.txt") << 404 << "";
    QTest::newRow("data file by name") << QByteArray("/nodes.txt") << 404 << "";
    QTest::newRow("a ranking list") << QByteArray("/lists/days") << 404 << ""; // held by archives alone
}

void SampleServiceTest::answers()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QString, file);

    SampleService service(options());
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    const RawAnswer answer = RawGet(service.port(), target);
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.headers.value("content-length").toLongLong(), answer.body.size());
    if (!file.isEmpty())
        QCOMPARE(answer.body, ReadAll(m_data.filePath(file)));
}

void SampleServiceTest::search_data()
{
    QTest::addColumn<QByteArray>("query"); // as sent, percent-encoded
    QTest::addColumn<QStringList>("ids");

    const QStringList harbour { QStringLiteral("1001"), QStringLiteral("9001") };
    QTest::newRow("one word") << QByteArray("harbour") << harbour;
    QTest::newRow("words in any case") << QByteArray("HARBOUR%20hinter") << harbour;
    QTest::newRow("all words must match")
        << QByteArray("hinterland%20lighthouses") << QStringList { QStringLiteral("9001") };
    QTest::newRow("other name") << QByteArray("hafen") << QStringList { QStringLiteral("1001") };
    QTest::newRow("character reference in the name")
        << QByteArray("caf%C3%A9") << QStringList { QStringLiteral("1002") };
    QTest::newRow("non-ASCII case")
        << QByteArray("CAF%C3%89") << QStringList { QStringLiteral("1002") };
    QTest::newRow("ampersand") << QByteArray("copper%20%26%20coal")
                               << QStringList { QStringLiteral("1004") };
    QTest::newRow("plus is a blank")
        << QByteArray("sample+game+7") << QStringList { QStringLiteral("1007") };
    QTest::newRow("nothing found") << QByteArray("zeppelin") << QStringList {};
    QTest::newRow("empty query") << QByteArray("") << QStringList {};
    QTest::newRow("only a blank") << QByteArray("%20") << QStringList {};
}

void SampleServiceTest::search()
{
    QFETCH(QByteArray, query);
    QFETCH(QStringList, ids);

    SampleService service(options());
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    const RawAnswer answer = RawGet(service.port(), "/xmlapi/search?search=" + query);
    QCOMPARE(answer.status, 200);
    pugi::xml_document doc;
    QVERIFY(doc.load_buffer(answer.body.constData(), size_t(answer.body.size())));
    const pugi::xml_node root = doc.document_element();
    QCOMPARE(Attributes(root, "boardgame", "objectid"), ids);
    for (const pugi::xml_node game : root.children("boardgame"))
        QVERIFY(game.find_child_by_attribute("name", "primary", "true"));
}

void SampleServiceTest::faults()
{
    SampleService service(options({ QStringLiteral("--fail"),
        QStringLiteral("*page=1=503,retry-after=2,times=1"), QStringLiteral("--fail"),
        QStringLiteral("*1002*=redirect"), QStringLiteral("--fail"),
        QStringLiteral("*1003*=broken"), QStringLiteral("--fail"), QStringLiteral("*1004*=notxml"),
        QStringLiteral("--fail"), QStringLiteral("/xmlapi/geeklist/500=204") }));
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    const QByteArray page1 = "/xmlapi/boardgame/1001?historical=1&page=1";

    // A rule with times answers that many matching requests, then the data.
    RawAnswer answer = RawGet(service.port(), page1);
    QCOMPARE(answer.status, 503);
    QCOMPARE(answer.headers.value("retry-after"), QByteArray("2"));
    QCOMPARE(RawGet(service.port(), page1).status, 200);
    // The pattern covers the whole target: "*page=1" is not "page=10".
    QCOMPARE(RawGet(service.port(), "/xmlapi/boardgame/1001?historical=1&page=10").status, 200);

    answer = RawGet(service.port(), "/xmlapi/boardgame/1002?historical=1&page=1");
    QCOMPARE(answer.status, 302);
    const QByteArray moved = answer.headers.value("location");
    QCOMPARE(moved, QByteArray("/moved/xmlapi/boardgame/1002?historical=1&page=1"));
    answer = RawGet(service.port(), moved); // served, not redirected again
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.body, ReadAll(m_data.filePath(QStringLiteral("boardgame/1002/1.xml"))));

    answer = RawGet(service.port(), "/xmlapi/boardgame/1003?historical=1&page=1");
    QCOMPARE(answer.status, 200);
    QVERIFY(answer.body.size() < answer.headers.value("content-length").toLongLong());

    answer = RawGet(service.port(), "/xmlapi/boardgame/1004?historical=1&page=1");
    QCOMPARE(answer.status, 200);
    pugi::xml_document doc;
    QVERIFY(!doc.load_buffer(answer.body.constData(), size_t(answer.body.size())));

    answer = RawGet(service.port(), "/xmlapi/geeklist/500");
    QCOMPARE(answer.status, 204);
    QVERIFY(answer.body.isEmpty());
}

void SampleServiceTest::requestLog()
{
    SampleService service(options());
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    RawGet(service.port(), "/xmlapi/geeklist/500");
    RawGet(service.port(), "/xmlapi/search?search=red%20blue");
    RawGet(service.port(), "/xmlapi/geeklist/501");

    const QList<SampleService::Request> requests = service.requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests[1].target, QStringLiteral("/xmlapi/search?search=red%20blue"));
    QCOMPARE(requests[1].userAgent, QStringLiteral("raw-check"));
    QCOMPARE(service.requestCount(QStringLiteral("/xmlapi/geeklist/")), 2);

    service.clearRequests();
    QCOMPARE(service.requestCount(), 0);
    RawGet(service.port(), "/xmlapi/geeklist/502");
    QCOMPARE(service.requestCount(), 1);
}

void SampleServiceTest::badFaultRuleStopsStart()
{
    for (const char *rule : { "*=teapot", "no-status", "*=503,later=1" }) {
        SampleService service(options({ QStringLiteral("--fail"), QString::fromLatin1(rule) }));
        QVERIFY2(!service.start(), rule);
    }
}

QTEST_GUILESS_MAIN(SampleServiceTest)
#include "test_sample_service.moc"
