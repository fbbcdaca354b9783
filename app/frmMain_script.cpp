// The main window's script commands: the Script button, the executor that
// runs a script line by line through the Load, and the add-line builder.
#include "app/u_frmMain.h"
#include "plot/HistoryLoader.h"
#include "script/ScriptLine.h"
#include "script/u_frmScript.h"
#include "service/TextLines.h"
#include "ui/ComboItems.h"
#include "ui/Dialogs.h"
#include "ui/RadioGroup.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>

ScriptEditorContext TfrmMain::scriptEditorContext()
{
    return { m_context.dialogs, [this] { return ComboItems(*cboRank); },
        [this] { return BuildScriptLines(); } };
}

void TfrmMain::btnScriptClick()
{
    if (isBusy() || !m_frmScript)
        return;
    m_context.dialogs->showModal(m_frmScript);
    if (m_frmScript->executeRequested())
        ExecuteScript(m_frmScript->scriptText());
}

// Sets the main window's controls and colour choice as one script line asks;
// the range box goes through its click handler, as a user's click would.
static void applyScriptRequest(TfrmMain &window, const ScriptRequest &request)
{
    window.edtGame->setPlainText(request.games);
    window.cboRank->setCurrentIndex(FindNodeEntry(ComboItems(*window.cboRank), request.node));
    if (window.cboDate->isChecked() != request.useDateRange) {
        window.cboDate->setChecked(request.useDateRange);
        window.cboDateClick();
    }
    if (request.useDateRange) {
        window.dtpDate1->setDate(request.dateFrom);
        window.dtpDate2->setDate(request.dateTo);
    }
    if (request.vertAxis)
        window.rgoVertAxis->setItemIndex(*request.vertAxis);
    if (request.values)
        window.rgoValues->setItemIndex(*request.values);
    window.setInvertedAxis(request.inverted);
    window.setLogarithmicAxis(request.logarithmic);
    window.setAutoColor(!request.color);
    if (request.color)
        window.setFixedColor(*request.color);
}

// The whole run holds the busy state, so the user's commands that would run
// nested are refused and the user's Stop ends the current Load and the rest
// of the script. Each line runs the Load routine itself: the Load button
// reads "Stop" meanwhile. An error that ends a Load ends the script, with the
// caption left at that line. The lines' Loads share one service state and
// failure list: once the service is found down no line waits for it again,
// and the failures of the whole run are told once, after it.
void TfrmMain::ExecuteScript(const QString &scriptText)
{
    btnClearGraphClick();
    const QStringList lines = SplitLines(scriptText);
    if (lines.isEmpty())
        return;
    DownloadRun run;
    {
        BusyHold busy(*this);
        m_scriptRun = &run;
        const auto endRun = qScopeGuard([this] { m_scriptRun = nullptr; });
        for (qsizetype i = 0; i < lines.size() && !stopRequested(); ++i) {
            btnScript->setText(QStringLiteral("Script %1/%2").arg(i + 1).arg(lines.size()));
            QCoreApplication::processEvents();
            if (stopRequested())
                break;
            const std::optional<ScriptRequest> request = ParseScriptLine(lines[i]);
            if (!request)
                continue;
            applyScriptRequest(*this, *request);
            runLoad();
        }
    }
    if (!run.failures.isEmpty())
        m_context.dialogs->message(this, FailureReport(run.failures));
}

QString TfrmMain::BuildScriptLines() const
{
    ScriptRequest request;
    request.games = edtGame->toPlainText();
    request.node = cboRank->currentText();
    request.useDateRange = cboDate->isChecked();
    request.dateFrom = dtpDate1->date();
    request.dateTo = dtpDate2->date();
    if (rgoVertAxis->itemIndex() >= 0)
        request.vertAxis = rgoVertAxis->itemIndex();
    if (rgoValues->itemIndex() >= 0)
        request.values = rgoValues->itemIndex();
    request.inverted = cboInverted->isChecked();
    request.logarithmic = cboLogAxis->isChecked();
    return FormatScriptLines(request);
}
