// The main window's geeklist command: ask for a number and put the board
// games of that geeklist into the game box.
#include "app/u_frmMain.h"

#include "ui/Dialogs.h"
#include "geeklist/GeeklistItems.h"
#include "geeklist/GeeklistNumber.h"
#include "geeklist/u_frmGeeklist.h"
#include "service/CachePaths.h"
#include "service/Downloader.h"
#include "service/PlotwiseError.h"
#include "service/XmlPrepare.h"

#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QStatusBar>

void TfrmMain::btnGeeklistClick()
{
    if (IsBusy())
        return;
    QString number;
    {
        TfrmGeeklist prompt(this);
        m_context.dialogs->ShowModal(&prompt);
        number = prompt.GeeklistID;
    }
    if (!number.isEmpty())
        ImportGeeklist(number);
}

void TfrmMain::ImportGeeklist(const QString &number)
{
    if (IsBusy())
        return;
    // The number goes into the request address and the cache file name: only
    // digits may, so that no typed text can name another file or request.
    if (!IsGeeklistNumber(number)) {
        m_context.dialogs->Message(this, QStringLiteral("Geeklist number not valid"));
        return;
    }
    // The download lets the window take events: meanwhile the commands that
    // would run nested are refused, and Stop breaks the download off.
    BusyHold busy(*this);
    stbMain->showMessage(QStringLiteral("Loading geeklist #") + number);
    QCoreApplication::processEvents();

    EnsureCacheFolder(m_context.programDir);
    const QString fileName = GeeklistFile(m_context.programDir, number);
    bool fetched = true;
    if (!StopRequested() && !QFile::exists(fileName))
        fetched = DownloadFile(GeeklistUrl(serviceBaseUrl(), number), fileName);
    // The user's Stop, before or during the download, ends the import quietly.
    if (StopRequested()) {
        stbMain->showMessage(QStringLiteral("Operation stopped."));
        return;
    }
    if (!fetched) {
        m_context.dialogs->Message(this,
                                   QStringLiteral("Can't continue, Geeklist data not downloaded! (")
                                       + downloader().lastError() + QLatin1Char(')'));
        return;
    }
    PrepareXmlFile(fileName);
    try {
        XMLDocument.LoadFile(fileName);
    } catch (const PlotwiseError &) {
        // A cached geeklist that does not parse would fail every later import
        // of this number; without it the next import fetches it again.
        QFile::remove(fileName);
        throw;
    }
    // The game box keeps its content until here: a failed import leaves it.
    const QString ids = GeeklistGameIds(XMLDocument);
    edtGame->setPlainText(ids);
    // An empty box is otherwise silent; the answer may not even be a geeklist.
    if (ids.isEmpty())
        stbMain->showMessage(QStringLiteral("Geeklist #%1 holds no board games").arg(number));
}
