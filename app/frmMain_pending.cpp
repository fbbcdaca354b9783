// Temporary definitions of main-window handlers whose subsystems are being
// built; each moves to its subsystem's file when it is implemented.
#include "app/u_frmMain.h"

void TfrmMain::btnLoadClick() {}
void TfrmMain::RunLoad() {}
void TfrmMain::cboDateClick() {}
void TfrmMain::btnInfoClick() {}
bool TfrmMain::UseDateRange() const { return false; }
void TfrmMain::SetUseDateRange(bool) {}
bool TfrmMain::InvertedAxis() const { return false; }
void TfrmMain::SetInvertedAxis(bool) {}
bool TfrmMain::LogarithmicAxis() const { return false; }
void TfrmMain::SetLogarithmicAxis(bool) {}
void TfrmMain::btnScriptClick() {}
void TfrmMain::ExecuteScript(const QString &) {}
QString TfrmMain::BuildScriptLines() const { return {}; }
void TfrmMain::btnGeeklistClick() {}
void TfrmMain::ImportGeeklist(const QString &) {}
void TfrmMain::btnSearchClick() {}
void TfrmMain::edtGameDblClick() {}
void TfrmMain::labGameClick() {}
