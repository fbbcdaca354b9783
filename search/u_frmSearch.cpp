#include "search/u_frmSearch.h"

#include "search/SearchAnswer.h"
#include "service/CachePaths.h"
#include "service/CachedPage.h"
#include "service/DownloadPage.h"
#include "service/Downloader.h"
#include "ui/Dialogs.h"
#include "ui/HandlerGuard.h"
#include "ui/InterfaceFont.h"
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

// Gives the widget its control name, by which tests and the code find it.
template <typename Widget>
static Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

TfrmSearch::TfrmSearch(SearchContext context, QWidget *parent)
    : QDialog(parent)
    , m_context(std::move(context))
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("Search"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    setFont(InterfaceFont(font()));
    buildControls();
    SetOuterSize(this, QSize(517, 311), {}, true);

    Dialogs *dialogs = m_context.dialogs;
    connect(btnSearch, &QPushButton::clicked, this,
            Guarded(dialogs, this, [this] { btnSearchClick(); }));
    connect(btnSelect, &QPushButton::clicked, this,
            Guarded(dialogs, this, [this] { btnSelectClick(); }));
    connect(btnClose, &QPushButton::clicked, this,
            Guarded(dialogs, this, [this] { btnCloseClick(); }));
    edtSearch->installEventFilter(this);
    lboResult->viewport()->installEventFilter(this);
}

void TfrmSearch::buildControls()
{
    // Left: the search box in a strip 38 high, the result list below it.
    edtSearch = named(new QLineEdit, "edtSearch");
    lboResult = named(new QListWidget, "lboResult");
    lboResult->setSelectionMode(QAbstractItemView::SingleSelection);
    labStatus = named(new QLabel, "labStatus");
    labStatus->setWordWrap(true);
    labStatus->hide();

    auto *pnlTop = named(new QWidget, "pnlTop");
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
    pnlRight = named(new QFrame, "pnlRight");
    pnlRight->setFixedWidth(88);
    btnSearch = named(new QPushButton(QStringLiteral("Search")), "btnSearch");
    btnSelect = named(new QPushButton(QStringLiteral("Select")), "btnSelect");
    btnClose = named(new QPushButton(QStringLiteral("Close")), "btnClose");
    btnSearch->setDefault(true);
    auto *pnlRightBottom = named(new QWidget, "pnlRightBottom");
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

void TfrmSearch::setSearching(bool searching)
{
    m_searching = searching;
    btnSearch->setEnabled(!searching);
    btnSelect->setEnabled(!searching);
}

void TfrmSearch::setStatusText(const QString &text)
{
    labStatus->setText(text);
    labStatus->setVisible(!text.isEmpty());
}

void TfrmSearch::btnSearchClick()
{
    if (m_searching)
        return;
    ResultIDs.clear();
    lboResult->clear();
    setStatusText({});

    const QString cacheFolder = CacheFolder(m_context.cacheRoot, m_context.serviceBaseUrl());
    EnsureCacheFolder(cacheFolder);
    const QString url = SearchUrl(m_context.serviceBaseUrl(), edtSearch->text());

    // The download keeps the window responsive; meanwhile Search and Select
    // are refused and the window says what it is doing. Every search fetches
    // afresh into the one result file, which is not prepared.
    FetchResult result;
    {
        setSearching(true);
        setStatusText(QStringLiteral("Searching..."));
        const auto done = qScopeGuard([this] {
            setSearching(false);
            setStatusText({});
        });
        result = LoadCachedPage(*m_context.document, SearchFile(cacheFolder), url,
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

    WalkSearchAnswer(*m_context.document, [this](const SearchHit &hit) {
        ResultIDs << hit.id;
        lboResult->addItem(hit.line);
    });
    // An empty list says why: no game matched, or the answer held none.
    if (ResultIDs.isEmpty())
        setStatusText(QStringLiteral("No games found."));
}

void TfrmSearch::btnSelectClick()
{
    if (m_searching)
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

void TfrmSearch::btnCloseClick()
{
    reject();
}

void TfrmSearch::reject()
{
    SelectedID.clear();
    if (m_searching)
        m_context.downloader->abort();
    QDialog::reject();
}
