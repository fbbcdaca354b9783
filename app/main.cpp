// Program entry: creates the program's lasting windows, runs the event loop
// until the main window closes, and destroys the windows in reverse order.
#include "app/Dialogs.h"
#include "app/u_frmMain.h"
#include "script/u_frmScript.h"

#include <QApplication>
#include <QFileInfo>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plotwise"));
    // The main window ends the loop, whatever other windows are open.
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    AppContext context;
    context.programDir = QCoreApplication::applicationDirPath();
    context.programName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    context.dialogs = &dialogs;

    auto frmMain = std::make_unique<TfrmMain>(context);
    auto frmScript = std::make_unique<TfrmScript>(frmMain.get());
    frmMain->setWindows(frmScript.get(), nullptr);
    QObject::connect(frmMain.get(), &TfrmMain::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frmMain->show();
    const int result = QApplication::exec();
    frmScript.reset();
    frmMain.reset();
    return result;
}
