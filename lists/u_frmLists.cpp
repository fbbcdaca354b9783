#include "lists/u_frmLists.h"

#include "lists/DayPicker.h"
#include "service/Downloader.h"
#include "ui/HandlerGuard.h"
#include "ui/WindowFrame.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <tuple>

namespace {

enum Column { RankFrom, RankTo, Change, Name, Year, Columns };

// A cell shown as text and sorted by a number; a missing number sorts last
// in either order, equal numbers in the order the list gave them.
class NumberItem : public QTableWidgetItem
{
public:
    NumberItem(const QString &text, std::optional<qint64> key, int order)
        : QTableWidgetItem(text)
        , m_key(key)
        , m_order(order)
    {
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem &other) const override
    {
        const auto &that = static_cast<const NumberItem &>(other);
        if (m_key.has_value() != that.m_key.has_value()) {
            // The table reverses this for a descending sort, so "last"
            // depends on the order asked for.
            const bool descending = tableWidget()
                && tableWidget()->horizontalHeader()->sortIndicatorOrder() == Qt::DescendingOrder;
            return m_key.has_value() != descending;
        }
        return std::tie(m_key, m_order) < std::tie(that.m_key, that.m_order);
    }

private:
    std::optional<qint64> m_key;
    int m_order;
};

QString Text(std::optional<qint64> value)
{
    return value ? QString::number(*value) : QString();
}

// "▲ 3" climbed, "▼ 3" fell, "0"; ", entered" or ", left" when the game came
// into or went out of the top N; without a change the status says why.
QString ChangeText(const ListRow &row)
{
    if (!row.change)
        return row.status;
    QString text = *row.change > 0 ? QStringLiteral("\u25B2 %1").arg(*row.change)
        : *row.change < 0          ? QStringLiteral("\u25BC %1").arg(-*row.change)
                                   : QStringLiteral("0");
    if (row.status == QLatin1String("entered") || row.status == QLatin1String("left"))
        text += QStringLiteral(", ") + row.status;
    return text;
}

} // namespace

TfrmLists::TfrmLists(ServiceWindowContext context, QWidget *parent)
    : ServiceWindow(std::move(context), "frmLists", QStringLiteral("Ranking lists"), parent)
{
    buildControls();
    SetOuterSize(this, QSize(700, 500), {}, true);
    m_fetchControls = { btnList, btnAdd, btnChart };

    Dialogs *dialogs = m_context.dialogs;
    connect(btnList, &QPushButton::clicked, this, Guarded(dialogs, this, [this] { btnListClick(); }));
    connect(btnAdd, &QPushButton::clicked, this, Guarded(dialogs, this, [this] { btnAddClick(); }));
    connect(btnChart, &QPushButton::clicked, this, Guarded(dialogs, this, [this] { btnChartClick(); }));
    connect(cboKind, &QComboBox::currentIndexChanged, this, [this] { cboKindChange(); });
}

void TfrmLists::buildControls()
{
    cboKind = Named(new QComboBox, "cboKind");
    cboKind->addItems({ QStringLiteral("Top of a day"), QStringLiteral("Movers between two days") });
    labDay1 = Named(new QLabel(QStringLiteral("From")), "labDay1");
    labDay2 = Named(new QLabel(QStringLiteral("To")), "labDay2");
    dtpDay1 = Named(new DayPicker, "dtpDay1");
    dtpDay2 = Named(new DayPicker, "dtpDay2");
    for (QDateEdit *picker : { dtpDay1, dtpDay2 }) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        picker->setEnabled(false); // until the service says which days it has
    }
    spnTop = Named(new QSpinBox, "spnTop");
    spnTop->setRange(1, 1000000);
    spnTop->setValue(100);
    edtYear = Named(new QLineEdit, "edtYear");
    edtYear->setPlaceholderText(QStringLiteral("any"));
    edtYear->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("-?[0-9]{1,9}")), edtYear));
    edtYear->setFixedWidth(edtYear->fontMetrics().horizontalAdvance(QStringLiteral("-00000")) + 12);
    btnList = Named(new QPushButton(QStringLiteral("List")), "btnList");
    btnList->setDefault(true);

    auto *controls = new QHBoxLayout;
    controls->addWidget(cboKind);
    controls->addWidget(labDay1);
    controls->addWidget(dtpDay1);
    controls->addWidget(labDay2);
    controls->addWidget(dtpDay2);
    controls->addWidget(new QLabel(QStringLiteral("Top")));
    controls->addWidget(spnTop);
    controls->addWidget(new QLabel(QStringLiteral("Year")));
    controls->addWidget(edtYear);
    controls->addStretch(1);
    controls->addWidget(btnList);

    tblList = Named(new QTableWidget(0, Columns), "tblList");
    tblList->setHorizontalHeaderLabels({ QStringLiteral("Rank from"), QStringLiteral("Rank"),
        QStringLiteral("Change"), QStringLiteral("Name"), QStringLiteral("Year") });
    tblList->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblList->verticalHeader()->hide();
    // Rows as high as their text, not the style's roomy default.
    const int rowHeight = tblList->fontMetrics().height() + 6;
    tblList->verticalHeader()->setMinimumSectionSize(rowHeight);
    tblList->verticalHeader()->setDefaultSectionSize(rowHeight);
    tblList->horizontalHeader()->setSectionResizeMode(Name, QHeaderView::Stretch);
    tblList->setSortingEnabled(true);

    btnAdd = Named(new QPushButton(QStringLiteral("Add")), "btnAdd");
    btnChart = Named(new QPushButton(QStringLiteral("Chart")), "btnChart");
    // Enter lists, whichever button was pressed last.
    for (QPushButton *button : { btnAdd, btnChart, btnClose })
        button->setAutoDefault(false);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(labStatus, 1);
    bottom->addWidget(btnAdd);
    bottom->addWidget(btnChart);
    bottom->addWidget(btnClose);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(controls);
    layout->addWidget(tblList, 1);
    layout->addLayout(bottom);
    cboKindChange();
}

void TfrmLists::cboKindChange()
{
    // Top of a day uses the second picker alone, so that it starts on the last day.
    const bool movers = cboKind->currentIndex() == Movers;
    labDay2->setText(movers ? QStringLiteral("To") : QStringLiteral("Day"));
    labDay1->setVisible(movers);
    dtpDay1->setVisible(movers);
    if (tblList->rowCount() == 0)
        showColumnsFor(movers ? Movers : Top);
}

void TfrmLists::showColumnsFor(Kind kind)
{
    tblList->setColumnHidden(RankFrom, kind == Top);
    tblList->setColumnHidden(Change, kind == Top);
}

void TfrmLists::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The days are asked for once the window shows, so that it never waits
    // unseen; at every showing, as days may have been imported meanwhile.
    QTimer::singleShot(
        0, this, [this] { RunGuarded(m_context.dialogs, this, [this] { readDays(); }); });
}

void TfrmLists::setStatusText(const QString &text)
{
    labStatus->setText(text);
}

std::optional<QByteArray> TfrmLists::fetch(
    const QString &url, const QString &fileName, Fetched what)
{
    const QString file = cacheFolder() + fileName;
    const QString failed = what == Fetched::List
        ? QStringLiteral("The list failed: ")
        : QStringLiteral("Reading the archive's days failed: ");
    bool stored = false;
    {
        setFetching(true);
        setStatusText(what == Fetched::List ? QStringLiteral("Fetching the list...")
                                            : QStringLiteral("Reading the archive's days..."));
        const auto done = qScopeGuard([this] { setFetching(false); });
        stored = m_context.downloader->DownloadFile(url, file);
    }
    if (!stored) {
        const Downloader &downloader = *m_context.downloader;
        if (downloader.lastFailure() == Downloader::Failure::HttpStatus
            && downloader.lastError() == QLatin1String("HTTP 404"))
            setStatusText(QStringLiteral("The service offers no ranking lists."));
        else if (downloader.lastFailure() == Downloader::Failure::Aborted)
            setStatusText(QStringLiteral("Stopped."));
        else
            setStatusText(failed + downloader.lastError());
        return std::nullopt;
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        setStatusText(failed + QStringLiteral("cannot read ") + file);
        return std::nullopt;
    }
    setStatusText({});
    return in.readAll();
}

bool TfrmLists::readDays()
{
    if (isFetching())
        return false;
    const QString shown = labStatus->text(); // what the list shown says
    const auto text = fetch(
        ListDaysUrl(m_context.serviceBaseUrl()), QStringLiteral("lists-days.csv"), Fetched::Days);
    if (!text)
        return false;
    setStatusText(shown);
    const auto range = ReadListDays(*text);
    if (!range) {
        setStatusText(QStringLiteral("The archive holds no days."));
        return false;
    }
    const bool first = m_daysOf.isEmpty();
    // A picker on the last day stays on the last day when days were added.
    const bool onLast = !first && dtpDay2->date() == dtpDay2->maximumDate();
    m_daysOf = m_context.serviceBaseUrl();
    for (QDateEdit *picker : { dtpDay1, dtpDay2 }) {
        picker->setDateRange(range->first, range->last);
        picker->setEnabled(true);
    }
    if (first) {
        dtpDay1->setDate(range->last.addDays(-30) < range->first ? range->first : range->last.addDays(-30));
        dtpDay2->setDate(range->last);
    } else if (onLast) {
        dtpDay2->setDate(range->last);
    }
    return true;
}

void TfrmLists::btnListClick()
{
    if (isFetching())
        return;
    if (m_daysOf != m_context.serviceBaseUrl() && !readDays())
        return;
    if (!edtYear->text().isEmpty() && !edtYear->hasAcceptableInput()) {
        setStatusText(
            QStringLiteral("Year takes a whole number, such as 2017, or nothing for any year."));
        return;
    }
    const Kind kind = cboKind->currentIndex() == Movers ? Movers : Top;
    // The days asked for, as the pickers may change while the list comes.
    const QDate from = kind == Top ? QDate() : dtpDay1->date(), to = dtpDay2->date();
    const QString base = m_context.serviceBaseUrl();
    const QString url = kind == Top
        ? TopListUrl(base, to, spnTop->value(), edtYear->text())
        : MoversListUrl(base, from, to, spnTop->value(), edtYear->text());
    const auto csv = fetch(url, QStringLiteral("lists.csv"), Fetched::List);
    if (!csv)
        return;
    const auto rows = ReadListAnswer(*csv);
    if (!rows) {
        setStatusText(QStringLiteral("The list failed: the answer is no ranking list."));
        return;
    }
    showRows(*rows, kind);
    setStatusText(ListSummary(*rows, from, to));
}

void TfrmLists::showRows(const QList<ListRow> &rows, Kind kind)
{
    tblList->setSortingEnabled(false);
    tblList->clearContents();
    tblList->setRowCount(int(rows.size()));
    m_listFrom = m_listTo = {};
    if (!rows.isEmpty()) {
        m_listFrom = rows.first().from;
        m_listTo = rows.first().to;
    }
    const QString toDay = m_listTo.toString(Qt::ISODate), fromDay = m_listFrom.toString(Qt::ISODate);
    tblList->setHorizontalHeaderLabels({ QStringLiteral("Rank ") + fromDay,
        QStringLiteral("Rank ") + toDay, QStringLiteral("Change"), QStringLiteral("Name"),
        QStringLiteral("Year") });
    for (int i = 0; i < rows.size(); ++i) {
        const ListRow &row = rows[i];
        tblList->setItem(i, RankFrom, new NumberItem(Text(row.rankFrom), row.rankFrom, i));
        tblList->setItem(i, RankTo, new NumberItem(Text(row.rankTo), row.rankTo, i));
        auto *change = new NumberItem(ChangeText(row),
            row.change ? std::optional<qint64>(-*row.change) : std::nullopt, i);
        change->setToolTip(row.status);
        tblList->setItem(i, Change, change);
        auto *name = new QTableWidgetItem(row.name);
        name->setData(Qt::UserRole, row.id);
        name->setToolTip(QStringLiteral("ID ") + row.id);
        tblList->setItem(i, Name, name);
        bool ok = false;
        const qint64 year = row.year.toLongLong(&ok);
        tblList->setItem(i, Year, new NumberItem(row.year, ok ? std::optional<qint64>(year) : std::nullopt, i));
    }
    showColumnsFor(kind);
    // Sorted first, so that the widths leave room for the sort mark.
    tblList->setSortingEnabled(true);
    tblList->sortByColumn(kind == Top ? RankTo : Change, Qt::AscendingOrder);
    tblList->resizeColumnsToContents();
    tblList->horizontalHeader()->setSectionResizeMode(Name, QHeaderView::Stretch);
}

bool TfrmLists::chooseSelected(const QString &verb)
{
    SelectedIDs.clear();
    for (int row = 0; row < tblList->rowCount(); ++row) {
        if (tblList->item(row, Name) && tblList->item(row, Name)->isSelected())
            SelectedIDs << tblList->item(row, Name)->data(Qt::UserRole).toString();
    }
    if (SelectedIDs.isEmpty()) {
        setStatusText(QStringLiteral("Select the games to %1 first.").arg(verb));
        return false;
    }
    return true;
}

void TfrmLists::btnAddClick()
{
    if (isFetching() || !chooseSelected(QStringLiteral("add")))
        return;
    ChartRequested = false;
    accept();
}

void TfrmLists::btnChartClick()
{
    if (isFetching() || !chooseSelected(QStringLiteral("chart")))
        return;
    ChartRequested = true;
    const bool movers = !tblList->isColumnHidden(RankFrom);
    ChartFrom = movers ? m_listFrom : QDate();
    ChartTo = movers ? m_listTo : QDate();
    accept();
}

void TfrmLists::reject()
{
    SelectedIDs.clear();
    ChartRequested = false;
    ServiceWindow::reject();
}
