// What the windows are handed at start instead of finding it themselves: where
// the settings file, the page cache and the node list are, the program file's
// name, and the dialog seam.
#pragma once

#include <QString>
#include <QStringList>

class Dialogs;

struct AppContext {
    QString settingsFile;          // "plotwise.ini"
    QString cacheRoot;             // holds the cache folder "xml/"; ends without a separator
    QStringList nodeListFallbacks; // read in turn when the current folder has no "nodes.txt"
    QString programName;           // file name of the executable: the User-Agent
    Dialogs *dialogs = nullptr;
    bool writeSettingsOnClose = true; // false for a headless run
    QString serviceOverride;          // base address for this run; empty: from the settings file
    int maxPagesPerGame = 0;          // a Load's bound on one game's pages; 0: the loader's own
};

// The running program's context, with its files where FileLocations puts them
// for a program in programDir (default: the running program's folder), and
// its configuration folder prepared. Needs the application object.
[[nodiscard]] AppContext ProgramContext(Dialogs *dialogs, QString programDir = {});
