// The game search window: finds games by name through the service and hands
// the ID of the chosen game back to the main window (SelectedID). It lives for
// the whole run and keeps its text, results and selection between showings.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class Dialogs;
class Downloader;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class XmlDocument;

// What the search window uses of the main window: downloads, the cache
// folder and the XML document are shared with it.
struct SearchContext {
    Dialogs *dialogs = nullptr;
    QString cacheRoot; // the cache folder is below it
    std::function<QString()> serviceBaseUrl; // read at every search
    Downloader *downloader = nullptr;
    XmlDocument *document = nullptr;
};

class TfrmSearch : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSearch(SearchContext context, QWidget *parent = nullptr);

    QFrame *pnlRight = nullptr;
    QPushButton *btnSearch = nullptr;
    QPushButton *btnSelect = nullptr;
    QPushButton *btnClose = nullptr;
    QLineEdit *edtSearch = nullptr;
    QListWidget *lboResult = nullptr;
    // Says that a search is running or why it failed; hidden when empty.
    QLabel *labStatus = nullptr;

    // Game IDs in step with the lines of lboResult.
    QStringList ResultIDs;
    // The chosen game ID; empty unless a line was chosen in this showing.
    QString SelectedID;

    void btnSearchClick();
    void btnSelectClick();
    void lboResultDblClick();
    void edtSearchDblClick();
    void btnCloseClick();

    [[nodiscard]] bool isSearching() const { return m_searching; }

    // Esc, the Close button and the close box end here: nothing is chosen in
    // this showing, and a running search is stopped.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void setSearching(bool searching);
    void setStatusText(const QString &text);

    SearchContext m_context;
    bool m_searching = false;
};
