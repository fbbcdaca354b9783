// The chart's arithmetic without a chart: where the date axis puts its ticks,
// the limits and label decimals of the axes, the days a range of x values
// shows, which point the read-out under the mouse finds, and what it says;
// what the date cursor lists at a day and between two days.
#include "app/CalendarTicks.h"
#include "app/ChartScale.h"
#include "app/DateCursor.h"
#include "app/Readout.h"
#include "service/u_Function.h"

#include <QtTest>
#include <cmath>
#include <vector>

using Dates = QList<QDate>;

namespace {

Dates dates(std::initializer_list<const char *> isoDates)
{
    Dates list;
    for (const char *iso : isoDates)
        list << QDate::fromString(QLatin1String(iso), Qt::ISODate);
    return list;
}

// The tick dates' first, second and last, with their count: enough to show
// the step and where it is anchored.
Dates outline(const Dates &ticks)
{
    return ticks.size() < 3 ? ticks : Dates{ticks[0], ticks[1], ticks.back()};
}

// A series offered to the date cursor: points as (days after 14/05/2018, value).
struct CursorLine {
    QString title;
    QList<QPointF> points;
    bool inverted = false;
    bool logarithmic = false;
    bool rightAxis = false;
};
using CursorLines = QList<CursorLine>;

CursorLine rank(const QString &title, QList<QPointF> points)
{
    return {title, std::move(points), true};
}

CursorLine rating(const QString &title, QList<QPointF> points)
{
    return {title, std::move(points)};
}

} // namespace

Q_DECLARE_METATYPE(CursorLine)

class TestChartRules : public QObject
{
    Q_OBJECT
private slots:
    void ticksFallOnCalendarBoundaries_data();
    void ticksFallOnCalendarBoundaries();
    void axisLimitsSurroundTheData_data();
    void axisLimitsSurroundTheData();
    void tickLabelsShowTheStepsDecimals_data();
    void tickLabelsShowTheStepsDecimals();
    void daysWithinARange_data();
    void daysWithinARange();
    void nearestIndexIsABinarySearch_data();
    void nearestIndexIsABinarySearch();
    void choiceKeepsThePointNearestThePointer_data();
    void choiceKeepsThePointNearestThePointer();
    void readoutText_data();
    void readoutText();
    void dateCursorLists_data();
    void dateCursorLists();
};

void TestChartRules::ticksFallOnCalendarBoundaries_data()
{
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<int>("count");
    QTest::addColumn<Dates>("expected"); // first, second and last tick

    const auto d = [](int y, int m, int day) { return QDate(y, m, day); };
    QTest::newRow("ten years: new years' days")
        << d(2015, 1, 1) << d(2024, 12, 31) << 10 << 10
        << dates({"2015-01-01", "2016-01-01", "2024-01-01"});
    QTest::newRow("ten years, narrow: every second year")
        << d(2014, 3, 5) << d(2024, 12, 31) << 6 << 5
        << dates({"2016-01-01", "2018-01-01", "2024-01-01"});
    QTest::newRow("ten years, wide: quarters")
        << d(2015, 1, 1) << d(2024, 12, 31) << 40 << 40
        << dates({"2015-01-01", "2015-04-01", "2024-10-01"});
    QTest::newRow("a century in little room: every 20 years")
        << d(1900, 6, 1) << d(2000, 6, 1) << 6 << 5
        << dates({"1920-01-01", "1940-01-01", "2000-01-01"});
    QTest::newRow("one year: months")
        << d(2023, 1, 1) << d(2023, 12, 31) << 12 << 12
        << dates({"2023-01-01", "2023-02-01", "2023-12-01"});
    QTest::newRow("one year, narrow: quarters")
        << d(2023, 1, 1) << d(2023, 12, 31) << 8 << 4
        << dates({"2023-01-01", "2023-04-01", "2023-10-01"});
    QTest::newRow("one year from mid-month: the next first days")
        << d(2022, 7, 15) << d(2023, 7, 14) << 12 << 12
        << dates({"2022-08-01", "2022-09-01", "2023-07-01"});
    QTest::newRow("three weeks: Mondays")
        << d(2024, 6, 1) << d(2024, 6, 21) << 10 << 3
        << dates({"2024-06-03", "2024-06-10", "2024-06-17"});
    QTest::newRow("three weeks, wide: days")
        << d(2024, 6, 1) << d(2024, 6, 21) << 21 << 21
        << dates({"2024-06-01", "2024-06-02", "2024-06-21"});
    QTest::newRow("a span starting on a Monday keeps it")
        << d(2024, 6, 3) << d(2024, 6, 23) << 10 << 3
        << dates({"2024-06-03", "2024-06-10", "2024-06-17"});
    QTest::newRow("two days") << d(2024, 2, 28) << d(2024, 3, 1) << 10 << 3
                              << dates({"2024-02-28", "2024-02-29", "2024-03-01"});
    QTest::newRow("room for none: still one label at most")
        << d(2024, 6, 1) << d(2024, 6, 21) << 0 << 1 << dates({"2024-06-01"});
    QTest::newRow("no boundary of a fitting step inside")
        << d(2024, 6, 4) << d(2024, 6, 8) << 2 << 0 << Dates{};
    QTest::newRow("reversed span") << d(2024, 6, 8) << d(2024, 6, 4) << 10 << 0 << Dates{};
    QTest::newRow("invalid dates") << QDate() << QDate() << 10 << 0 << Dates{};
}

void TestChartRules::ticksFallOnCalendarBoundaries()
{
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    QFETCH(int, maxTicks);
    QFETCH(int, count);
    QFETCH(Dates, expected);
    const Dates ticks = CalendarTicks(first, last, maxTicks);
    QCOMPARE(ticks.size(), count);
    QCOMPARE(outline(ticks), expected);
}

void TestChartRules::axisLimitsSurroundTheData_data()
{
    QTest::addColumn<QString>("axis"); // "log", "linear" or "days"
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");

    QTest::newRow("log: ranks 17 to 1640") << "log" << 17.0 << 1640.0 << 10.0 << 10000.0;
    QTest::newRow("log: powers of ten stay") << "log" << 1.0 << 100.0 << 1.0 << 100.0;
    QTest::newRow("log: one power of ten, a decade") << "log" << 10.0 << 10.0 << 10.0 << 100.0;
    QTest::newRow("log: below one") << "log" << 0.002 << 0.5 << 0.001 << 1.0;
    QTest::newRow("linear: the values' span") << "linear" << 5.5 << 7.25 << 5.5 << 7.25;
    QTest::newRow("linear: one value widened") << "linear" << 7.0 << 7.0 << 6.0 << 8.0;
    QTest::newRow("days: first to last") << "days" << 40000.0 << 40030.0 << 40000.0 << 40030.0;
    QTest::newRow("days: one day widened") << "days" << 40000.0 << 40000.0 << 39999.0 << 40001.0;
}

void TestChartRules::axisLimitsSurroundTheData()
{
    QFETCH(QString, axis);
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, from);
    QFETCH(double, to);
    std::pair<double, double> limits;
    if (axis == QLatin1String("log")) {
        limits = LogAxisLimits(low, high);
    } else if (axis == QLatin1String("linear")) {
        limits = LinearAxisLimits(low, high);
    } else {
        const auto [first, last] = DayLimits(int(low), int(high));
        limits = {first, last};
    }
    QCOMPARE(limits.first, from);
    QCOMPARE(limits.second, to);
}

void TestChartRules::tickLabelsShowTheStepsDecimals_data()
{
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("decimals");

    QTest::newRow("thousands") << 5000.0 << 0;
    QTest::newRow("ones") << 1.0 << 0;
    QTest::newRow("halves") << 0.5 << 1;
    QTest::newRow("quarters") << 0.25 << 2;
    QTest::newRow("hundredths") << 0.01 << 2;
    QTest::newRow("an odd step after a zoom: one below its first digit") << 0.123456 << 2;
    QTest::newRow("an odd large step") << 1234.5678 << 0;
    QTest::newRow("binary tail of a tenth") << (0.3 - 0.2) << 1;
    QTest::newRow("no step") << 0.0 << 0;
    QTest::newRow("not a number") << std::nan("") << 0;
}

void TestChartRules::tickLabelsShowTheStepsDecimals()
{
    QFETCH(double, step);
    QFETCH(int, decimals);
    QCOMPARE(TickLabelDecimals(step), decimals);
}

void TestChartRules::daysWithinARange_data()
{
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");

    const auto at = [](int d, int h, int m) { return QDateTime(QDate(2024, 6, d), QTime(h, m)); };
    QTest::newRow("midnight to midnight") << at(1, 0, 0) << at(21, 0, 0) << QDate(2024, 6, 1)
                                          << QDate(2024, 6, 21);
    QTest::newRow("after a midnight: the next day") << at(1, 0, 1) << at(21, 23, 59)
                                                    << QDate(2024, 6, 2) << QDate(2024, 6, 21);
    QTest::newRow("within a day: none") << at(5, 6, 0) << at(5, 18, 0) << QDate(2024, 6, 6)
                                        << QDate(2024, 6, 5);
}

void TestChartRules::daysWithinARange()
{
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    MidnightCache midnights;
    const auto days = DaysWithin(double(from.toMSecsSinceEpoch()), double(to.toMSecsSinceEpoch()),
                                 midnights);
    QCOMPARE(days.first, first);
    QCOMPARE(days.second, last);
    QCOMPARE(midnights.at(int(DateToDays(first))), first.startOfDay().toMSecsSinceEpoch());
}

void TestChartRules::nearestIndexIsABinarySearch_data()
{
    QTest::addColumn<std::vector<double>>("xs");
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("expected"); // -1: none

    const std::vector<double> xs{10, 20, 30, 30, 50};
    QTest::newRow("no points") << std::vector<double>{} << 5.0 << -1;
    QTest::newRow("one point") << std::vector<double>{7} << 100.0 << 0;
    QTest::newRow("before the first") << xs << -5.0 << 0;
    QTest::newRow("after the last") << xs << 99.0 << 4;
    QTest::newRow("exact") << xs << 20.0 << 1;
    QTest::newRow("nearer the later") << xs << 16.0 << 1;
    QTest::newRow("nearer the earlier") << xs << 14.0 << 0;
    QTest::newRow("half-way: the earlier") << xs << 15.0 << 0;
    QTest::newRow("equal x from below: the first of them") << xs << 29.0 << 2;
    QTest::newRow("equal x from above: the last of them") << xs << 31.0 << 3;
    QTest::newRow("past equal x") << xs << 41.0 << 4;
}

void TestChartRules::nearestIndexIsABinarySearch()
{
    QFETCH(std::vector<double>, xs);
    QFETCH(double, x);
    QFETCH(int, expected);
    int probes = 0;
    const std::optional<std::ptrdiff_t> found
        = NearestIndex(std::ptrdiff_t(xs.size()), x, [&](std::ptrdiff_t i) {
              ++probes;
              return xs[size_t(i)];
          });
    QCOMPARE(found ? int(*found) : -1, expected);
    QVERIFY(probes <= 6); // log2(5) rounded up, plus the neighbours compared

    // A daily series of 5,500 points: a dozen looks, not thousands.
    std::vector<double> days(5500);
    for (size_t i = 0; i < days.size(); ++i)
        days[i] = double(i);
    probes = 0;
    const auto day = NearestIndex(5500, 4321.4, [&](std::ptrdiff_t i) {
        ++probes;
        return days[size_t(i)];
    });
    QCOMPARE(day, std::optional<std::ptrdiff_t>(4321));
    QVERIFY2(probes <= 16, qPrintable(QString::number(probes)));
}

void TestChartRules::choiceKeepsThePointNearestThePointer_data()
{
    // Offers as (series, x, y) in pixels; the pointer at (100, 100), reach 6.
    QTest::addColumn<QList<QPointF>>("offers"); // series i offers offers[i]
    QTest::addColumn<int>("expected");          // -1: nothing shown

    QTest::newRow("none offered") << QList<QPointF>{} << -1;
    QTest::newRow("out of reach along the axis") << QList<QPointF>{{107, 100}} << -1;
    QTest::newRow("at the edge of reach") << QList<QPointF>{{94, 300}} << 0;
    QTest::newRow("far across the axis still shows") << QList<QPointF>{{100, 900}} << 0;
    QTest::newRow("the nearer across the axis")
        << QList<QPointF>{{100, 140}, {104, 90}, {100, 70}} << 1;
    QTest::newRow("equal across: the nearer along")
        << QList<QPointF>{{105, 120}, {101, 80}} << 1;
    QTest::newRow("equal: the first offered") << QList<QPointF>{{101, 110}, {99, 90}} << 0;
    QTest::newRow("the near one out of reach") << QList<QPointF>{{110, 100}, {100, 200}} << 1;
}

void TestChartRules::choiceKeepsThePointNearestThePointer()
{
    QFETCH(QList<QPointF>, offers);
    QFETCH(int, expected);
    ReadoutChoice choice(QPointF(100, 100), 6);
    for (int i = 0; i < offers.size(); ++i)
        choice.offer(i, 10 * i, offers[i]);
    QCOMPARE(choice.hit() ? choice.hit()->series : -1, expected);
    if (choice.hit()) {
        QCOMPARE(choice.hit()->point, std::ptrdiff_t(10 * expected));
        QCOMPARE(choice.hit()->at, offers[expected]);
    }
}

void TestChartRules::readoutText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("a rank: a whole number") << 143.0 << "143";
    QTest::newRow("a rating: its decimals") << 7.12345 << "7.12345";
    QTest::newRow("a rating with one decimal") << 6.5 << "6.5";
    QTest::newRow("a delta: no binary tail") << (7.2 - 7.1) << "0.1";
    QTest::newRow("a negative delta") << -12.0 << "-12";
    QTest::newRow("a large count") << 123456789.0 << "123456789";
}

void TestChartRules::readoutText()
{
    QFETCH(double, value);
    QFETCH(QString, shown);
    // Whatever the user's decimal separator.
    QLocale::setDefault(QLocale(QLocale::German));
    const int day = int(DateToDays(QDate(2018, 5, 14)));
    QCOMPARE(ReadoutText(QStringLiteral("A & B"), day, value),
             QStringLiteral("A & B\n14/05/2018   ") + shown);
    QLocale::setDefault(QLocale::c());
}

void TestChartRules::dateCursorLists_data()
{
    QTest::addColumn<CursorLines>("lines");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("pinned"); // -1: none
    QTest::addColumn<QStringList>("box"); // the header, then a row per game; cells joined by "|"

    QTest::newRow("the value on the day")
        << CursorLines{rating("A", {{0, 7.1}, {2, 7.3}, {3, 7.2}})} << 2 << -1
        << QStringList{"|16/05/2018", "A|7.3"};
    QTest::newRow("no point that day: the last before, as of its day")
        << CursorLines{rank("A", {{0, 143}, {5, 140}})} << 3 << -1
        << QStringList{"|17/05/2018", "A|143 (as of 14/05/2018)"};
    QTest::newRow("after the last point: the last")
        << CursorLines{rank("A", {{0, 143}, {1, 140}})} << 30 << -1
        << QStringList{"|13/06/2018", "A|140 (as of 15/05/2018)"};
    QTest::newRow("two points on the day: the later")
        << CursorLines{rank("A", {{1, 9}, {1, 8}, {2, 7}})} << 1 << -1
        << QStringList{"|15/05/2018", "A|8"};
    QTest::newRow("a history not begun is left out")
        << CursorLines{rank("A", {{4, 5}}), rank("B", {{0, 6}}), rank("C", {{2, 7}})} << 2 << -1
        << QStringList{"|16/05/2018", "B|6 (as of 14/05/2018)", "C|7"};
    QTest::newRow("inverted axis: rank 1 first")
        << CursorLines{rank("A", {{0, 12}}), rank("B", {{0, 3}}), rank("C", {{0, 40}}), rank("D", {{0, 3}})}
        << 0 << -1 << QStringList{"|14/05/2018", "B|3", "D|3", "A|12", "C|40"};
    QTest::newRow("normal axis: the highest first")
        << CursorLines{rating("A", {{0, 6.9}}), rating("B", {{0, 7.45}}), rating("C", {{0, 5}})} << 0 << -1
        << QStringList{"|14/05/2018", "B|7.45", "A|6.9", "C|5"};
    CursorLines twoAxes{rating("R1", {{0, 7}}), rank("L1", {{0, 20}}), rating("R2", {{0, 8}}),
                        rank("L2", {{0, 2}})};
    twoAxes[0].rightAxis = twoAxes[2].rightAxis = true;
    QTest::newRow("the left axis' games, then the right's")
        << twoAxes << 0 << -1 << QStringList{"|14/05/2018", "L2|2", "L1|20", "R2|8", "R1|7"};
    CursorLines deltas{rating("A", {{0, -3}}), rating("B", {{0, 2}}), rating("C", {{0, 0}})};
    QTest::newRow("Delta values: negatives below zero")
        << deltas << 0 << -1 << QStringList{"|14/05/2018", "B|2", "C|0", "A|-3"};
    CursorLines logDeltas{rating("A", {{0, 5}, {1, -2}, {2, 0}}), rating("B", {{1, -1}, {2, 0.5}})};
    logDeltas[0].logarithmic = logDeltas[1].logarithmic = true;
    QTest::newRow("log axis: values it does not draw are passed over")
        << logDeltas << 2 << -1 << QStringList{"|16/05/2018", "A|5 (as of 14/05/2018)", "B|0.5"};
    QTest::newRow("pinned earlier: places gained on an inverted axis")
        << CursorLines{rank("A", {{0, 10}, {4, 7}}), rank("B", {{0, 5}, {4, 8}}), rank("C", {{0, 4}})}
        << 4 << 0
        << QStringList{"|14/05/2018|18/05/2018|change", "C|4|4 (as of 14/05/2018)|0", "A|10|7|+3",
                       "B|5|8|-3"};
    QTest::newRow("pinned later: the earlier day still first")
        << CursorLines{rank("A", {{0, 10}, {4, 7}}), rank("B", {{0, 5}, {4, 8}})} << 0 << 4
        << QStringList{"|14/05/2018|18/05/2018|change", "B|5|8|-3", "A|10|7|+3"};
    QTest::newRow("ratings: the difference, without a binary tail")
        << CursorLines{rating("A", {{0, 7.1}, {3, 7.3}}), rating("B", {{0, 7.3}, {3, 7.1}}),
                       rating("C", {{0, 6.53478}, {3, 6.53568}})}
        << 3 << 0
        << QStringList{"|14/05/2018|17/05/2018|change", "A|7.1|7.3|+0.2", "B|7.3|7.1|-0.2",
                       "C|6.53478|6.53568|+0.0009"};
    QTest::newRow("pinned: a game begun between the days has no change")
        << CursorLines{rank("A", {{2, 50}}), rank("B", {{0, 60}})} << 3 << 1
        << QStringList{"|15/05/2018|17/05/2018|change", "A|-|50 (as of 16/05/2018)|-",
                       "B|60 (as of 14/05/2018)|60 (as of 14/05/2018)|0"};
    QTest::newRow("cursor before a game's history, pinned after it: last")
        << CursorLines{rank("A", {{2, 50}}), rank("B", {{0, 60}})} << 1 << 3
        << QStringList{"|15/05/2018|17/05/2018|change", "B|60 (as of 14/05/2018)|60 (as of 14/05/2018)|0",
                       "A|-|50 (as of 16/05/2018)|-"};
}

void TestChartRules::dateCursorLists()
{
    QFETCH(CursorLines, lines);
    QFETCH(int, day);
    QFETCH(int, pinned);
    QFETCH(QStringList, box);
    const int base = int(DateToDays(QDate(2018, 5, 14)));
    std::vector<std::vector<SeriesPoint>> points;
    for (const CursorLine &line : lines) {
        std::vector<SeriesPoint> &p = points.emplace_back();
        for (const QPointF &at : line.points)
            p.push_back({base + int(at.x()), at.y()});
    }
    std::vector<CursorSeries> series;
    for (int i = 0; i < lines.size(); ++i)
        series.push_back({&points[size_t(i)], lines[i].rightAxis, lines[i].inverted, lines[i].logarithmic});
    const std::optional<int> pinnedDay = pinned < 0 ? std::nullopt : std::optional<int>(base + pinned);
    QStringList shown{CursorHeader(base + day, pinnedDay).join(u'|')};
    for (const CursorRow &row : CursorRows(series, base + day, pinnedDay)) {
        const CursorLine &line = lines[row.series];
        shown << CursorCells(line.title, row, base + day, pinnedDay, line.inverted).join(u'|');
    }
    QCOMPARE(shown, box);
}

QTEST_GUILESS_MAIN(TestChartRules)
#include "test_chartrules.moc"
