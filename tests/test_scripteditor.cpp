// The script editor: the save question on every way out, the modified flag,
// refused files, the checker's log, Add line(s) and the caret's line in the
// status bar. Every question and file dialog is answered by the scripted seam.
#include "script/u_frmScript.h"
#include "support/MainWindowFixture.h"
#include "ui/InterfaceFont.h"
#include "ui/RadioGroup.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

using Answer = Dialogs::Answer;
Q_DECLARE_METATYPE(Answer)

// Whether a user sees the font's letters in columns: a family's fixed-pitch
// flag may be wrong, or the family may resolve to a proportional face.
static bool seenMonospaced(const QFont &font)
{
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(QStringLiteral("iiii"))
        == metrics.horizontalAdvance(QStringLiteral("WWWW"));
}

static QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

class TestScriptEditor : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void saveQuestion_data();
    void saveQuestion();
    void saveAndRefusedFiles();
    void checkAndLineNumber();
    void monospacedFont_data();
    void monospacedFont();
    void addLines_data();
    void addLines();

private:
    QString path(const char *name) const
    {
        return m_main->workDir() + QLatin1Char('/') + QLatin1String(name);
    }
    std::unique_ptr<MainWindowFixture> m_main;
    std::unique_ptr<TfrmScript> m_editor;
};

void TestScriptEditor::init()
{
    MainWindowFixture::Setup setup;
    setup.nodes = QByteArrayLiteral("average\na b\n");
    setup.show = false;
    m_main = std::make_unique<MainWindowFixture>(setup);
    m_editor = std::make_unique<TfrmScript>(m_main->window().scriptEditorContext());
}

void TestScriptEditor::cleanup()
{
    QVERIFY(!m_main->dialogs.unexpected);
    m_editor.reset();
    m_main.reset();
}

void TestScriptEditor::saveQuestion_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("named"); // Yes on the unnamed script: a name, or the dialog cancelled
    QTest::addColumn<bool>("goOn");
    QTest::newRow("New, Cancel") << "New" << Answer::Cancel << false << false;
    QTest::newRow("New, Yes, saved") << "New" << Answer::Yes << true << true;
    QTest::newRow("Load, Yes, save dialog cancelled") << "Load" << Answer::Yes << false << false;
    QTest::newRow("Load, No") << "Load" << Answer::No << false << true;
    QTest::newRow("Cancel, Cancel") << "Cancel" << Answer::Cancel << false << false;
    QTest::newRow("Cancel, No") << "Cancel" << Answer::No << false << true;
    QTest::newRow("Execute, No") << "Execute" << Answer::No << false << true;
    QTest::newRow("Execute, Yes, saved") << "Execute" << Answer::Yes << true << true;
    QTest::newRow("close box, No") << "close" << Answer::No << false << true;
    QTest::newRow("Esc, Cancel") << "Esc" << Answer::Cancel << false << false;
}

// Each operation runs on a modified script after an earlier showing ended
// with Execute, so a closing other than Execute must clear the request.
void TestScriptEditor::saveQuestion()
{
    QFETCH(QString, operation);
    QFETCH(Answer, answer);
    QFETCH(bool, named);
    QFETCH(bool, goOn);
    TfrmScript &e = *m_editor;
    ScriptedDialogs &dialogs = m_main->dialogs;
    e.show();
    e.btnExecute->click();
    QVERIFY(!e.isVisible() && e.executeRequested());
    e.show();
    const QString text = QStringLiteral("1,average,,,,,\n2,average,,,,,");
    e.memScript->setPlainText(text);
    QVERIFY(e.modified());

    dialogs.answers << answer;
    if (answer == Answer::Yes)
        dialogs.fileNames << (named ? path("s.txt") : QString());
    QFile loaded(path("loaded.txt"));
    QVERIFY(loaded.open(QIODevice::WriteOnly));
    loaded.write("3,average,,,,,\r\n");
    loaded.close();
    if (operation == QLatin1String("Load") && goOn)
        dialogs.fileNames << loaded.fileName();

    if (operation == QLatin1String("close"))
        e.close();
    else if (operation == QLatin1String("Esc"))
        QTest::keyClick(e.memScript, Qt::Key_Escape);
    else
        e.findChild<QPushButton *>(QStringLiteral("btn") + operation)->click();

    QCOMPARE(dialogs.questions, QStringList { "Do you want to save the script?" });
    QCOMPARE(fileBytes(path("s.txt")),
        named ? QByteArray("1,average,,,,,\r\n2,average,,,,,") : "<none>");
    if (!goOn) {
        QCOMPARE(e.memScript->toPlainText(), text);
        QVERIFY(e.modified() && e.isVisible() && e.executeRequested() && e.fileName().isEmpty());
        return;
    }
    const bool closes = operation != QLatin1String("New") && operation != QLatin1String("Load");
    QCOMPARE(e.isVisible(), !closes);
    QString expectedText = text;
    QString expectedFile = named ? path("s.txt") : QString();
    if (operation == QLatin1String("New"))
        expectedText = expectedFile = QString();
    if (operation == QLatin1String("Load")) {
        expectedText = QStringLiteral("3,average,,,,,\n");
        expectedFile = loaded.fileName();
    }
    QCOMPARE(e.memScript->toPlainText(), expectedText);
    QCOMPARE(e.fileName(), expectedFile);
    QCOMPARE(e.windowTitle(), QDir::toNativeSeparators(expectedFile));
    // The close box leaves the flag set, so the next closing asks again.
    QCOMPARE(e.modified(), operation == QLatin1String("close"));
    QCOMPARE(e.executeRequested(), !closes || operation == QLatin1String("Execute"));
}

void TestScriptEditor::saveAndRefusedFiles()
{
    TfrmScript &e = *m_editor;
    ScriptedDialogs &dialogs = m_main->dialogs;
    e.memScript->setPlainText(QStringLiteral("1,average,,,,,"));
    dialogs.fileNames << QString() << path("a.txt");
    e.btnSave->click(); // dialog cancelled: nothing written
    QVERIFY(e.modified() && e.fileName().isEmpty());
    QCOMPARE(dialogs.fileDialogs.last().filter,
        QStringLiteral("Script file (*.txt)|*.txt|All file (*.*)|*.*"));
    QCOMPARE(dialogs.fileDialogs.last().defaultSuffix, QStringLiteral("txt"));
    QVERIFY(dialogs.fileDialogs.last().overwritePrompt);
    e.btnSave->click();
    QVERIFY(!e.modified());
    e.memScript->appendPlainText(QStringLiteral("2,average,,,,,"));
    e.btnSave->click(); // named now: no dialog
    QCOMPARE(dialogs.fileDialogs.size(), 2);
    QCOMPARE(fileBytes(path("a.txt")), QByteArray("1,average,,,,,\r\n2,average,,,,,"));

    // A folder in the file's place: reported, and nothing else changes.
    QVERIFY(QDir().mkdir(path("folder.txt")));
    e.memScript->appendPlainText(QStringLiteral("3"));
    dialogs.fileNames << path("folder.txt");
    e.btnSaveAs->click();
    QCOMPARE(dialogs.errors.size(), 1);
    QVERIFY(dialogs.errors[0].contains(path("folder.txt")));
    QVERIFY(e.modified());
    QCOMPARE(e.fileName(), path("a.txt"));
    dialogs.answers << Answer::No;
    dialogs.fileNames << path("folder.txt");
    e.btnLoad->click();
    QCOMPARE(dialogs.errors.size(), 2);
    QVERIFY(dialogs.fileDialogs.last().mustExist);
    QCOMPARE(e.memScript->toPlainText(), QStringLiteral("1,average,,,,,\n2,average,,,,,\n3"));
    QVERIFY(e.modified());
    QCOMPARE(e.fileName(), path("a.txt"));
}

// The checker reads the main window's node list and replaces the log; the
// status bar follows the caret on keys only, from the selection's start.
void TestScriptEditor::checkAndLineNumber()
{
    TfrmScript &e = *m_editor;
    e.show();
    e.memScript->setPlainText(QStringLiteral("1,AVERAGE,,,,,\n2,\"a b\",,,,,#12\nx,a b,,,,,"));
    e.btnCheck->click();
    QCOMPARE(e.memLog->toPlainText(), QStringLiteral("3) Wrong number of parameters <x,a b,,,,,>"));
    e.memScript->setPlainText(QStringLiteral("1,average,,,,,"));
    e.btnCheck->click();
    QCOMPARE(e.memLog->toPlainText(), QStringLiteral("Script OK"));
    QVERIFY(seenMonospaced(e.memScript->font()));

    e.memScript->setPlainText(QStringLiteral("a\nb\nc"));
    QCOMPARE(e.stbScript->currentMessage(), QString());
    QTextCursor cursor = e.memScript->textCursor();
    cursor.setPosition(2); // start of line 2
    e.memScript->setTextCursor(cursor);
    QTest::keyClick(e.memScript, Qt::Key_Down);
    QCOMPARE(e.stbScript->currentMessage(), QStringLiteral("Line 3"));
    QTest::mouseClick(e.memScript->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(e.stbScript->currentMessage(), QStringLiteral("Line 3"));
    QTest::keyClick(e.memScript, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(e.stbScript->currentMessage(), QStringLiteral("Line 1"));
}

void TestScriptEditor::monospacedFont_data()
{
    QTest::addColumn<QFont>("wanted");
    QFont design(QStringLiteral("Courier New"));
    design.setStyleHint(QFont::TypeWriter);
    design.setPixelSize(13);
    QTest::newRow("the editor's family") << design;
    QFont proportional(QStringLiteral("sans-serif"));
    proportional.setStyleHint(QFont::SansSerif);
    proportional.setPixelSize(13);
    QTest::newRow("a proportional face") << proportional;
    proportional.setPointSize(10);
    QTest::newRow("a proportional face in points") << proportional;
    QTest::newRow("the system's fixed font") << QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

// Whatever the wanted family resolves to, the text is seen in columns, at the
// wanted size; a wanted font that is seen so is kept.
void TestScriptEditor::monospacedFont()
{
    QFETCH(QFont, wanted);
    const QFont font = MonospacedFont(wanted);
    QVERIFY(seenMonospaced(font));
    QCOMPARE(font.pixelSize(), wanted.pixelSize());
    QCOMPARE(font.pointSizeF(), wanted.pointSizeF());
    if (seenMonospaced(wanted))
        QCOMPARE(font, wanted);
}

void TestScriptEditor::addLines_data()
{
    QTest::addColumn<QString>("games");
    QTest::addColumn<QString>("node"); // "" selects nothing
    QTest::addColumn<bool>("range");
    QTest::addColumn<int>("radio"); // both groups
    QTest::addColumn<QString>("memo");
    QTest::newRow("empty game box") << " "
                                    << "average" << false << 0 << "x";
    QTest::newRow("two games") << "12345, 678"
                               << "average" << false << 0
                               << "x\n12345,average,,,LS,I,\n678,average,,,LS,I,\n";
    QTest::newRow("no node, no radio choice") << "1"
                                              << "" << false << -1 << "x\n1,,,,RD,I,\n";
    QTest::newRow("range, node with a blank")
        << "1"
        << "a b" << true << 1 << "x\n1,\"a b\",2009/01/01,2010/06/30,RD,I,\n";
}

void TestScriptEditor::addLines()
{
    QFETCH(QString, games);
    QFETCH(QString, node);
    QFETCH(bool, range);
    QFETCH(int, radio);
    QFETCH(QString, memo);
    TfrmMain &w = m_main->window();
    w.edtGame->setPlainText(games);
    w.cboRank->setCurrentIndex(w.cboRank->findText(node));
    w.setUseDateRange(range);
    w.dtpDate1->setDate(QDate(2009, 1, 1));
    w.dtpDate2->setDate(QDate(2010, 6, 30));
    w.rgoVertAxis->setItemIndex(radio);
    w.rgoValues->setItemIndex(radio);
    w.setInvertedAxis(true);
    w.setLogarithmicAxis(false);

    // An Execute that went through leaves "x" unmodified.
    TfrmScript &e = *m_editor;
    e.show();
    e.memScript->setPlainText(QStringLiteral("x"));
    m_main->dialogs.answers << Answer::No;
    e.btnExecute->click();
    e.btnAddLine->click();
    QCOMPARE(e.memScript->toPlainText(), memo);
    QCOMPARE(e.modified(), memo != QLatin1String("x"));
}

QTEST_MAIN(TestScriptEditor)
#include "test_scripteditor.moc"
