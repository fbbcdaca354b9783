// The day index's packed ranking and the shallow-day rule, as pure functions.
#include "archive/DayIndex.h"

#include "archive/ArchiveFile.h"
#include "archive/ArchiveReader.h"
#include "archive/ArchiveWriter.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <map>

using Ranks = std::vector<DayRank>;
using Summaries = std::vector<DaySummary>;
using Shallow = std::vector<std::pair<int32_t, uint32_t>>; // day, the median around it
Q_DECLARE_METATYPE(Ranks)
Q_DECLARE_METATYPE(Summaries)
Q_DECLARE_METATYPE(Shallow)

class TestDayIndex : public QObject
{
    Q_OBJECT
private slots:
    void packedRanksReadBack_data();
    void packedRanksReadBack();
    void damagedRanksRefused_data();
    void damagedRanksRefused();
    void shallowDays_data();
    void shallowDays();
    void goldenArchiveUpgrades_data();
    void goldenArchiveUpgrades();
};

void TestDayIndex::packedRanksReadBack_data()
{
    QTest::addColumn<Ranks>("ranks"); // in rank order
    QTest::addColumn<QByteArray>("bytes"); // expected packing; empty: not checked

    QTest::newRow("no games") << Ranks {} << QByteArray("\x00\x00\x00", 3);
    // 3 entries, 3 bits each (largest 5), no exception: 5, 2, 3 -> 101 010 011
    QTest::newRow("ranks 1, 2, 3: only the games, bit-packed")
        << Ranks { { 5, 1 }, { 2, 2 }, { 3, 3 } } << QByteArray("\x03\x03\x00\xd5\x00", 5);
    QTest::newRow("a tie, a gap and a first rank past 1: three exceptions")
        << Ranks { { 7, 2 }, { 9, 2 }, { 4, 6 }, { 1, 7 } }
        << QByteArray("\x04\x04\x03\x00\x02\x01\x00\x01\x04\x97\x14", 11);
    QTest::newRow("the widest game ID")
        << Ranks { { 0xFFFFFFFFu, 1 }, { 1, 2 }, { 0x80000000u, 0xFFFFFFFFu } } << QByteArray();
    Ranks day;
    for (uint32_t i = 0; i < 20000; ++i)
        day.push_back({ (i * 7919u) % 400000u + 1, i + 1 + i / 5000 });
    QTest::newRow("20,000 games, a gap every 5,000") << day << QByteArray();
}

void TestDayIndex::packedRanksReadBack()
{
    QFETCH(Ranks, ranks);
    QFETCH(QByteArray, bytes);
    const std::string packed = PackDayRanks(ranks);
    if (!bytes.isEmpty())
        QCOMPARE(QByteArray::fromStdString(packed).toHex(' '), bytes.toHex(' '));
    Ranks all;
    QVERIFY(UnpackDayRanks(packed, 0, all));
    QCOMPARE(all, ranks);
    for (const size_t limit : { size_t(1), size_t(2), size_t(100), ranks.size() + 1 }) {
        Ranks top { { 99, 99 } }; // appended to
        QVERIFY(UnpackDayRanks(packed, limit, top));
        Ranks expected { { 99, 99 } };
        expected.insert(expected.end(), ranks.begin(), ranks.begin() + std::min(limit, ranks.size()));
        QCOMPARE(top, expected);
    }
}

void TestDayIndex::damagedRanksRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("games cut short") << QByteArray("\x03\x03\x00\xd5", 4);
    QTest::newRow("a byte after the games") << QByteArray("\x03\x03\x00\xd5\x00\x00", 6);
    QTest::newRow("width past 32") << QByteArray("\x01\x21\x00\x01\x00\x00\x00\x00", 8);
    QTest::newRow("entries but width 0") << QByteArray("\x02\x00\x00", 3);
    QTest::newRow("two exceptions at one entry") << QByteArray("\x02\x02\x02\x00\x02\x00\x02\x05", 8);
    QTest::newRow("an exception past the last entry") << QByteArray("\x02\x02\x01\x02\x01\x05", 6);
    QTest::newRow("a count far beyond the bytes") << QByteArray("\xff\xff\xff\xff\x0f\x01\x00", 7);
    QTest::newRow("ranks past 2^32") << QByteArray("\x01\x01\x01\x00\x80\x80\x80\x80\x10\x01", 10);
}

void TestDayIndex::damagedRanksRefused()
{
    QFETCH(QByteArray, bytes);
    for (const size_t limit : { size_t(0), size_t(1) }) {
        Ranks ranks;
        QVERIFY(!UnpackDayRanks(bytes.toStdString(), limit, ranks));
    }
}

void TestDayIndex::shallowDays_data()
{
    QTest::addColumn<std::vector<uint32_t>>("depths"); // of consecutive days from day 100
    QTest::addColumn<Shallow>("shallow");

    const uint32_t F = 20000;
    QTest::newRow("none") << std::vector<uint32_t> { F, F, F, F, F, F, F, F } << Shallow {};
    QTest::newRow("one short scrape in the middle")
        << std::vector<uint32_t> { F, F, F, F, 5800, F, F, F } << Shallow { { 104, F } };
    QTest::newRow("half the median is not shallow, just under it is")
        << std::vector<uint32_t> { F, F, F, 10000, F, 9999, F, F, F } << Shallow { { 105, F } };
    QTest::newRow("at the ends, the seven nearest days")
        << std::vector<uint32_t> { 3000, F, F, F, F, F, F, F, F, 100 }
        << Shallow { { 100, F }, { 109, F } };
    QTest::newRow("two short days side by side")
        << std::vector<uint32_t> { F, F, F, 4000, 4000, F, F, F } << Shallow { { 103, F }, { 104, F } };
    QTest::newRow("the median, not the mean, of days growing over time")
        << std::vector<uint32_t> { 13000, 13100, 13200, 13300, 6000, 13500, 13600, 60000 }
        << Shallow { { 104, 13300 } };
    QTest::newRow("an archive of fewer than seven days")
        << std::vector<uint32_t> { F, 2000, F } << Shallow { { 101, F } };
    QTest::newRow("a single day is never shallow") << std::vector<uint32_t> { 10 } << Shallow {};
}

void TestDayIndex::shallowDays()
{
    QFETCH(std::vector<uint32_t>, depths);
    QFETCH(Shallow, shallow);
    Summaries days;
    for (size_t i = 0; i < depths.size(); ++i)
        days.push_back({ int32_t(100 + i), int64_t(depths[i]), depths[i] });
    Shallow got;
    for (const ShallowDay &d : ShallowDays(days)) {
        QCOMPARE(d.deepestRank, depths[size_t(d.day - 100)]);
        got.push_back({ d.day, d.around });
    }
    QCOMPARE(got, shallow);
}

// Every page of the games below 2000, each game's history whole.
std::map<uint32_t, std::vector<Record>> Histories(ArchiveReader &reader)
{
    std::map<uint32_t, std::vector<Record>> histories;
    for (uint32_t game = 1; game < 2000; ++game) {
        for (int64_t page = 1;; ++page) {
            const auto history = reader.page(game, page);
            if (!history || history->records.empty())
                break;
            auto &records = histories[game];
            records.insert(records.end(), history->records.begin(), history->records.end());
        }
    }
    return histories;
}

// An archive of an earlier layout is read as it is (layout 1: with its day
// rankings worked out from its records), and the next import into it
// upgrades it: the rankings of its old days, folded and staged, are those
// its pages gave, and the pages read as before.
void TestDayIndex::goldenArchiveUpgrades_data()
{
    QTest::addColumn<QString>("golden");
    QTest::newRow("layout 1, staged days after the blocks") << "archive-layout1/staged-after.archive";
    QTest::newRow("layout 1, a staged day replacing a folded one")
        << "archive-layout1/staged-replacing.archive";
    QTest::newRow("layout 2, staged days after the blocks") << "archive-layout2/staged-after.archive";
    QTest::newRow("layout 2, a staged day replacing a folded one")
        << "archive-layout2/staged-replacing.archive";
}

void TestDayIndex::goldenArchiveUpgrades()
{
    QFETCH(QString, golden);
    QTemporaryDir temp;
    const std::string archive = temp.filePath("a.archive").toStdString();
    QVERIFY(QFile::copy(TestDataDir() + "/" + golden, QString::fromStdString(archive)));
    QFile(QString::fromStdString(archive)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);

    std::map<int32_t, Ranks> expected; // from the pages
    std::map<uint32_t, std::vector<Record>> histories;
    {
        ArchiveReader reader(archive);
        histories = Histories(reader);
        for (const auto &[game, records] : histories) {
            for (const Record &r : records)
                expected[r.day].push_back({ game, r.rank });
        }
        QVERIFY(expected.size() > 100);
        for (auto &[day, ranks] : expected) {
            SortByRank(ranks);
            QCOMPARE(reader.dayRanking(day), ranks);
        }
    }

    std::string csv = "ID,Name,Year,Rank,Average,Bayes average,Users rated\n"
                      "13,Thirteen,2001,2,7.25,5.61,120\n7,Seven,1999,1,8,6.1,300\n"
                      "99,Ninety-nine,2020,2,6,5,40\n";
    const int32_t newDay = expected.rbegin()->first + 1;
    const Snapshot snapshot = ReadSnapshot(csv);
    {
        const auto db = OpenArchive(archive, ArchiveAccess::Import);
        QCOMPARE(db->number("PRAGMA user_version"), int64_t(ArchiveLayout));
        ArchiveWriter writer(*db);
        QVERIFY(writer.putDay(newDay, "new.csv", PackSnapshot(snapshot)) == ArchiveWriter::Outcome::Added);
        writer.finish();
    }
    expected[newDay] = { { 7, 1 }, { 13, 2 }, { 99, 2 } };
    for (const SnapshotRow &row : snapshot.rows) {
        histories[row.game].push_back(row.record);
        histories[row.game].back().day = newDay;
    }

    ArchiveReader reader(archive);
    QVERIFY(Histories(reader) == histories);
    Summaries summaries;
    for (const auto &[day, ranks] : expected) {
        QCOMPARE(reader.dayRanking(day), ranks);
        QCOMPARE(reader.dayRanking(day, 2), Ranks(ranks.begin(), ranks.begin() + std::min<size_t>(2, ranks.size())));
        summaries.push_back({ day, int64_t(ranks.size()), ranks.back().rank });
    }
    QCOMPARE(reader.daySummaries(), summaries);
    QVERIFY(reader.dayRanking(newDay + 1).empty());
}

QTEST_APPLESS_MAIN(TestDayIndex)
#include "test_dayindex.moc"
