// The Lists window: the service's ranking lists (the best games of a day, the
// movers between two days) in a sortable table, whose chosen games go back to
// the main window's game box, or onto the chart.
#pragma once

#include "lists/ListsAnswer.h"
#include "ui/ServiceWindow.h"

#include <QDate>
#include <QStringList>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

class TfrmLists : public ServiceWindow
{
    Q_OBJECT
public:
    explicit TfrmLists(ServiceWindowContext context, QWidget *parent = nullptr);

    enum Kind { Top, Movers };
    QComboBox *cboKind = nullptr;
    QLabel *labDay1 = nullptr;
    QDateEdit *dtpDay1 = nullptr;
    QLabel *labDay2 = nullptr;
    QDateEdit *dtpDay2 = nullptr;
    QSpinBox *spnTop = nullptr;
    QLineEdit *edtYear = nullptr;
    QPushButton *btnList = nullptr;
    QTableWidget *tblList = nullptr;
    QPushButton *btnAdd = nullptr;
    QPushButton *btnChart = nullptr;

    // What this showing ended with: the chosen IDs (Add or Chart), and for
    // Chart of a movers list the two days it spans.
    QStringList SelectedIDs;
    bool ChartRequested = false;
    QDate ChartFrom, ChartTo;

    void btnListClick();
    void btnAddClick();
    void btnChartClick();
    void cboKindChange();

    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    bool readDays();
    enum class Fetched { List, Days };
    std::optional<QByteArray> fetch(const QString &url, const QString &fileName, Fetched what);
    void showRows(const QList<ListRow> &rows, Kind kind);
    void showColumnsFor(Kind kind);
    bool chooseSelected(const QString &verb);
    void setStatusText(const QString &text);

    QString m_daysOf; // the service whose days the pickers hold
    QDate m_listFrom, m_listTo; // the days of the list shown
};
