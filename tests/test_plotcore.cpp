// The plain pieces of Load: node names, decimal texts, the info-line number
// form, points under the date range and Delta, the game summary, and the
// thinning of dense lines for drawing.
#include "plot/GameSummary.h"
#include "plot/LineThinning.h"
#include "plot/NodeName.h"
#include "plot/NumberText.h"
#include "plot/SeriesBuilder.h"
#include "service/u_Function.h"

#include <QLocale>
#include <QtTest>

namespace {

using Record = QPair<QString, double>; // "date" text, value
using Point = QPair<QString, double>; // yyyyMMdd of the point, plotted value

SeriesOptions makeOptions(bool delta, const QString &from = {}, const QString &to = {})
{
    SeriesOptions o;
    o.delta = delta;
    o.useDateRange = !from.isEmpty();
    o.from = QDate::fromString(from, QStringLiteral("yyyyMMdd"));
    o.to = QDate::fromString(to, QStringLiteral("yyyyMMdd"));
    return o;
}

QList<Point> pointsOf(const SeriesBuilder &builder)
{
    QList<Point> result;
    for (const SeriesPoint &p : builder.points())
        result.append({ DaysToDate(p.day).toString(QStringLiteral("yyyyMMdd")), p.y });
    return result;
}

} // namespace

Q_DECLARE_METATYPE(SeriesOptions)

class TestPlotCore : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void splitNodeName_data();
    void splitNodeName();
    void readDecimal_data();
    void readDecimal();
    void formatGeneral_data();
    void formatGeneral();
    void numbersIgnoreTheLocale();
    void addPoint_data();
    void addPoint();
    void optionsChangeFromTheNextPoint();
    void summaryCountsPlainValuesAndKeepsEarlierTies();
    void infoLine_data();
    void infoLine();
    void thinToColumns_data();
    void thinToColumns();
};

void TestPlotCore::splitNodeName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("parts"); // element, child, filter name, filter value

    QTest::newRow("element") << "average" << QStringList { "average", "", "", "" };
    QTest::newRow("full") << "ranks/rank|name=boardgame"
                          << QStringList { "ranks", "rank", "name", "boardgame" };
    QTest::newRow("filter without =") << "e|k" << QStringList { "e", "", "", "" };
    QTest::newRow("empty attribute name") << "e|=v" << QStringList { "e", "", "", "v" };
    QTest::newRow("second slash stays in child") << "e/c/d" << QStringList { "e", "c/d", "", "" };
    QTest::newRow("first | and first =") << "e/c|k=v=w|x" << QStringList { "e", "c", "k", "v=w|x" };
    QTest::newRow("slash after the bar") << "e|k=a/b" << QStringList { "e", "", "k", "a/b" };
    QTest::newRow("nothing trimmed") << " e / c |k = v" << QStringList { " e ", " c ", "k ", " v" };
    QTest::newRow("empty") << "" << QStringList { "", "", "", "" };
}

void TestPlotCore::splitNodeName()
{
    QFETCH(QString, text);
    QFETCH(QStringList, parts);
    const NodeName node = SplitNodeName(text);
    QCOMPARE((QStringList { node.element, node.child, node.filterName, node.filterValue }), parts);
    QCOMPARE(node.hasFilter(), !parts[2].isEmpty());
}

void TestPlotCore::readDecimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");

    QTest::newRow("whole") << "431" << true << 431.0;
    QTest::newRow("fraction") << "7.41275" << true << 7.41275;
    QTest::newRow("minus") << "-3.5" << true << -3.5;
    QTest::newRow("plus") << "+2.5" << true << 2.5;
    QTest::newRow("no integer digits") << ".5" << true << 0.5;
    QTest::newRow("no fraction digits") << "5." << true << 5.0;
    QTest::newRow("exponent") << "1.5E-2" << true << 0.015;
    QTest::newRow("signed exponent") << "2e+3" << true << 2000.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("leading blank") << " 7" << false << 0.0;
    QTest::newRow("trailing blank") << "7 " << false << 0.0;
    QTest::newRow("comma decimal") << "7,5" << false << 0.0;
    QTest::newRow("group separator") << "1,000" << false << 0.0;
    QTest::newRow("two points") << "7.5.1" << false << 0.0;
    QTest::newRow("lone point") << "." << false << 0.0;
    QTest::newRow("lone sign") << "-" << false << 0.0;
    QTest::newRow("two signs") << "+-1" << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("exponent alone") << "e5" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("hexadecimal") << "0x10" << false << 0.0;
    QTest::newRow("beyond double") << "1e400" << false << 0.0;
    QTest::newRow("word") << "Not Ranked" << false << 0.0;
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("\u0661") << false << 0.0;
    QTest::newRow("long text") << QStringLiteral("0.") + QString(100, QLatin1Char('0'))
            + QStringLiteral("1")
                               << true << 1e-101;
}

void TestPlotCore::readDecimal()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    const std::optional<double> read = ReadDecimal(text);
    QCOMPARE(read.has_value(), valid);
    if (valid)
        QCOMPARE(*read, value);
}

void TestPlotCore::formatGeneral_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("whole") << 12.0 << "12";
    QTest::newRow("fraction") << 7.5 << "7.5";
    QTest::newRow("negative") << -10.0 << "-10";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("15 significant digits") << 0.1 + 0.2 << "0.3";
    QTest::newRow("third") << 1.0 / 3 << "0.333333333333333";
    QTest::newRow("15 integer digits") << 999999999999999.0 << "999999999999999";
    QTest::newRow("16 integer digits") << 1e15 << "1e+15";
    QTest::newRow("large") << 123456789012345678.0 << "1.23456789012346e+17";
    QTest::newRow("0.0001 fixed") << 0.0001 << "0.0001";
    QTest::newRow("0.00001 fixed") << 0.00001 << "0.00001";
    QTest::newRow("between 1e-5 and 1e-4 fixed") << 0.0000123 << "0.0000123";
    QTest::newRow("negative small fixed") << -0.00005 << "-0.00005";
    QTest::newRow("below 0.00001") << 0.0000015 << "1.5e-06";
}

void TestPlotCore::formatGeneral()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(FormatGeneral(value), text);
}

void TestPlotCore::numbersIgnoreTheLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(ReadDecimal(u"7.5"), std::optional<double>(7.5));
    QVERIFY(!ReadDecimal(u"7,5"));
    QCOMPARE(FormatGeneral(7.5), QStringLiteral("7.5"));
    GameSummary summary;
    summary.update(7.5, u"20090315");
    summary.update(1234.25, u"20090316");
    QCOMPARE(summary.infoLine(QStringLiteral("G")),
        QStringLiteral("G min: 7.5 (2009-03-15) / max: 1234.25 (2009-03-16)"));
}

void TestPlotCore::addPoint_data()
{
    QTest::addColumn<SeriesOptions>("opts");
    QTest::addColumn<QList<Record>>("records");
    QTest::addColumn<QList<Point>>("points");

    const QList<Record> three { { "20090101", 100 }, { "20090102", 90 }, { "20090103", 95 } };
    QTest::newRow("standard") << makeOptions(false) << three
                              << QList<Point> { { "20090101", 100 }, { "20090102", 90 },
                                     { "20090103", 95 } };
    QTest::newRow("delta") << makeOptions(true) << three
                           << QList<Point> { { "20090101", 100 }, { "20090102", -10 },
                                  { "20090103", 5 } };
    QTest::newRow("range ends included") << makeOptions(false, "20090102", "20090103") << three
                                         << QList<Point> { { "20090102", 90 }, { "20090103", 95 } };
    QTest::newRow("delta to the previous kept point") << makeOptions(true, "20090102",
        "20090103") << three << QList<Point> { { "20090102", 90 }, { "20090103", 5 } };
    QTest::newRow("To before From")
        << makeOptions(false, "20090103", "20090101") << three << QList<Point> {};
    QTest::newRow("-999999 means none yet")
        << makeOptions(true)
        << QList<Record> { { "20090101", 10 }, { "20090102", -999999 }, { "20090103", 30 } }
        << QList<Point> { { "20090101", 10 }, { "20090102", -1000009 }, { "20090103", 30 } };
    // A short date format with a two-digit year once moved 1926 records to 2026.
    QTest::newRow("the record's own day")
        << makeOptions(false) << QList<Record> { { "19261208", 1 }, { "00011231", 2 } }
        << QList<Point> { { "19261208", 1 }, { "00011231", 2 } };
    // Dates that name no calendar day skip the record; the Load goes on.
    QTest::newRow("unreadable dates skipped")
        << makeOptions(true)
        << QList<Record> { { "20091301", 1 }, { "20090230", 2 }, { "00000101", 3 },
               { "2009ab01", 4 }, { "", 5 }, { "20090300", 6 }, { "20090301", 7 } }
        << QList<Point> { { "20090301", 7 } };
    QTest::newRow("short day group reads")
        << makeOptions(false) << QList<Record> { { "2009031", 1 } }
        << QList<Point> { { "20090301", 1 } };
    QTest::newRow("same date twice")
        << makeOptions(true) << QList<Record> { { "20090101", 5 }, { "20090101", 8 } }
        << QList<Point> { { "20090101", 5 }, { "20090101", 3 } };
}

void TestPlotCore::addPoint()
{
    QFETCH(SeriesOptions, opts);
    QFETCH(QList<Record>, records);
    QFETCH(QList<Point>, points);
    SeriesBuilder builder;
    for (const Record &r : records)
        builder.AddPoint(r.first, r.second, opts);
    QCOMPARE(pointsOf(builder), points);
}

void TestPlotCore::optionsChangeFromTheNextPoint()
{
    // Standard leaves the previous value alone, so Delta starts afresh; the
    // range, once on, drops without touching it either.
    SeriesBuilder builder;
    builder.AddPoint(u"20090101", 100, makeOptions(false));
    builder.AddPoint(u"20090102", 90, makeOptions(true));
    builder.AddPoint(u"20090103", 95, makeOptions(true, "20090105", "20090106"));
    builder.AddPoint(u"20090105", 80, makeOptions(true, "20090105", "20090106"));
    QCOMPARE(pointsOf(builder),
        (QList<Point> { { "20090101", 100 }, { "20090102", 90 }, { "20090105", -10 } }));
}

void TestPlotCore::summaryCountsPlainValuesAndKeepsEarlierTies()
{
    GameSummary summary;
    QVERIFY(!summary.hasValues());
    summary.update(50, u"20090102");
    summary.update(12, u"20090315");
    summary.update(12, u"20090316");
    summary.update(431, u"20070102");
    summary.update(431, u"20070103");
    QVERIFY(summary.hasValues());
    QCOMPARE(summary.minimum(), 12.0);
    QCOMPARE(summary.maximum(), 431.0);
    QCOMPARE(summary.infoLine(QStringLiteral("Some Game")),
        QStringLiteral("Some Game min: 12 (2009-03-15) / max: 431 (2007-01-02)"));
}

void TestPlotCore::infoLine_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("line");

    QTest::newRow("ampersand doubled") << "A & B"
                                       << "20090315"
                                       << "A && B min: 1 (2009-03-15) / max: 1 (2009-03-15)";
    QTest::newRow("short date") << "G"
                                << "20093"
                                << "G min: 1 (2009-3-) / max: 1 (2009-3-)";
    QTest::newRow("empty date") << "G"
                                << ""
                                << "G min: 1 (--) / max: 1 (--)";
    QTest::newRow("long date cut") << "G"
                                   << "2009031599"
                                   << "G min: 1 (2009-03-15) / max: 1 (2009-03-15)";
}

void TestPlotCore::infoLine()
{
    QFETCH(QString, title);
    QFETCH(QString, date);
    QFETCH(QString, line);
    GameSummary summary;
    summary.update(1, date);
    QCOMPARE(summary.infoLine(title), line);
}

void TestPlotCore::thinToColumns_data()
{
    // Points at x = 0, 1, 2, ... with these y values; the y values kept.
    QTest::addColumn<QList<double>>("ys");
    QTest::addColumn<double>("origin");
    QTest::addColumn<double>("width");
    QTest::addColumn<QList<double>>("kept");
    QTest::newRow("first, highest, lowest, last in their order")
        << QList<double> { 5, 9, 4, 1, 7, 6 } << 0.0 << 10.0 << QList<double> { 5, 9, 1, 6 };
    QTest::newRow("lowest before highest")
        << QList<double> { 5, 1, 4, 9, 7, 6 } << 0.0 << 10.0 << QList<double> { 5, 1, 9, 6 };
    QTest::newRow("first and last are the extremes: each once")
        << QList<double> { 1, 5, 3, 9 } << 0.0 << 10.0 << QList<double> { 1, 9 };
    QTest::newRow("columns counted from the origin")
        << QList<double> { 1, 2, 3, 4, 5, 6, 7, 8 } << -2.0 << 5.0
        << QList<double> { 1, 3, 4, 8 };
    QTest::newRow("no width keeps every point")
        << QList<double> { 3, 1, 2, 1 } << 0.0 << 0.0 << QList<double> { 3, 1, 2, 1 };
}

void TestPlotCore::thinToColumns()
{
    QFETCH(QList<double>, ys);
    QFETCH(double, origin);
    QFETCH(double, width);
    QFETCH(QList<double>, kept);
    QList<QPointF> points;
    for (qsizetype i = 0; i < ys.size(); ++i)
        points.append(QPointF(double(i), ys[i]));
    ThinToColumns(points, origin, width);
    QList<double> keptYs;
    for (const QPointF &p : points)
        keptYs.append(p.y());
    QCOMPARE(keptYs, kept);
}

QTEST_GUILESS_MAIN(TestPlotCore)
#include "test_plotcore.moc"
