// Command-line parsing and the number form of the CSV rows.
#include "app/ChartCsv.h"
#include "app/CommandLine.h"

#include <QTest>

#include <charconv>

using Mode = CommandLine::Mode;

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void accepted();
    void refused_data();
    void refused();
    void shortestNumberReadsBack_data();
    void shortestNumberReadsBack();
};

void TestCommandLine::accepted()
{
    QCOMPARE(ParseCommandLine({}).mode, Mode::Desktop);
    QCOMPARE(ParseCommandLine({"--version"}).mode, Mode::Version);
    const CommandLine check = ParseCommandLine({"--check", "-x.txt"});
    QCOMPARE(check.mode, Mode::Check);
    QCOMPARE(check.script, QStringLiteral("-x.txt"));

    const CommandLine defaults = ParseCommandLine({"--run", "a.txt"});
    QCOMPARE(defaults.mode, Mode::Run);
    QCOMPARE(defaults.size, QSize(1000, 600));
    QVERIFY(defaults.service.isEmpty() && !defaults.info);

    // Options in any order; the service address loses its trailing slash.
    const CommandLine run = ParseCommandLine({"--info", "--csv", "o.csv", "--size", "320X200", "--run",
                                              "s", "--save", "c.Jpeg", "--service",
                                              "http://127.0.0.1:9000/"});
    QCOMPARE(run.error, QString());
    QCOMPARE(run.script, QStringLiteral("s"));
    QCOMPARE(run.service, QStringLiteral("http://127.0.0.1:9000"));
    QCOMPARE(run.saveImage, QStringLiteral("c.Jpeg"));
    QCOMPARE(run.size, QSize(320, 200));
    QCOMPARE(run.csvFile, QStringLiteral("o.csv"));
    QVERIFY(run.info);

    // One dash or two; a value joined by "="; "--" ends the options.
    const CommandLine joined = ParseCommandLine({"-run", "s", "--save=c.png", "--"});
    QCOMPARE(joined.mode, Mode::Run);
    QCOMPARE(joined.saveImage, QStringLiteral("c.png"));

    const CommandLine desktop = ParseCommandLine({"--service", "https://Example.org:8443"});
    QCOMPARE(desktop.mode, Mode::Desktop);
    QCOMPARE(desktop.service, QStringLiteral("https://example.org:8443"));
}

void TestCommandLine::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("unknown option") << QStringList{"--run", "s", "--colour"} << "unknown option --colour";
    QTest::newRow("stray argument") << QStringList{"s.txt"} << "unexpected argument s.txt";
    QTest::newRow("no script") << QStringList{"--run"} << "--run needs an argument";
    QTest::newRow("empty script") << QStringList{"--run="} << "--run needs an argument";
    QTest::newRow("unknown with value") << QStringList{"--run", "s", "-colour=red"} << "unknown option -colour=red";
    QTest::newRow("option for a value") << QStringList{"--run", "s", "--save", "--info"}
                                        << "--save needs an argument";
    QTest::newRow("without run") << QStringList{"--check", "s", "--info"} << "--info needs --run";
    QTest::newRow("service with check") << QStringList{"--check", "s", "--service", "http://h"}
                                        << "--service goes with --run or alone";
    QTest::newRow("two modes") << QStringList{"--run", "s", "--check", "t"}
                               << "--check cannot be combined with --run";
    QTest::newRow("repeated") << QStringList{"--run", "s", "--csv", "a", "--csv", "b"}
                              << "--csv given twice";
    QTest::newRow("repeated, the first wrong") << QStringList{"--run", "s", "--size", "0x0", "--size", "5x5"}
                                               << "--size needs WxH, each from 1 to 8000, not 0x0";
    for (const char *size : {"0x10", "10x", "10", "8001x10", "10x10x10", "+5x5", " 5x5", "99999999999x5"})
        QTest::newRow(size) << QStringList{"--run", "s", "--size", size}
                            << QStringLiteral("--size needs WxH, each from 1 to 8000, not %1").arg(size);
    for (const char *file : {"chart.gif", "chart"})
        QTest::newRow(file) << QStringList{"--run", "s", "--save", file}
                            << QStringLiteral("--save needs a .bmp, .png, .jpg, .pdf or .svg file, "
                                              "not %1").arg(file);
    for (const char *url : {"ftp://h", "127.0.0.1:8642", "http://", "http://h/xmlapi", "http://h?x=1",
                            "http://u:p@h", "http://h:99999"})
        QTest::newRow(url) << QStringList{"--run", "s", "--service", url}
                           << QStringLiteral("--service needs http:// or https://, a host and an "
                                             "optional port, not %1").arg(url);
}

void TestCommandLine::refused()
{
    QFETCH(QStringList, arguments);
    const CommandLine line = ParseCommandLine(arguments);
    QCOMPARE(line.mode, Mode::Usage);
    QTEST(line.error, "error");
}

void TestCommandLine::shortestNumberReadsBack_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 215.0 << "215";
    QTest::newRow("sum that is not 0.3") << 0.1 + 0.2 << "0.30000000000000004";
    QTest::newRow("large") << 1e21 << "1e+21";
    QTest::newRow("small") << -1.5e-7 << "-1.5e-07";
}

void TestCommandLine::shortestNumberReadsBack()
{
    QFETCH(double, value);
    const QByteArray text = ShortestNumber(value).toLatin1();
    QTEST(QString::fromLatin1(text), "text");
    double back = 0;
    QCOMPARE(std::from_chars(text.begin(), text.end(), back).ptr, text.end());
    QCOMPARE(back, value);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
