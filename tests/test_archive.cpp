// plotwise-archive: the import rules on small snapshots, bad input met
// through the program (exit status and message), the service's answers to
// bad requests and rude clients, the round trip from generated snapshots to
// Plotwise's CSV, and what interruptions and concurrent use leave behind.
#include "archive/ArchiveListSource.h"
#include "archive/ArchiveReader.h"
#include "archive/Days.h"
#include "archive/SnapshotReader.h"
#include "archive/Sqlite.h"
#include "search/SearchAnswer.h"
#include "service/XmlDocument.h"
#include "support/ArchiveService.h"
#include "support/RawGet.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <charconv>
#include <map>
#include <set>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Files = QList<QPair<QString, QByteArray>>; // file name, bytes
using Runs = QList<Files>; // one import run each

const QByteArray Header = "ID,Name,Year,Rank,Average,Bayes average,Users rated\n";
const QByteArray Alpha = "13,Alpha,2001,3,7.25,5.61,120\n";

RunResult Run(const QString &program, const QStringList &args, const QString &workDir = {})
{
    return RunProgram(program, args, workDir);
}

RunResult Archive(const QStringList &args)
{
    return Run(qEnvironmentVariable("PLOTWISE_ARCHIVE"), args);
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The fields of one CSV line, quotes undone.
QStringList CsvFields(const QByteArray &line)
{
    const QString text = QString::fromUtf8(line);
    QStringList fields(1);
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (quoted && text[i] == u'"' && text.mid(i + 1, 1) == u"\"") {
            fields.last() += text[i++];
        } else if (text[i] == u'"') {
            quoted = !quoted;
        } else if (text[i] == u',' && !quoted) {
            fields << QString();
        } else {
            fields.last() += text[i];
        }
    }
    return fields;
}

// "20161012 3 120 7.25 5.61": day, rank, users rated, average, bayes average.
QString RecordText(const Record &r)
{
    return QString::fromStdString(CompactDay(r.day) + ' ' + std::to_string(r.rank) + ' '
        + std::to_string(r.usersRated) + ' ' + DecimalText(r.average) + ' '
        + DecimalText(r.bayesAverage));
}

// Every record of a game, page by page.
QStringList History(ArchiveReader &reader, uint32_t game, QString *title = nullptr)
{
    QStringList records;
    for (int page = 1;; ++page) {
        const auto history = reader.page(game, page);
        if (!history || history->records.empty()) {
            if (history && title)
                *title = QString::fromStdString(history->title.name) + u'|'
                    + QString::number(history->title.year);
            return records;
        }
        for (const Record &r : history->records)
            records << RecordText(r);
    }
}

QByteArray PageTarget(int game, const QByteArray &page)
{
    return "/xmlapi/boardgame/" + QByteArray::number(game) + "?historical=1&page=" + page;
}

// What a server wrote back to bytes sent at once on one connection: the
// status and body of each of the first answers, and whether it then closed.
struct Exchange {
    QList<int> statuses;
    QByteArrayList bodies;
    bool closed = false;
};

Exchange Exchanged(quint16 port, const QByteArray &bytes, qsizetype answers, bool halfClose)
{
    Exchange exchange;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return exchange;
    socket.write(bytes);
    socket.waitForBytesWritten(5000);
    if (halfClose)
        ::shutdown(int(socket.socketDescriptor()), SHUT_WR);
    QByteArray all;
    while (exchange.statuses.size() < answers) {
        const qsizetype end = all.indexOf("\r\n\r\n");
        const QByteArray head = all.left(end).toLower();
        const qsizetype at = head.indexOf("content-length:");
        const qsizetype length = at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (end >= 0 && all.size() >= end + 4 + length) {
            exchange.statuses << all.mid(9, 3).toInt();
            exchange.bodies << all.mid(end + 4, length);
            all.remove(0, end + 4 + length);
        } else if (!socket.waitForReadyRead(10000)) {
            return exchange;
        } else {
            all += socket.readAll();
        }
    }
    exchange.closed = socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(10000);
    return exchange;
}

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

class TestArchive : public QObject
{
    Q_OBJECT
private slots:
    void importRules_data();
    void importRules();
    void refusedInput_data();
    void refusedInput();
    void refusedArchive_data();
    void refusedArchive();
    void fullDiskRollsBack();
    void shortDiskTakesLittleRoom();
    void badRequests_data();
    void badRequests();
    void listCommands_data();
    void listCommands();
    void slowAndVanishingClientsWaitForNobody();
    void listenAddress_data();
    void listenAddress();
    void rudeRequests_data();
    void rudeRequests();
    void connectionsPerAddress();
    void roundTripToPlotwiseCsv();
    void reimportChangesNothing();
    void killedImportLeavesWholeDays_data();
    void killedImportLeavesWholeDays();
    void infoListsShallowDays();
    void serviceShowsANewDayOnTheNextRequest();
    void listReadsOneStateOfTheArchive_data();
    void listReadsOneStateOfTheArchive();
    void cacheHeaders_data();
    void cacheHeaders();
    void conditionalRequests_data();
    void conditionalRequests();
    void namesComeThroughAsSpelled_data();
    void namesComeThroughAsSpelled();
    void archiveReadWithoutWriteAccess_data();
    void archiveReadWithoutWriteAccess();
    void logShowsControlBytesEscaped_data();
    void logShowsControlBytesEscaped();

private:
    QTemporaryDir m_temp;
    // Generated snapshots, shared by the tests that need a real-sized set.
    QString generated(const QString &name, const QStringList &args);
    QString cachingArchive();
};

QString TestArchive::generated(const QString &name, const QStringList &args)
{
    const QString dir = m_temp.filePath(name);
    if (!QFileInfo::exists(dir)) {
        const RunResult result
            = Run(qEnvironmentVariable("PLOTWISE_SAMPLE_SNAPSHOTS"), args + QStringList { dir });
        if (result.status != 0)
            qWarning("plotwise-sample-snapshots failed: %s", qPrintable(result.err));
    }
    return dir;
}

// Each import rule once: the files of each run are imported together, and
// game 13's history and latest title are read back.
void TestArchive::importRules_data()
{
    QTest::addColumn<Runs>("runs");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("title");

    const QStringList one = { "20161012 3 120 7.25 5.61" };
    QTest::newRow("columns found by name in any order, others ignored")
        << Runs { { { "2016-10-12.csv",
               "URL,Users rated,Bayes average,Average,Rank,Year,Name,ID,Thumbnail\n"
               "u,120,5.61,7.25,3,2001,Alpha,13,t\n" } } }
        << one << "Alpha|2001";
    QTest::newRow("BOM and CRLF line ends")
        << Runs { { { "2016-10-12.csv",
               "\xEF\xBB\xBFID,Name,Year,Rank,Average,Bayes average,Users rated\r\n"
               "13,Alpha,2001,3,7.25,5.61,120\r\n" } } }
        << one << "Alpha|2001";
    QTest::newRow("quoted name: comma, doubled quote, non-ASCII, trailing blanks")
        << Runs { { { "2016-10-12.csv",
               Header + "13,\"Caf\xC3\xA9, the \"\"Bar\"\"  \",2001,3,7.25,5.61,120\n" } } }
        << one << "Café, the \"Bar\"  |2001";
    QTest::newRow("the first row of a duplicate ID wins")
        << Runs { { { "2016-10-12.csv", Header + Alpha + "13,Alpha,2001,9,7.00,5.00,99\n" } } }
        << one << "Alpha|2001";
    QTest::newRow("a cut-off file keeps its complete rows")
        << Runs { { { "2016-10-12.csv", Header + Alpha + "14,\"Bet" } } } << one << "Alpha|2001";
    QTest::newRow("a last line without its line end")
        << Runs { { { "2016-10-12.csv", Header + Alpha.chopped(1) } } } << one << "Alpha|2001";
    // Past the first 64 KB, where the check for a binary file does not look.
    QTest::newRow("a NUL inside a name far into the file is text")
        << Runs { { { "2016-10-12.csv",
               Header + QByteArray("14,Beta,2001,4,7.00,5.00,99\n").repeated(3000)
                   + QByteArray("13,Al\0pha,2001,3,7.25,5.61,120\n", 31) } } }
        << one << "Al\uFFFDpha|2001";
    QTest::newRow("an ancient negative year")
        << Runs { { { "2016-10-12.csv", Header + "13,Alpha,-2200,3,7.25,5.61,120\n" } } }
        << one << "Alpha|-2200";
    QTest::newRow("users rated above 65,535")
        << Runs { { { "2016-10-12.csv", Header + "13,Alpha,0,3,7.25,5.61,1234567\n" } } }
        << QStringList { "20161012 3 1234567 7.25 5.61" } << "Alpha|0";
    QTest::newRow("2 to 5 decimals kept as written")
        << Runs { { { "2016-10-12.csv", Header + "13,Alpha,2001,3,7.10,5.61230,120\n" } } }
        << QStringList { "20161012 3 120 7.10 5.61230" } << "Alpha|2001";
    QTest::newRow("a row whose ID or rank is not a whole number is skipped")
        << Runs { { { "2016-10-12.csv",
               Header + "13x,Alpha,2001,1,7.25,5.61,120\n13,Alpha,2001,2.5,7.25,5.61,120\n" + Alpha } } }
        << one << "Alpha|2001";
    QTest::newRow("two files of one day as deep: the last in name order stands")
        << Runs { { { "2016-10-12T12-00-00.csv", Header + Alpha },
               { "2016-10-12T00-30-40.csv", Header + "13,Alpha,2001,9,7.00,5.00,99\n" } } }
        << one << "Alpha|2001";
    // A scrape that stopped early, beside a full one: the deeper file stands.
    const QByteArray full = Header + Alpha + "14,Beta,2001,4,7.00,5.00,99\n";
    const QByteArray stopped = Header + "13,Alpha,2001,9,7.00,5.00,99\n";
    QTest::newRow("a short file after the full one of its day")
        << Runs { { { "2016-10-12T00-30-40.csv", full }, { "2016-10-12T18-00-00.csv", stopped } } }
        << one << "Alpha|2001";
    QTest::newRow("a short file before the full one of its day")
        << Runs { { { "2016-10-12T00-30-40.csv", stopped }, { "2016-10-12T18-00-00.csv", full } } }
        << one << "Alpha|2001";
    QTest::newRow("three files of one day, the deepest in the middle")
        << Runs { { { "2016-10-12.csv", stopped }, { "2016-10-12T06-00-00.csv", full },
               { "2016-10-12T23-00-00.csv", stopped } } }
        << one << "Alpha|2001";
    QTest::newRow("rows dropped as duplicates do not make a file deeper")
        << Runs { { { "2016-10-12T00-30-40.csv", full },
               { "2016-10-12T18-00-00.csv", stopped + "13,Alpha,2001,9,7.00,5.00,99\n"
                       + "13,Alpha,2001,9,7.00,5.00,99\n" } } }
        << one << "Alpha|2001";
    QTest::newRow("both name forms give the day; a missing game has no record")
        << Runs { { { "2016-10-12.csv", Header + Alpha },
               { "2016-10-13T06-00-00.csv", Header + "14,Beta,2001,3,7.25,5.61,120\n" },
               { "2016-10-14T06-00-00.csv", Header + "13,Alpha,2001,4,7.5,5.7,130\n" } } }
        << QStringList { "20161012 3 120 7.25 5.61", "20161014 4 130 7.5 5.7" } << "Alpha|2001";
    QTest::newRow("importing a day again replaces it")
        << Runs { { { "2016-10-12.csv", Header + "13,Alpha,2001,9,7.00,5.00,99\n" } },
               { { "2016-10-12.csv", Header + Alpha } } }
        << one << "Alpha|2001";
    QTest::newRow("an earlier day imported later goes in its place; the latest day names")
        << Runs { { { "2016-10-13.csv", Header + "13,Alpha Deluxe,2002,4,7.5,5.7,130\n" } },
               { { "2016-10-12.csv", Header + Alpha } } }
        << QStringList { "20161012 3 120 7.25 5.61", "20161013 4 130 7.5 5.7" }
        << "Alpha Deluxe|2002";
    // 250 days: the history fills two blocks and part of a third, and a day
    // replaced in the middle is folded in again.
    Files many, middle;
    QStringList long_;
    for (int d = 0; d < 250; ++d) {
        const QString name = QString::fromStdString(IsoDay(17086 + d)) + ".csv";
        many.append({ name, Header + "13,Alpha,2001," + QByteArray::number(d + 1) + ",7.25,5.61,120\n" });
        long_ << QStringLiteral("%1 %2 120 7.25 5.61")
                     .arg(QString::fromStdString(CompactDay(17086 + d)))
                     .arg(d == 150 ? 7 : d + 1);
    }
    middle.append({ many[150].first, Header + "13,Alpha,2001,7,7.25,5.61,120\n" });
    QTest::newRow("a day replaced inside a long history") << Runs { many, middle } << long_ << "Alpha|2001";
}

void TestArchive::importRules()
{
    QFETCH(Runs, runs);
    QFETCH(QStringList, records);
    QFETCH(QString, title);
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const QString folder = dir.filePath(QString::number(i));
        QDir().mkpath(folder);
        for (const auto &[name, bytes] : runs[i])
            WriteFile(folder + u'/' + name, bytes);
        const RunResult result = Archive({ "import", archive, folder });
        QVERIFY2(result.status == 0, qPrintable(result.err));
    }
    ArchiveReader reader(archive.toStdString());
    QString readTitle;
    QCOMPARE(History(reader, 13, &readTitle), records);
    QCOMPARE(readTitle, title);
}

// Bad snapshot files, met through the program: one line on standard error
// each, the exit status, and the good files still imported. A name's last
// character may make it a folder (/), a link to nothing (@), a link to
// itself (~) or a named pipe (|); "folder/name" is named by its folder.
void TestArchive::refusedInput_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // in the error line, or in the summary for status 0
    QTest::addColumn<QString>("warning"); // the file's line for status 0, if any

    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 7);
    QTest::newRow("not CSV") << "2016-10-12.csv" << QByteArray("Dear diary,\nsunny.\n") << 1
                             << "not a ranking snapshot: no \"ID\" column in the first line" << "";
    QTest::newRow("binary") << "2016-10-12.csv" << binary << 1 << "not a CSV text file" << "";
    QTest::newRow("empty") << "2016-10-12.csv" << QByteArray() << 1 << "empty file" << "";
    QTest::newRow("header only") << "2016-10-12.csv" << Header << 1 << "no records" << "";
    QTest::newRow("a column missing") << "2016-10-12.csv"
                                      << QByteArray("ID,Name,Year,Rank,Average,Bayes average\n1,A,1,1,1,1\n")
                                      << 1 << "no \"Users rated\" column" << "";
    QTest::newRow("a line of 10 MB") << "2016-10-12.csv" << QByteArray(10 << 20, 'x') << 1
                                     << "no \"ID\" column" << "";
    QTest::newRow("a field of 10 MB: that row dropped")
        << "2016-10-12.csv" << Header + "14," + QByteArray(10 << 20, 'n') + ",1,1,7,5,9\n" + Alpha << 0
        << "(1 row dropped: 1 unreadable); 2 records"
        << "1 row dropped: 1 unreadable, the first at line 2";
    QTest::newRow("a duplicate ID: the later row dropped")
        << "2016-10-12.csv" << Header + Alpha + "13,Alpha,2001,9,7.00,5.00,99\n" << 0
        << "(1 row dropped: 1 with a duplicate ID); 2 records"
        << "1 row dropped: 1 with a duplicate ID";
    // The quote pairs with one 100 lines down unless a line end stops it.
    QByteArray rows;
    for (int id = 100; id < 200; ++id)
        rows += QByteArray::number(id) + ",Game,2001," + QByteArray::number(id) + ",7,5,9\n";
    QTest::newRow("a stray quote drops its own row only")
        << "2016-10-12.csv"
        << Header + Alpha + "14,\"Beta,2001,4,7,5,9\n" + rows + "20,\"Tea, \"\"Toast\"\"\",2019,1,7,5,9\n"
        << 0 << "(1 row dropped: 1 unreadable); 103 records"
        << "1 row dropped: 1 unreadable, the first at line 3";
    QTest::newRow("no records, rows that do not read")
        << "2016-10-12.csv" << Header + "x,A,1,1,1,1,1\n" << 1 << "no records (1 row does not read)" << "";
    QTest::newRow("no date in the file name") << "ranks.csv" << Header + Alpha << 1
                                              << "the file name does not start with a date" << "";
    QTest::newRow("not a calendar day") << "2017-02-30.csv" << Header + Alpha << 1
                                        << "the date 2017-02-30 in the file name is not a calendar day"
                                        << "";
    QTest::newRow("a folder with no CSV") << "folder/" << QByteArray() << 1
                                          << "no CSV files in the folder" << "";
    QTest::newRow("an unreadable file") << "2016-10-12.csv@" << QByteArray() << 1 << "cannot read" << "";
    QTest::newRow("a link to nothing, alone in its folder")
        << "links/2016-10-12.csv@" << QByteArray() << 1
        << "links/2016-10-12.csv: cannot read: a link that leads nowhere (No such file" << "";
    QTest::newRow("a link to itself, alone in its folder")
        << "links/2016-10-12.csv~" << QByteArray() << 1
        << "links/2016-10-12.csv: cannot read: a link that leads nowhere (Too many levels" << "";
    QTest::newRow("a named pipe") << "pipes/2016-10-12.csv|" << QByteArray() << 1
                                  << "2016-10-12.csv: not a regular file (a named pipe)" << "";
}

void TestArchive::refusedInput()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    const QString good = dir.filePath("2016-10-11.csv");
    WriteFile(good, Header + "15,Gamma,1999,1,8,6,500\n");
    QString path = dir.filePath(name);
    QString named = path;
    if (const qsizetype slash = name.indexOf(u'/'); slash > 0 && slash + 1 < name.size()) {
        named = dir.filePath(name.left(slash));
        QDir().mkpath(named);
    }
    const QChar kind = name.back();
    if (QStringLiteral("@~|").contains(kind))
        path.chop(1);
    if (kind == u'/') {
        QDir().mkpath(path);
        WriteFile(path + "notes.txt", "no snapshots here\n");
    } else if (kind == u'@') {
        QVERIFY(QFile::link(dir.filePath("gone.csv"), path));
    } else if (kind == u'~') {
        QCOMPARE(::symlink(qPrintable(path), qPrintable(path)), 0);
    } else if (kind == u'|') {
        QCOMPARE(::mkfifo(qPrintable(path), 0600), 0);
    } else {
        WriteFile(path, bytes);
    }
    const RunResult result = Archive({ "import", dir.filePath("a.pwa"), good, named });
    QCOMPARE(result.status, status);
    if (status == 0) {
        QVERIFY2(result.out.contains(message), qPrintable(result.out));
        QCOMPARE(result.err, warning.isEmpty() ? QString() : "plotwise-archive: " + path + ": " + warning + '\n');
    } else {
        QCOMPARE(result.err.count(u'\n'), 1);
        QVERIFY2(result.err.startsWith("plotwise-archive: " + QDir::cleanPath(named)), qPrintable(result.err));
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY2(result.out.startsWith("1 snapshot imported, 0 replaced, 0 unchanged, 1 refused"),
            qPrintable(result.out));
    }
}

// Archives that cannot be used are refused with status 2 and left as they are.
void TestArchive::refusedArchive_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("message");
    const QStringList all = { "import", "info", "serve", "top", "movers" };
    QTest::newRow("a text file") << "text" << all << "a.pwa: not a plotwise-archive archive (left as it is)";
    QTest::newRow("another SQLite database") << "sqlite" << all << "not a plotwise-archive archive";
    QTest::newRow("a later layout") << "later" << all << "made by a later plotwise-archive (layout 4";
    QTest::newRow("a folder") << "folder" << all << "a.pwa";
    // An import makes an empty file an archive; read, it is none.
    QTest::newRow("an empty file, read") << "empty" << QStringList { "info", "serve" }
                                         << "a.pwa: not a plotwise-archive archive";
}

void TestArchive::refusedArchive()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, commands);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    const QString snapshot = dir.filePath("2016-10-12.csv");
    WriteFile(snapshot, Header + Alpha);
    if (kind == u"text") {
        WriteFile(archive, "my notes\n");
    } else if (kind == u"folder") {
        QDir().mkpath(archive);
    } else if (kind == u"empty") {
        WriteFile(archive, {});
    } else if (kind == u"sqlite") {
        Database db(archive.toStdString(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.exec("CREATE TABLE notes(text)");
    } else {
        QCOMPARE(Archive({ "import", archive, snapshot }).status, 0);
        Database db(archive.toStdString(), SQLITE_OPEN_READWRITE);
        db.exec("PRAGMA user_version = 4");
    }
    const QByteArray before = ReadAll(archive);
    for (const QString &command : commands) {
        const QMap<QString, QStringList> more = { { "import", { snapshot } }, { "serve", { "--port", "0" } },
            { "movers", { "--from", "2016-10-12", "--to", "2016-10-12" } } };
        const RunResult result = Archive(QStringList { command, archive } + more.value(command));
        QCOMPARE(result.status, 2);
        QVERIFY2(result.err.startsWith("plotwise-archive: ") && result.err.contains(message),
            qPrintable(result.err));
    }
    QCOMPARE(ReadAll(archive), before);
}

// A write that fails half-way (a file size limit stands in for a full disk)
// rolls the day back: the archive keeps the days it had.
void TestArchive::fullDiskRollsBack()
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
void TestArchive::shortDiskTakesLittleRoom()
{
    const QString snapshots = generated("large", { "--days", "60", "--games", "3000" });
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

void TestArchive::badRequests_data()
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

void TestArchive::badRequests()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    static QTemporaryDir dir;
    static const QString archive = dir.filePath("a.pwa");
    if (!QFileInfo::exists(archive))
        QCOMPARE(Archive({ "import", archive, generated("small", { "--days", "12", "--games", "40" }) }).status, 0);
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

// top and movers: the exit status and message of each refusal, and lists
// whose every row is what the games' history pages say of the day used.
// An "A" in the arguments stands for the archive (12 generated days, the
// 18th missing); rows -1: as many as the day index makes (top: N of the
// day; movers: the games in the top N of either day).
void TestArchive::listCommands_data()
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

void TestArchive::listCommands()
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
        QCOMPARE(Archive({ "import", archive, generated("small", { "--days", "12", "--games", "40" }) }).status, 0);
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

// Clients that send half a request and wait, or leave mid-request, hold up
// nobody: a request is answered while they are still connected.
void TestArchive::slowAndVanishingClientsWaitForNobody()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    QCOMPARE(Archive({ "import", archive, generated("small", { "--days", "12", "--games", "40" }) }).status, 0);
    ArchiveService service(archive);
    QVERIFY(service.port() != 0);
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < 8; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, service.port());
        QVERIFY(socket->waitForConnected(5000));
        socket->write("GET /xmlapi/boardgame/90?histo");
        QVERIFY(socket->waitForBytesWritten(5000));
        slow.push_back(std::move(socket));
    }
    for (int i = 0; i < 4; ++i) {
        QTcpSocket leaving;
        leaving.connectToHost(QHostAddress::LocalHost, service.port());
        QVERIFY(leaving.waitForConnected(5000));
        leaving.write(PageTarget(90, "1").prepend("GET ") + " HTTP/1.1\r\nHost: x\r\n\r\n");
        leaving.waitForBytesWritten(5000);
        leaving.abort();
    }
    QCOMPARE(RawGet(service.port(), PageTarget(90, "1")).status, 200);
    for (const auto &socket : slow)
        QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
}

// The service answers on 127.0.0.1, or the address --listen gives, only.
void TestArchive::listenAddress_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("answering"); // empty: refused at the start
    QTest::addColumn<QString>("silent");
    QTest::newRow("by default") << QStringList() << "127.0.0.1" << "127.0.0.2";
    QTest::newRow("another address") << QStringList { "--listen", "127.0.0.2" } << "127.0.0.2" << "127.0.0.1";
    QTest::newRow("a name") << QStringList { "--listen", "localhost" } << QString() << QString();
}

void TestArchive::listenAddress()
{
    QFETCH(QStringList, options);
    QFETCH(QString, answering);
    QFETCH(QString, silent);
    ArchiveService service(cachingArchive(), options);
    if (answering.isEmpty()) {
        QCOMPARE(service.port(), 0);
        QVERIFY2(service.errors().contains("serve: --listen takes a numeric IPv4 or IPv6 address"),
            qPrintable(service.errors()));
        return;
    }
    QCOMPARE(service.address(), answering);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(answering), service.port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(PageTarget(13, "1").prepend("GET ") + " HTTP/1.1\r\nHost: x\r\n\r\n");
    while (!socket.canReadLine() && socket.waitForReadyRead(10000)) {
    }
    QCOMPARE(socket.readLine(), QByteArray("HTTP/1.1 200 OK\r\n"));
    QTcpSocket other;
    other.connectToHost(QHostAddress(silent), service.port());
    QVERIFY(!other.waitForConnected(5000));
    QCOMPARE(other.error(), QAbstractSocket::ConnectionRefusedError);
}

// Requests too large, with a body, pipelined, half-closed: each answered at
// once as it should be; the rude ones with the connection closed, their
// excess never waited for.
void TestArchive::rudeRequests_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("halfClose");
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<QByteArrayList>("bodies"); // each held by its answer
    QTest::addColumn<bool>("closes");

    const QByteArray get = "GET " + PageTarget(13, "1") + " HTTP/1.1\r\nHost: x\r\n";
    QByteArray headers;
    for (int i = 0; i < 5; ++i)
        headers += "X-Big-" + QByteArray::number(i) + ": " + QByteArray(7000, 'v') + "\r\n";
    QTest::newRow("a request line over 8 KB")
        << "GET /xmlapi/search?search=" + QByteArray(9000, 'q') + " HTTP/1.1\r\nHost: x\r\n\r\n" << false
        << QList<int> { 414 } << QByteArrayList { "414" } << true;
    QTest::newRow("headers over 32 KB") << get + headers + "\r\n" << false << QList<int> { 431 }
                                        << QByteArrayList { "431" } << true;
    QTest::newRow("a GET with a body over 1 KB, never sent")
        << get + "Content-Length: 2000\r\n\r\n" << false << QList<int> { 413 } << QByteArrayList { "413" } << true;
    QTest::newRow("a GET with a body in chunks") << get + "Transfer-Encoding: chunked\r\n\r\n" << false
                                                 << QList<int> { 413 } << QByteArrayList { "413" } << true;
    QTest::newRow("a GET with a small body") << get + "Content-Length: 10\r\n\r\n0123456789" << false
                                             << QList<int> { 200 } << QByteArrayList { "page=\"1\"" } << false;
    QTest::newRow("pipelined requests, answered in order")
        << get + "\r\nGET " + PageTarget(13, "2") + " HTTP/1.1\r\nHost: x\r\n\r\n"
            + "GET /xmlapi/search?search=alpha HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"
        << false << QList<int> { 200, 200, 200 }
        << QByteArrayList { "page=\"1\"", "page=\"2\"", "objectid=\"13\"" } << true;
    QTest::newRow("half-closed after the request") << get + "\r\n" << true << QList<int> { 200 }
                                                   << QByteArrayList { "page=\"1\"" } << true;
    QTest::newRow("a method other than GET") << QByteArray("DELETE /xmlapi/search?search=a HTTP/1.1\r\nHost: x\r\n\r\n")
                                             << false << QList<int> { 405 } << QByteArrayList { "405" } << true;
}

void TestArchive::rudeRequests()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, halfClose);
    QFETCH(QList<int>, statuses);
    QFETCH(QByteArrayList, bodies);
    QFETCH(bool, closes);
    static ArchiveService service(cachingArchive());
    QVERIFY(service.port() != 0);
    const Exchange exchange = Exchanged(service.port(), bytes, statuses.size(), halfClose);
    QCOMPARE(exchange.statuses, statuses);
    for (qsizetype i = 0; i < bodies.size(); ++i)
        QVERIFY2(exchange.bodies[i].contains(bodies[i]), exchange.bodies[i].left(300).constData());
    if (closes)
        QVERIFY(exchange.closed);
}

// Past --per-address connections from one address, the next is closed at
// once, unanswered; those held go on being answered.
void TestArchive::connectionsPerAddress()
{
    ArchiveService service(cachingArchive(), { "--per-address", "2" });
    QVERIFY(service.port() != 0);
    std::vector<std::unique_ptr<QTcpSocket>> held;
    const QByteArray request = "GET " + PageTarget(13, "3") + " HTTP/1.1\r\nHost: x\r\n\r\n";
    const auto answered = [&](QTcpSocket &socket) {
        socket.write(request);
        QByteArray all;
        while (!all.contains("</boardgames>") && socket.waitForReadyRead(10000))
            all += socket.readAll();
        return all.startsWith("HTTP/1.1 200");
    };
    for (int i = 0; i < 2; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->connectToHost(QHostAddress::LocalHost, service.port());
        QVERIFY(held.back()->waitForConnected(5000));
        QVERIFY(answered(*held.back()));
    }
    QTcpSocket third;
    third.connectToHost(QHostAddress::LocalHost, service.port());
    QVERIFY(third.waitForConnected(5000));
    third.write(request);
    QVERIFY(third.state() == QAbstractSocket::UnconnectedState || third.waitForDisconnected(10000));
    QCOMPARE(third.readAll(), QByteArray());
    QVERIFY(answered(*held.front()));
}

// Generated snapshots, imported and served, charted by Plotwise: its CSV
// holds exactly the snapshot values for several games and all four nodes.
void TestArchive::roundTripToPlotwiseCsv()
{
    const QString snapshots = generated("small", { "--days", "12", "--games", "40" });
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
    const RunResult result = Run(program,
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

// Importing the same snapshots again changes nothing the service shows, and
// not a byte of the archive; a day whose content differs is replaced.
void TestArchive::reimportChangesNothing()
{
    const QString snapshots = generated("small", { "--days", "12", "--games", "40" });
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    const RunResult first = Archive({ "import", archive, snapshots });
    QCOMPARE(first.status, 0);
    const QString notes = "(4 superseded by the deepest file of its day; "
                          "3 rows dropped: 2 with a duplicate ID, 1 unreadable); "
                          "355 records, 40 games, 2016-10-12 to 2016-10-23\n";
    QCOMPARE(first.out, "11 snapshots imported, 0 replaced, 0 unchanged, 0 refused " + notes);
    const auto everything = [&] {
        ArchiveReader reader(archive.toStdString());
        QStringList all;
        for (uint32_t game = 1; game < 1300; ++game) {
            QString title;
            const QStringList records = History(reader, game, &title);
            if (!records.isEmpty())
                all << title << records;
        }
        return all;
    };
    const QStringList before = everything();
    const QByteArray bytes = ReadAll(archive);
    const RunResult again = Archive({ "import", archive, snapshots });
    QCOMPARE(again.status, 0);
    QCOMPARE(again.out, "0 snapshots imported, 0 replaced, 11 unchanged, 0 refused " + notes);
    QCOMPARE(ReadAll(archive), bytes);
    QCOMPARE(everything(), before);

    WriteFile(dir.filePath("2016-10-12.csv"), Header + Alpha);
    const RunResult changed = Archive({ "import", archive, dir.filePath("2016-10-12.csv") });
    QVERIFY2(changed.out.startsWith("0 snapshots imported, 1 replaced, 0 unchanged, 0 refused; "),
        qPrintable(changed.out));
}

// An import killed after some days, staged or folded, leaves days that are
// whole: each day's records are all served, and a new import completes the
// archive. The import kills itself (a test hook), so that it is not done
// before the test could kill it.
void TestArchive::killedImportLeavesWholeDays_data()
{
    QTest::addColumn<int>("days");
    QTest::newRow("among the first staged days") << 5;
    QTest::newRow("after a fold") << 40;
}

void TestArchive::killedImportLeavesWholeDays()
{
    QFETCH(int, days);
    const QString snapshots = generated("large", { "--days", "60", "--games", "3000" });
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

// info names the day whose only file is a scrape that stopped early.
void TestArchive::infoListsShallowDays()
{
    const QString snapshots = generated("large", { "--days", "60", "--games", "3000" });
    QTemporaryDir dir;
    const QString archive = dir.filePath("a.pwa");
    QCOMPARE(Archive({ "import", archive, snapshots }).status, 0);
    const RunResult info = Archive({ "info", archive });
    QCOMPARE(info.status, 0);
    static const QRegularExpression shallow(
        "\nshallow days: 1\n  2016-11-08: ranks to ([0-9]+); the days around reach ([0-9],[0-9]{3})\n");
    const QRegularExpressionMatch match = shallow.match(info.out);
    QVERIFY2(match.hasMatch(), qPrintable(info.out));
    QVERIFY(match.captured(1).toInt() * 2 < match.captured(2).remove(u',').toInt());
}

// A day imported while the service runs is served on the next request, in
// the pages and in the lists.
void TestArchive::serviceShowsANewDayOnTheNextRequest()
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

// An import committed between a list's reads does not show in that list.
void TestArchive::listReadsOneStateOfTheArchive_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("rows");

    QTest::newRow("a day added") << "2016-10-13.csv" << Header + "13,Alpha,2001,2,7.5,5.7,130\n";
    QTest::newRow("a day replaced") << "2016-10-12.csv" << Header + "13,Alpha Two,2001,5,7.5,5.7,130\n";
}

void TestArchive::listReadsOneStateOfTheArchive()
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

// An archive of game 13 over 101 days: page 1 full, page 2 its last page
// with records, page 3 its end page.
QString TestArchive::cachingArchive()
{
    const QString archive = m_temp.filePath("caching.pwa");
    if (QFileInfo::exists(archive))
        return archive;
    const QString days = m_temp.filePath("caching");
    QDir().mkpath(days);
    for (int i = 0; i < 101; ++i)
        WriteFile(days + QDate(2016, 10, 12).addDays(i).toString("/yyyy-MM-dd.csv"),
            Header + "13,Alpha,2001," + QByteArray::number(3 + i % 5) + ",7.25,5.61,120\n");
    if (Archive({ "import", archive, days }).status != 0)
        qWarning("the caching archive was not imported");
    return archive;
}

// What caches may keep of each kind of answer.
void TestArchive::cacheHeaders_data()
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

void TestArchive::cacheHeaders()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, cacheControl);
    ArchiveService service(cachingArchive(), options);
    QVERIFY(service.port() != 0);
    const RawAnswer answer = RawGet(service.port(), target);
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.headers["cache-control"], cacheControl);
    QVERIFY2(QRegularExpression("^\"[0-9a-f]{16}\"$").match(QString::fromLatin1(answer.headers["etag"])).hasMatch(),
        answer.headers["etag"].constData());
    const QDateTime changed = QFileInfo(cachingArchive()).lastModified().toUTC();
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
void TestArchive::conditionalRequests_data()
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

void TestArchive::conditionalRequests()
{
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    static ArchiveService service(cachingArchive());
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

// Names as snapshots spell them reach the chart's CSV, the Info lines and the
// search list exactly: the service writes them so that the client's markup
// rules and the search window's parser both give each back.
void TestArchive::namesComeThroughAsSpelled_data()
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

void TestArchive::namesComeThroughAsSpelled()
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
    const RunResult result = Run(program,
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

// An archive the user may read but not write (shared read-only, on read-only
// media) is read by info and served, and left as it is. As root no
// permission refuses anything, so the commands run as nobody.
void TestArchive::archiveReadWithoutWriteAccess_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::newRow("in a folder the user may not write") << false;
    QTest::newRow("in a folder the user may write") << true;
}

void TestArchive::archiveReadWithoutWriteAccess()
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
    const RunResult info = Run(command.first(), command.mid(1) + QStringList { "info", archive });
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
void TestArchive::logShowsControlBytesEscaped_data()
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

void TestArchive::logShowsControlBytesEscaped()
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

QTEST_GUILESS_MAIN(TestArchive)
#include "test_archive.moc"
