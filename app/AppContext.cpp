#include "app/AppContext.h"

#include "app/FileLocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

AppContext ProgramContext(Dialogs *dialogs, QString programDir)
{
    if (programDir.isEmpty())
        programDir = QCoreApplication::applicationDirPath();
    const FileLocations files = ProgramFileLocations(programDir);
    PrepareConfigFolder(programDir, files.configDir);

    AppContext context;
    context.settingsFile = files.settingsFile;
    context.cacheRoot = files.cacheRoot;
    context.nodeListFallbacks = {QDir(files.configDir).filePath(QStringLiteral("nodes.txt")),
                                 PackagedNodeList(programDir)};
    context.programName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    context.dialogs = dialogs;
    return context;
}
