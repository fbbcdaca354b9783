// Clear graph, Save graph, Print graph and Clear cache, pressed on the main
// window with scripted dialog answers.
#include "app/PlotChart.h"
#include "support/MainWindowFixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QPrinterInfo>
#include <QPushButton>
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

} // namespace

class TestGraphCommands : public QObject
{
    Q_OBJECT
private slots:
    void clearGraphKeepsEverythingButTheSeriesList();
    void saveAsksAndWritesTheChart();
    void saveOffersTheLastNameAgain();
    void saveCancelledWritesNothing();
    void saveFailureIsReported();
    void printWithoutPrinterIsReported();
    void clearCacheAnsweredNoDeletesNothing();
    void clearCacheDeletesCachedPagesOnly();
    void clearCacheWithoutCacheFolder();
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

QTEST_MAIN(TestGraphCommands)
#include "test_graphcommands.moc"
