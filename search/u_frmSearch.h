// The game search window: finds games by name through the service and hands
// the ID of the chosen game back to the main window (SelectedID). It lives for
// the whole run and keeps its text, results and selection between showings.
#pragma once

#include "ui/ServiceWindow.h"

#include <QString>
#include <QStringList>

class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;
class XmlDocument;

// What the search window uses of the main window: downloads, the cache
// folder and the XML document are shared with it.
struct SearchContext : ServiceWindowContext {
    XmlDocument *document = nullptr;
};

class TfrmSearch : public ServiceWindow
{
    Q_OBJECT
public:
    explicit TfrmSearch(SearchContext context, QWidget *parent = nullptr);

    QFrame *pnlRight = nullptr;
    QPushButton *btnSearch = nullptr;
    QPushButton *btnSelect = nullptr;
    QLineEdit *edtSearch = nullptr;
    QListWidget *lboResult = nullptr;
    // labStatus says that a search is running or why it failed; hidden when
    // empty.

    // Game IDs in step with the lines of lboResult.
    QStringList ResultIDs;
    // The chosen game ID; empty unless a line was chosen in this showing.
    QString SelectedID;

    void btnSearchClick();
    void btnSelectClick();
    void lboResultDblClick();
    void edtSearchDblClick();

    // Esc, the Close button and the close box end here: nothing is chosen in
    // this showing, and a running search is stopped.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void setStatusText(const QString &text);

    XmlDocument *m_document;
};
