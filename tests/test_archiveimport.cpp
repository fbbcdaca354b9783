// plotwise-archive import: the import rules on small snapshots, bad input
// and unusable archives met through the program (exit status and message),
// importing again, and the shallow days info names. What an import leaves
// on disk when cut short or folded is in test_archivestorage.
#include "archive/ArchiveReader.h"
#include "archive/Days.h"
#include "archive/Sqlite.h"
#include "support/ArchiveTests.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Files = QList<QPair<QString, QByteArray>>; // file name, bytes
using Runs = QList<Files>; // one import run each

} // namespace

class TestArchiveImport : public QObject
{
    Q_OBJECT
private slots:
    void importRules_data();
    void importRules();
    void refusedInput_data();
    void refusedInput();
    void refusedArchive_data();
    void refusedArchive();
    void reimportChangesNothing();
    void infoListsShallowDays();
};

// Each import rule once: the files of each run are imported together, and
// game 13's history and latest title are read back.
void TestArchiveImport::importRules_data()
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

void TestArchiveImport::importRules()
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
// itself (~), a named pipe (|) or a name never made (!); "folder/name" is
// named by its folder.
void TestArchiveImport::refusedInput_data()
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
    QTest::newRow("a name that is not there") << "next-day!" << QByteArray() << 1
                                              << "next-day: no such file or folder" << "";
    QTest::newRow("a named pipe") << "pipes/2016-10-12.csv|" << QByteArray() << 1
                                  << "2016-10-12.csv: not a regular file (a named pipe)" << "";
}

void TestArchiveImport::refusedInput()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    const QString good = dir.filePath("2016-10-11.csv");
    WriteFile(good, Header + "15,Gamma,1999,1,8,6,500\n");
    const QChar kind = name.back();
    QString path = dir.filePath(name);
    if (QStringLiteral("@~|!").contains(kind))
        path.chop(1);
    QString named = path;
    if (const qsizetype slash = name.indexOf(u'/'); slash > 0 && slash + 1 < name.size()) {
        named = dir.filePath(name.left(slash));
        QDir().mkpath(named);
    }
    if (kind == u'/') {
        QDir().mkpath(path);
        WriteFile(path + "notes.txt", "no snapshots here\n");
    } else if (kind == u'@') {
        QVERIFY(QFile::link(dir.filePath("gone.csv"), path));
    } else if (kind == u'~') {
        QCOMPARE(::symlink(qPrintable(path), qPrintable(path)), 0);
    } else if (kind == u'|') {
        QCOMPARE(::mkfifo(qPrintable(path), 0600), 0);
    } else if (kind == u'!') {
        // named on the command line, never made
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
void TestArchiveImport::refusedArchive_data()
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

void TestArchiveImport::refusedArchive()
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

// Importing the same snapshots again changes nothing the service shows, and
// not a byte of the archive; a day whose content differs is replaced.
void TestArchiveImport::reimportChangesNothing()
{
    const QString snapshots = GeneratedSnapshots("small", { "--days", "12", "--games", "40" });
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

// info names the day whose only file is a scrape that stopped early.
void TestArchiveImport::infoListsShallowDays()
{
    const QString snapshots = GeneratedSnapshots("large", { "--days", "60", "--games", "3000" });
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

QTEST_GUILESS_MAIN(TestArchiveImport)
#include "test_archiveimport.moc"
