// The main window's geeklist command: ask for a number and put the board
// games of that geeklist into the game box.
#include "app/u_frmMain.h"

#include "geeklist/GeeklistItems.h"
#include "geeklist/GeeklistNumber.h"
#include "geeklist/u_frmGeeklist.h"
#include "service/CachePaths.h"
#include "service/CachedPage.h"
#include "service/DownloadPage.h"
#include "ui/Dialogs.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QStatusBar>

void TfrmMain::btnGeeklistClick()
{
    if (isBusy())
        return;
    QString number;
    {
        TfrmGeeklist prompt(this);
        m_context.dialogs->showModal(&prompt);
        number = prompt.GeeklistID;
    }
    if (!number.isEmpty())
        ImportGeeklist(number);
}

void TfrmMain::ImportGeeklist(const QString &number)
{
    if (isBusy())
        return;
    // The number goes into the request address and the cache file name: only
    // digits may, so that no typed text can name another file or request.
    if (!IsGeeklistNumber(number)) {
        m_context.dialogs->message(this, QStringLiteral("Geeklist number not valid"));
        return;
    }
    // The download lets the window take events: meanwhile the commands that
    // would run nested are refused, and Stop breaks the download off.
    BusyHold busy(*this);
    stbMain->showMessage(QStringLiteral("Loading geeklist #") + number);
    QCoreApplication::processEvents();

    // The user's Stop, before or during the download, ends the import quietly.
    const auto stopped = [this] { stbMain->showMessage(QStringLiteral("Operation stopped.")); };
    const QString cacheFolder = CacheFolder(m_context.cacheRoot, serviceBaseUrl());
    EnsureCacheFolder(cacheFolder);
    if (stopRequested()) {
        stopped();
        return;
    }
    // A cached geeklist that does not parse would fail every later import of
    // this number: it is deleted, and the next import fetches it again.
    const FetchResult result = LoadCachedPage(XMLDocument,
        GeeklistFile(cacheFolder, number), GeeklistUrl(serviceBaseUrl(), number),
        CachedCopy::Use, Preparation::Always,
        [this](const QString &url, const QString &fileName, bool prepare) {
            FetchResult fetched = DownloadPage(*m_downloader, url, fileName, prepare);
            // A Stop that came in as the download ended counts too; the file stays.
            if (stopRequested())
                fetched.outcome = FetchOutcome::Stopped;
            return fetched;
        });
    if (result.outcome == FetchOutcome::Stopped) {
        stopped();
        return;
    }
    if (result.outcome != FetchOutcome::Stored) {
        m_context.dialogs->message(this,
            QStringLiteral("Can't continue, Geeklist data not downloaded! (") + result.reason
                + QLatin1Char(')'));
        return;
    }
    // The game box keeps its content until here: a failed import leaves it.
    const QString ids = GeeklistGameIds(XMLDocument);
    edtGame->setPlainText(ids);
    // An empty box is otherwise silent; the answer may not even be a geeklist.
    if (ids.isEmpty())
        stbMain->showMessage(QStringLiteral("Geeklist #%1 holds no board games").arg(number));
}
