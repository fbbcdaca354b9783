// The archive's on-disk format held still: archives made by an earlier build
// (tests/data/archive-layout1) must read page for page as they did, and
// records must pack to the bytes docs/archive-format.md describes.
#include "archive/ArchiveFile.h"
#include "archive/ArchiveReader.h"
#include "archive/ArchiveWriter.h"
#include "archive/Days.h"
#include "archive/Decimal.h"
#include "archive/ArchiveFormat.h"
#include "archive/Sqlite.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

#include <sqlite3.h>

namespace {

// The golden archives hold games with IDs below this.
constexpr uint32_t GameIdsBelow = 2000;

QString GoldenDir()
{
    return TestDataDir() + QStringLiteral("/archive-layout1");
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "20161012 3 120 7.25 5.61": day, rank, users rated, average, Bayes average.
std::string RecordText(const Record &r)
{
    return CompactDay(r.day) + ' ' + std::to_string(r.rank) + ' ' + std::to_string(r.usersRated)
        + ' ' + DecimalText(r.average) + ' ' + DecimalText(r.bayesAverage);
}

// What a reader gives of the whole archive, one line per day, page and
// search: a page's records as their count and a digest of their text, so
// that a difference names the game and page.
QByteArray ReaderView(const QString &archive)
{
    ArchiveReader reader(archive.toStdString());
    QByteArray out;
    const ArchiveReader::Info info = reader.readInfo();
    out += "info: " + QByteArray::number(qsizetype(info.days.size())) + " days, "
        + QByteArray::number(info.records) + " records, " + QByteArray::number(info.games)
        + " games\n";
    for (size_t i = 0; i < info.days.size(); ++i)
        out += "day " + QByteArray::fromStdString(IsoDay(info.days[i])) + ": "
            + QByteArray::number(info.dayRecords[i]) + " records\n";
    for (uint32_t game = 1; game < GameIdsBelow; ++game) {
        // Page 0 and the page after the end page read as empty pages too.
        for (int64_t page = 0;; ++page) {
            const auto history = reader.page(game, page);
            if (!history)
                break;
            std::string records;
            for (const Record &r : history->records)
                records += RecordText(r) + '\n';
            out += "game " + QByteArray::number(game) + " page " + QByteArray::number(page) + ": "
                + QByteArray::fromStdString(history->title.name) + " ("
                + QByteArray::number(history->title.year) + "), "
                + QByteArray::number(qsizetype(history->records.size())) + " records";
            if (!records.empty())
                out += " from " + QByteArray::fromStdString(CompactDay(history->records.front().day))
                    + " to " + QByteArray::fromStdString(CompactDay(history->records.back().day))
                    + ", " + QCryptographicHash::hash(records, QCryptographicHash::Sha1).toHex();
            out += '\n';
            if (page > 0 && history->records.empty()) {
                const auto after = reader.page(game, page + 1);
                out += "game " + QByteArray::number(game) + " page " + QByteArray::number(page + 1)
                    + ": " + QByteArray::number(after ? qsizetype(after->records.size()) : -1)
                    + " records\n";
                break;
            }
        }
    }
    for (const char *word : { "a", "e", "title", "working", "finished", "caf\xC3\xA9", "SK\xC3\x85L" }) {
        out += QByteArray("search ") + word + ':';
        for (const auto &match : reader.search({ FoldedForSearch(word) }))
            out += ' ' + QByteArray::number(match.game);
        out += '\n';
    }
    return out;
}

int64_t Pragma(const QString &archive, const char *name)
{
    Database db(archive.toStdString(), SQLITE_OPEN_READONLY);
    return db.number((std::string("PRAGMA ") + name).c_str());
}

Record MakeRecord(const char *day, uint32_t rank, uint32_t users, const char *average,
    const char *bayes)
{
    return { *LeadingIsoDay(day), rank, users, *ParseDecimal(average), *ParseDecimal(bayes) };
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Record>)

class TestArchiveFormat : public QObject
{
    Q_OBJECT
private slots:
    void goldenArchiveReads_data();
    void goldenArchiveReads();
    void packedBlockBytes_data();
    void packedBlockBytes();
    void packedDayBytes();
    void gamesCountedAlike();
    void openBlocksApart_data();
    void openBlocksApart();
    void numbersAsWritten_data();
    void numbersAsWritten();
};

// Each archive was made by the importer of layout 1 and is read through a
// copy (a reader may leave a log and shared memory file beside it).
void TestArchiveFormat::goldenArchiveReads_data()
{
    QTest::addColumn<QString>("name");
    // Folded days, and staged days after them from an import cut short.
    QTest::newRow("staged after the blocks") << QStringLiteral("staged-after");
    // Folded days, and staged days of which one replaces a folded day.
    QTest::newRow("staged replacing a folded day") << QStringLiteral("staged-replacing");
}

void TestArchiveFormat::goldenArchiveReads()
{
    QFETCH(QString, name);
    const QString source = GoldenDir() + u'/' + name + QStringLiteral(".archive");
    QTemporaryDir temp;
    const QString archive = temp.filePath(QStringLiteral("copy.archive"));
    QVERIFY2(QFile::copy(source, archive), qPrintable(source));
    QFile(archive).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(Pragma(archive, "application_id"), 0x506C5741);
    QCOMPARE(Pragma(archive, "user_version"), 1);

    const QByteArray view = ReaderView(archive);
    const QString expectedPath = GoldenDir() + u'/' + name + QStringLiteral(".expected");
    const QByteArray expected = ReadAll(expectedPath);
    if (view != expected) {
        // Leaves what was read beside the test's own temporary files, to compare.
        const QString actualPath = QDir::temp().filePath(name + QStringLiteral(".actual"));
        QFile actual(actualPath);
        if (actual.open(QIODevice::WriteOnly))
            actual.write(view);
        const QList<QByteArray> got = view.split('\n'), want = expected.split('\n');
        qsizetype line = 0;
        while (line < got.size() && line < want.size() && got[line] == want[line])
            ++line;
        QFAIL(qPrintable(QStringLiteral("%1 differs from %2 at line %3:\n  read:     %4\n  expected: %5")
                .arg(actualPath, expectedPath)
                .arg(line + 1)
                .arg(QString::fromUtf8(got.value(line)), QString::fromUtf8(want.value(line)))));
    }
}

// Records, and the bytes they pack to as a block and unpack from.
void TestArchiveFormat::packedBlockBytes_data()
{
    QTest::addColumn<std::vector<Record>>("records");
    QTest::addColumn<QByteArray>("hex");

    const Record first = MakeRecord("2016-10-12", 3, 120, "7.25", "5.61");
    QTest::newRow("one record: the day from day 0, new digits")
        << std::vector<Record> { first } << QByteArray("01 02fc8a02 22 f001 06 aa0b e208");
    QTest::newRow("the next day with other digits and a lower rank")
        << std::vector<Record> { first, MakeRecord("2016-10-13", 2, 121, "7.3", "5.612") }
        << QByteArray("02 02fc8a0222f00106aa0be208 03 13 02 01 970a f64e");
    QTest::newRow("a day missing, the same digits, no change")
        << std::vector<Record> { first, MakeRecord("2016-10-14", 3, 120, "7.25", "5.61") }
        << QByteArray("02 02fc8a0222f00106aa0be208 00 04 00 00 00 00");
    QTest::newRow("no decimals, large values, negative averages")
        << std::vector<Record> { MakeRecord("1970-01-02", 2147483647, 4294967295u, "-3", "0") }
        << QByteArray("01 01 feffffff1f feffffff0f 05 00");
    QTest::newRow("a day before 1970 and fifteen digits")
        << std::vector<Record> { MakeRecord("1969-12-31", 1, 0, "0.000000000000001", "-1.5") }
        << QByteArray("01 02 01 f1 00 02 02 1d");
}

void TestArchiveFormat::packedBlockBytes()
{
    QFETCH(std::vector<Record>, records);
    QFETCH(QByteArray, hex);
    const QByteArray bytes = QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
    const std::string packed = PackBlock(records);
    QCOMPARE(QByteArray::fromStdString(packed).toHex(' '), bytes.toHex(' '));
    std::vector<Record> unpacked;
    QVERIFY(UnpackBlock(bytes.toStdString(), unpacked));
    QVERIFY(unpacked == records);
}

// Two rows of a day, in ID order, each with its title.
void TestArchiveFormat::packedDayBytes()
{
    SnapshotRow rows[2];
    rows[0].game = 13;
    rows[0].record = MakeRecord("2016-10-12", 3, 120, "7.25", "5.61");
    rows[0].year = 2001;
    rows[0].name = "Alpha";
    rows[1].game = 300;
    rows[1].record = MakeRecord("2016-10-12", 1, 70000, "8.1", "-0.125");
    rows[1].year = -2200;
    rows[1].name = "Caf\xC3\xA9";
    rows[0].record.day = rows[1].record.day = 0; // a snapshot's rows carry no day
    const QByteArray bytes = QByteArray::fromHex("02"
                                                 "0d 03 78 aa0b e208 22 a21f 05 416c706861"
                                                 "9f02 01 f0a204 a201 f901 13 af22 05 436166c3a9");
    QCOMPARE(QByteArray::fromStdString(PackDay(rows)).toHex(' '), bytes.toHex(' '));
    const std::string kept = bytes.toStdString(); // the names point into it
    std::vector<SnapshotRow> unpacked;
    QVERIFY(UnpackDay(kept, 17086, unpacked));
    QCOMPARE(unpacked.size(), size_t(2));
    for (size_t i = 0; i < 2; ++i) {
        rows[i].record.day = 17086;
        QCOMPARE(unpacked[i].game, rows[i].game);
        QVERIFY(unpacked[i].record == rows[i].record);
        QCOMPARE(unpacked[i].year, rows[i].year);
        QCOMPARE(unpacked[i].name, rows[i].name);
    }
}

// The import's summary and "info" count the same games, also while a game is
// only in a staged day.
void TestArchiveFormat::gamesCountedAlike()
{
    QTemporaryDir temp;
    const QString archive = temp.filePath(QStringLiteral("copy.archive"));
    QVERIFY(QFile::copy(GoldenDir() + QStringLiteral("/staged-after.archive"), archive));
    QFile(archive).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const auto db = OpenArchive(archive.toStdString(), ArchiveAccess::Import);
    ArchiveWriter writer(*db);
    Snapshot snapshot;
    SnapshotRow row;
    row.game = 5000; // a game no day had before
    row.record = MakeRecord("2017-01-26", 11, 40, "6.5", "5.5");
    row.name = "Newcomer";
    snapshot.rows = { row };
    QVERIFY(writer.putDay(*LeadingIsoDay("2017-01-26"), "2017-01-26.csv", PackSnapshot(snapshot))
        == ArchiveWriter::Outcome::Added);

    const int64_t summary = ReadTotals(*db).games;
    ArchiveReader reader(archive.toStdString());
    QCOMPARE(reader.readInfo().games, 11);
    QCOMPARE(summary, 11);
}

// Imports of one game's days, folded as a row says, then checked against the
// block invariants: every row of blocks holds exactly BlockRecords records,
// a game's row of open_blocks 1 to BlockRecords - 1 and only when its
// records do not fill its blocks, and the pages give the history.
using Imports = QList<QList<int>>; // runs of days (from 0), each folded after it
Q_DECLARE_METATYPE(Imports)

void TestArchiveFormat::openBlocksApart_data()
{
    QTest::addColumn<Imports>("imports"); // a day of -1 - d: day d again without the game
    QTest::addColumn<int>("fullBlocks");
    QTest::addColumn<int>("openRecords");

    const auto days = [](int from, int to) {
        QList<int> run;
        for (int d = from; d < to; ++d)
            run << d;
        return run;
    };
    QTest::newRow("99 days: an open block only") << Imports { days(0, 99) } << 0 << 99;
    QTest::newRow("100 days: a full block, none open") << Imports { days(0, 100) } << 1 << 0;
    QTest::newRow("250 days folded in pieces: full blocks and an open one")
        << Imports { days(0, 40), days(40, 130), days(130, 199), days(199, 250) } << 2 << 50;
    QTest::newRow("a day replaced inside a full block")
        << Imports { days(0, 250), { 150 } } << 2 << 50;
    QTest::newRow("a day replaced inside the open block")
        << Imports { days(0, 250), { 230 } } << 2 << 50;
    QTest::newRow("a day dropped from full blocks: the last one opens")
        << Imports { days(0, 200), { -1 - 20 } } << 1 << 99;
    QTest::newRow("a day dropped from the open block, then one more day")
        << Imports { days(0, 150), { -1 - 120 }, days(150, 151) } << 1 << 50;
    QTest::newRow("an earlier day imported later: the blocks written again")
        << Imports { days(1, 101), { 0 } } << 1 << 1;
}

void TestArchiveFormat::openBlocksApart()
{
    QFETCH(Imports, imports);
    QFETCH(int, fullBlocks);
    QFETCH(int, openRecords);
    QTemporaryDir temp;
    const std::string archive = temp.filePath(QStringLiteral("a.archive")).toStdString();
    std::map<int32_t, Record> expected;
    {
        const auto db = OpenArchive(archive, ArchiveAccess::Import);
        ArchiveWriter writer(*db);
        for (const QList<int> &run : imports) {
            for (const int d : run) {
                const int32_t day = 17086 + (d < 0 ? -1 - d : d);
                // Game 13's rank says which import wrote it; game 14 holds each day.
                const std::string rank = std::to_string(1 + d + 1000 * expected.count(day));
                std::string csv = "ID,Name,Year,Rank,Average,Bayes average,Users rated\n"
                                  "14,Other,2001,1,7.5,6.5,10\n";
                if (d >= 0)
                    csv += "13,Alpha,2001," + rank + ",7.25,5.61,120\n";
                const Snapshot snapshot = ReadSnapshot(csv);
                QVERIFY(writer.putDay(day, IsoDay(day) + ".csv", PackSnapshot(snapshot))
                    != ArchiveWriter::Outcome::Unchanged);
                expected.erase(day);
                for (const SnapshotRow &row : snapshot.rows) {
                    if (row.game == 13) {
                        expected[day] = row.record;
                        expected[day].day = day;
                    }
                }
            }
            writer.compact();
        }
        writer.finish();
    }

    Database db(archive, SQLITE_OPEN_READONLY);
    {
        Statement rows(db.handle(), "SELECT data FROM blocks");
        while (rows.step()) {
            std::vector<Record> records;
            QVERIFY(UnpackBlock(rows.blob(0), records));
            QCOMPARE(records.size(), size_t(BlockRecords));
        }
        Statement open(db.handle(), "SELECT data FROM open_blocks");
        while (open.step()) {
            std::vector<Record> records;
            QVERIFY(UnpackBlock(open.blob(0), records));
            QVERIFY(!records.empty() && records.size() < size_t(BlockRecords));
        }
    }
    QCOMPARE(db.number("SELECT count(*) FROM blocks WHERE game = 13"), fullBlocks);
    std::vector<Record> open;
    {
        Statement read(db.handle(), "SELECT data FROM open_blocks WHERE game = 13");
        if (read.step())
            QVERIFY(UnpackBlock(read.blob(0), open));
    }
    QCOMPARE(int(open.size()), openRecords);
    // The games rows agree with their blocks, the open one counted.
    QCOMPARE(db.number("SELECT count(*) FROM games WHERE blocks != (SELECT count(*) FROM blocks b"
                       " WHERE b.game = games.game) + (SELECT count(*) FROM open_blocks o"
                       " WHERE o.game = games.game) OR blocks != (records + 99) / 100"),
        0);

    std::vector<Record> history;
    ArchiveReader reader(archive);
    for (int64_t page = 1;; ++page) {
        const auto read = reader.page(13, page);
        QVERIFY(read);
        if (read->records.empty())
            break;
        history.insert(history.end(), read->records.begin(), read->records.end());
    }
    std::vector<Record> want;
    for (const auto &[day, record] : expected)
        want.push_back(record);
    QVERIFY(history == want);
    // A day's record as the lists read it: in a full block or the open one.
    const uint32_t game = 13;
    for (const auto &[day, record] : expected)
        QVERIFY(reader.dayRecords(day, std::span(&game, 1)) == std::vector<Record> { record });
}

// Decimals give back the text they were read from and days their compact
// date, at the edges too: pages write both for every record.
void TestArchiveFormat::numbersAsWritten_data()
{
    QTest::addColumn<QByteArray>("decimal");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("trailing zero kept") << QByteArray("7.10") << QByteArray("7.10");
    QTest::newRow("below one") << QByteArray("0.05") << QByteArray("0.05");
    QTest::newRow("negative below one") << QByteArray("-0.5") << QByteArray("-0.5");
    QTest::newRow("whole") << QByteArray("120") << QByteArray("120");
    QTest::newRow("zero, signed") << QByteArray("-0.0") << QByteArray("0.0");
    QTest::newRow("eighteen digits") << QByteArray("-123456789012345678") << QByteArray("-123456789012345678");
    QTest::newRow("all fraction") << QByteArray("0.000000000000001") << QByteArray("0.000000000000001");
}

void TestArchiveFormat::numbersAsWritten()
{
    QFETCH(QByteArray, decimal);
    QFETCH(QByteArray, expected);
    const auto parsed = ParseDecimal(decimal.toStdString());
    QVERIFY(parsed);
    QCOMPARE(QByteArray::fromStdString(DecimalText(*parsed)), expected);
    QCOMPARE(CompactDay(0), std::string("19700101"));
    QCOMPARE(CompactDay(*LeadingIsoDay("0001-03-01")), std::string("00010301"));
    QCOMPARE(CompactDay(*LeadingIsoDay("2024-02-29")), std::string("20240229"));
}

QTEST_GUILESS_MAIN(TestArchiveFormat)
#include "test_archiveformat.moc"
