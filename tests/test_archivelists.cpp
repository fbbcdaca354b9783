// plotwise-archive top and movers: their refusals and lists that agree with
// the history pages; and a list read while an import commits.
#include "archive/ArchiveListSource.h"
#include "archive/ArchiveReader.h"
#include "archive/Days.h"
#include "support/ArchiveTests.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <set>

namespace {

// What a list reads of the archive, each part by its own call.
QString ListReads(ListSource &source)
{
    QString text;
    for (const DaySummary &d : source.days()) {
        const auto ranks = source.ranking(d.day, 0);
        std::vector<uint32_t> games;
        for (const DayRank &r : ranks)
            games.push_back(r.game);
        const auto titles = source.titles(games);
        const auto records = source.records(d.day, games);
        text += QString::number(d.day) + u':';
        for (size_t i = 0; i < games.size(); ++i)
            text += QString(" %1 %2 %3").arg(games[i]).arg(QString::fromStdString(titles[i].name)).arg(records[i].rank);
        text += u'\n';
    }
    return text;
}

} // namespace

class TestArchiveLists : public QObject
{
    Q_OBJECT
private slots:
    void listCommands_data();
    void listCommands();
    void listReadsOneStateOfTheArchive_data();
    void listReadsOneStateOfTheArchive();
};

// top and movers: the exit status and message of each refusal, and lists
// whose every row is what the games' history pages say of the day used.
// An "A" in the arguments stands for the archive (12 generated days, the
// 18th missing); rows -1: as many as the day index makes (top: N of the
// day; movers: the games in the top N of either day).
void TestArchiveLists::listCommands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err"); // its first line
    QTest::addColumn<bool>("usage"); // follows the line
    QTest::addColumn<QString>("days"); // the day fields of every row
    QTest::addColumn<int>("rows");

    QTest::newRow("top of the last day") << QStringList { "top", "A", "--count", "5" } << 0 << "" << false
                                         << "2016-10-23" << -1;
    QTest::newRow("top of a missing day: the day before, all of it")
        << QStringList { "top", "A", "--day", "2016-10-18", "--count", "0" } << 0 << "" << false << "2016-10-17"
        << -1;
    QTest::newRow("top of a year") << QStringList { "top", "A", "--year", "1475" } << 0 << "" << false
                                   << "2016-10-23" << 1;
    QTest::newRow("movers to a missing day")
        << QStringList { "movers", "A", "--from", "2016-10-12", "--to", "2016-10-18", "--top", "10" } << 0 << ""
        << false << "2016-10-12,2016-10-17" << -1;
    QTest::newRow("movers backwards, all")
        << QStringList { "movers", "A", "--to", "2016-10-12", "--from", "2016-10-23", "--top", "0" } << 0 << ""
        << false << "2016-10-23,2016-10-12" << -1;
    QTest::newRow("no day at or before") << QStringList { "top", "A", "--day", "2016-10-11" } << 2
                                         << "plotwise-archive: top: no day imported at or before 2016-10-11"
                                         << false << "" << 0;
    QTest::newRow("movers without a second day") << QStringList { "movers", "A", "--from", "2016-10-12" } << 2
                                                 << "plotwise-archive: movers: --to is needed: the second day"
                                                 << true << "" << 0;
    QTest::newRow("a count that is no number") << QStringList { "top", "A", "--count", "ten" } << 2
                                               << "plotwise-archive: top: --count takes a whole number (0: all)"
                                               << true << "" << 0;
    QTest::newRow("an option of the other list") << QStringList { "top", "A", "--from", "2016-10-12" } << 2
                                                 << "plotwise-archive: top: --from is not a parameter of this list"
                                                 << true << "" << 0;
    QTest::newRow("an option without its value") << QStringList { "movers", "A", "--from" } << 2
                                                 << "plotwise-archive: movers: an option without its value"
                                                 << true << "" << 0;
    QTest::newRow("a value without its option") << QStringList { "top", "A", "5" } << 2
                                                << "plotwise-archive: top: an option --NAME VALUE expected, not 5"
                                                << true << "" << 0;
}

void TestArchiveLists::listCommands()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, err);
    QFETCH(bool, usage);
    QFETCH(QString, days);
    QFETCH(int, rows);
    static QTemporaryDir dir;
    static const QString archive = dir.filePath("a.pwa");
    if (!QFileInfo::exists(archive))
        QCOMPARE(Archive({ "import", archive, GeneratedSnapshots("small", { "--days", "12", "--games", "40" }) }).status, 0);
    args.replaceInStrings(QRegularExpression("^A$"), archive);
    const RunResult result = Archive(args);
    QCOMPARE(result.status, status);
    if (status != 0) {
        QCOMPARE(result.err.section(u'\n', 0, 0), err);
        QCOMPARE(result.err.contains("usage: plotwise-archive"), usage);
        QCOMPARE(result.err.count(u'\n') == 1, !usage);
        QCOMPARE(result.out, QString());
        return;
    }
    QCOMPARE(result.err, QString());

    ArchiveReader reader(archive.toStdString());
    const bool top = args[0] == u"top";
    const QStringList dayList = days.split(u',');
    std::vector<int32_t> listDays;
    for (const QString &day : dayList)
        listDays.push_back(*LeadingIsoDay(day.toStdString()));
    if (rows < 0) {
        // The games of the top N of the days by the day index.
        const int n = args[args.indexOf(top ? "--count" : "--top") + 1].toInt();
        std::set<uint32_t> games;
        for (const int32_t day : listDays) {
            for (const DayRank &r : reader.dayRanking(day, size_t(n)))
                games.insert(r.game);
        }
        rows = int(games.size());
    }
    QStringList lines = result.out.split(u'\n');
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.takeFirst(), top ? "day,rank,id,name,year,average,bayes_average,users_rated"
                                    : "from,to,id,name,year,rank_from,rank_to,change,status");
    QCOMPARE(lines.size(), rows);
    for (const QString &line : lines) {
        const QStringList f = CsvFields(line.toUtf8());
        QCOMPARE(f.size(), top ? 8 : 9);
        QCOMPARE(f.mid(0, dayList.size()), dayList);
        const uint32_t game = f[2].toUInt();
        QString title;
        const QStringList history = History(reader, game, &title);
        QCOMPARE(f[3] + u'|' + f[4], title);
        // "20161012 3 120 7.25 5.61" of the day, or nothing.
        const auto recordOf = [&](int32_t day) {
            const QString compact = QString::fromStdString(CompactDay(day));
            for (const QString &record : history) {
                if (record.startsWith(compact))
                    return record.split(u' ');
            }
            return QStringList();
        };
        if (top) {
            QCOMPARE(f[1] + u' ' + f[7] + u' ' + f[5] + u' ' + f[6],
                recordOf(listDays[0]).mid(1).join(u' '));
            if (args.contains("--year"))
                QCOMPARE(f[4], args[args.indexOf("--year") + 1]);
        } else {
            const QStringList from = recordOf(listDays[0]), to = recordOf(listDays[1]);
            QCOMPARE(f[5], from.value(1));
            QCOMPARE(f[6], to.value(1));
            QCOMPARE(f[7], from.isEmpty() || to.isEmpty() ? QString()
                                                          : QString::number(from[1].toInt() - to[1].toInt()));
        }
    }
}

// An import committed between a list's reads does not show in that list.
void TestArchiveLists::listReadsOneStateOfTheArchive_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("rows");

    QTest::newRow("a day added") << "2016-10-13.csv" << Header + "13,Alpha,2001,2,7.5,5.7,130\n";
    QTest::newRow("a day replaced") << "2016-10-12.csv" << Header + "13,Alpha Two,2001,5,7.5,5.7,130\n";
}

void TestArchiveLists::listReadsOneStateOfTheArchive()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, rows);
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    WriteFile(dir.filePath("2016-10-12.csv"), Header + Alpha);
    QCOMPARE(Archive({ "import", archive, dir.filePath("2016-10-12.csv") }).status, 0);
    ArchiveReader reader(archive.toStdString());
    QString before;
    {
        ArchiveListSource source(reader);
        before = ListReads(source);
        QTemporaryDir other;
        WriteFile(other.filePath(file), rows);
        QCOMPARE(Archive({ "import", archive, other.filePath(file) }).status, 0);
        QCOMPARE(ListReads(source), before);
    }
    ArchiveListSource after(reader);
    QVERIFY(ListReads(after) != before);
}

QTEST_GUILESS_MAIN(TestArchiveLists)
#include "test_archivelists.moc"
