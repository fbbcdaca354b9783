// Graph and cache commands of the main window: Clear graph, Save graph,
// Print graph, Clear cache, and Copy from the chart.
#include "app/u_frmMain.h"

#include "app/CacheClearing.h"
#include "app/ChartOutput.h"
#include "app/PlotChart.h"
#include "service/CachePaths.h"

#include <QClipboard>
#include <QGuiApplication>

void TfrmMain::btnClearGraphClick()
{
    chaMain->clearSeriesList();
    chaMain->repaintNow();
}

void TfrmMain::btnSaveClick()
{
    sdlMain.filter = QStringLiteral("Bitmap file (*.bmp)|*.BMP|PNG image (*.png)|*.PNG"
                                    "|JPEG image (*.jpg *.jpeg)|*.JPG;*.JPEG|PDF document (*.pdf)|*.PDF"
                                    "|SVG image (*.svg)|*.SVG|CSV points (*.csv)|*.CSV");
    sdlMain.defaultSuffix = QStringLiteral("bmp");
    sdlMain.overwritePrompt = true;
    const QString fileName = m_context.dialogs->saveFileName(this, sdlMain);
    if (fileName.isEmpty())
        return;
    sdlMain.selectedFile = fileName;
    SaveGraphImage(*chaMain, fileName);
}

void TfrmMain::chaMainCopy()
{
    // Like Save graph, refused while a Load draws the chart.
    if (isBusy())
        return;
    QGuiApplication::clipboard()->setImage(ChartImage(*chaMain, chaMain->size()));
}

void TfrmMain::btnPrintClick()
{
    PrintChart(*chaMain);
}

void TfrmMain::btnClearDataClick()
{
    if (m_context.dialogs->ask(this, QStringLiteral("Are you sure?"), QStringLiteral("Confirm"), false)
        != Dialogs::Answer::Yes)
        return;
    // The pages of the service in use; other services' folders stay.
    DeleteCachedPages(CacheFolder(m_context.cacheRoot, serviceBaseUrl()));
    m_context.dialogs->message(this, QStringLiteral("Cache cleared"));
}
