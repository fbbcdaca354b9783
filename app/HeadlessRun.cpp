#include "app/HeadlessRun.h"

#include "app/AppContext.h"
#include "app/ChartOutput.h"
#include "app/CommandLine.h"
#include "app/FileLocations.h"
#include "app/HeadlessDialogs.h"
#include "app/NodeList.h"
#include "app/u_frmMain.h"
#include "plot/GameSummary.h"
#include "script/ScriptCheck.h"
#include "script/ScriptFile.h"
#include "service/PlotwiseError.h"
#include "ui/HandlerGuard.h"

#include <QApplication>
#include <QFileInfo>

#include <optional>

namespace {

// Qt's own warnings (fonts, runtime folders, axis notes) would mix with the
// program's messages on standard error; a headless run keeps only those.
void quietQtMessages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        qt_message_output(type, context, text);
}

// The script's text, or nothing after printing why it cannot be read.
std::optional<QString> readScript(const QString &path)
{
    try {
        return ReadScriptFile(path);
    } catch (const PlotwiseError &e) {
        PrintLine(stderr, e.message());
        return std::nullopt;
    }
}

// The node list the desktop program would start with, or none after the
// start-up's message.
QStringList startupNodeList(Dialogs &dialogs)
{
    const QStringList fallbacks = ProgramContext(&dialogs).nodeListFallbacks;
    QStringList nodes;
    RunGuarded(&dialogs, nullptr, [&] { nodes = ReadNodeList(NodeListFile(fallbacks)); });
    return nodes;
}

int runCheck(const CommandLine &commandLine)
{
    const std::optional<QString> script = readScript(commandLine.script);
    if (!script)
        return ExitUsage;
    HeadlessDialogs dialogs;
    const QStringList log = CheckScript(*script, startupNodeList(dialogs));
    for (const QString &line : log)
        PrintLine(stdout, line);
    return log == QStringList{QStringLiteral("Script OK")} ? ExitOk : ExitProblem;
}

int runScript(const CommandLine &commandLine)
{
    const std::optional<QString> script = readScript(commandLine.script);
    if (!script)
        return ExitUsage;

    HeadlessDialogs dialogs;
    AppContext context = ProgramContext(&dialogs);
    context.writeSettingsOnClose = false;
    context.serviceOverride = commandLine.service;

    TfrmMain frmMain(context);
    RunGuarded(&dialogs, &frmMain, [&] { frmMain.ExecuteScript(*script); });

    // The outputs hold what the chart has, also after an error ended the script.
    if (!commandLine.saveImage.isEmpty())
        RunGuarded(&dialogs, &frmMain, [&] {
            WriteChartImage(*frmMain.chaMain, commandLine.saveImage, commandLine.size);
        });
    if (!commandLine.csvFile.isEmpty())
        RunGuarded(&dialogs, &frmMain, [&] { WriteChartCsv(*frmMain.chaMain, commandLine.csvFile); });
    if (commandLine.info) {
        for (const QString &line : std::as_const(frmMain.InfoLines))
            PrintLine(stdout, InfoLineAsShown(line));
    }
    return dialogs.problemReported() ? ExitProblem : ExitOk;
}

} // namespace

int RunCommandLine(const CommandLine &commandLine, int &argc, char **argv)
{
    const QString programName = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    switch (commandLine.mode) {
    case CommandLine::Mode::Help:
        PrintLine(stdout, UsageText(programName));
        return ExitOk;
    case CommandLine::Mode::Version:
        PrintLine(stdout, VersionText());
        return ExitOk;
    case CommandLine::Mode::Usage:
        PrintLine(stderr, commandLine.error);
        PrintLine(stderr, UsageText(programName));
        return ExitUsage;
    case CommandLine::Mode::Check: {
        qInstallMessageHandler(quietQtMessages);
        QCoreApplication app(argc, argv);
        return runCheck(commandLine);
    }
    case CommandLine::Mode::Run: {
        qInstallMessageHandler(quietQtMessages);
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Plotwise"));
        return runScript(commandLine);
    }
    case CommandLine::Mode::Desktop:
        break;
    }
    return ExitUsage;
}
