// The settings file: reading rules, parsing of foreign files, where writes
// go, refused writes, locales and large or broken files.
#include "app/IniFile.h"
#include "service/PlotwiseError.h"
#include "support/TestSupport.h"

#include <QtTest>


class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readInteger_data();
    void readInteger();
    void readBool_data();
    void readBool();
    void readString_data();
    void readString();
    void readDate_data();
    void readDate();
    void twoDigitYear_data();
    void twoDigitYear();
    void parsing();
    void newFileKeyOrder();
    void foreignLinesKept();
    void roundTrips();
    void refusedWrites();
    void otherLocale();
    void largeAndBrokenFiles();

private:
    QTemporaryDir m_dir;
    QString m_path;
    void writeFile(const QByteArray &bytes);
    QByteArray fileBytes() const;
};

static const QString Section = QStringLiteral("form_main");

void TestIniFile::init()
{
    m_path = m_dir.filePath(QStringLiteral("plotwise.ini"));
    QFile::remove(m_path);
}

void TestIniFile::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void TestIniFile::writeFile(const QByteArray &bytes)
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(m_path));
}

QByteArray TestIniFile::fileBytes() const
{
    QFile file(m_path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestIniFile::readInteger_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");
    const int def = 650;
    QTest::newRow("decimal") << QByteArray("768") << 768;
    QTest::newRow("blanks around") << QByteArray(" \t768  ") << 768;
    QTest::newRow("0x") << QByteArray("0x300") << 768;
    QTest::newRow("dollar") << QByteArray("$300") << 768;
    QTest::newRow("hex pattern") << QByteArray("0xFFFFFFFF") << -1;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("quoted") << QByteArray("\"42\"") << 42;
    QTest::newRow("overflow") << QByteArray("2147483648") << def;
    QTest::newRow("0x alone") << QByteArray("0x") << def;
    QTest::newRow("x prefix is not read") << QByteArray("x300") << def;
    QTest::newRow("sign before hex") << QByteArray("-0x10") << def;
    QTest::newRow("trailing text") << QByteArray("12px") << def;
    QTest::newRow("word") << QByteArray("yes") << def;
    QTest::newRow("empty") << QByteArray("") << def;
    QTest::newRow("mismatched quotes") << QByteArray("\"42'") << def;
}

void TestIniFile::readInteger()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    writeFile("[form_main]\nwin_width=" + stored + "\n");
    QCOMPARE(IniFile(m_path).ReadIniInteger(Section, "win_width", 650), expected);
}

void TestIniFile::readBool_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("def");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("0") << QByteArray("0") << true << false;
    QTest::newRow("2") << QByteArray("2") << false << true;
    QTest::newRow("yes, default false") << QByteArray("yes") << false << false;
    QTest::newRow("yes, default true") << QByteArray("yes") << true << true;
    QTest::newRow("empty, default true") << QByteArray("") << true << true;
}

void TestIniFile::readBool()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, def);
    QFETCH(bool, expected);
    writeFile("[form_main]\nmaximized=" + stored + "\n");
    QCOMPARE(IniFile(m_path).ReadIniBool(Section, "maximized", def), expected);
}

void TestIniFile::readString_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QByteArray("13,822") << "13,822";
    QTest::newRow("blanks around") << QByteArray("  a b  ") << "a b";
    QTest::newRow("double quotes") << QByteArray("\" a \"") << " a ";
    QTest::newRow("single quotes") << QByteArray("'x'") << "x";
    QTest::newRow("mismatched quotes") << QByteArray("\"x'") << "\"x'";
    QTest::newRow("empty quotes") << QByteArray("\"\"") << "";
    QTest::newRow("equals in value") << QByteArray("a=b") << "a=b";
    QTest::newRow("UTF-8") << QByteArray("Caf\xC3\xA9") << QString::fromUtf8("Café");
    QTest::newRow("empty") << QByteArray("") << "";
    const QByteArray ids = QByteArray("123456,").repeated(430); // 3010 characters
    QTest::newRow("long value read whole") << ids << QString::fromLatin1(ids);
}

void TestIniFile::readString()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, expected);
    writeFile("[form_main]\ngame=" + stored + "\r\n");
    QCOMPARE(IniFile(m_path).ReadIniString(Section, "game", "def"), expected);
}

void TestIniFile::readDate_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QDate>("expected");
    const QDate def(2000, 1, 1);
    QTest::newRow("iso") << "de_DE" << QByteArray("2026-12-08") << QDate(2026, 12, 8);
    QTest::newRow("iso bad day") << "C" << QByteArray("2010-02-31") << def;
    QTest::newRow("user format en_GB") << "en_GB" << QByteArray("08/12/2026") << QDate(2026, 12, 8);
    // A two-digit year goes to the century that puts it within 50 years of
    // today, not to the 1900s.
    const int year = QDate::currentDate().year();
    const auto yy = [](int y) { return QByteArray::number(y % 100).rightJustified(2, '0'); };
    QTest::newRow("two-digit year, this year") << "de_DE" << "08.12." + yy(year) << QDate(year, 12, 8);
    QTest::newRow("two-digit year, 49 ahead") << "en_US" << "12/8/" + yy(year + 49) << QDate(year + 49, 12, 8);
    QTest::newRow("two-digit year, 50 back") << "en_US" << "12/8/" + yy(year - 50) << QDate(year - 50, 12, 8);
    if (year - 50 <= 2000 && 2000 < year + 50)
        QTest::newRow("29 February 00") << "de_DE" << QByteArray("29.02.00") << QDate(2000, 2, 29);
    QTest::newRow("bad day, two-digit year") << "de_DE" << QByteArray("31.02.26") << def;
    QTest::newRow("bad day in user format") << "en_GB" << QByteArray("31/02/2010") << def;
    QTest::newRow("other locale's format") << "en_GB" << QByteArray("12/31/2010") << def;
    QTest::newRow("garbage") << "C" << QByteArray("soon") << def;
    QTest::newRow("empty") << "C" << QByteArray("") << def;
}

void TestIniFile::readDate()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, stored);
    QFETCH(QDate, expected);
    QLocale::setDefault(QLocale(locale));
    writeFile("[form_main]\ndate_from=" + stored + "\n");
    QCOMPARE(IniFile(m_path).ReadIniDate(Section, "date_from", QDate(2000, 1, 1)), expected);
}

void TestIniFile::twoDigitYear_data()
{
    QTest::addColumn<int>("twoDigits");
    QTest::addColumn<int>("currentYear");
    QTest::addColumn<int>("expected");
    QTest::newRow("same year") << 26 << 2026 << 2026;
    QTest::newRow("49 ahead") << 75 << 2026 << 2075;
    QTest::newRow("50 either way: the earlier") << 76 << 2026 << 1976;
    QTest::newRow("last century") << 99 << 2026 << 1999;
    QTest::newRow("00") << 0 << 2026 << 2000;
    QTest::newRow("next century") << 48 << 2099 << 2148;
    QTest::newRow("late in a century") << 50 << 2099 << 2050;
}

void TestIniFile::twoDigitYear()
{
    QFETCH(int, twoDigits);
    QFETCH(int, currentYear);
    QTEST(TwoDigitYearNear(twoDigits, currentYear), "expected");
}

void TestIniFile::parsing()
{
    writeFile("node=1\n"                   // before any section: belongs to none
              "[other]\nnode=2\n"
              "; node=3\n"
              "[ Form_Main ]\n"
              "# node=4\n"
              "; a comment\n"
              "garbage line\n"
              "=5\n"
              "  NODE  =  6  \n"
              "node=7\n"
              "[form_main]\nnode=8\ngame=later\n"  // a second section of the name is not read
              "[other2]\ngame=9\n");
    const IniFile ini(m_path);
    QCOMPARE(ini.ReadIniInteger(Section, "node", -1), 6);
    QCOMPARE(ini.ReadIniInteger("OTHER", "Node", -1), 2);
    QCOMPARE(ini.ReadIniString(Section, "game", "none"), QString("none"));
    QCOMPARE(ini.ReadIniString("other2", "game", "none"), QString("9"));
    QCOMPARE(ini.ReadIniInteger("missing", "node", -1), -1);
    QCOMPARE(IniFile(m_dir.filePath("none.ini")).ReadIniInteger(Section, "node", -1), -1);
}

void TestIniFile::newFileKeyOrder()
{
    IniFile ini(m_path);
    ini.WriteIniBool(Section, "maximized", false);
    ini.WriteIniInteger(Section, "win_width", 650);
    ini.WriteIniString(Section, "game", "13, 822");
    ini.WriteIniDate(Section, "date_from", QDate(2026, 12, 8));
    ini.WriteIniInteger(Section, "win_width", 700); // in place, order kept
    QCOMPARE(fileBytes(), QByteArray("[form_main]\nmaximized=0\nwin_width=700\ngame=13, 822\n"
                                     "date_from=2026-12-08\n"));
}

void TestIniFile::foreignLinesKept()
{
    // CR LF file with comments, other sections, blank lines, non-UTF-8 bytes
    // and no line end at the very end.
    writeFile("; settings\r\n[form_main]\r\nmaximized=1\r\n; keep me\r\n\r\n"
              "[mine]\r\nx=\xFF\xFE raw\r\n[form_main]\r\nnode=5");
    IniFile ini(m_path);
    ini.WriteIniInteger(Section, "node", 3);    // a new key: end of the first section
    ini.WriteIniBool("FORM_MAIN", "Maximized", false); // the line is rewritten as given
    ini.WriteIniString("new", "k", "v");        // new section at the end
    QCOMPARE(fileBytes(), QByteArray("; settings\r\n[form_main]\r\nMaximized=0\r\n; keep me\r\nnode=3\r\n\r\n"
                                     "[mine]\r\nx=\xFF\xFE raw\r\n[form_main]\r\nnode=5\r\n[new]\r\nk=v\r\n"));
    QCOMPARE(ini.ReadIniInteger(Section, "node", -1), 3);
}

void TestIniFile::roundTrips()
{
    IniFile ini(m_path);
    for (const qint32 v : {0, -1, 2147483647, -2147483647 - 1}) {
        ini.WriteIniInteger(Section, "n", v);
        QCOMPARE(ini.ReadIniInteger(Section, "n", 42), v);
    }
    for (const bool b : {true, false}) {
        ini.WriteIniBool(Section, "b", b);
        QCOMPARE(ini.ReadIniBool(Section, "b", !b), b);
    }
    const QString long3000 = QString("1234,").repeated(600);
    for (const QString &s : {QString(), long3000, QString::fromUtf8("Café \u20AC ; [x] = y")}) {
        ini.WriteIniString(Section, "s", s);
        QCOMPARE(ini.ReadIniString(Section, "s", "def"), s);
    }
    // A multi-line game box stays on its line and keeps every ID.
    ini.WriteIniString(Section, "game", "13\r\n822\n[form_main]\nnode=9");
    QCOMPARE(ini.ReadIniString(Section, "game", ""), QString("13  822 [form_main] node=9"));
    QCOMPARE(ini.ReadIniInteger(Section, "node", -1), -1);
    for (const QDate d : {QDate(2026, 12, 8), QDate(1999, 1, 31), QDate(2024, 2, 29)}) {
        ini.WriteIniDate(Section, "d", d);
        QCOMPARE(ini.ReadIniDate(Section, "d", QDate(2000, 1, 1)), d);
    }
}

void TestIniFile::refusedWrites()
{
    // A folder where the file should be.
    QVERIFY(QDir().mkpath(m_path));
    const QString expected = QStringLiteral("Unable to write to ") + QFileInfo(m_path).absoluteFilePath();
    try {
        IniFile(m_path).WriteIniInteger(Section, "node", 1);
        QFAIL("write not refused");
    } catch (const PlotwiseError &e) {
        QCOMPARE(e.message(), expected);
    }
    QVERIFY(QFileInfo(m_path).isDir());
    QVERIFY(QDir(m_path).rmdir(m_path));
    QCOMPARE(IniFile(m_path).ReadIniInteger(Section, "node", -1), -1);

    // A write that fails half-way (as on a full disk, simulated by a file
    // size limit, which binds root too) leaves the old file as it was and no
    // temporary file behind.
    const QByteArray old = "[form_main]\nnode=1\n" + QByteArray(4000, ';') + "\n";
    writeFile(old);
    bool refused = false;
    try {
        const FileSizeLimit fullDisk(1024);
        IniFile(m_path).WriteIniInteger(Section, "node", 2);
    } catch (const PlotwiseError &e) {
        refused = e.message() == expected;
    }
    QVERIFY(refused);
    QCOMPARE(fileBytes(), old);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"plotwise.ini"});
}

void TestIniFile::otherLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    IniFile ini(m_path);
    ini.WriteIniInteger(Section, "win_width", -1234567);
    ini.WriteIniDate(Section, "date_to", QDate(2026, 12, 8));
    QCOMPARE(fileBytes(), QByteArray("[form_main]\nwin_width=-1234567\ndate_to=2026-12-08\n"));
    QCOMPARE(ini.ReadIniInteger(Section, "win_width", 0), -1234567);
    QCOMPARE(ini.ReadIniDate(Section, "date_to", QDate()), QDate(2026, 12, 8));
}

void TestIniFile::largeAndBrokenFiles()
{
    // 10,000 sections in about 10 MB: a key in the last one is found and a
    // new key lands at its end.
    QByteArray big;
    for (int i = 0; i < 10000; ++i)
        big += "[s" + QByteArray::number(i) + "]\nkey=" + QByteArray(1000, 'v') + "\n";
    writeFile(big);
    IniFile ini(m_path);
    QCOMPARE(ini.ReadIniString("S9999", "KEY", "").size(), 1000);
    QCOMPARE(ini.ReadIniString("s5000", "other", "none"), QString("none"));
    ini.WriteIniInteger("s9998", "added", 7);
    const QByteArray after = fileBytes();
    QCOMPARE(after.size(), big.size() + qsizetype(sizeof("added=7\n") - 1));
    QVERIFY(after.contains(QByteArray(1000, 'v') + "\nadded=7\n[s9999]\n"));

    // Binary garbage: every read gives its default, and a write keeps the
    // garbage as it was and adds its section after it.
    QByteArray garbage(1 << 20, Qt::Uninitialized);
    QRandomGenerator gen(7);
    for (char &c : garbage)
        c = char(gen.bounded(256));
    garbage.replace('[', '(');
    writeFile(garbage);
    QCOMPARE(ini.ReadIniInteger(Section, "node", -1), -1);
    QCOMPARE(ini.ReadIniString(Section, "game", "def"), QString("def"));
    ini.WriteIniInteger(Section, "node", 4);
    QVERIFY(fileBytes().startsWith(garbage));
    QCOMPARE(ini.ReadIniInteger(Section, "node", -1), 4);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_inifile.moc"
