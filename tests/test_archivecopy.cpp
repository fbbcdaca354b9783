// plotwise-archive copy: a consistent copy of an archive taken while an
// import has a day half written, served read-only; and the copies refused.
#include "archive/ArchiveReader.h"
#include "archive/Days.h"
#include "support/ArchiveService.h"
#include "support/RawGet.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

namespace {

RunResult Archive(const QStringList &args)
{
    return RunProgram(qEnvironmentVariable("PLOTWISE_ARCHIVE"), args);
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The days an archive serves, each with the records all its games' pages
// hold of it; empty when that differs from what the archive says of its days.
std::map<int32_t, int64_t> WholeDays(const QString &archive)
{
    ArchiveReader reader(archive.toStdString());
    const ArchiveReader::Info info = reader.readInfo();
    std::map<int32_t, int64_t> served, said;
    for (uint32_t game = 1; game < 20000; ++game) {
        for (int64_t page = 1;; ++page) {
            const auto history = reader.page(game, page);
            if (!history || history->records.empty())
                break;
            for (const Record &r : history->records)
                ++served[r.day];
        }
    }
    for (size_t i = 0; i < info.days.size(); ++i)
        said[info.days[i]] = info.dayRecords[i];
    return served == said ? served : std::map<int32_t, int64_t> {};
}

} // namespace

class TestArchiveCopy : public QObject
{
    Q_OBJECT
private slots:
    void copyWhileAnImportWrites();
    void copyRefused_data();
    void copyRefused();

private:
    QTemporaryDir m_temp;
};

// The import stops with its twelfth day written and not committed (a test
// hook): the copy holds the eleven days before it, whole, and is served
// read-only without a file written beside it.
void TestArchiveCopy::copyWhileAnImportWrites()
{
    const QString snapshots = m_temp.filePath("snapshots"), archive = m_temp.filePath("a.pwa");
    QProcess generator;
    generator.start(qEnvironmentVariable("PLOTWISE_SAMPLE_SNAPSHOTS"), { "--days", "30", "--games", "300", snapshots });
    QVERIFY(generator.waitForFinished(60000));
    QProcess import;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PLOTWISE_ARCHIVE_HOLD_DAY", "12");
    import.setProcessEnvironment(environment);
    import.setReadChannel(QProcess::StandardError);
    import.start(qEnvironmentVariable("PLOTWISE_ARCHIVE"), { "import", archive, snapshots });
    QVERIFY(import.waitForStarted(10000));
    const QDeadlineTimer deadline(60000);
    QByteArray said;
    while (!said.contains("holding\n") && import.state() == QProcess::Running && !deadline.hasExpired()) {
        import.waitForReadyRead(int(deadline.remainingTime()));
        said += import.readAllStandardError();
    }
    QVERIFY2(said.contains("holding\n"), said.constData());

    QDir().mkpath(m_temp.filePath("host2"));
    const QString copy = m_temp.filePath("host2/copy.pwa");
    const RunResult copied = Archive({ "copy", archive, copy });
    QCOMPARE(copied.err, QString());
    QCOMPARE(copied.status, 0);
    QVERIFY2(copied.out.startsWith("11 days (2016-10-12 to "), qPrintable(copied.out));
    import.write("\n");
    import.closeWriteChannel();
    QVERIFY(import.waitForFinished(60000));
    QCOMPARE(import.exitCode(), 0);

    const std::map<int32_t, int64_t> days = WholeDays(copy);
    QCOMPARE(days.size(), size_t(11));
    QVERIFY(WholeDays(archive).size() > 20);
    QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray bytes = ReadAll(copy);
    {
        ArchiveService service(copy);
        QVERIFY2(service.port() != 0, qPrintable(service.errors()));
        const RawAnswer answer = RawGet(service.port(), "/xmlapi/boardgame/90?historical=1&page=1");
        QCOMPARE(answer.status, 200);
        const QByteArray last = QByteArray::fromStdString(CompactDay(days.rbegin()->first));
        QVERIFY(answer.body.contains("<ratings date=\"" + last + "\">"));
        QCOMPARE(QDir(m_temp.filePath("host2")).entryList(QDir::Files), QStringList { "copy.pwa" });
    }
    QCOMPARE(ReadAll(copy), bytes);
}

void TestArchiveCopy::copyRefused_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message");
    QTest::newRow("onto itself") << "a.pwa" << "a.pwa" << "a.pwa: is the archive itself";
    QTest::newRow("no such archive") << "none.pwa" << "b.pwa" << "none.pwa: no such archive";
    QTest::newRow("into a missing folder") << "a.pwa" << "missing/b.pwa" << "missing/b.pwa: ";
}

// Refused with exit status 2 and a message naming the file; no copy or
// half-written file is left behind.
void TestArchiveCopy::copyRefused()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, message);
    const QString dir = m_temp.filePath("refused");
    QDir().mkpath(dir);
    const QString archive = dir + "/a.pwa";
    if (!QFile::exists(archive)) {
        QFile csv(dir + "/2016-10-12.csv");
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("ID,Name,Year,Rank,Average,Bayes average,Users rated\n13,Alpha,2001,3,7.25,5.61,120\n");
        csv.close();
        QCOMPARE(Archive({ "import", archive, csv.fileName() }).status, 0);
    }
    const RunResult result = Archive({ "copy", dir + '/' + from, dir + '/' + to });
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.startsWith("plotwise-archive: " + dir + '/' + message), qPrintable(result.err));
    QCOMPARE(QDir(dir).entryList({ "b.pwa*", "*.partial" }, QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestArchiveCopy)
#include "test_archivecopy.moc"
