#include "app/AppContext.h"

#include <QCoreApplication>
#include <QFileInfo>

AppContext ProgramContext(Dialogs *dialogs)
{
    AppContext context;
    context.programDir = QCoreApplication::applicationDirPath();
    context.programName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    context.dialogs = dialogs;
    return context;
}
