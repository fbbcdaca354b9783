// Graph and cache commands of the main window: Clear graph, Save graph,
// Print graph, Clear cache.
#include "app/u_frmMain.h"

#include "app/CacheClearing.h"
#include "app/PlotChart.h"
#include "service/CachePaths.h"

void TfrmMain::btnClearGraphClick()
{
    chaMain->clearSeriesList();
    chaMain->repaintNow();
}

void TfrmMain::btnSaveClick()
{
    sdlMain.filter = QStringLiteral("Bitmap file (*.bmp)|*.BMP|PNG image (*.png)|*.PNG"
                                    "|JPEG image (*.jpg *.jpeg)|*.JPG;*.JPEG");
    sdlMain.defaultSuffix = QStringLiteral("bmp");
    sdlMain.overwritePrompt = true;
    const QString fileName = m_context.dialogs->SaveFileName(this, sdlMain);
    if (fileName.isEmpty())
        return;
    sdlMain.selectedFile = fileName;
    chaMain->saveToBitmap(fileName);
}

void TfrmMain::btnPrintClick()
{
    chaMain->print();
}

void TfrmMain::btnClearDataClick()
{
    if (m_context.dialogs->Ask(this, QStringLiteral("Are you sure?"), QStringLiteral("Confirm"), false)
        != Dialogs::Answer::Yes)
        return;
    DeleteCachedPages(CacheFolder(m_context.programDir));
    m_context.dialogs->Message(this, QStringLiteral("Cache cleared"));
}
