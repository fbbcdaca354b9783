// Program entry: creates the program's lasting windows, runs the event loop
// until the main window closes, and destroys the windows in reverse order.
#include "app/CommandLine.h"
#include "app/HeadlessRun.h"
#include "app/u_frmMain.h"
#include "script/u_frmScript.h"
#include "search/u_frmSearch.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <memory>

int main(int argc, char *argv[])
{
    // Arguments choose a headless mode (or the usage text), before Qt starts.
    const CommandLine commandLine = ParseCommandLine(ProgramArguments(argc, argv));
    if (commandLine.mode != CommandLine::Mode::Desktop)
        return RunCommandLine(commandLine, argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plotwise"));
    // Lets desktops match the window to the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.plotwise.Plotwise"));
    // The main window ends the loop, whatever other windows are open.
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    AppContext context = ProgramContext(&dialogs);
    context.serviceOverride = commandLine.service; // for this run only, never saved

    auto frmMain = std::make_unique<TfrmMain>(context);
    auto frmScript = std::make_unique<TfrmScript>(frmMain->scriptEditorContext());
    auto frmSearch = std::make_unique<TfrmSearch>(frmMain->searchContext(), frmMain.get());
    frmMain->setWindows(frmScript.get(), frmSearch.get());
    QObject::connect(frmMain.get(), &TfrmMain::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frmMain->show();
    const int result = QApplication::exec();
    frmSearch.reset();
    frmScript.reset();
    frmMain.reset();
    return result;
}
