// The main window's side of the ranking lists: showing the Lists window and
// putting the games chosen there into the game box, or onto the chart.
#include "app/u_frmMain.h"

#include "lists/u_frmLists.h"
#include "search/AppendGameId.h"

#include <QComboBox>
#include <QDateEdit>
#include <QPlainTextEdit>

void TfrmMain::btnListsClick()
{
    if (isBusy())
        return;
    if (!m_frmLists)
        m_frmLists = new TfrmLists(serviceWindowContext(), this);
    m_context.dialogs->showModal(m_frmLists);
    const QStringList ids = m_frmLists->SelectedIDs;
    if (ids.isEmpty())
        return;
    QString text = edtGame->toPlainText();
    for (const QString &id : ids)
        text = AppendGameId(text, id);
    edtGame->setPlainText(text);
    if (!m_frmLists->ChartRequested)
        return;
    const int rankNode = cboRank->findText(QStringLiteral("ranks/rank|name=boardgame"));
    if (rankNode >= 0)
        cboRank->setCurrentIndex(rankNode);
    if (m_frmLists->ChartFrom.isValid() && m_frmLists->ChartTo.isValid()) {
        setUseDateRange(true);
        dtpDate1->setDate(std::min(m_frmLists->ChartFrom, m_frmLists->ChartTo));
        dtpDate2->setDate(std::max(m_frmLists->ChartFrom, m_frmLists->ChartTo));
    }
    btnLoadClick();
}
