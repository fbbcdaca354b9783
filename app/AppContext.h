// What the windows are handed at start instead of finding it themselves: the
// program's folder (settings file and cache live there), the program file's
// name, and the dialog seam.
#pragma once

#include <QString>

class Dialogs;

struct AppContext {
    QString programDir;  // ends without a separator
    QString programName; // file name of the executable: the User-Agent
    Dialogs *dialogs = nullptr;
    bool writeSettingsOnClose = true; // false for a headless run
    QString serviceOverride;          // base address for this run; empty: from the settings file
    int maxPagesPerGame = 0;          // a Load's bound on one game's pages; 0: the loader's own
};

// The running program's context: its folder and file name, with dialogs. Needs
// the application object.
[[nodiscard]] AppContext ProgramContext(Dialogs *dialogs);
