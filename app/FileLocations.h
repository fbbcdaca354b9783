// Where the program keeps its files: the settings file and the page cache
// beside the program (a build folder, a copied program folder), or in the
// user's configuration and cache folders (an installed program).
#pragma once

#include <QString>
#include <QStringList>

struct FileLocations {
    QString settingsFile; // "plotwise.ini"
    QString cacheRoot;    // the folder that holds the cache folder "xml/"
    QString configDir;    // the settings file's folder
};

// The default node list an installed program ships: <prefix>/share/plotwise/
// nodes.txt for a program in <prefix>/bin.
[[nodiscard]] QString PackagedNodeList(const QString &programDir);

// Beside the program in programDir when that folder is writable and holds no
// installed program (no packaged node list): a program installed under a
// prefix its user may write (root's /usr, ~/.local) still keeps its files in
// the user's folders. Otherwise userConfigDir and userCacheDir.
[[nodiscard]] FileLocations ChooseFileLocations(const QString &programDir,
                                                const QString &userConfigDir,
                                                const QString &userCacheDir);

// ChooseFileLocations with the user's folders: "plotwise" in the configuration
// and in the cache folder (~/.config/plotwise, ~/.cache/plotwise).
[[nodiscard]] FileLocations ProgramFileLocations(const QString &programDir);

// At start: makes the configuration folder, so the settings file can be
// written at the end, and for an installed program copies the packaged node
// list into it when it holds no "nodes.txt", so the user has a list to edit.
// A folder that cannot be made shows when the settings are written; a copy
// that fails leaves the packaged list to be read in its place.
void PrepareConfigFolder(const QString &programDir, const QString &configDir);

// The "nodes.txt" to read: the current folder's; when there is none, the
// first of fallbacks that exists; when none does, the current folder's again,
// whose reading then reports it missing.
[[nodiscard]] QString NodeListFile(const QStringList &fallbacks);
