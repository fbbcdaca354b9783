// The main window's side of the game search: what the windows that ask the
// service use of it, showing the search window and adding the chosen game ID
// to the game box.
#include "app/u_frmMain.h"

#include "search/AppendGameId.h"
#include "search/u_frmSearch.h"
#include "ui/Dialogs.h"

#include <QPlainTextEdit>

ServiceWindowContext TfrmMain::serviceWindowContext()
{
    return { m_context.dialogs, m_context.cacheRoot, [this] { return serviceBaseUrl(); },
        m_downloader.get() };
}

SearchContext TfrmMain::searchContext()
{
    return { serviceWindowContext(), &XMLDocument };
}

void TfrmMain::btnSearchClick()
{
    if (isBusy() || !m_frmSearch)
        return;
    m_context.dialogs->showModal(m_frmSearch);
    const QString id = m_frmSearch->SelectedID;
    if (!id.isEmpty())
        edtGame->setPlainText(AppendGameId(edtGame->toPlainText(), id));
}

void TfrmMain::edtGameDblClick()
{
    btnSearchClick();
}

void TfrmMain::labGameClick()
{
    if (isBusy())
        return;
    edtGame->clear();
}
