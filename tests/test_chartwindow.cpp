// Reading the chart in the main window, driven with the mouse and keys after
// a Load of sample data: the read-out under the pointer, the date ticks of
// three spans, a legend click hiding a series, Ctrl+click and double-click
// showing one line alone, Copy, the date cursor with a day pinned, and the
// legend of many lines.
#include "app/ChartLegend.h"
#include "app/ChartOutput.h"
#include "app/PlotChart.h"
#include "service/u_Function.h"
#include "support/MainWindowFixture.h"
#include "support/SampleService.h"

#include <QCategoryAxis>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QLegend>
#include <QLineSeries>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// The first pixel of the colour inside area of the view's picture.
std::optional<QPoint> findColor(const QImage &picture, const QRect &area, const QColor &color)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (picture.pixelColor(x, y) == color)
                return QPoint(x, y);
    return std::nullopt;
}

bool containsColor(const QImage &image, const QRect &area, const QColor &color)
{
    return findColor(image, area, color).has_value();
}

// The name each series' legend entry shows, found among the texts the
// chart's scene draws: the whole title, or the longest start of it that is
// drawn shortened ("Sample Ga..."); empty when none is.
QStringList legendNames(const PlotChart &chart)
{
    QStringList drawn;
    for (QGraphicsItem *item : chart.scene()->items()) {
        if (!item->isVisible())
            continue;
        if (const auto *text = dynamic_cast<QGraphicsSimpleTextItem *>(item))
            drawn << text->text();
        else if (const auto *rich = dynamic_cast<QGraphicsTextItem *>(item))
            drawn << rich->toPlainText();
    }
    QStringList names;
    for (const PlotSeries *series : chart.series()) {
        QString best;
        for (QString text : std::as_const(drawn)) {
            if (text != series->title()) {
                if (text.endsWith(QChar(0x2026)))
                    text.chop(1);
                else if (text.endsWith(QLatin1String("...")))
                    text.chop(3);
                else
                    continue;
                if (!series->title().startsWith(text))
                    continue;
            }
            if (text.size() > best.size())
                best = text;
        }
        names << best;
    }
    return names;
}

} // namespace

class TestChartWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void readoutShowsThePointUnderThePointer();
    void ticksFallOnCalendarBoundaries_data();
    void ticksFallOnCalendarBoundaries();
    void legendClickHidesASeries();
    void ctrlClickOrDoubleClickShowsOnlyThatLine_data();
    void ctrlClickOrDoubleClickShowsOnlyThatLine();
    void copyPutsTheChartOnTheClipboard();
    void dateCursorListsEveryGameAtTheDay();
    void legendKeepsManyNamesReadable_data();
    void legendKeepsManyNamesReadable();

private:
    // Loads the games' "average" over the whole history, or from..to, in a
    // window wide enough for 18 date labels.
    TfrmMain &load(const QString &games, QDate from = {}, QDate to = {}, int width = 1000);
    // Where the chart draws the day, in viewport pixels, at the plot's middle height.
    QPoint pixelOf(int day) const;

    std::unique_ptr<SampleService> m_service;
    std::unique_ptr<MainWindowFixture> m_window;
};

void TestChartWindow::initTestCase()
{
    // Ten years of daily ratings, 01/01/2015 to 31/12/2024.
    SampleService::Options options;
    options.dataArgs = {QStringLiteral("--games"), QStringLiteral("4"), QStringLiteral("--pages"),
                        QStringLiteral("1"), QStringLiteral("--records"), QStringLiteral("3653")};
    m_service = std::make_unique<SampleService>(options);
    QVERIFY2(m_service->start(), qPrintable(m_service->errorString()));
}

void TestChartWindow::cleanup()
{
    m_window.reset();
}

TfrmMain &TestChartWindow::load(const QString &games, QDate from, QDate to, int width)
{
    MainWindowFixture::Setup setup;
    setup.nodes = QByteArrayLiteral("average\n");
    setup.serviceOverride = m_service->baseUrl();
    m_window = std::make_unique<MainWindowFixture>(setup);
    TfrmMain &w = m_window->window();
    w.resize(width, w.height());
    w.cboRank->setCurrentIndex(0);
    w.edtGame->setPlainText(games);
    w.setUseDateRange(from.isValid());
    w.dtpDate1->setDate(from);
    w.dtpDate2->setDate(to);
    QTest::mouseClick(w.btnLoad, Qt::LeftButton);
    w.chaMain->repaintNow();
    return w;
}

QPoint TestChartWindow::pixelOf(int day) const
{
    const PlotChart &chart = *m_window->window().chaMain;
    const QRectF area = chart.chart()->plotArea();
    const double from = double(chart.bottomMin().toMSecsSinceEpoch());
    const double to = double(chart.bottomMax().toMSecsSinceEpoch());
    const double x = area.left() + (double(PlotChart::dayToMSecs(day)) - from) / (to - from) * area.width();
    return chart.mapFromScene(chart.chart()->mapToScene(QPointF(x, area.center().y())));
}

void TestChartWindow::readoutShowsThePointUnderThePointer()
{
    TfrmMain &w = load(QStringLiteral("1001"), QDate(2024, 6, 1), QDate(2024, 6, 21));
    QWidget *view = w.chaMain->viewport();
    const QImage before = ChartImage(*w.chaMain, w.chaMain->size());

    // The sample data's rating of game 1001 on 10 June 2024 is 7.37292.
    QTest::mouseMove(view, pixelOf(int(DateToDays(QDate(2024, 6, 10)))) + QPoint(2, 0));
    QVERIFY(w.chaMain->readout().visible());
    QCOMPARE(w.chaMain->readout().text(),
             QStringLiteral("Harbour & Hinterland\n10/06/2024   7.37292"));
    // It is drawn over the view only: the chart's image stays as it was.
    QCOMPARE(ChartImage(*w.chaMain, w.chaMain->size()), before);

    // Off the plot area, it goes.
    QTest::mouseMove(view, QPoint(2, 2));
    QVERIFY(!w.chaMain->readout().visible());
}

void TestChartWindow::ticksFallOnCalendarBoundaries_data()
{
    QTest::addColumn<QDate>("from"); // invalid: the whole history
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("ten years: new years' days")
        << QDate() << QDate()
        << QStringList{"01/01/2015", "01/01/2016", "01/01/2017", "01/01/2018", "01/01/2019",
                       "01/01/2020", "01/01/2021", "01/01/2022", "01/01/2023", "01/01/2024"};
    QTest::newRow("one year: months")
        << QDate(2023, 1, 1) << QDate(2023, 12, 31)
        << QStringList{"01/01/2023", "01/02/2023", "01/03/2023", "01/04/2023",
                       "01/05/2023", "01/06/2023", "01/07/2023", "01/08/2023",
                       "01/09/2023", "01/10/2023", "01/11/2023", "01/12/2023"};
    QTest::newRow("three weeks: Mondays")
        << QDate(2024, 6, 1) << QDate(2024, 6, 21)
        << QStringList{"03/06/2024", "10/06/2024", "17/06/2024"};
}

void TestChartWindow::ticksFallOnCalendarBoundaries()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, labels);
    TfrmMain &w = load(QStringLiteral("1001"), from, to);
    QCOMPARE(w.chaMain->bottomAxis()->categoriesLabels(), labels);
}

void TestChartWindow::legendClickHidesASeries()
{
    // Four games in a window of the layout's size: the legend leaves the
    // plot at least 70% of the chart's width.
    TfrmMain &w = load(QStringLiteral("1001, 1002, 1003, 1004"), {}, {}, 650);
    PlotChart &chart = *w.chaMain;
    QCOMPARE(w.width(), 650);
    QVERIFY(chart.legendVisible());
    QVERIFY(chart.chart()->plotArea().width() >= 0.7 * chart.width());
    PlotSeries *second = chart.series().at(1);
    const QColor firstColor = chart.series().at(0)->color();
    const QColor secondColor = second->color();

    // A click on the second entry's coloured mark.
    const QRect legend = chart.mapFromScene(chart.legend()->sceneBoundingRect()).boundingRect();
    const std::optional<QPoint> mark = findColor(chart.viewport()->grab().toImage(), legend, secondColor);
    QVERIFY(mark);
    QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, *mark);
    QVERIFY(!second->shown());
    QVERIFY(!second->lineSeries()->isVisible());
    QCOMPARE(chart.seriesCount(), 4); // still on the chart, with its Info line
    QCOMPARE(w.InfoLines.size(), 4);

    // Save graph draws the first series only.
    const QString path = m_window->workDir() + QStringLiteral("/hidden.png");
    m_window->dialogs.fileNames << path;
    w.btnSave->click();
    QVERIFY(m_window->dialogs.errors.isEmpty());
    const QImage saved(path);
    const QRect plot = chart.chart()->plotArea().toRect();
    QVERIFY(containsColor(saved, plot, firstColor));
    QVERIFY(!containsColor(saved, plot, secondColor));

    // A second click shows it again.
    QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, *mark);
    QVERIFY(second->shown());
    QVERIFY(containsColor(ChartImage(chart, chart.size()), plot, secondColor));
}

void TestChartWindow::ctrlClickOrDoubleClickShowsOnlyThatLine_data()
{
    QTest::addColumn<bool>("doubleClick"); // else Ctrl+click
    QTest::newRow("Ctrl+click") << false;
    QTest::newRow("double-click") << true;
}

void TestChartWindow::ctrlClickOrDoubleClickShowsOnlyThatLine()
{
    QFETCH(bool, doubleClick);
    TfrmMain &w = load(QStringLiteral("1001, 1002, 1003"), {}, {}, 650);
    PlotChart &chart = *w.chaMain;
    const QRect legend = chart.mapFromScene(chart.legend()->sceneBoundingRect()).boundingRect();
    const std::optional<QPoint> mark
        = findColor(chart.viewport()->grab().toImage(), legend, chart.series().at(1)->color());
    QVERIFY(mark);
    const auto isolate = [&] {
        if (doubleClick) {
            // As a window system delivers one: a click, then the second
            // press as a double-click, and its release.
            QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, *mark);
            QTest::mouseDClick(chart.viewport(), Qt::LeftButton, {}, *mark);
            QTest::mouseRelease(chart.viewport(), Qt::LeftButton, {}, *mark);
        } else {
            QTest::mouseClick(chart.viewport(), Qt::LeftButton, Qt::ControlModifier, *mark);
        }
    };
    const auto shown = [&] {
        QList<bool> result;
        for (const PlotSeries *series : chart.series())
            result << series->shown();
        return result;
    };

    isolate();
    QCOMPARE(shown(), QList<bool>({false, true, false}));
    isolate(); // the same again shows all
    QCOMPARE(shown(), QList<bool>({true, true, true}));
    // From a line hidden, it is shown alone.
    QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, *mark);
    QCOMPARE(shown(), QList<bool>({true, false, true}));
    isolate();
    QCOMPARE(shown(), QList<bool>({false, true, false}));
}

void TestChartWindow::legendKeepsManyNamesReadable_data()
{
    QTest::addColumn<int>("lines");
    QTest::newRow("13 lines") << 13;
    QTest::newRow("20 lines") << 20;
}

void TestChartWindow::legendKeepsManyNamesReadable()
{
    QFETCH(int, lines);
    // Names of the lengths games have, in a window of the layout's size.
    const QStringList names{
        "Café <Cartographers>", "Sample Game 29", "Lanterns over Lindqvist", "Sample Game 19",
        "Ports, Pirates & Plunder", "Tea, \"Toast\", and Trains", "Finished Title",
        "The Harbour & Hinterland Expansion", "Sample Game 4", "Crossroads of the Salt Road"};
    MainWindowFixture::Setup setup;
    m_window = std::make_unique<MainWindowFixture>(setup);
    TfrmMain &w = m_window->window();
    PlotChart &chart = *w.chaMain;
    for (int i = 0; i < lines; ++i) {
        PlotSeries *series = chart.createSeries(&w);
        series->setTitle(names[i % names.size()] + (i < names.size() ? QString() : QStringLiteral(" II")));
        series->addPoint(40000, i + 1);
        series->addPoint(40100, i + 2);
        chart.attachSeries(series);
    }
    chart.setLegendVisible(true);
    chart.repaintNow();

    // Every entry shows its whole name, or at least its first ten letters.
    const QStringList shown = legendNames(chart);
    QCOMPARE(shown.size(), lines);
    for (int i = 0; i < lines; ++i) {
        const QString &title = chart.series().at(i)->title();
        QVERIFY2(shown[i] == title || shown[i].size() >= 10, qPrintable(title + QStringLiteral(": ") + shown[i]));
    }
    // The plot keeps 70% of the chart's width and 60% of its height.
    const QRectF plot = chart.chart()->plotArea();
    QVERIFY2(plot.width() >= 0.7 * chart.width(), qPrintable(QString::number(plot.width())));
    QVERIFY2(plot.height() >= 0.6 * chart.height(), qPrintable(QString::number(plot.height())));
}

void TestChartWindow::copyPutsTheChartOnTheClipboard()
{
    TfrmMain &w = load(QStringLiteral("1001"));
    PlotChart &chart = *w.chaMain;
    QClipboard *clipboard = QGuiApplication::clipboard();

    clipboard->clear();
    chart.setFocus();
    QTest::keyClick(&chart, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->image().size(), chart.size());
    QCOMPARE(clipboard->image().convertToFormat(QImage::Format_RGB32), ChartImage(chart, chart.size()));

    // A right click without a drag opens the menu; its Copy does the same.
    clipboard->clear();
    QTest::mouseClick(chart.viewport(), Qt::RightButton, {}, chart.viewport()->rect().center());
    QMenu *menu = chart.contextMenu();
    QTRY_VERIFY(menu->isVisible());
    QAction *copy = menu->actions().constFirst();
    QCOMPARE(copy->text(), QStringLiteral("Copy"));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(copy).center());
    QCOMPARE(clipboard->image().size(), chart.size());
}

void TestChartWindow::dateCursorListsEveryGameAtTheDay()
{
    TfrmMain &w = load(QStringLiteral("1001, 1002, 1003"), QDate(2024, 6, 1), QDate(2024, 6, 21));
    PlotChart &chart = *w.chaMain;
    QWidget *view = chart.viewport();
    const QImage before = ChartImage(chart, chart.size());
    const auto pixel = [this](int month, int day) {
        return pixelOf(int(DateToDays(QDate(2024, month, day)))) + QPoint(2, 0);
    };
    const auto move = [view](QPoint pos, Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(QEvent::MouseMove, pos, view->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                          modifiers);
        QCoreApplication::sendEvent(view, &event);
    };

    // With Shift held, every game at the day, the highest rating first.
    move(pixel(6, 10), Qt::ShiftModifier);
    QVERIFY(chart.dateCursor().visible());
    QVERIFY(!chart.readout().visible());
    QCOMPARE(chart.dateCursor().text(),
             QStringLiteral("\t10/06/2024\n"
                            "Harbour & Hinterland\t7.37292\n"
                            "Caf\u00E9 Cartographers\t7.05384\n"
                            "Lanterns over Lindqvist\t6.53478"));
    // Drawn over the view only, as the read-out.
    QCOMPARE(ChartImage(chart, chart.size()), before);

    // A click pins the day; a week on, both days and the change.
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, pixel(6, 10));
    move(pixel(6, 17), Qt::ShiftModifier);
    QCOMPARE(chart.dateCursor().text(),
             QStringLiteral("\t10/06/2024\t17/06/2024\tchange\n"
                            "Harbour & Hinterland\t7.37292\t7.38887\t+0.01595\n"
                            "Caf\u00E9 Cartographers\t7.05384\t7.04817\t-0.00567\n"
                            "Lanterns over Lindqvist\t6.53478\t6.53568\t+0.0009"));
    // Esc clears the pin; without Shift the read-out is back.
    chart.setFocus();
    QTest::keyClick(&chart, Qt::Key_Escape);
    QVERIFY(!chart.dateCursor().pinnedDay());
    move(pixel(6, 17), Qt::NoModifier);
    QVERIFY(!chart.dateCursor().visible());
    QVERIFY(chart.readout().visible());
    // "Date cursor" in the menu shows it without Shift.
    chart.contextMenu()->findChild<QAction *>(QStringLiteral("actDateCursor"))->setChecked(true);
    move(pixel(6, 17), Qt::NoModifier);
    QVERIFY(chart.dateCursor().visible());
}

QTEST_MAIN(TestChartWindow)
#include "test_chartwindow.moc"
