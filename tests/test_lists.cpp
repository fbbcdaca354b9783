// The Lists window against plotwise-archive serve over generated snapshots:
// the chosen games of a served list go into the main window's game box; the
// status line, the sorting and the day pickers as a user meets them; a
// service without lists says so.
#include "app/u_frmMain.h"
#include "lists/u_frmLists.h"
#include "support/ArchiveService.h"
#include "support/MainWindowFixture.h"
#include "support/SampleService.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

MainWindowFixture::Setup On(const QString &baseUrl)
{
    MainWindowFixture::Setup setup;
    setup.serviceOverride = baseUrl;
    return setup;
}

// The generated archive of 12 days and 40 games the window tests share:
// 2016-10-12 to 2016-10-23 without 2016-10-18, games joining over the days.
const QDate FirstDay(2016, 10, 12), LastDay(2016, 10, 23);

} // namespace

class TestLists : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ArchiveService> m_service;

    // Opens the Lists window on the shared archive, lists once (so that the
    // pickers know the archive's days) and runs act on it.
    void inListsWindow(const std::function<void(TfrmLists *)> &act)
    {
        MainWindowFixture fixture(On(m_service->baseUrl()));
        fixture.dialogs.modalActions.enqueue([&](QDialog *dialog) {
            auto *lists = static_cast<TfrmLists *>(dialog);
            lists->btnList->click();
            act(lists);
            return QDialog::Rejected;
        });
        fixture.window().btnLists->click();
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(MakeGeneratedArchive(m_dir.filePath("a.pwa"), m_dir.filePath("snapshots"),
                     { "--days", "12", "--games", "40" }, &error),
            qPrintable(error));
        m_service = std::make_unique<ArchiveService>(m_dir.filePath("a.pwa"));
        QVERIFY(m_service->port() != 0);
    }

    // What the line under the list says: the count, entries and exits, the
    // day a day without a snapshot stood for, or what is wrong before asking.
    void statusSaysWhatTheListHolds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<int>("top");
        QTest::addColumn<QString>("year");
        QTest::addColumn<bool>("chart"); // Chart pressed after List, nothing chosen
        QTest::addColumn<QString>("status");
        QTest::newRow("movers: entries and exits")
            << int(TfrmLists::Movers) << FirstDay << LastDay << 10 << QString() << false
            << "14 games: 4 entered, 4 left.";
        QTest::newRow("a day without a snapshot")
            << int(TfrmLists::Top) << QDate() << QDate(2016, 10, 18) << 2 << QString() << false
            << "2 games. 2016-10-18 has no snapshot: the list uses 2016-10-17.";
        QTest::newRow("one game") << int(TfrmLists::Top) << QDate() << LastDay << 1 << QString()
                                  << false << "1 game.";
        QTest::newRow("year not a number")
            << int(TfrmLists::Top) << QDate() << LastDay << 10 << "-" << false
            << "Year takes a whole number, such as 2017, or nothing for any year.";
        QTest::newRow("chart with nothing chosen")
            << int(TfrmLists::Top) << QDate() << LastDay << 10 << QString() << true
            << "Select the games to chart first.";
    }

    void statusSaysWhatTheListHolds()
    {
        QFETCH(int, kind);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(int, top);
        QFETCH(QString, year);
        QFETCH(bool, chart);
        QFETCH(QString, status);
        QString shown;
        inListsWindow([&](TfrmLists *lists) {
            lists->cboKind->setCurrentIndex(kind);
            if (from.isValid())
                lists->dtpDay1->setDate(from);
            lists->dtpDay2->setDate(to);
            lists->spnTop->setValue(top);
            lists->edtYear->setText(year);
            lists->btnList->click();
            if (chart)
                lists->btnChart->click();
            shown = lists->labStatus->text();
        });
        QCOMPARE(shown, status);
    }

    // Rows without a number (a game not ranked on the first day) stay below
    // the others whichever way a column is sorted; a fall out of the top N
    // says so beside the change.
    void missingNumbersSortLast_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        // The 14 movers of the whole archive in its top 10; four entered
        // without a rank on the first day.
        QTest::newRow("change, climbs first")
            << 2 << Qt::AscendingOrder << QStringLiteral("0") << "entered";
        QTest::newRow("change, falls first")
            << 2 << Qt::DescendingOrder << QStringLiteral("\u25BC 6, left") << "entered";
        QTest::newRow("first rank, best first") << 0 << Qt::AscendingOrder << "1" << QString();
        QTest::newRow("first rank, worst first") << 0 << Qt::DescendingOrder << "10" << QString();
    }

    void missingNumbersSortLast()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QString shownFirst, shownLast;
        inListsWindow([&](TfrmLists *lists) {
            lists->cboKind->setCurrentIndex(TfrmLists::Movers);
            lists->dtpDay1->setDate(FirstDay);
            lists->dtpDay2->setDate(LastDay);
            lists->spnTop->setValue(10);
            lists->btnList->click();
            QTableWidget *table = lists->tblList;
            QCOMPARE(table->rowCount(), 14);
            table->horizontalHeader()->setSortIndicator(column, order);
            shownFirst = table->item(0, column)->text();
            shownLast = table->item(table->rowCount() - 1, column)->text();
        });
        QCOMPARE(shownFirst, first);
        QCOMPARE(shownLast, last);
    }

    // A day typed into a picker, one section at a time as the picker takes
    // it, then Enter: a day beyond the archive's ends comes to the nearest
    // end, instead of the keystroke leaving the range being refused.
    void typedDaysComeWithinTheArchive_data()
    {
        QTest::addColumn<bool>("toPicker");
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QDate>("day");
        QTest::newRow("a year before the first day")
            << true << int(QDateTimeEdit::YearSection) << "2015" << FirstDay;
        QTest::newRow("a month after the last day")
            << false << int(QDateTimeEdit::MonthSection) << "11" << LastDay;
        QTest::newRow("a day within")
            << true << int(QDateTimeEdit::DaySection) << "20" << QDate(2016, 10, 20);
    }

    void typedDaysComeWithinTheArchive()
    {
        QFETCH(bool, toPicker);
        QFETCH(int, section);
        QFETCH(QString, keys);
        QFETCH(QDate, day);
        QDate shown;
        inListsWindow([&](TfrmLists *lists) {
            lists->cboKind->setCurrentIndex(TfrmLists::Movers);
            QDateEdit *picker = toPicker ? lists->dtpDay2 : lists->dtpDay1;
            QCOMPARE(picker->date(), toPicker ? LastDay : FirstDay);
            picker->setFocus();
            picker->setSelectedSection(QDateTimeEdit::Section(section));
            QTest::keyClicks(picker, keys);
            QTest::keyClick(picker, Qt::Key_Return);
            shown = picker->date();
        });
        QCOMPARE(shown, day);
    }

    // A day imported while Plotwise runs can be listed at the window's next
    // showing, and the picker on the last day moves on to it.
    void importedDaysReachThePickers()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("a.pwa");
        QString error;
        QVERIFY2(MakeGeneratedArchive(
                     archive, dir.filePath("s"), { "--days", "12", "--games", "40" }, &error),
            qPrintable(error));
        QVERIFY2(MakeGeneratedArchive(dir.filePath("b.pwa"), dir.filePath("t"),
                     { "--days", "13", "--games", "40" }, &error),
            qPrintable(error));
        ArchiveService service(archive);
        QVERIFY(service.port() != 0);
        MainWindowFixture fixture(On(service.baseUrl()));
        QList<QDate> last;
        const auto showing = [&](QDialog *dialog) {
            QCoreApplication::processEvents(); // the days asked for at showing
            last << static_cast<TfrmLists *>(dialog)->dtpDay2->maximumDate()
                 << static_cast<TfrmLists *>(dialog)->dtpDay2->date();
            return QDialog::Rejected;
        };
        fixture.dialogs.modalActions.enqueue(showing);
        fixture.window().btnLists->click();
        const RunResult import = RunProgram(qEnvironmentVariable("PLOTWISE_ARCHIVE"),
            { "import", archive, dir.filePath("t/2016-10-24.csv") });
        QVERIFY2(import.status == 0, qPrintable(import.err));
        fixture.dialogs.modalActions.enqueue(showing);
        fixture.window().btnLists->click();
        const QDate next = LastDay.addDays(1);
        QCOMPARE(last, QList<QDate>({ LastDay, LastDay, next, next }));
    }

    // The service gone by the window's next showing: the list shown stays,
    // and the line says that the days could not be read, not that a list failed.
    void daysUnreadableAtALaterShowing()
    {
        auto service = std::make_unique<ArchiveService>(m_dir.filePath("a.pwa"));
        QVERIFY(service->port() != 0);
        MainWindowFixture fixture(On(service->baseUrl()));
        fixture.dialogs.modalActions.enqueue([](QDialog *dialog) {
            static_cast<TfrmLists *>(dialog)->btnList->click();
            return QDialog::Rejected;
        });
        fixture.window().btnLists->click();
        service.reset();
        QString status;
        int rows = 0;
        fixture.dialogs.modalActions.enqueue([&](QDialog *dialog) {
            QCoreApplication::processEvents(); // the days asked for at showing
            status = static_cast<TfrmLists *>(dialog)->labStatus->text();
            rows = static_cast<TfrmLists *>(dialog)->tblList->rowCount();
            return QDialog::Rejected;
        });
        fixture.window().btnLists->click();
        QCOMPARE(status, QStringLiteral("Reading the archive's days failed: connection refused"));
        QVERIFY(rows > 0); // the list of the first showing
    }

    void addFillsGameBoxFromServedList()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("a.pwa");
        QString error;
        QVERIFY2(MakeGeneratedArchive(archive, dir.filePath("snapshots"),
                     { "--days", "12", "--games", "40" }, &error),
            qPrintable(error));
        // The last day's best three, as the command lists them: "id,name".
        QProcess top;
        top.start(qEnvironmentVariable("PLOTWISE_ARCHIVE"), { "top", archive, "--count", "3" });
        QVERIFY(top.waitForFinished(60000));
        QStringList best = QString::fromUtf8(top.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(best.size(), 4);
        best.removeFirst();
        for (QString &row : best)
            row = row.section(u',', 2, 2) + u',' + row.section(u',', 3, 3);

        ArchiveService service(archive);
        QVERIFY(service.port() != 0);
        MainWindowFixture fixture(On(service.baseUrl()));
        fixture.window().edtGame->setPlainText(QStringLiteral("5"));
        QStringList shown;
        fixture.dialogs.modalActions.enqueue([&](QDialog *dialog) {
            auto *lists = static_cast<TfrmLists *>(dialog);
            lists->btnList->click(); // top 100 of the last day: the pickers' range comes first
            QTableWidget *table = lists->tblList;
            for (int row = 0; row < 3 && row < table->rowCount(); ++row)
                shown << table->item(row, 3)->data(Qt::UserRole).toString() + u',' + table->item(row, 3)->text();
            table->selectRow(2);
            table->selectionModel()->select(table->model()->index(0, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
            lists->btnAdd->click();
            return dialog->result();
        });
        fixture.window().btnLists->click();
        QCOMPARE(shown, best);
        // Rows in table order: the two chosen, after the box's own.
        QCOMPARE(fixture.window().edtGame->toPlainText(),
            QStringLiteral("5, %1, %2").arg(best[0].section(u',', 0, 0), best[2].section(u',', 0, 0)));
    }

    void serviceWithoutLists()
    {
        SampleService service;
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        MainWindowFixture fixture(On(service.baseUrl()));
        QString status;
        fixture.dialogs.modalActions.enqueue([&](QDialog *dialog) {
            auto *lists = static_cast<TfrmLists *>(dialog);
            lists->btnList->click();
            status = lists->labStatus->text();
            return QDialog::Rejected;
        });
        fixture.window().btnLists->click();
        QCOMPARE(status, QStringLiteral("The service offers no ranking lists."));
        QCOMPARE(fixture.window().edtGame->toPlainText(), QString());
    }
};

QTEST_MAIN(TestLists)
#include "test_lists.moc"
