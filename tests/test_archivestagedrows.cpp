// A staged day as readers hold it, packed and indexed: every look-up and
// walk must give the rows unpacking the whole day gives, a damaged day must
// be refused when it is read, as before, and a reader kept open across
// imports must answer as a new one, though it reads only the days changed.
#include "archive/ArchiveFile.h"
#include "archive/ArchiveFormat.h"
#include "archive/ArchiveReader.h"
#include "archive/ArchiveWriter.h"
#include "archive/Days.h"
#include "archive/Sqlite.h"
#include "archive/StagedDayRows.h"
#include "support/ArchiveTests.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Rows = std::vector<SnapshotRow>;

constexpr int32_t Day = 17086; // 2016-10-12

// Names the rows point to: they must outlive the table's rows.
const std::string LongName(3 * MaxNameBytes, 'x');
const char *const Names[] = { "Ports, Pirates & Plunder", "The \"Quiet\" Harbour", "",
    "Sk\xC3\xA5l! Mead Hall Feasts", "\xE6\x9D\xB1\xE4\xBA\xAC Tiles", "<Caf\xC3\xA9>" };

SnapshotRow Row(uint32_t game, std::string_view name, uint32_t rank = 1)
{
    SnapshotRow row;
    row.game = game;
    row.record.rank = rank;
    row.record.usersRated = 30 + game % 70000;
    row.record.average = { int64_t(game % 900) - 300, uint8_t(game % 6) };
    row.record.bayesAverage = { int64_t(game) * 7919 % 1000003, uint8_t(5) };
    row.year = int32_t(game % 4000) - 2000;
    row.name = name;
    return row;
}

// IDs with steps of one byte and of several (the step is coded from the
// row before, so a wrong base shows on every row after the first).
Rows ManyRows()
{
    Rows rows;
    uint32_t game = 0;
    for (uint32_t i = 0; i < 3000; ++i) {
        game += 1 + (i * 37) % (i % 5 == 0 ? 20000 : 120);
        rows.push_back(Row(game, Names[i % std::size(Names)], i + 1));
    }
    return rows;
}

bool SameRow(const SnapshotRow &a, const SnapshotRow &b)
{
    return a.game == b.game && a.record == b.record && a.year == b.year && a.name == b.name;
}

QByteArray Describe(const SnapshotRow &row)
{
    return QByteArray::number(row.game) + " rank " + QByteArray::number(row.record.rank) + " year "
        + QByteArray::number(row.year) + " \"" + QByteArray::fromStdString(std::string(row.name)) + '"';
}

std::string DamagedMessage()
{
    return "the archive is damaged: the day " + std::to_string(Day) + " does not read";
}

// A step of an import into an archive: a day (from 0) put in as the given
// version of its content, or the staged days folded.
struct Step {
    int day = -1; // -1: fold
    int version = 0;
};
using Steps = QList<Step>;

constexpr Step Fold;

// Game 13's rank and name tell the day and version; game 14 holds each day
// alike; game 500 only the days of version 1 and up.
std::string DayCsv(int day, int version)
{
    std::string csv = "ID,Name,Year,Rank,Average,Bayes average,Users rated\n"
                      "13,Alpha v"
        + std::to_string(version) + ",2001," + std::to_string(1 + day + 100 * version)
        + ",7.25,5.61,120\n14,Other,2001,1,7.5,6.5,10\n";
    if (version > 0)
        csv += "500,Newcomer v" + std::to_string(version) + ",2019,90,6.5,5.5,40\n";
    return csv;
}

void Take(ArchiveWriter &writer, const Step &step)
{
    if (step.day < 0) {
        writer.compact();
        return;
    }
    const int32_t day = Day + step.day;
    std::string csv = DayCsv(step.day, step.version);
    (void)writer.putDay(day, IsoDay(day) + ".csv", PackSnapshot(ReadSnapshot(csv)));
}

// What a reader answers for the games and names the steps touch.
QStringList Answers(ArchiveReader &reader)
{
    QStringList answers;
    for (const uint32_t game : { 13u, 14u, 500u }) {
        QString title;
        answers << QString::number(game) + ": " + History(reader, game, &title).join(u' ') + " title "
                + title;
    }
    for (const char *word : { "alpha", "newcomer" }) {
        for (const ArchiveReader::Match &match : reader.search({ word }))
            answers << QString::number(match.game) + " found as "
                    + QString::fromStdString(match.title.name);
    }
    return answers;
}

} // namespace

Q_DECLARE_METATYPE(Rows)
Q_DECLARE_METATYPE(Steps)

class TestArchiveStagedRows : public QObject
{
    Q_OBJECT
private slots:
    void rowsAsUnpacked_data();
    void rowsAsUnpacked();
    void damagedDayRefused_data();
    void damagedDayRefused();
    void readerRefusesDamagedDay_data();
    void readerRefusesDamagedDay();
    void keptReaderFollowsImports_data();
    void keptReaderFollowsImports();
};

void TestArchiveStagedRows::rowsAsUnpacked_data()
{
    QTest::addColumn<Rows>("rows"); // in increasing ID order
    QTest::newRow("no rows") << Rows {};
    QTest::newRow("one row") << Rows { Row(174430, "Gloomy Halls") };
    QTest::newRow("first and last ID") << Rows { Row(1, "First"), Row(2147483647, "Last") };
    QTest::newRow("names with quotes, markup, non-ASCII, empty")
        << Rows { Row(13, Names[0]), Row(14, Names[1]), Row(15, Names[2]), Row(300, Names[3]),
               Row(301, Names[4]), Row(90000, Names[5]), Row(90002, LongName) };
    QTest::newRow("many rows") << ManyRows();
}

void TestArchiveStagedRows::rowsAsUnpacked()
{
    QFETCH(Rows, rows);
    const std::string packed = PackDay(rows);
    Rows unpacked;
    QVERIFY(UnpackDay(packed, Day, unpacked));
    const StagedDayRows day(packed, Day);
    QCOMPARE(day.day(), Day);
    QCOMPARE(day.size(), unpacked.size());

    for (const SnapshotRow &want : unpacked) {
        const auto found = day.find(want.game);
        QVERIFY2(found, Describe(want));
        QVERIFY2(SameRow(*found, want), Describe(*found) + " instead of " + Describe(want));
    }
    size_t walked = 0;
    for (const SnapshotRow &row : day) {
        QVERIFY(walked < unpacked.size());
        QVERIFY2(SameRow(row, unpacked[walked]), Describe(row) + " instead of " + Describe(unpacked[walked]));
        ++walked;
    }
    QCOMPARE(walked, unpacked.size());

    // Below the first, between rows, above the last, and 0.
    std::vector<uint32_t> absent = { 0, UINT32_MAX };
    if (!rows.empty()) {
        absent.push_back(rows.front().game - 1);
        absent.push_back(rows.back().game + 1);
    }
    for (size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].game - rows[i - 1].game > 1)
            absent.push_back(rows[i].game - 1);
    }
    for (const uint32_t game : absent)
        QVERIFY2(!day.find(game), QByteArray::number(game));
}

void TestArchiveStagedRows::damagedDayRefused_data()
{
    const std::string whole = PackDay(Rows { Row(13, "Alpha"), Row(300, "Caf\xC3\xA9") });
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("no bytes") << QByteArray();
    QTest::newRow("the last byte cut off") << QByteArray::fromStdString(whole.substr(0, whole.size() - 1));
    QTest::newRow("cut inside the first row") << QByteArray::fromStdString(whole.substr(0, 6));
    QTest::newRow("a byte after the last row") << QByteArray::fromStdString(whole + 'x');
    QTest::newRow("a count over the rows") << QByteArray::fromStdString('\x03' + whole.substr(1));
    QTest::newRow("a count under the rows") << QByteArray::fromStdString('\x01' + whole.substr(1));
    QTest::newRow("an overlong count") << QByteArray::fromHex("ffffffffffffffffffff01");
}

void TestArchiveStagedRows::damagedDayRefused()
{
    QFETCH(QByteArray, bytes);
    std::vector<SnapshotRow> unpacked;
    QVERIFY(!UnpackDay(bytes.toStdString(), Day, unpacked));
    try {
        const StagedDayRows day(bytes.toStdString(), Day);
        QFAIL(qPrintable(QStringLiteral("read as %1 rows").arg(day.size())));
    } catch (const ArchiveError &e) {
        QCOMPARE(std::string(e.what()), DamagedMessage());
    }
}

// A staged day damaged in an archive is refused by the reader's first call,
// which reads every staged day.
void TestArchiveStagedRows::readerRefusesDamagedDay_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("sound") << QString();
    QTest::newRow("the last byte cut off") << QStringLiteral("substr(staged, 1, length(staged) - 1)");
    QTest::newRow("a byte after the last row") << QStringLiteral("staged || x'00'");
}

void TestArchiveStagedRows::readerRefusesDamagedDay()
{
    QFETCH(QString, change);
    QTemporaryDir temp;
    const QString archive = temp.filePath(QStringLiteral("copy.archive"));
    QVERIFY(QFile::copy(TestDataDir() + QStringLiteral("/archive-layout1/staged-after.archive"), archive));
    QFile(archive).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    int32_t day = 0;
    {
        Database db(archive.toStdString(), SQLITE_OPEN_READWRITE);
        day = int32_t(db.number("SELECT max(day) FROM days WHERE staged IS NOT NULL"));
        QVERIFY(day > 0);
        if (!change.isEmpty())
            db.exec(("UPDATE days SET staged = " + change.toStdString() + " WHERE day = "
                + std::to_string(day))
                        .c_str());
    }
    ArchiveReader reader(archive.toStdString());
    if (change.isEmpty()) {
        QCOMPARE(reader.readInfo().games, 10);
        return;
    }
    try {
        (void)reader.readInfo();
        QFAIL("the damaged day was read");
    } catch (const ArchiveError &e) {
        QCOMPARE(std::string(e.what()),
            "the archive is damaged: the day " + std::to_string(day) + " does not read");
    }
}

// Days 0 to 4 folded and 5 to 7 staged, read by a reader kept open; then
// the steps, and the same reader read again. The staged days read again
// beside the ones read before: only the new days and the changed ones are
// read anew, the others shared.
void TestArchiveStagedRows::keptReaderFollowsImports_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QList<int>>("readAnew"); // days from 0
    QTest::newRow("a day added") << Steps { { 8, 0 } } << QList<int> { 8 };
    QTest::newRow("a staged day replaced with new content") << Steps { { 6, 1 } } << QList<int> { 6 };
    QTest::newRow("a staged day imported again unchanged") << Steps { { 6, 0 } } << QList<int> {};
    QTest::newRow("a staged day replaced and back to its content")
        << Steps { { 6, 1 }, { 6, 0 } } << QList<int> {};
    QTest::newRow("the staged days folded") << Steps { Fold } << QList<int> {};
    QTest::newRow("a staged day replacing a folded one") << Steps { { 2, 1 } } << QList<int> { 2 };
    QTest::newRow("folded, then a day staged before staged again with new content")
        << Steps { Fold, { 7, 1 } } << QList<int> { 7 };
    QTest::newRow("two days replaced, one added")
        << Steps { { 5, 1 }, { 7, 2 }, { 9, 1 } } << QList<int> { 5, 7, 9 };
}

void TestArchiveStagedRows::keptReaderFollowsImports()
{
    QFETCH(Steps, steps);
    QFETCH(QList<int>, readAnew);
    QTemporaryDir temp;
    const std::string archive = temp.filePath(QStringLiteral("a.archive")).toStdString();
    const auto db = OpenArchive(archive, ArchiveAccess::Import);
    ArchiveWriter writer(*db);
    for (const Step &step : Steps { { 0, 0 }, { 1, 0 }, { 2, 0 }, { 3, 0 }, { 4, 0 }, Fold, { 5, 0 },
             { 6, 0 }, { 7, 0 } })
        Take(writer, step);
    ArchiveReader kept(archive);
    QVERIFY(!Answers(kept).isEmpty());
    const StagedDays first = ReadStagedDays(*db);

    for (const Step &step : steps)
        Take(writer, step);
    ArchiveReader fresh(archive);
    QCOMPARE(Answers(kept), Answers(fresh));

    const StagedDays second = ReadStagedDays(*db, &first);
    QList<int> anew;
    for (size_t i = 0; i < second.days.size(); ++i) {
        if (std::find(first.rows.begin(), first.rows.end(), second.rows[i]) == first.rows.end())
            anew << second.days[i] - Day;
    }
    QCOMPARE(anew, readAnew);
}

QTEST_GUILESS_MAIN(TestArchiveStagedRows)
#include "test_archivestagedrows.moc"
