// The Lists window against plotwise-archive serve over generated snapshots:
// the chosen games of a served list go into the main window's game box; a
// service without lists says so.
#include "app/u_frmMain.h"
#include "lists/u_frmLists.h"
#include "support/ArchiveService.h"
#include "support/MainWindowFixture.h"
#include "support/SampleService.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

MainWindowFixture::Setup On(const QString &baseUrl)
{
    MainWindowFixture::Setup setup;
    setup.serviceOverride = baseUrl;
    return setup;
}

} // namespace

class TestLists : public QObject
{
    Q_OBJECT
private slots:
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
