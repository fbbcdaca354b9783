// Snapshots imported and served, read back by Plotwise: its CSV, Info lines
// and search list hold the snapshots' values and names exactly.
#include "archive/ArchiveReader.h"
#include "archive/Days.h"
#include "archive/SnapshotReader.h"
#include "search/SearchAnswer.h"
#include "service/XmlDocument.h"
#include "support/ArchiveService.h"
#include "support/ArchiveTests.h"
#include "support/RawGet.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <charconv>
#include <map>

class TestArchiveRoundTrip : public QObject
{
    Q_OBJECT
private slots:
    void roundTripToPlotwiseCsv();
    void namesComeThroughAsSpelled_data();
    void namesComeThroughAsSpelled();
};

// Generated snapshots, imported and served, charted by Plotwise: its CSV
// holds exactly the snapshot values for several games and all four nodes.
void TestArchiveRoundTrip::roundTripToPlotwiseCsv()
{
    const QString snapshots = GeneratedSnapshots("small", { "--days", "12", "--games", "40" });
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    QCOMPARE(Archive({ "import", archive, snapshots }).status, 0);

    // What the files say, read as the import rules do: the deepest file of a
    // day, the last of files as deep (records only: the rows' names point
    // into bytes, gone after each file).
    std::map<int32_t, Snapshot> days;
    for (const QFileInfo &file : QDir(snapshots).entryInfoList({ "*.csv" }, QDir::Files, QDir::Name)) {
        std::string bytes = ReadAll(file.filePath()).toStdString();
        Snapshot read = ReadSnapshot(bytes);
        Snapshot &day = days[*SnapshotDay(file.fileName().toStdString())];
        if (read.rows.size() >= day.rows.size())
            day = std::move(read);
    }
    // The day index holds each day's games as the file that stands ranks them.
    {
        ArchiveReader reader(archive.toStdString());
        std::vector<DaySummary> summaries;
        for (const auto &[day, snapshot] : days) {
            const std::vector<DayRank> ranks = RanksOf(snapshot.rows);
            QCOMPARE(reader.dayRanking(day), ranks);
            summaries.push_back({ day, int64_t(ranks.size()), ranks.back().rank });
        }
        QCOMPARE(reader.daySummaries(), summaries);
    }
    const QStringList nodes = { "average", "bayesaverage", "usersrated", "ranks/rank|name=boardgame" };
    const QList<uint32_t> games = { 20, 64, 90, 139, 718 }; // names that test quoting; a late joiner
    QStringList expected;
    QByteArray script;
    int series = 0;
    for (const QString &node : nodes) {
        for (const uint32_t game : games) {
            script += QByteArray::number(game) + ',' + node.toUtf8() + ",,,,,\n";
            ++series;
            for (const auto &[day, snapshot] : days) {
                for (const SnapshotRow &row : snapshot.rows) {
                    if (row.game != game)
                        continue;
                    const Record &r = row.record;
                    const std::string value = node == u"average" ? DecimalText(r.average)
                        : node == u"bayesaverage"                 ? DecimalText(r.bayesAverage)
                        : node == u"usersrated"                   ? std::to_string(r.usersRated)
                                                                  : std::to_string(r.rank);
                    double number = 0;
                    std::from_chars(value.data(), value.data() + value.size(), number);
                    expected << QStringLiteral("%1 %2 %3").arg(series).arg(QString::fromStdString(IsoDay(day)))
                                    .arg(number, 0, 'g', 17);
                }
            }
        }
    }
    QVERIFY(expected.size() > 100);

    ArchiveService service(archive);
    QVERIFY(service.port() != 0);
    QDir(dir.path()).mkpath("program");
    const QString program = dir.filePath("program/plotwise");
    QVERIFY(QFile::copy(qEnvironmentVariable("PLOTWISE"), program));
    WriteFile(dir.filePath("nodes.txt"), nodes.join(u'\n').toUtf8() + '\n');
    WriteFile(dir.filePath("s.txt"), script);
    const RunResult result = RunProgram(program,
        { "--run", "s.txt", "--csv", "out.csv", "--service",
            QStringLiteral("http://127.0.0.1:%1").arg(service.port()) },
        dir.path());
    QCOMPARE(result.err, QString());
    QCOMPARE(result.status, 0);
    QStringList got;
    const QList<QByteArray> rows = ReadAll(dir.filePath("out.csv")).split('\n');
    for (const QByteArray &row : rows.mid(1, rows.size() - 2)) {
        const QList<QByteArray> fields = row.split(',');
        double number = 0;
        std::from_chars(fields.last().constData(), fields.last().constData() + fields.last().size(), number);
        got << QStringLiteral("%1 %2 %3").arg(QString::fromLatin1(fields.first()),
                   QString::fromLatin1(fields[fields.size() - 2])).arg(number, 0, 'g', 17);
    }
    QCOMPARE(got, expected);
}

// Names as snapshots spell them reach the chart's CSV, the Info lines and the
// search list exactly: the service writes them so that the client's markup
// rules and the search window's parser both give each back.
void TestArchiveRoundTrip::namesComeThroughAsSpelled_data()
{
    QTest::addColumn<QByteArray>("field"); // the snapshot's Name field
    QTest::addColumn<QString>("name");
    QTest::newRow("double quotes") << QByteArray(R"("""Quoted"" start, ""end""")")
                                   << R"("Quoted" start, "end")";
    QTest::newRow("apostrophes") << QByteArray("Rock 'n' Roll's") << "Rock 'n' Roll's";
    QTest::newRow("an ampersand") << QByteArray("Tom & Jerry") << "Tom & Jerry";
    QTest::newRow("&amp; as text") << QByteArray("Fish &amp; Chips") << "Fish &amp; Chips";
    QTest::newRow("a tag") << QByteArray("<b>Bold</b> Moves") << "<b>Bold</b> Moves";
    QTest::newRow("angle brackets alone") << QByteArray("a < b > c") << "a < b > c";
    QTest::newRow("a tab") << QByteArray("Tab\there") << "Tab\there";
    QTest::newRow("an emoji") << QByteArray("Dice \xF0\x9F\x8E\xB2 Night") << "Dice \U0001F3B2 Night";
    QTest::newRow("right-to-left text") << QByteArray("Chess \xD7\xA9\xD7\x97\xD7\x9E\xD7\x98")
                                        << "Chess \u05E9\u05D7\u05DE\u05D8";
}

void TestArchiveRoundTrip::namesComeThroughAsSpelled()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    WriteFile(dir.filePath("2016-10-12.csv"), Header + "13," + field + ",2001,3,7.25,5.61,120\n");
    QCOMPARE(Archive({ "import", archive, dir.filePath("2016-10-12.csv") }).status, 0);
    ArchiveService service(archive);
    QVERIFY(service.port() != 0);
    // The import turns a tab into a space, as the markup rules may.
    const auto spaced = [](QString text) { return text.replace(u'\t', u' '); };

    QDir(dir.path()).mkpath("program");
    const QString program = dir.filePath("program/plotwise");
    QVERIFY(QFile::copy(qEnvironmentVariable("PLOTWISE"), program));
    WriteFile(dir.filePath("nodes.txt"), "ranks/rank|name=boardgame\n");
    WriteFile(dir.filePath("s.txt"), "13,ranks/rank|name=boardgame,,,,,\n");
    const RunResult result = RunProgram(program,
        { "--run", "s.txt", "--csv", "out.csv", "--info", "--service",
            QStringLiteral("http://127.0.0.1:%1").arg(service.port()) },
        dir.path());
    QCOMPARE(result.err, QString());
    QCOMPARE(result.status, 0);
    QCOMPARE(spaced(result.out), spaced(name) + " min: 3 (2016-10-12) / max: 3 (2016-10-12)\n");
    const QList<QByteArray> rows = ReadAll(dir.filePath("out.csv")).split('\n');
    QCOMPARE(rows.size(), 3);
    QCOMPARE(spaced(CsvFields(rows[1]).value(1)), spaced(name));

    // The search answer, read as the search window reads it.
    const RawAnswer answer
        = RawGet(service.port(), "/xmlapi/search?search=" + QUrl::toPercentEncoding(spaced(name)));
    WriteFile(dir.filePath("search.xml"), answer.body);
    XmlDocument document;
    document.loadFile(dir.filePath("search.xml"));
    QStringList hits;
    WalkSearchAnswer(document, [&](const SearchHit &hit) { hits << spaced(hit.line); });
    QCOMPARE(hits, QStringList { spaced(name) + " (2001)" });
}

QTEST_GUILESS_MAIN(TestArchiveRoundTrip)
#include "test_archiveroundtrip.moc"
