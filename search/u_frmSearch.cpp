#include "search/u_frmSearch.h"

#include "search/SearchAnswer.h"
#include "service/CachePaths.h"
#include "service/CachedPage.h"
#include "service/DownloadPage.h"
#include "service/Downloader.h"
#include "ui/Dialogs.h"
#include "ui/HandlerGuard.h"
#include "ui/WindowFrame.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

TfrmSearch::TfrmSearch(SearchContext context, QWidget *parent)
    : ServiceWindow(context, "frmSearch", QStringLiteral("Search"), parent)
    , m_document(context.document)
{
    buildControls();
    SetOuterSize(this, QSize(517, 311), {}, true);
    m_fetchControls = { btnSearch, btnSelect };

    Dialogs *dialogs = m_context.dialogs;
    connect(btnSearch, &QPushButton::clicked, this,
            Guarded(dialogs, this, [this] { btnSearchClick(); }));
    connect(btnSelect, &QPushButton::clicked, this,
            Guarded(dialogs, this, [this] { btnSelectClick(); }));
    edtSearch->installEventFilter(this);
    lboResult->viewport()->installEventFilter(this);
}

void TfrmSearch::buildControls()
{
    // Left: the search box in a strip 38 high, the result list below it.
    edtSearch = Named(new QLineEdit, "edtSearch");
    lboResult = Named(new QListWidget, "lboResult");
    lboResult->setSelectionMode(QAbstractItemView::SingleSelection);
    labStatus->hide();

    auto *pnlTop = Named(new QWidget, "pnlTop");
    pnlTop->setFixedHeight(38);
    auto *topLayout = new QHBoxLayout(pnlTop);
    topLayout->setContentsMargins(8, 8, 8, 6);
    topLayout->addWidget(edtSearch);

    auto *leftLayout = new QVBoxLayout;
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    leftLayout->addWidget(pnlTop);
    auto *listLayout = new QVBoxLayout;
    listLayout->setContentsMargins(8, 0, 0, 8);
    listLayout->setSpacing(4);
    listLayout->addWidget(lboResult, 1);
    listLayout->addWidget(labStatus);
    leftLayout->addLayout(listLayout, 1);

    // Right: a panel 88 wide with Search and Select at the top and Close in a
    // strip 36 high at the bottom.
    pnlRight = Named(new QFrame, "pnlRight");
    pnlRight->setFixedWidth(88);
    btnSearch = Named(new QPushButton(QStringLiteral("Search")), "btnSearch");
    btnSelect = Named(new QPushButton(QStringLiteral("Select")), "btnSelect");
    btnSearch->setDefault(true);
    auto *pnlRightBottom = Named(new QWidget, "pnlRightBottom");
    pnlRightBottom->setFixedHeight(36);
    auto *bottomLayout = new QVBoxLayout(pnlRightBottom);
    bottomLayout->setContentsMargins(0, 0, 0, 8);
    bottomLayout->addWidget(btnClose);

    auto *rightLayout = new QVBoxLayout(pnlRight);
    rightLayout->setContentsMargins(7, 8, 6, 0);
    rightLayout->setSpacing(6);
    rightLayout->addWidget(btnSearch);
    rightLayout->addWidget(btnSelect);
    rightLayout->addStretch(1);
    rightLayout->addWidget(pnlRightBottom);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(leftLayout, 1);
    layout->addWidget(pnlRight);

    setTabOrder(edtSearch, lboResult);
    setTabOrder(lboResult, btnSearch);
    setTabOrder(btnSearch, btnSelect);
    setTabOrder(btnSelect, btnClose);
}

bool TfrmSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        Dialogs *dialogs = m_context.dialogs;
        if (watched == edtSearch) {
            RunGuarded(dialogs, this, [this] { edtSearchDblClick(); });
            return true;
        }
        if (watched == lboResult->viewport()) {
            RunGuarded(dialogs, this, [this] { lboResultDblClick(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmSearch::setStatusText(const QString &text)
{
    labStatus->setText(text);
    labStatus->setVisible(!text.isEmpty());
}

void TfrmSearch::btnSearchClick()
{
    if (isFetching())
        return;
    ResultIDs.clear();
    lboResult->clear();
    setStatusText({});

    const QString folder = cacheFolder();
    const QString url = SearchUrl(m_context.serviceBaseUrl(), edtSearch->text());

    // The download keeps the window responsive; meanwhile Search and Select
    // are refused and the window says what it is doing. Every search fetches
    // afresh into the one result file, which is not prepared.
    FetchResult result;
    {
        setFetching(true);
        setStatusText(QStringLiteral("Searching..."));
        const auto done = qScopeGuard([this] {
            setFetching(false);
            setStatusText({});
        });
        result = LoadCachedPage(*m_document, SearchFile(folder), url,
            CachedCopy::FetchAgain, Preparation::Never,
            [this](const QString &pageUrl, const QString &fileName, bool prepare) {
                return DownloadPage(*m_context.downloader, pageUrl, fileName, prepare);
            });
    }
    if (result.outcome != FetchOutcome::Stored) {
        setStatusText(result.outcome == FetchOutcome::Stopped
                          ? QStringLiteral("Search stopped.")
                          : QStringLiteral("Search failed: ") + result.reason);
        return;
    }

    WalkSearchAnswer(*m_document, [this](const SearchHit &hit) {
        ResultIDs << hit.id;
        lboResult->addItem(hit.line);
    });
    // An empty list says why: no game matched, or the answer held none.
    if (ResultIDs.isEmpty())
        setStatusText(QStringLiteral("No games found."));
}

void TfrmSearch::btnSelectClick()
{
    if (isFetching())
        return;
    const QList<QListWidgetItem *> selected = lboResult->selectedItems();
    if (selected.isEmpty()) {
        m_context.dialogs->message(this, QStringLiteral("You must select a game name"));
        return;
    }
    SelectedID = ResultIDs.value(lboResult->row(selected.constFirst()));
    accept();
}

void TfrmSearch::lboResultDblClick()
{
    btnSelectClick();
}

void TfrmSearch::edtSearchDblClick()
{
    edtSearch->clear();
}

void TfrmSearch::reject()
{
    SelectedID.clear();
    ServiceWindow::reject();
}
