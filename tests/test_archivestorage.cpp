// What plotwise-archive import leaves on disk: a day rolled back on a full
// disk, little room taken on a short one, whole days after a killed import,
// few pages for folded days, and the page size of a new archive and of one
// made before.
#include "archive/ArchiveFile.h"
#include "archive/ArchiveReader.h"
#include "archive/Days.h"
#include "archive/Sqlite.h"
#include "support/ArchiveTests.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <sqlite3.h>
#include <vector>

namespace {

// Every day's records are all served, and no record of another day is.
void CheckWholeDays(const QString &archive, size_t *days)
{
    ArchiveReader reader(archive.toStdString());
    const ArchiveReader::Info info = reader.readInfo();
    std::map<std::string, int64_t> served;
    for (uint32_t game = 1; game < 70000; ++game) {
        for (const QString &record : History(reader, game))
            ++served[record.left(8).toStdString()];
    }
    for (size_t i = 0; i < info.days.size(); ++i)
        QCOMPARE(served[CompactDay(info.days[i])], info.dayRecords[i]);
    QCOMPARE(served.size(), info.days.size());
    *days = info.days.size();
}

} // namespace

class TestArchiveStorage : public QObject
{
    Q_OBJECT
private slots:
    void fullDiskRollsBack();
    void shortDiskTakesLittleRoom();
    void killedImportLeavesWholeDays_data();
    void killedImportLeavesWholeDays();
    void foldedDaysTakeFewPages_data();
    void foldedDaysTakeFewPages();
    void pageSizeOfNewAndKept_data();
    void pageSizeOfNewAndKept();
};

// A write that fails half-way (a file size limit stands in for a full disk)
// rolls the day back: the archive keeps the days it had.
void TestArchiveStorage::fullDiskRollsBack()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    WriteFile(dir.filePath("2016-10-11.csv"), Header + Alpha);
    QCOMPARE(Archive({ "import", archive, dir.filePath("2016-10-11.csv") }).status, 0);
    QByteArray big = Header;
    for (int id = 1; id <= 20000; ++id)
        big += QByteArray::number(id) + ",Game number " + QByteArray::number(id) + ",2001,"
            + QByteArray::number(id) + ",7.25,5.61," + QByteArray::number(id * 3) + '\n';
    WriteFile(dir.filePath("2016-10-12.csv"), big);
    RunResult result;
    {
        const FileSizeLimit limit(QFileInfo(archive).size() + 65536);
        qputenv("PLOTWISE_ARCHIVE_FREE_BYTES", "1000000");
        result = Archive({ "import", archive, dir.filePath("2016-10-12.csv") });
        qunsetenv("PLOTWISE_ARCHIVE_FREE_BYTES");
    }
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.startsWith("plotwise-archive: " + archive + ": ")
            && result.err.contains("cannot read or write the archive")
            && result.err.contains(QRegularExpression(
                "; an import into this archive needs about [0-9.]+ MB free on its disk besides the "
                "archive itself \\(1.0 MB free now; the days imported before stay\\)\n$")),
        qPrintable(result.err));
    ArchiveReader reader(archive.toStdString());
    const ArchiveReader::Info info = reader.readInfo();
    QCOMPARE(info.days, std::vector<int32_t> { 17085 });
    QCOMPARE(info.records, 1);
}

// On a disk short of room (a test hook gives the free bytes) the import
// empties the log and folds the days as it goes: no file grows past 3 MB
// (a file size limit stands in for the disk), where the log alone would
// reach 7 MB, and every day goes in.
void TestArchiveStorage::shortDiskTakesLittleRoom()
{
    const QString snapshots = GeneratedSnapshots("large", { "--days", "60", "--games", "3000" });
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    RunResult result;
    {
        const FileSizeLimit limit(3000000);
        qputenv("PLOTWISE_ARCHIVE_FREE_BYTES", "1000000");
        result = Archive({ "import", archive, snapshots });
        qunsetenv("PLOTWISE_ARCHIVE_FREE_BYTES");
    }
    QVERIFY2(result.status == 0, qPrintable(result.err));
    size_t days = 0;
    CheckWholeDays(archive, &days);
    QCOMPARE(days, size_t(59));
}

// An import killed after some days, staged or folded, leaves days that are
// whole: each day's records are all served, and a new import completes the
// archive. The import kills itself (a test hook), so that it is not done
// before the test could kill it.
void TestArchiveStorage::killedImportLeavesWholeDays_data()
{
    QTest::addColumn<int>("days");
    QTest::newRow("among the first staged days") << 5;
    QTest::newRow("after a fold") << 40;
}

void TestArchiveStorage::killedImportLeavesWholeDays()
{
    QFETCH(int, days);
    const QString snapshots = GeneratedSnapshots("large", { "--days", "60", "--games", "3000" });
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    QProcess import;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PLOTWISE_ARCHIVE_KILL_AFTER_DAYS", QString::number(days));
    import.setProcessEnvironment(environment);
    import.start(qEnvironmentVariable("PLOTWISE_ARCHIVE"), { "import", archive, snapshots });
    QVERIFY(import.waitForFinished(60000));
    QCOMPARE(import.exitStatus(), QProcess::CrashExit);

    size_t kept = 0;
    CheckWholeDays(archive, &kept);
    QCOMPARE(kept, size_t(days));
    const RunResult again = Archive({ "import", archive, snapshots });
    QCOMPARE(again.status, 0);
    CheckWholeDays(archive, &kept);
    QCOMPARE(kept, size_t(59));
}

// Once folded, a day's row is small: the days table takes a page or two for
// 59 days, not a page per day or two that once held the staged bytes.
void TestArchiveStorage::foldedDaysTakeFewPages_data()
{
    QTest::addColumn<int>("together"); // days in the first import, then one at a time
    QTest::newRow("all days in one import, folded twice") << 59;
    QTest::newRow("20 days, then a day per import") << 20;
}

void TestArchiveStorage::foldedDaysTakeFewPages()
{
    QFETCH(int, together);
    const QString snapshots = GeneratedSnapshots("large", { "--days", "60", "--games", "3000" });
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    // The files of each day, in name order, after the day.
    std::vector<QStringList> days;
    for (const QString &file : QDir(snapshots).entryList({ "*.csv" }, QDir::Files, QDir::Name)) {
        if (days.empty() || days.back().front() != file.left(10))
            days.push_back({ file.left(10) });
        days.back() << snapshots + "/" + file;
    }
    QStringList first;
    for (int i = 0; i < together; ++i)
        first += days[size_t(i)].mid(1);
    QCOMPARE(Archive(QStringList { "import", archive } + first).status, 0);
    for (size_t i = size_t(together); i < days.size(); ++i)
        QCOMPARE(Archive(QStringList { "import", archive } + days[i].mid(1)).status, 0);
    Database db(archive.toStdString(), SQLITE_OPEN_READONLY);
    QCOMPARE(db.number("SELECT count(*) FROM days"), 59);
    QCOMPARE(db.number("SELECT count(*) FROM days WHERE staged IS NOT NULL"), 0);
    const int64_t pages = db.number("SELECT count(*) FROM dbstat WHERE name = 'days'");
    QVERIFY2(pages <= 3, qPrintable(QString::number(pages) + " pages"));
}

// A new archive is made with pages of 16 KB; an archive made with other
// pages keeps them through an import. Either way the log is copied in
// every 64 MB. (A page size set after the log is switched on is silently
// ignored.)
void TestArchiveStorage::pageSizeOfNewAndKept_data()
{
    QTest::addColumn<QString>("golden"); // empty: a new archive
    QTest::addColumn<qint64>("pageSize");
    QTest::newRow("a new archive") << QString() << qint64(16384);
    QTest::newRow("an archive of 4 KB pages, upgraded")
        << "archive-layout2/staged-after.archive" << qint64(4096);
}

void TestArchiveStorage::pageSizeOfNewAndKept()
{
    QFETCH(QString, golden);
    QFETCH(qint64, pageSize);
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    if (!golden.isEmpty()) {
        QVERIFY(QFile::copy(TestDataDir() + "/" + golden, archive));
        QFile(archive).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    {
        const auto db = OpenArchive(archive.toStdString(), ArchiveAccess::Import);
        QCOMPARE(db->number("PRAGMA page_size"), pageSize);
        QCOMPARE(db->number("PRAGMA wal_autocheckpoint") * pageSize, qint64(64) << 20);
    }
    const QString snapshots = GeneratedSnapshots("small", { "--days", "12", "--games", "40" });
    const RunResult result = Archive({ "import", archive, snapshots });
    QVERIFY2(result.status == 0, qPrintable(result.err));
    Database db(archive.toStdString(), SQLITE_OPEN_READONLY);
    QCOMPARE(db.number("PRAGMA page_size"), pageSize);
    QSet<QString> named;
    for (const QString &file : QDir(snapshots).entryList({ "*.csv" }, QDir::Files))
        named.insert(file.left(10));
    size_t days = 0;
    CheckWholeDays(archive, &days);
    QVERIFY(days >= size_t(named.size()) && !named.isEmpty());
    if (golden.isEmpty())
        QCOMPARE(days, size_t(named.size()));
}

QTEST_GUILESS_MAIN(TestArchiveStorage)
#include "test_archivestorage.moc"
