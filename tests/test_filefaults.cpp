// Files on disk that are not what the program expects: a settings file that
// is a folder, unreadable, binary garbage, 10 MB long or 10,000 sections; a
// "nodes.txt" of 100,000 lines or binary bytes; a script file of 100,000
// lines or binary bytes; a cache folder that is a file or read-only. Each
// gives defaults or a clear message, and the program goes on. A read-only or
// installed program folder: settings and cache in the user's folders.
// Permission cases run as the unprivileged user 65534, since permission bits
// refuse root nothing.
#include "app/PlotChart.h"
#include "service/CachePaths.h"
#include "script/u_frmScript.h"
#include "search/u_frmSearch.h"
#include "support/MainWindowFixture.h"
#include "support/SampleService.h"
#include "ui/RadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QtTest>

#include <unistd.h>

namespace {

// Set in the child that runs a test as the unprivileged user.
const char AsNobody[] = "PLOTWISE_TEST_AS_NOBODY";

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The values a first start shows, for the keys a bad settings file could hold.
void checkDefaults(MainWindowFixture &f)
{
    QCOMPARE(f->cboRank->currentIndex(), -1);
    QVERIFY(f->edtGame->toPlainText().isEmpty());
    QVERIFY(!f->cboDate->isChecked());
    QVERIFY(!f->cboInverted->isChecked());
    QVERIFY(!f->cboLogAxis->isChecked());
    QCOMPARE(f->rgoVertAxis->itemIndex(), 0);
    QCOMPARE(f->rgoValues->itemIndex(), 0);
    QCOMPARE(f->dtpDate1->date(), QDate::currentDate());
    QVERIFY(!f->isMaximized());
}

const QByteArray Stored = "[form_main]\r\nnode=1\r\ngame=13, 822\r\nvert_inverted=1\r\nvalues=1\r\n";

void checkStored(MainWindowFixture &f)
{
    QCOMPARE(f->cboRank->currentIndex(), 1);
    QCOMPARE(f->edtGame->toPlainText(), QStringLiteral("13, 822"));
    QVERIFY(f->cboInverted->isChecked());
    QCOMPARE(f->rgoValues->itemIndex(), 1);
}

} // namespace

class TestFileFaults : public QObject
{
    Q_OBJECT

private slots:
    void settingsFile_data();
    void settingsFile();
    void settingsFileAFolder();
    void settingsFileUnreadable();
    void nodeList_data();
    void nodeList();
    void scriptFile_data();
    void scriptFile();
    void cacheFolder_data();
    void cacheFolder();
    void programFolder_data();
    void programFolder();

private:
    // Runs this test function (and data row: "name:row") again as user 65534
    // when running as root; true when the caller is to run the checks itself
    // (not root, or the child).
    bool runAsNobody(const QString &function);
};

bool TestFileFaults::runAsNobody(const QString &function)
{
    if (geteuid() != 0 || qEnvironmentVariableIsSet(AsNobody))
        return true;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(AsNobody), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), QDir::tempPath());
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                { QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                  QStringLiteral("--clear-groups"), QStringLiteral("--"),
                  QCoreApplication::applicationFilePath(), function });
    if (!child.waitForFinished(120000))
        child.kill();
    const QByteArray output = child.readAll();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        qWarning("%s", output.constData());
    [&] {
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }();
    return false;
}

void TestFileFaults::settingsFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("holdsValues"); // the stored values are in it

    QTest::newRow("garbage then the section") << randomBytes(1 << 20, 12) + "\r\n" + Stored << true;

    QByteArray big;
    while (big.size() < 10 * 1024 * 1024)
        big += "; " + QByteArray(1000, 'x') + "\r\n";
    QTest::newRow("10 MB") << big + Stored << true;

    QByteArray sections;
    for (int i = 0; i < 10000; ++i)
        sections += "[s" + QByteArray::number(i) + "]\r\nkey=value\r\n";
    QTest::newRow("10,000 sections, then none") << sections << false;
}

void TestFileFaults::settingsFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, holdsValues);
    MainWindowFixture::Setup setup;
    setup.settings = content;
    MainWindowFixture f(setup);
    QVERIFY2(f.dialogs.errors.isEmpty(), qPrintable(f.dialogs.errors.join(u'\n')));
    if (holdsValues)
        checkStored(f);
    else
        checkDefaults(f);

    // The window works and closes; what it writes reads back at the next
    // start, and the lines it does not own stay as they were.
    f->edtGame->setPlainText(QStringLiteral("77"));
    f->cboLogAxis->setChecked(true);
    f.restart();
    QVERIFY2(f.dialogs.errors.isEmpty(), qPrintable(f.dialogs.errors.join(u'\n')));
    QCOMPARE(f->edtGame->toPlainText(), QStringLiteral("77"));
    QVERIFY(f->cboLogAxis->isChecked());
    const QByteArray after = f.settingsText();
    const qsizetype kept = holdsValues ? content.size() - Stored.size() : content.size();
    QVERIFY(after.startsWith(content.left(kept)));
}

void TestFileFaults::settingsFileAFolder()
{
    MainWindowFixture f;
    f.close();
    QVERIFY(QFile::remove(f.settingsPath()));
    QVERIFY(QDir().mkdir(f.settingsPath()));
    f.restart();

    // Every value at its default; the start says nothing, the close says why
    // nothing could be stored.
    QVERIFY(f.dialogs.errors.isEmpty());
    checkDefaults(f);
    f.close();
    QCOMPARE(f.dialogs.errors,
             QStringList(QStringLiteral("Unable to write to %1.").arg(f.settingsPath())));
    QVERIFY(QFileInfo(f.settingsPath()).isDir());
}

void TestFileFaults::settingsFileUnreadable()
{
    if (!runAsNobody(QStringLiteral("settingsFileUnreadable")))
        return;
    MainWindowFixture::Setup setup;
    setup.settings = Stored;
    MainWindowFixture f(setup);
    f.close();
    const QByteArray written = f.settingsText();
    QVERIFY(!written.isEmpty());
    QVERIFY(QFile::setPermissions(f.settingsPath(), QFileDevice::Permissions()));
    f.restart();

    QVERIFY(f.dialogs.errors.isEmpty());
    checkDefaults(f);
    f.close();
    QCOMPARE(f.dialogs.errors,
             QStringList(QStringLiteral("Unable to write to %1.").arg(f.settingsPath())));
    QVERIFY(QFile::setPermissions(f.settingsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(f.settingsText(), written);
}

void TestFileFaults::nodeList_data()
{
    QTest::addColumn<QByteArray>("nodes");
    QTest::addColumn<int>("entries");

    QByteArray lines;
    for (int i = 0; i < 100000; ++i)
        lines += "node" + QByteArray::number(i).rightJustified(6, '0') + "\n";
    QTest::newRow("100,000 lines") << lines << 100000;
    QByteArray binary = randomBytes(1 << 20, 13);
    binary.replace('\0', '\1');
    const bool endsWithLineEnd = binary.endsWith('\n') || binary.endsWith('\r');
    const int binaryLines = int(binary.count('\n') + binary.count('\r') - binary.count("\r\n"))
        + (endsWithLineEnd ? 0 : 1);
    QTest::newRow("binary bytes") << binary << binaryLines;
}

void TestFileFaults::nodeList()
{
    QFETCH(QByteArray, nodes);
    QFETCH(int, entries);
    MainWindowFixture::Setup setup;
    setup.nodes = nodes;
    setup.settings = QByteArray("[form_main]\nnode=1\n");
    MainWindowFixture f(setup);
    QVERIFY(f.dialogs.errors.isEmpty());
    QCOMPARE(f->cboRank->count(), entries);
    QCOMPARE(f->cboRank->currentIndex(), 1);
    f.close();
    QVERIFY(f.dialogs.errors.isEmpty());
    QVERIFY(f.settingsText().contains("\nnode=1\n"));
}

void TestFileFaults::scriptFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("firstLog");

    QByteArray script;
    for (int i = 0; i < 100000; ++i)
        script += QByteArray::number(1000 + i % 7) + ",average,,,LS,,\r\n";
    QTest::newRow("100,000 lines") << script << 100000 << QStringLiteral("Script OK");
    QByteArray binary = randomBytes(256 * 1024, 14);
    binary.replace('\0', '\1');
    QTest::newRow("binary bytes") << binary << -1 << QStringLiteral("1) Wrong number of parameters <");
}

void TestFileFaults::scriptFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, lines);
    QFETCH(QString, firstLog);
    MainWindowFixture f;
    const QString path = f.workDir() + QStringLiteral("/script.txt");
    writeFile(path, content);

    TfrmScript editor(f.window().scriptEditorContext());
    f.dialogs.fileNames.enqueue(path);
    editor.btnLoad->click();
    QVERIFY2(f.dialogs.errors.isEmpty(), qPrintable(f.dialogs.errors.join(u'\n')));
    QCOMPARE(editor.fileName(), path);
    if (lines >= 0)
        QCOMPARE(editor.memScript->blockCount(), lines + 1); // the last line end opens an empty line
    else
        QVERIFY(editor.memScript->blockCount() > 1);

    editor.btnCheck->click();
    QVERIFY(editor.memLog->toPlainText().startsWith(firstLog));

    // Saved again unchanged, a script that was text reads back the same.
    f.dialogs.fileNames.enqueue(path);
    editor.btnSaveAs->click();
    QVERIFY(f.dialogs.errors.isEmpty());
    if (lines >= 0)
        QCOMPARE(readFile(path), content);
}

void TestFileFaults::cacheFolder_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("readOnly");
    for (const char *command : { "load", "geeklist", "search" }) {
        QTest::addRow("%s, a file in its place", command) << QString::fromLatin1(command) << false;
        QTest::addRow("%s, read-only", command) << QString::fromLatin1(command) << true;
    }
}

void TestFileFaults::cacheFolder()
{
    QFETCH(QString, command);
    QFETCH(bool, readOnly);
    if (readOnly
        && !runAsNobody(QStringLiteral("cacheFolder:") + QString::fromLatin1(QTest::currentDataTag())))
        return;
    SampleService service;
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    MainWindowFixture::Setup setup;
    setup.serviceOverride = service.baseUrl();
    MainWindowFixture f(setup);
    const QString cache = f.cacheDir();
    const QString folder = QDir::cleanPath(cache);
    if (readOnly) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else {
        QVERIFY(QDir().mkpath(QFileInfo(folder).path())); // the service's folder is in "xml"
        writeFile(folder, "not a folder");
    }
    f->edtGame->setPlainText(QStringLiteral("1001"));
    if (command == u"search")
        f->setWindows(nullptr, new TfrmSearch(f.window().searchContext(), &f.window())); // the main window owns it

    // Runs the command; what it brought: series on the chart, the game box,
    // or the search's result lines.
    const auto run = [&]() -> QString {
        if (command == u"load") {
            f->cboRank->setCurrentIndex(0);
            f->btnLoad->click();
            return QString::number(f->chaMain->seriesCount());
        }
        if (command == u"geeklist") {
            f.importGeeklist(QStringLiteral("500"));
            return f->edtGame->toPlainText();
        }
        return QString::number(f.search(QStringLiteral("harbour")).lines);
    };
    const QString before = run();

    // One error that names the file that could not be made; nothing else
    // changed.
    QVERIFY(f.dialogs.modalActions.isEmpty());
    QCOMPARE(f.dialogs.errors.size(), 1);
    QVERIFY2(f.dialogs.errors[0].startsWith(QStringLiteral("Cannot create ") + cache),
             qPrintable(f.dialogs.errors[0]));
    QCOMPARE(f->edtGame->toPlainText(), QStringLiteral("1001"));
    if (readOnly)
        QVERIFY(QDir(folder).isEmpty());
    else
        QCOMPARE(readFile(folder), QByteArray("not a folder"));

    // The window goes on: with the folder put right, the same command works.
    if (readOnly)
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ExeOwner));
    else
        QVERIFY(QFile::remove(folder));
    const QString after = run();
    QCOMPARE(f.dialogs.errors.size(), 1);
    QVERIFY2(after != before && after != u"0", qPrintable(after));

    const QString game = QStringLiteral("game=") + f->edtGame->toPlainText();
    f.close();
    QCOMPARE(f.dialogs.errors.size(), 1);
    QVERIFY(QString::fromUtf8(f.settingsText()).split(QRegularExpression(QStringLiteral("\r?\n"))).contains(game));
}


void TestFileFaults::programFolder_data()
{
    QTest::addColumn<bool>("readOnly");     // the program folder
    QTest::addColumn<bool>("installed");    // a packaged node list "P" beside it
    QTest::addColumn<QString>("nodesIn");   // "nodes.txt" before the start: "work" (A), "config" (C), none
    QTest::addColumn<bool>("userFolders");  // settings and cache in the user's folders
    QTest::addColumn<QStringList>("nodes"); // the node box; empty: the missing-list message

    const QString work = QStringLiteral("work"), config = QStringLiteral("config");
    QTest::newRow("writable: beside the program") << false << false << work << false << QStringList{"A"};
    QTest::newRow("read-only") << true << false << work << true << QStringList{"A"};
    QTest::newRow("read-only, list in the configuration folder")
        << true << false << config << true << QStringList{"C"};
    QTest::newRow("read-only, no list") << true << false << QString() << true << QStringList();
    QTest::newRow("installed in a writable folder: packaged list copied")
        << false << true << QString() << true << QStringList{"P"};
    QTest::newRow("installed: the current folder's list first")
        << true << true << work << true << QStringList{"A"};
}

void TestFileFaults::programFolder()
{
    QFETCH(bool, readOnly);
    QFETCH(bool, installed);
    QFETCH(QString, nodesIn);
    QFETCH(bool, userFolders);
    QFETCH(QStringList, nodes);
    if (!runAsNobody(QStringLiteral("programFolder:") + QString::fromLatin1(QTest::currentDataTag())))
        return;
    QTemporaryDir user;
    const QString configDir = user.filePath(QStringLiteral("config/plotwise"));
    const QString cacheRoot = user.filePath(QStringLiteral("cache/plotwise"));
    qputenv("XDG_CONFIG_HOME", user.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", user.filePath(QStringLiteral("cache")).toLocal8Bit());
    const auto restore = qScopeGuard([] {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CACHE_HOME");
    });
    if (nodesIn == u"config") {
        QVERIFY(QDir().mkpath(configDir));
        writeFile(configDir + QStringLiteral("/nodes.txt"), "C\n");
    }
    SampleService service;
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    MainWindowFixture::Setup setup;
    setup.nodes = nodesIn == u"work" ? std::optional<QByteArray>("A\n") : std::nullopt;
    setup.packagedNodes = installed ? std::optional<QByteArray>("P\n") : std::nullopt;
    setup.programReadOnly = readOnly;
    setup.serviceOverride = service.baseUrl();
    MainWindowFixture f(setup);

    const QString settingsDir = userFolders ? configDir : f.programDir();
    const QString cacheHome = userFolders ? cacheRoot : f.programDir();
    QCOMPARE(f.settingsPath(), settingsDir + QStringLiteral("/plotwise.ini"));
    QCOMPARE(f.cacheDir(), CacheFolder(cacheHome, service.baseUrl()));
    QStringList shown;
    for (int i = 0; i < f->cboRank->count(); ++i)
        shown << f->cboRank->itemText(i);
    QCOMPARE(shown, nodes);
    if (installed && nodesIn.isEmpty())
        QCOMPARE(readFile(configDir + QStringLiteral("/nodes.txt")), QByteArray("P\n"));

    if (nodes.isEmpty()) {
        QCOMPARE(f.dialogs.errors.size(), 1);
        QVERIFY2(f.dialogs.errors[0].startsWith(QStringLiteral("Cannot open file \"%1/nodes.txt\". ")
                                                     .arg(QDir::toNativeSeparators(f.workDir()))),
                 qPrintable(f.dialogs.errors[0]));
    } else {
        QVERIFY2(f.dialogs.errors.isEmpty(), qPrintable(f.dialogs.errors.join(u'\n')));
        f->cboRank->setCurrentIndex(0);
        f->edtGame->setPlainText(QStringLiteral("1001"));
        f->btnLoad->click();
        QVERIFY(QFileInfo::exists(HistoryPageFile(f.cacheDir(), QStringLiteral("1001"), 1)));
    }
    f.close();
    QVERIFY2(f.dialogs.errors.size() == (nodes.isEmpty() ? 1 : 0), qPrintable(f.dialogs.errors.join(u'\n')));
    // A start without a node list stores nothing at the end.
    QCOMPARE(readFile(f.settingsPath()).contains("game=1001"), !nodes.isEmpty());
    if (userFolders)
        QVERIFY(QDir(f.programDir()).isEmpty());
}

QTEST_MAIN(TestFileFaults)
#include "test_filefaults.moc"
