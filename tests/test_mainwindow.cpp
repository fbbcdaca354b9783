// The main window itself: captions that fit, a chart that never covers the
// panel, a short window, the other windows' sizes and places, Esc, and the
// game label and box.
#include "app/WindowSettings.h"
#include "geeklist/u_frmGeeklist.h"
#include "script/u_frmScript.h"
#include "search/u_frmSearch.h"
#include "support/MainWindowFixture.h"
#include "ui/RadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void everyCaptionFitsItsControl();
    void chartNeverCoversThePanel();
    void shortWindowScrollsThePanel();
    void otherWindowsSizesAndPlaces_data();
    void otherWindowsSizesAndPlaces();
    void escClosesExceptInTheGameBox();
    void gameLabelClickAndGameBoxDoubleClick();
};

void TestMainWindow::everyCaptionFitsItsControl()
{
    MainWindowFixture f;
    const QList<QAbstractButton *> buttons = f->pnlLeft->findChildren<QAbstractButton *>();
    QCOMPARE(buttons.size(), 18); // 10 buttons and Lists..., 3 check boxes, 4 radio items
    for (QAbstractButton *button : buttons) {
        // The room a control leaves for its caption in the current style.
        QStyleOptionButton option;
        option.initFrom(button);
        option.rect = button->rect();
        int room = button->width() - 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin);
        if (qobject_cast<QCheckBox *>(button))
            room = button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button).width();
        else if (qobject_cast<QRadioButton *>(button))
            room = button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button).width();
        const int needed = button->fontMetrics().horizontalAdvance(button->text());
        QVERIFY2(needed <= room, qPrintable(QStringLiteral("%1 needs %2 of %3")
                                                .arg(button->text()).arg(needed).arg(room)));
    }
    for (RadioGroup *group : {f->rgoVertAxis, f->rgoValues})
        QVERIFY(group->fontMetrics().horizontalAdvance(group->title()) < group->width() - 8);
    // The button added beside the design's controls covers no caption.
    QVERIFY(f->btnLists->x() >= f->cboDate->x() + f->cboDate->sizeHint().width());
}

// At the window's minimum width the chart once lay over half the panel.
void TestMainWindow::chartNeverCoversThePanel()
{
    MainWindowFixture f;
    f->resize(1, f->height());
    QCOMPARE(f->frameGeometry().width(), MainWindowMinimumSize.width());
    f->centralWidget()->layout()->activate();
    QCOMPARE(f->pnlLeft->width(), 177);
    const QWidget *chart = f->findChild<QWidget *>(QStringLiteral("chaMain"));
    // The chart's rectangle as its parents cut it off, in the window.
    QRect seen(chart->mapTo(&f.window(), QPoint()), chart->size());
    for (const QWidget *p = chart->parentWidget(); p != &f.window(); p = p->parentWidget())
        seen &= QRect(p->mapTo(&f.window(), QPoint()), p->size());
    const QRect panel = f->pnlLeft->rect().translated(f->pnlLeft->mapTo(&f.window(), QPoint()));
    QVERIFY2(!seen.intersects(panel), qPrintable(QStringLiteral("chart seen at x %1 to %2")
                                                     .arg(seen.left()).arg(seen.right())));
}

// On a screen shorter than the window's minimum (a large scale), the bottom
// strip once covered the lowest buttons.
void TestMainWindow::shortWindowScrollsThePanel()
{
    MainWindowFixture f;
    f->setMinimumSize(0, 0);
    f->resize(f->width(), 300);
    f->centralWidget()->layout()->activate();
    QVERIFY(f->pnlLeftBottom->y() > f->btnInfo->geometry().bottom());
    QVERIFY(f->pnlLeft->height() > f->centralWidget()->height());
}

void TestMainWindow::otherWindowsSizesAndPlaces_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QSize>("outer"); // frame included; empty: whatever the client's size gives
    QTest::addColumn<QSize>("client"); // empty: whatever the frame leaves
    QTest::newRow("search") << "search" << QSize(517, 311) << QSize();
    // Never larger than the screen's available area.
    const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
    QTest::newRow("script editor") << "script" << QSize(870, 640).boundedTo(room) << QSize();
    QTest::newRow("geeklist prompt") << "geeklist" << QSize() << QSize(249, 73);
}

// The frame once came on top of sizes meant with it, and the script editor
// was centred over the main window.
void TestMainWindow::otherWindowsSizesAndPlaces()
{
    QFETCH(QString, window);
    QFETCH(QSize, outer);
    QFETCH(QSize, client);
    MainWindowFixture f;
    f->move(0, 0); // away from the middle of the screen
    std::unique_ptr<QWidget> w;
    if (window == QLatin1String("search"))
        w = std::make_unique<TfrmSearch>(f->searchContext(), &f.window());
    else if (window == QLatin1String("script"))
        w = std::make_unique<TfrmScript>(f->scriptEditorContext(), &f.window());
    else
        w = std::make_unique<TfrmGeeklist>(&f.window());
    w->show();

    const QRect frame = w->frameGeometry();
    QVERIFY(frame.size() != w->size()); // the offscreen platform draws a frame
    if (!outer.isEmpty())
        QCOMPARE(frame.size(), outer);
    if (!client.isEmpty())
        QCOMPARE(w->size(), client);
    QCOMPARE(frame.center(), QGuiApplication::primaryScreen()->availableGeometry().center());
}

void TestMainWindow::escClosesExceptInTheGameBox()
{
    MainWindowFixture f;
    QSignalSpy closed(&f.window(), &TfrmMain::closed);
    QTest::keyClick(f->edtGame, Qt::Key_Escape);
    QVERIFY(f->isVisible());
    QCOMPARE(closed.size(), 0);
    QTest::keyClick(f->btnLoad, Qt::Key_Escape);
    QVERIFY(!f->isVisible());
    QCOMPARE(closed.size(), 1);
    QVERIFY(!f.settingsText().isEmpty());
}

void TestMainWindow::gameLabelClickAndGameBoxDoubleClick()
{
    MainWindowFixture f;
    TfrmSearch search(f.window().searchContext(), &f.window());
    f->setWindows(nullptr, &search);
    f->edtGame->setPlainText(QStringLiteral("12, 34"));
    QList<QDialog *> shown;
    const auto record = [&shown](QDialog *dialog) {
        shown << dialog;
        return int(QDialog::Rejected);
    };
    f.dialogs.modalActions << record << record;

    // While a Load runs, both are ignored.
    {
        TfrmMain::BusyHold busy(f.window());
        QTest::mouseDClick(f->edtGame->viewport(), Qt::LeftButton);
        QTest::mouseClick(f->labGame, Qt::LeftButton);
        QVERIFY(shown.isEmpty());
        QCOMPARE(f->edtGame->toPlainText(), QStringLiteral("12, 34"));
    }

    QTest::mouseDClick(f->edtGame->viewport(), Qt::LeftButton);
    QCOMPARE(shown, QList<QDialog *>({&search}));
    QCOMPARE(f->edtGame->toPlainText(), QStringLiteral("12, 34"));

    QTest::mouseClick(f->labGame, Qt::LeftButton);
    QVERIFY(f->edtGame->toPlainText().isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
