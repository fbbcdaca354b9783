// Page-file preparation and the unsynced page writer, ampersand restoring and
// markup stripping.
#include "service/FileBytes.h"
#include "service/PlotwiseError.h"
#include "service/XmlPrepare.h"

#include <QtTest>

class TestXmlPrepare : public QObject
{
    Q_OBJECT

private slots:
    void prepare_data();
    void prepare();
    void prepareFailures();
    void unsyncedSaveFile_data();
    void unsyncedSaveFile();
    void restore_data();
    void restore();
    void strip_data();
    void strip();
    void stripLongInput();

private:
    QTemporaryDir m_dir;
    QString writeFile(const QString &name, const QByteArray &bytes);
};

QString TestXmlPrepare::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

static QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void TestXmlPrepare::prepare_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ampersand") << QByteArray("a &amp; b") << QByteArray("a _T_E_M_P_T_A_G_amp; b\r\n");
    QTest::newRow("LF and blank lines") << QByteArray("x\n\n\ny\n") << QByteArray("x\r\ny\r\n");
    QTest::newRow("lone CR") << QByteArray("x\ry") << QByteArray("x\r\ny\r\n");
    QTest::newRow("mixed line ends") << QByteArray("a\r\n\r\nb\rc\n\rd") << QByteArray("a\r\nb\r\nc\r\nd\r\n");
    QTest::newRow("blank-only line kept") << QByteArray("  \n\t") << QByteArray("  \r\n\t\r\n");
    QTest::newRow("one-byte lines, ampersands only")
        << QByteArray("&\n&\r&&\na") << QByteArray("_T_E_M_P_T_A_G_\r\n_T_E_M_P_T_A_G_\r\n"
                                                  "_T_E_M_P_T_A_G__T_E_M_P_T_A_G_\r\na\r\n");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("NUL ends the text") << QByteArray("ab\ncd\0ef\ngh", 11) << QByteArray("ab\r\ncd\r\n");
    QTest::newRow("Latin-1 bytes kept")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<n>Caf\xE9 \x80\x81\xFF &amp;</n>")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<n>Caf\xE9 \x80\x81\xFF _T_E_M_P_T_A_G_amp;</n>\r\n");
    QTest::newRow("invalid UTF-8 kept") << QByteArray("\xC3\x28 \xF0\x9F") << QByteArray("\xC3\x28 \xF0\x9F\r\n");
}

void TestXmlPrepare::prepare()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    const QString path = writeFile(QStringLiteral("page.xml"), input);
    PrepareXmlFile(path);
    QCOMPARE(readAll(path), expected);
    // A second run changes nothing.
    PrepareXmlFile(path);
    QCOMPARE(readAll(path), expected);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"page.xml"});
}

void TestXmlPrepare::prepareFailures()
{
    const QString missing = m_dir.filePath(QStringLiteral("missing.xml"));
    try {
        PrepareXmlFile(missing);
        QFAIL("no error for a missing file");
    } catch (const PlotwiseError &e) {
        QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(missing));

    const QString folder = m_dir.filePath(QStringLiteral("folder.xml"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY_THROWS_EXCEPTION(PlotwiseError, PrepareXmlFile(folder));
    QVERIFY(QFileInfo(folder).isDir());

    // Readable but not writable, even for root: the rewrite is refused and
    // reported, not silently skipped.
    try {
        PrepareXmlFile(QStringLiteral("/proc/version"));
        QFAIL("no error for a refused write");
    } catch (const PlotwiseError &e) {
        QVERIFY2(e.message().startsWith("Unable to write to /proc/version"), qPrintable(e.message()));
    }
}

void TestXmlPrepare::unsyncedSaveFile_data()
{
    QTest::addColumn<bool>("commit");
    QTest::addColumn<bool>("targetIsFolder");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("committed") << true << false << true;
    QTest::newRow("dropped before commit") << false << false << false;
    QTest::newRow("rename refused") << true << true << false;
}

// The old file is replaced only by a committed whole file, and no temporary
// file is left behind whatever happened.
void TestXmlPrepare::unsyncedSaveFile()
{
    QFETCH(bool, commit);
    QFETCH(bool, targetIsFolder);
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("1_1.xml"));
    QFile old(target);
    if (targetIsFolder)
        QVERIFY(QDir().mkpath(target));
    else
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3 && old.flush());
    {
        UnsyncedSaveFile file(target);
        QVERIFY(file.open());
        QVERIFY(file.write("new"));
        if (commit)
            QCOMPARE(file.commit(), replaced);
        if (commit && !replaced)
            QVERIFY(!file.errorString().isEmpty());
    }
    if (targetIsFolder)
        QVERIFY(QFileInfo(target).isDir());
    else
        QCOMPARE(readAll(target), replaced ? QByteArray("new") : QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList { QStringLiteral("1_1.xml") });
}

void TestXmlPrepare::restore_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("marker") << "AT_T_E_M_P_T_A_G_T" << "AT&T";
    QTest::newRow("prepared entity") << "Tom _T_E_M_P_T_A_G_amp; Jerry" << "Tom & Jerry";
    QTest::newRow("double entity") << "&amp;amp;" << "&amp;";
    QTest::newRow("other entity stays") << "_T_E_M_P_T_A_G_quot;" << "&quot;";
}

void TestXmlPrepare::restore()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(RestoreAmpersands(text), expected);
}

void TestXmlPrepare::strip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("tags") << "<b>Bold</b> text" << "Bold text";
    QTest::newRow("lone >") << "a > b" << "a  b";
    QTest::newRow("unclosed <") << "1 < 2" << "1 ";
    QTest::newRow("reference in a tag") << "<a title='&#60;'>x</a>" << "x";
    QTest::newRow("decoded brackets stay") << "&#60;b&#62;" << "<b>";
    QTest::newRow("Latin-1 letter") << "Caf&#233;" << QString::fromUtf8("Café");
    QTest::newRow("1252 euro byte") << "&#128;" << QString::fromUtf8("€");
    QTest::newRow("undefined 1252 byte") << "&#129;&#141;&#157;" << QString(QChar(0x81)) + QChar(0x8D) + QChar(0x9D);
    QTest::newRow("negative: low 8 bits") << "&#-23;" << QString::fromUtf8("é");
    QTest::newRow("Unicode euro") << "&#8364;" << QString::fromUtf8("€");
    QTest::newRow("above 16 bits: low 16") << "&#65601;" << "A";
    QTest::newRow("lone surrogate") << "&#55296;x" << "?x";
    QTest::newRow("hex") << "&#x41;" << "A";
    QTest::newRow("not a number") << "&#abc;x" << "x";
    QTest::newRow("blank in reference") << "a&#65 ;b" << "ab";
    QTest::newRow("formed reference") << "&#38;#65;" << "A";
    QTest::newRow("formed across two") << "&#38;&#35;65;" << "A";
    QTest::newRow("formed, then no semicolon") << "&&#35;" << "&#";
    QTest::newRow("no semicolon") << "a &# b" << "a &# b";
    QTest::newRow("no semicolon after decoded") << "&#65;&#66" << "A&#66";
    QTest::newRow("unterminated swallowed by the next semicolon") << "&#65;&#&#66;" << "A";
}

void TestXmlPrepare::strip()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(StripMarkup(text), expected);
}

void TestXmlPrepare::stripLongInput()
{
    // Every reference pass restarting from the front would make these
    // quadratic; the decoding must end and give the whole result.
    const int n = 200000;
    QCOMPARE(StripMarkup(QStringLiteral("&#38;").repeated(n)), QString(n, u'&'));
    QCOMPARE(StripMarkup(QStringLiteral("&#38;#65;").repeated(n)), QString(n, u'A'));
    QCOMPARE(StripMarkup(QStringLiteral("&#").repeated(n)), QStringLiteral("&#").repeated(n));
}

QTEST_GUILESS_MAIN(TestXmlPrepare)
#include "test_xmlprepare.moc"
