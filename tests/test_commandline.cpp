// Command-line parsing and the CSV text of the headless run.
#include "app/ChartCsv.h"
#include "app/CommandLine.h"

#include <QLocale>
#include <QTest>

#include <charconv>

using Mode = CommandLine::Mode;

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QStringLiteral("de_DE"))); }

    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void imageFormats();

    void csvField_data();
    void csvField();
    void shortestNumberReadsBack_data();
    void shortestNumberReadsBack();
    void csvRow();
};

void TestCommandLine::accepted_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("save");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("csv");
    QTest::addColumn<bool>("info");

    const QSize def(1000, 600);
    QTest::newRow("no arguments: desktop") << QStringList{} << int(Mode::Desktop) << "" << "" << ""
                                           << def << "" << false;
    QTest::newRow("check") << QStringList{"--check", "a.txt"} << int(Mode::Check) << "a.txt" << ""
                           << "" << def << "" << false;
    QTest::newRow("run, defaults") << QStringList{"--run", "a.txt"} << int(Mode::Run) << "a.txt"
                                   << "" << "" << def << "" << false;
    QTest::newRow("run, every option in any order")
        << QStringList{"--info", "--csv", "out.csv", "--size", "320X200", "--run", "s",
                       "--save", "c.PNG", "--service", "http://127.0.0.1:9000/"}
        << int(Mode::Run) << "s" << "http://127.0.0.1:9000" << "c.PNG" << QSize(320, 200)
        << "out.csv" << true;
    QTest::newRow("https service without port")
        << QStringList{"--run", "s", "--service", "https://example.org"} << int(Mode::Run) << "s"
        << "https://example.org" << "" << def << "" << false;
    QTest::newRow("script named like a short option")
        << QStringList{"--run", "-x.txt"} << int(Mode::Run) << "-x.txt" << "" << "" << def << ""
        << false;
    QTest::newRow("largest size") << QStringList{"--run", "s", "--size", "8000x1"} << int(Mode::Run)
                                  << "s" << "" << "" << QSize(8000, 1) << "" << false;
    QTest::newRow("help") << QStringList{"--help"} << int(Mode::Help) << "" << "" << "" << def << ""
                          << false;
    QTest::newRow("version") << QStringList{"--version"} << int(Mode::Version) << "" << "" << ""
                             << def << "" << false;
}

void TestCommandLine::accepted()
{
    QFETCH(QStringList, arguments);
    const CommandLine line = ParseCommandLine(arguments);
    QCOMPARE(line.error, QString());
    QTEST(int(line.mode), "mode");
    QTEST(line.script, "script");
    QTEST(line.service, "service");
    QTEST(line.saveImage, "save");
    QTEST(line.size, "size");
    QTEST(line.csvFile, "csv");
    QTEST(line.info, "info");
}

void TestCommandLine::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("unknown option") << QStringList{"--run", "s", "--colour"}
                                    << "unknown option --colour";
    QTest::newRow("stray argument") << QStringList{"--run", "s", "t"} << "unexpected argument t";
    QTest::newRow("desktop takes no argument") << QStringList{"s.txt"} << "unexpected argument s.txt";
    QTest::newRow("run without script") << QStringList{"--run"} << "--run needs an argument";
    QTest::newRow("option taken for a value")
        << QStringList{"--run", "s", "--save", "--info"} << "--save needs an argument";
    QTest::newRow("run option without run") << QStringList{"--save", "a.png"}
                                            << "--save needs --run";
    QTest::newRow("check takes no run options") << QStringList{"--check", "s", "--info"}
                                                << "--info needs --run";
    QTest::newRow("two modes") << QStringList{"--run", "s", "--check", "t"}
                               << "--check cannot be combined with --run";
    QTest::newRow("help with a mode") << QStringList{"--help", "--version"}
                                      << "--version cannot be combined with --help";
    QTest::newRow("repeated option") << QStringList{"--run", "s", "--csv", "a", "--csv", "b"}
                                     << "--csv given twice";
    for (const char *size : {"0x10", "10x", "x10", "10", "8001x10", "10x10x10", "+5x5", " 5x5", "5x-5",
                             "99999999999x5"})
        QTest::newRow(qPrintable(QStringLiteral("size %1").arg(QLatin1String(size))))
            << QStringList{"--run", "s", "--size", QLatin1String(size)}
            << QStringLiteral("--size needs WxH, each from 1 to 8000, not %1").arg(QLatin1String(size));
    for (const char *file : {"chart.gif", "chart", "png"})
        QTest::newRow(qPrintable(QStringLiteral("image %1").arg(QLatin1String(file))))
            << QStringList{"--run", "s", "--save", QLatin1String(file)}
            << QStringLiteral("--save needs a .bmp, .png, .jpg, .pdf or .svg file, not %1")
                   .arg(QLatin1String(file));
    for (const char *url : {"ftp://127.0.0.1", "127.0.0.1:8642", "http://", "http://h/xmlapi",
                            "http://h?x=1", "http://u:p@h", "http://h:99999"})
        QTest::newRow(qPrintable(QStringLiteral("service %1").arg(QLatin1String(url))))
            << QStringList{"--run", "s", "--service", QLatin1String(url)}
            << QStringLiteral("--service needs http:// or https://, a host and an optional "
                              "port, not %1")
                   .arg(QLatin1String(url));
}

void TestCommandLine::refused()
{
    QFETCH(QStringList, arguments);
    const CommandLine line = ParseCommandLine(arguments);
    QCOMPARE(int(line.mode), int(Mode::Usage));
    QTEST(line.error, "error");
}

void TestCommandLine::imageFormats()
{
    QCOMPARE(ImageFormatOf("a.bmp"), ImageFormat::Bmp);
    QCOMPARE(ImageFormatOf("dir.png/a.Png"), ImageFormat::Png);
    QCOMPARE(ImageFormatOf("a.JPEG"), ImageFormat::Jpeg);
    QCOMPARE(ImageFormatOf("a.jpg"), ImageFormat::Jpeg);
    QCOMPARE(ImageFormatOf("a.pdf"), ImageFormat::Pdf);
    QCOMPARE(ImageFormatOf("a.svg"), ImageFormat::Svg);
    QCOMPARE(ImageFormatOf("a.png.txt"), ImageFormat::Unknown);
}

void TestCommandLine::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "Harbour & Hinterland" << "Harbour & Hinterland";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("blanks kept unquoted") << " a b " << " a b ";
    QTest::newRow("comma") << "Alpha, Beta" << "\"Alpha, Beta\"";
    QTest::newRow("double quote") << "The \"Big\" One" << "\"The \"\"Big\"\" One\"";
    QTest::newRow("line feed") << "a\nb" << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb" << "\"a\rb\"";
    QTest::newRow("non-ASCII") << "Café" << "Café";
}

void TestCommandLine::csvField()
{
    QFETCH(QString, text);
    QTEST(CsvField(text), "field");
}

void TestCommandLine::shortestNumberReadsBack_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 215.0 << "215";
    QTest::newRow("negative fraction") << -10.5 << "-10.5";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("sum that is not 0.3") << 0.1 + 0.2 << "0.30000000000000004";
    QTest::newRow("rating") << 7.41275 << "7.41275";
    QTest::newRow("large") << 1e21 << "1e+21";
    QTest::newRow("small") << 1.5e-7 << "1.5e-07";
    QTest::newRow("seventeen digits") << 123456.78901234567 << "123456.78901234567";
}

void TestCommandLine::shortestNumberReadsBack()
{
    QFETCH(double, value);
    const QString text = ShortestNumber(value);
    QTEST(text, "text");
    const QByteArray bytes = text.toLatin1();
    double back = 0;
    const auto result = std::from_chars(bytes.data(), bytes.data() + bytes.size(), back);
    QCOMPARE(result.ptr, bytes.data() + bytes.size());
    QCOMPARE(back, value);
}

void TestCommandLine::csvRow()
{
    QCOMPARE(CsvHeader(), QByteArray("series,title,axis,color,date,value\n"));
    // Day 43831 is 1 January 2020; the title's comma needs quotes.
    QCOMPARE(CsvRow({2, QStringLiteral("Alpha, Beta"), true, QStringLiteral("#FF0000"), 43831, 7.5}),
             QByteArray("2,\"Alpha, Beta\",right,#FF0000,2020-01-01,7.5\n"));
    QCOMPARE(CsvRow({1, QStringLiteral("Café"), false, QStringLiteral("#00A0FF"), 2, -3.0}),
             QStringLiteral("1,Café,left,#00A0FF,1900-01-01,-3\n").toUtf8());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
