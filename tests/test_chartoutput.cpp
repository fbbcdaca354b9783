// The chart saved as an image and printed: the format by the extension, the
// state as shown, the old image kept when a save fails, and the job's title.
// Run under several time zones.
#include "app/ChartLegend.h"
#include "app/ChartOutput.h"
#include "app/PlotChart.h"
#include "service/PlotwiseError.h"
#include "support/ChartTests.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLegend>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool containsColor(const QImage &image, const QColor &color)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

// Where the legend is drawn, in the chart's pixels.
QRect legendArea(const PlotChart &chart)
{
    return chart.legend()->sceneBoundingRect().toRect();
}

} // namespace

class TestChartOutput : public QObject
{
    Q_OBJECT
private slots:
    void saveChoosesTheFormatByExtension_data();
    void saveChoosesTheFormatByExtension();
    void savedImageShowsTheCurrentState();
    void aSaveThatFailsHalfWayKeepsTheOldImage();
    void dateLabelsShowOnAChartShownBeforeItHadSeries();
    void printToTitlesTheJob();
};

void TestChartOutput::saveChoosesTheFormatByExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("bmp") << QStringLiteral("graph.bmp") << QByteArray("BM");
    QTest::newRow("png") << QStringLiteral("graph.png") << QByteArray("\x89PNG");
    QTest::newRow("jpeg") << QStringLiteral("graph.JPEG") << QByteArray("\xff\xd8");
    QTest::newRow("other extension") << QStringLiteral("graph.txt") << QByteArray("BM");
}

void TestChartOutput::saveChoosesTheFormatByExtension()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    QTemporaryDir dir;
    PlotChart chart;
    chart.resize(400, 300);
    chart.show();
    PlotSeries *s = seriesWith(chart, &chart, {1, 5, 2, 8});
    s->setColor(QColor(255, 0, 0));
    s->setLineWidth(2);
    chart.attachSeries(s);
    const QString path = dir.filePath(name);
    SaveGraphImage(chart, path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(magic.size()) == magic);
    file.close();
    const QImage image(path, magic == "BM" ? "BMP" : nullptr);
    QCOMPARE(image.size(), QSize(400, 300));
    QCOMPARE(image.pixelColor(1, 1), QColor(Qt::white));
    if (!magic.startsWith('\xff')) { // JPEG shifts colours
        // The image shows the chart as laid out now: the series and its
        // legend entry below the plot area.
        QVERIFY(containsColor(image, QColor(255, 0, 0)));
        QVERIFY(containsColor(image.copy(legendArea(chart)), QColor(255, 0, 0)));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList(name)); // no temporary left
}

void TestChartOutput::savedImageShowsTheCurrentState()
{
    // Regression: the image was drawn before Qt Charts had laid out changes
    // made just before the save, so the right axis and the legend were missing.
    QTemporaryDir dir;
    PlotChart chart;
    chart.resize(400, 300);
    chart.show();
    PlotSeries *rising = seriesWith(chart, &chart, {1, 2, 3, 4, 5, 6, 7, 8});
    rising->setColor(QColor(255, 0, 0));
    rising->setLineWidth(3);
    chart.attachSeries(rising);
    PlotSeries *right = seriesWith(chart, &chart, {5, 3});
    right->setAxis(VertAxis::Right);
    right->setColor(QColor(0, 0, 255));
    chart.attachSeries(right);
    chart.setBottomLabelAngle(90);
    chart.setAxisInverted(VertAxis::Left, true);
    const QString path = dir.filePath(QStringLiteral("graph.png"));
    SaveGraphImage(chart, path);
    const QImage image(path);
    const QRect area = chart.chart()->plotArea().toRect();
    const QSize quarter = area.size() / 4;
    const QRect topLeft(area.topLeft(), quarter);
    const QRect bottomLeft(QPoint(area.left(), area.bottom() - quarter.height()), quarter);
    QVERIFY(containsColor(image.copy(topLeft), QColor(255, 0, 0)));
    QVERIFY(!containsColor(image.copy(bottomLeft), QColor(255, 0, 0)));
    QVERIFY(containsColor(image.copy(legendArea(chart)), QColor(0, 0, 255)));
}

void TestChartOutput::aSaveThatFailsHalfWayKeepsTheOldImage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("graph.png"));
    const QByteArray old = "an older image";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    PlotChart chart;
    chart.resize(400, 300);
    chart.attachSeries(seriesWith(chart, &chart, {1, 5, 2, 8}));

    QString message;
    try {
        const FileSizeLimit fullDisk(512);
        SaveGraphImage(chart, path);
    } catch (const PlotwiseError &e) {
        message = e.message();
    }

    QVERIFY2(message.startsWith(QStringLiteral("Cannot create file")), qPrintable(message));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList(QStringLiteral("graph.png")));
}

void TestChartOutput::dateLabelsShowOnAChartShownBeforeItHadSeries()
{
    // Regression: Qt Charts left the date labels and grid out when the range
    // was the only thing that changed since the chart was first shown.
    QTemporaryDir dir;
    PlotChart chart;
    chart.resize(440, 600); // five date labels: the count it starts with
    chart.show();
    QCoreApplication::processEvents();
    PlotSeries *years = chart.createSeries(&chart);
    years->addPoint(40000, 1);
    years->addPoint(43000, 2);
    chart.attachSeries(years);
    QCoreApplication::processEvents();
    const QString path = dir.filePath(QStringLiteral("graph.png"));
    SaveGraphImage(chart, path);
    const QImage image(path);
    const QRect area = chart.chart()->plotArea().toRect();
    const QImage below = image.copy(area.left(), area.bottom() + 6, area.width(), image.height() - area.bottom() - 6);
    bool drawn = false;
    for (int y = 0; y < below.height() && !drawn; ++y)
        for (int x = 0; x < below.width() && !drawn; ++x)
            drawn = qGray(below.pixel(x, y)) < 128;
    QVERIFY(drawn);
}

void TestChartOutput::printToTitlesTheJob()
{
    QTemporaryDir dir;
    PlotChart chart;
    chart.setObjectName(QStringLiteral("chaMain"));
    chart.resize(400, 300);
    chart.attachSeries(seriesWith(chart, &chart, {1, 2}));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
    chart.printTo(printer);
    QCOMPARE(printer.docName(), QStringLiteral("chaMain"));
    QFile pdf(printer.outputFileName());
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.readAll().startsWith("%PDF"));
}

QTEST_MAIN(TestChartOutput)
#include "test_chartoutput.moc"
