// The Lists window against a service that answers ranking lists: the chosen
// games of a served list go into the main window's game box.
#include "app/u_frmMain.h"
#include "lists/u_frmLists.h"
#include "support/MainWindowFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <httplib.h>
#include <thread>

namespace {

// Answers /lists/days and /lists/top as the archive's service does; with
// lists off, 404 for every request, as a service without lists.
class ListsServer
{
public:
    explicit ListsServer(bool lists)
    {
        m_server.Get(".*", [lists](const httplib::Request &req, httplib::Response &res) {
            if (lists && req.path == "/lists/days")
                res.set_content("first,2020-01-01\nlast,2020-01-05\n", "text/csv; charset=utf-8");
            else if (lists && req.path == "/lists/top" && req.get_param_value("day") == "2020-01-05")
                res.set_content("day,rank,id,name,year,average,bayes_average,users_rated\n"
                                "2020-01-05,1,30,\"Harbour, the\",2017,8.1,7.9,100\n"
                                "2020-01-05,2,10,Alpha,2015,7.5,7.0,90\n"
                                "2020-01-05,3,20,Beta,2016,7.0,6.5,80\n",
                    "text/csv; charset=utf-8");
            else
                res.status = 404;
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        // Bound and listening already: requests wait until the loop takes them.
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~ListsServer()
    {
        m_server.stop();
        m_thread.join();
    }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

MainWindowFixture::Setup On(const ListsServer &server)
{
    MainWindowFixture::Setup setup;
    setup.serviceOverride = server.baseUrl();
    return setup;
}

} // namespace

class TestLists : public QObject
{
    Q_OBJECT
private slots:
    void addFillsGameBoxFromServedList()
    {
        ListsServer server(true);
        MainWindowFixture fixture(On(server));
        fixture.window().edtGame->setPlainText(QStringLiteral("5"));
        QString shown;
        fixture.dialogs.modalActions.enqueue([&](QDialog *dialog) {
            auto *lists = static_cast<TfrmLists *>(dialog);
            lists->btnList->click(); // the last day: the pickers' range comes first
            QTableWidget *table = lists->tblList;
            for (int row = 0; row < table->rowCount(); ++row)
                shown += table->item(row, 3)->text() + QLatin1Char(';');
            table->selectRow(2);
            table->selectionModel()->select(table->model()->index(0, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
            lists->btnAdd->click();
            return dialog->result();
        });
        fixture.window().btnLists->click();
        QCOMPARE(shown, QStringLiteral("Harbour, the;Alpha;Beta;"));
        // Rows in table order: the two chosen, after the box's own.
        QCOMPARE(fixture.window().edtGame->toPlainText(), QStringLiteral("5, 30, 20"));
    }

    void serviceWithoutLists()
    {
        ListsServer server(false);
        MainWindowFixture fixture(On(server));
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
