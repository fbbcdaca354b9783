// Clear graph, Save graph, Print graph, Clear cache and Info, pressed on the
// main window with scripted dialog answers; Save graph's file types and the
// Info text also through the program's real dialogs.
#include "app/PlotChart.h"
#include "service/CachePaths.h"
#include "support/MainWindowFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

PlotSeries *addSeries(TfrmMain &w, const QString &title)
{
    PlotSeries *series = w.chaMain->createSeries(&w);
    series->setTitle(title);
    series->addPoint(40000, 1);
    series->addPoint(40001, 2);
    w.chaMain->attachSeries(series);
    return series;
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Answers the file dialog about to be shown as a keyboard user does: selects
// the file types at the given indices in turn, types the name and accepts.
void answerFileDialog(const QList<int> &types, const QString &name)
{
    QTimer::singleShot(0, [types, name] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *typeBox = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        auto *nameBox = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!typeBox || !nameBox)
            dialog->reject();
        QVERIFY(typeBox && nameBox);
        for (int type : types) {
            if (type >= typeBox->count())
                dialog->reject();
            QVERIFY2(type < typeBox->count(), "the dialog offers fewer file types");
            while (typeBox->currentIndex() < type)
                QTest::keyClick(typeBox, Qt::Key_Down);
            while (typeBox->currentIndex() > type)
                QTest::keyClick(typeBox, Qt::Key_Up);
        }
        nameBox->setText(name);
        QTest::keyClick(nameBox, Qt::Key_Return);
    });
}

} // namespace

class TestGraphCommands : public QObject
{
    Q_OBJECT
private slots:
    void clearGraphKeepsEverythingButTheSeriesList();
    void saveAsksAndWritesTheChart();
    void saveWritesTheChosenType_data();
    void saveWritesTheChosenType();
    void saveOffersTheLastNameAgain();
    void saveCancelledWritesNothing();
    void saveFailureIsReported();
    void printWithoutPrinterIsReported();
    void clearCacheAnsweredNoDeletesNothing();
    void clearCacheDeletesCachedPagesOnly();
    void clearCacheWithoutCacheFolder();
    void clearCacheClearsTheServiceInUse_data();
    void clearCacheClearsTheServiceInUse();
    void infoShowsOneLinePerGameAsWritten();
};

void TestGraphCommands::clearGraphKeepsEverythingButTheSeriesList()
{
    MainWindowFixture f;
    QPointer<PlotSeries> a = addSeries(f.window(), QStringLiteral("A"));
    addSeries(f.window(), QStringLiteral("B"));
    f->chaMain->setLegendVisible(true);
    f->chaMain->setAxisLogarithmic(VertAxis::Left, true);
    f->InfoLines = QStringList{QStringLiteral("A min: 1 (2009-01-01) / max: 2 (2009-01-02)")};
    f->btnInfo->setEnabled(true);

    f->btnClearGraph->click();
    QCOMPARE(f->chaMain->seriesCount(), 0);
    QVERIFY(f->chaMain->chart()->series().isEmpty());
    QVERIFY(!a); // freed: repeated clears must not pile series up
    QVERIFY(f->chaMain->legendVisible());
    QVERIFY(f->chaMain->axisLogarithmic(VertAxis::Left));
    QCOMPARE(f->InfoLines.size(), 1);
    QVERIFY(f->btnInfo->isEnabled());

    f->btnClearGraph->click(); // on an empty chart it only repaints
    QCOMPARE(f->chaMain->seriesCount(), 0);
    QVERIFY(f.dialogs.errors.isEmpty());
}

void TestGraphCommands::saveAsksAndWritesTheChart()
{
    MainWindowFixture f;
    addSeries(f.window(), QStringLiteral("A"));
    const QString bmp = f.workDir() + QStringLiteral("/graph.bmp");
    f.dialogs.fileNames << bmp;
    f->btnSave->click();
    QVERIFY(f.dialogs.errors.isEmpty());
    QVERIFY(!f.dialogs.unexpected);

    const FileDialogSpec &spec = f.dialogs.fileDialogs.constFirst();
    QVERIFY(spec.filter.startsWith(QStringLiteral("Bitmap file (*.bmp)|*.BMP|")));
    QVERIFY(spec.filter.contains(QStringLiteral("(*.png)")));
    QCOMPARE(spec.defaultSuffix, QStringLiteral("bmp"));
    QVERIFY(spec.overwritePrompt);
    QVERIFY(spec.selectedFile.isEmpty());

    QCOMPARE(QImage(bmp, "BMP").size(), f->chaMain->size());
}

void TestGraphCommands::saveWritesTheChosenType_data()
{
    // Indices selected in turn: 0 bitmap, 1 PNG, 2 JPEG, 3 PDF, 4 SVG, 5 CSV points.
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("start"); // the file's first bytes

    const QByteArray bmp("BM");
    const QByteArray png("\x89PNG");
    const QByteArray jpeg("\xff\xd8");
    const QByteArray pdf("%PDF");
    const QByteArray svg("<?xml");
    const QByteArray csv("series,title,axis,color,date,value\n");
    QTest::newRow("bitmap type as offered") << QList<int>{} << "graph" << "graph.bmp" << bmp;
    QTest::newRow("PNG type") << QList<int>{1} << "graph" << "graph.png" << png;
    QTest::newRow("JPEG type") << QList<int>{2} << "graph" << "graph.jpg" << jpeg;
    QTest::newRow("PDF type") << QList<int>{3} << "graph" << "graph.pdf" << pdf;
    QTest::newRow("SVG type") << QList<int>{4} << "graph" << "graph.svg" << svg;
    QTest::newRow("CSV points type") << QList<int>{5} << "graph" << "graph.csv" << csv;
    QTest::newRow("PNG, then bitmap again") << QList<int>{1, 0} << "graph" << "graph.bmp" << bmp;
    QTest::newRow("extension beats the type") << QList<int>{1} << "graph.jpeg" << "graph.jpeg" << jpeg;
    QTest::newRow("PNG extension under the bitmap type")
        << QList<int>{} << "graph.png" << "graph.png" << png;
    QTest::newRow("PDF extension under the bitmap type")
        << QList<int>{} << "graph.pdf" << "graph.pdf" << pdf;
    QTest::newRow("SVG extension under the PNG type")
        << QList<int>{1} << "graph.SVG" << "graph.SVG" << svg;
    QTest::newRow("other extension is a bitmap") << QList<int>{1} << "graph.v2" << "graph.v2" << bmp;
}

// A name typed without an extension once wrote a bitmap named .bmp whatever
// type was selected; a typed .pdf or .svg name once got a bitmap.
void TestGraphCommands::saveWritesTheChosenType()
{
    QFETCH(QList<int>, types);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QByteArray, start);

    MainWindowFixture f;
    addSeries(f.window(), QStringLiteral("A"));
    f.dialogs.fileNames << QString();
    f->btnSave->click(); // cancelled: what Save graph asks its dialog for

    answerFileDialog(types, f.workDir() + QLatin1Char('/') + typed);
    const QString chosen = QtDialogs().saveFileName(&f.window(), f.dialogs.fileDialogs.constFirst());
    QCOMPARE(chosen, f.workDir() + QLatin1Char('/') + written);

    f.dialogs.fileNames << chosen;
    f->btnSave->click();
    QVERIFY(f.dialogs.errors.isEmpty());
    QFile file(chosen);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(start.size()), start);
}

void TestGraphCommands::saveOffersTheLastNameAgain()
{
    MainWindowFixture f;
    const QString first = f.workDir() + QStringLiteral("/first.bmp");
    f.dialogs.fileNames << first << QString();
    f->btnSave->click();
    f->btnSave->click(); // cancelled: the name stays
    QCOMPARE(f.dialogs.fileDialogs.size(), 2);
    QCOMPARE(f.dialogs.fileDialogs[1].selectedFile, first);
}

void TestGraphCommands::saveCancelledWritesNothing()
{
    MainWindowFixture f;
    f.dialogs.fileNames << QString();
    f->btnSave->click();
    QVERIFY(f.dialogs.errors.isEmpty());
    QCOMPARE(entries(f.workDir()), QStringList(QStringLiteral("nodes.txt")));
}

void TestGraphCommands::saveFailureIsReported()
{
    MainWindowFixture f;
    const QString path = f.workDir() + QStringLiteral("/missing/graph.bmp");
    f.dialogs.fileNames << path;
    f->btnSave->click();
    QCOMPARE(f.dialogs.errors.size(), 1);
    QVERIFY2(f.dialogs.errors[0].startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)),
             qPrintable(f.dialogs.errors[0]));
    QVERIFY(f->isVisible()); // the program goes on
}

void TestGraphCommands::printWithoutPrinterIsReported()
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("this machine has a default printer");
    MainWindowFixture f;
    addSeries(f.window(), QStringLiteral("A"));
    f->btnPrint->click();
    QCOMPARE(f.dialogs.errors,
             QStringList(QStringLiteral("There is no default printer currently selected.")));
    QCOMPARE(f->chaMain->seriesCount(), 1);
}

void TestGraphCommands::clearCacheAnsweredNoDeletesNothing()
{
    MainWindowFixture f;
    QDir().mkpath(f.cacheDir());
    touch(f.cacheDir() + QStringLiteral("1_1.xml"));
    f.dialogs.answers << Dialogs::Answer::No;
    f->btnClearData->click();
    QCOMPARE(f.dialogs.questions, QStringList(QStringLiteral("Are you sure?")));
    QVERIFY(f.dialogs.messages.isEmpty());
    QCOMPARE(entries(f.cacheDir()), QStringList(QStringLiteral("1_1.xml")));
}

void TestGraphCommands::clearCacheDeletesCachedPagesOnly()
{
    MainWindowFixture f;
    const QString cache = f.cacheDir();
    QDir().mkpath(cache);
    for (const char *name : {"1_1.xml", "2_1.XML", ".hidden.xml", "search.Xml", "notes.txt", "xml"})
        touch(cache + QLatin1String(name));
    QDir(cache).mkpath(QStringLiteral("folder.xml/inner.xml"));
    touch(f.programDir() + QStringLiteral("/outside.xml"));

    f.dialogs.answers << Dialogs::Answer::Yes;
    f->btnClearData->click();
    QCOMPARE(f.dialogs.messages, QStringList(QStringLiteral("Cache cleared")));
    QVERIFY(f.dialogs.errors.isEmpty());
    QCOMPARE(entries(cache), QStringList({"folder.xml", "notes.txt", "xml"}));
    QVERIFY(QFile::exists(cache + QStringLiteral("folder.xml/inner.xml")));
    QVERIFY(QFile::exists(f.programDir() + QStringLiteral("/outside.xml")));
}

void TestGraphCommands::clearCacheWithoutCacheFolder()
{
    MainWindowFixture f;
    f.dialogs.answers << Dialogs::Answer::Yes;
    f->btnClearData->click();
    QCOMPARE(f.dialogs.messages, QStringList(QStringLiteral("Cache cleared")));
    QVERIFY(!QFileInfo::exists(f.cacheDir()));
}

void TestGraphCommands::clearCacheClearsTheServiceInUse_data()
{
    QTest::addColumn<QString>("service"); // empty: the default service
    QTest::newRow("default") << QString();
    QTest::newRow("another") << QStringLiteral("http://127.0.0.1:9");
    QTest::newRow("a third") << QStringLiteral("https://example.org");
}

// Clear cache empties the folder of the service in use, and only that one.
void TestGraphCommands::clearCacheClearsTheServiceInUse()
{
    QFETCH(QString, service);
    MainWindowFixture::Setup setup;
    setup.serviceOverride = service;
    MainWindowFixture f(setup);
    const QStringList services { DefaultServiceBaseUrl(), QStringLiteral("http://127.0.0.1:9"),
        QStringLiteral("https://example.org") };
    for (const QString &other : services) {
        QDir().mkpath(CacheFolder(f.programDir(), other));
        touch(CacheFolder(f.programDir(), other) + QStringLiteral("1_1.xml"));
    }
    f.dialogs.answers << Dialogs::Answer::Yes;
    f->btnClearData->click();
    for (const QString &other : services) {
        const bool inUse = other == (service.isEmpty() ? DefaultServiceBaseUrl() : service);
        QCOMPARE(QFile::exists(CacheFolder(f.programDir(), other) + QStringLiteral("1_1.xml")), !inUse);
    }
}

// Info lists one line per game, each name as it is written: the message box
// takes its text as plain text, where Qt would guess a name holding "<" to
// be rich text and run the lines into one paragraph.
void TestGraphCommands::infoShowsOneLinePerGameAsWritten()
{
    MainWindowFixture f;
    f->InfoLines = QStringList{QStringLiteral("<b>Bold</b> min: 1 (2009-01-01) / max: 2 (2009-01-02)"),
                               QStringLiteral("a < b && c min: 3 (2009-01-01) / max: 4 (2009-01-02)")};
    f->btnInfo->setEnabled(true);
    f->btnInfo->click();
    const QString text = QStringLiteral("<b>Bold</b> min: 1 (2009-01-01) / max: 2 (2009-01-02)\n"
                                        "a < b & c min: 3 (2009-01-01) / max: 4 (2009-01-02)\n");
    QCOMPARE(f.dialogs.messages, QStringList(text));

    int format = -1; // the box's, once shown
    QTimer::singleShot(0, [&format] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            format = box->textFormat();
            box->done(0);
        }
    });
    QtDialogs().message(&f.window(), text);
    QCOMPARE(format, int(Qt::PlainText));
}

QTEST_MAIN(TestGraphCommands)
#include "test_graphcommands.moc"
