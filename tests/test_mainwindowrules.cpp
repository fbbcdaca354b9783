// The rules behind the main window, without one: the node list read from
// its text, windows fitted on the screens, a real frame told from none, the
// game text on one line, and a radio group's index.
#include "app/NodeList.h"
#include "app/WindowSettings.h"
#include "service/u_Function.h"
#include "ui/RadioGroup.h"
#include "ui/WindowPlacement.h"

#include <QRadioButton>
#include <QtTest>

class TestMainWindowRules : public QObject
{
    Q_OBJECT
private slots:
    void nodeListRules_data();
    void nodeListRules();
    void fitOnScreens_data();
    void fitOnScreens();
    void isRealFrame_data();
    void isRealFrame();
    void gameTextOnOneLineKeepsTheGameList_data();
    void gameTextOnOneLineKeepsTheGameList();
    void radioGroupIndex_data();
    void radioGroupIndex();
};

void TestMainWindowRules::nodeListRules_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("sorted, empty line first") << QByteArray("b\nA\n\n") << QStringList({"", "A", "b"});
    QTest::newRow("CR, LF and CR LF") << QByteArray("z\r\ny\rx\n") << QStringList({"x", "y", "z"});
    QTest::newRow("last line without end") << QByteArray("a\nlast") << QStringList({"a", "last"});
    QTest::newRow("final line end adds nothing") << QByteArray("a\r\n") << QStringList({"a"});
    QTest::newRow("no trimming") << QByteArray(" b \n\ta") << QStringList({"\ta", " b "});
    QTest::newRow("NUL ends the text") << QByteArray("b\na\0c\n", 6) << QStringList({"a", "b"});
    QTest::newRow("duplicates in file order") << QByteArray("B\nb\na\nA\nb")
                                              << QStringList({"a", "A", "B", "b", "b"});
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("single-byte text") << QByteArray("caf\xe9\n") << QStringList({"caf\u00e9"});
}

void TestMainWindowRules::nodeListRules()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);
    QCOMPARE(NodeListFromText(text), expected);
}

void TestMainWindowRules::fitOnScreens_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QList<QRect>>("areas");
    QTest::addColumn<QRect>("expected");
    const QRect primary(0, 0, 1280, 1024);
    const QList<QRect> one{primary};
    const QList<QRect> two{primary, QRect(1280, 0, 1024, 768)};
    QTest::newRow("inside") << QRect(10, 10, 650, 633) << one << QRect(10, 10, 650, 633);
    QTest::newRow("right of it") << QRect(5000, 10, 650, 633) << one << QRect(630, 10, 650, 633);
    QTest::newRow("below it") << QRect(10, 3000, 650, 633) << one << QRect(10, 391, 650, 633);
    QTest::newRow("above it") << QRect(10, -900, 650, 633) << one << QRect(10, 0, 650, 633);
    QTest::newRow("mostly left of it") << QRect(-600, 10, 650, 633) << one << QRect(0, 10, 650, 633);
    QTest::newRow("larger than the screen")
        << QRect(3000, 3000, 1400, 1100) << one << primary;
    QTest::newRow("taller than a doubled scale's screen")
        << QRect(0, 0, 650, 633) << QList<QRect>{QRect(0, 0, 640, 512)} << QRect(0, 0, 640, 512);
    QTest::newRow("a panel's strut above")
        << QRect(100, 0, 650, 633) << QList<QRect>{QRect(0, 30, 1280, 994)} << QRect(100, 30, 650, 633);
    QTest::newRow("on the second screen") << QRect(1400, 100, 650, 633) << two << QRect(1400, 100, 650, 633);
    QTest::newRow("across both, mostly on the second")
        << QRect(1000, 100, 650, 633) << two << QRect(1280, 100, 650, 633);
    QTest::newRow("off both goes to the first") << QRect(-3000, 100, 650, 633) << two
                                                << QRect(0, 100, 650, 633);
}

void TestMainWindowRules::fitOnScreens()
{
    QFETCH(QRect, frame);
    QFETCH(QList<QRect>, areas);
    QFETCH(QRect, expected);
    QCOMPARE(FitOnScreens(frame, areas), expected);
}

void TestMainWindowRules::isRealFrame_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<bool>("real");
    // The client area of the search window as one window manager framed it.
    QTest::newRow("the window manager's frame") << QRect(381, 356, 517, 311) << true;
    QTest::newRow("no frame yet") << QRect(382, 376, 515, 286) << false;
    QTest::newRow("still 1 x 1") << QRect(381, 356, 1, 1) << false;
    QTest::newRow("beside the window") << QRect(0, 0, 517, 311) << false;
    QTest::newRow("a border on one side only") << QRect(382, 376, 516, 286) << true;
    QTest::newRow("a title bar as tall as a decoration may be")
        << QRect(381, 376 - PlausibleFrameTop, 517, 286 + PlausibleFrameTop + 1) << true;
    QTest::newRow("a title bar taller") << QRect(381, 375 - PlausibleFrameTop, 517, 288 + PlausibleFrameTop)
                                        << false;
    QTest::newRow("a side wider than a border")
        << QRect(381 - PlausibleFrameSide, 356, 517 + PlausibleFrameSide, 311) << false;
}

void TestMainWindowRules::isRealFrame()
{
    QFETCH(QRect, frame);
    QFETCH(bool, real);
    QCOMPARE(IsRealFrame(frame, QRect(382, 376, 515, 286)), real);
}

void TestMainWindowRules::gameTextOnOneLineKeepsTheGameList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("LF") << QStringLiteral("1\n2") << QStringLiteral("1 2");
    QTest::newRow("CR LF and CR") << QStringLiteral("1,\r\n2\r3") << QStringLiteral("1, 2 3");
    QTest::newRow("empty line") << QStringLiteral("1\n\n2") << QStringLiteral("1  2");
}

void TestMainWindowRules::gameTextOnOneLineKeepsTheGameList()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString line = GameTextOnOneLine(text);
    QCOMPARE(line, expected);
    QCOMPARE(CommaTextSplit(line), CommaTextSplit(text));
}

void TestMainWindowRules::radioGroupIndex_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("expected");
    QTest::newRow("first") << 0 << 0;
    QTest::newRow("last") << 1 << 1;
    QTest::newRow("above the last") << 7 << 1;
    QTest::newRow("none") << -1 << -1;
    QTest::newRow("below 0") << -5 << -1;
}

void TestMainWindowRules::radioGroupIndex()
{
    QFETCH(int, set);
    QFETCH(int, expected);
    RadioGroup group(QStringLiteral("Values"), {QStringLiteral("Standard"), QStringLiteral("Delta")});
    QCOMPARE(group.itemIndex(), -1);
    group.setItemIndex(0);
    group.setItemIndex(set);
    QCOMPARE(group.itemIndex(), expected);
    for (int i = 0; i < group.count(); ++i)
        QCOMPARE(group.item(i)->isChecked(), i == expected);
}

QTEST_MAIN(TestMainWindowRules)
#include "test_mainwindowrules.moc"
