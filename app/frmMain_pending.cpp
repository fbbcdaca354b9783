// Temporary definitions of main-window handlers whose subsystems are being
// built; each moves to its subsystem's file when it is implemented.
#include "app/u_frmMain.h"

void TfrmMain::btnScriptClick() {}
void TfrmMain::ExecuteScript(const QString &) {}
QString TfrmMain::BuildScriptLines() const { return {}; }
