// The Load command of the main window: it reads the controls, runs the page
// loop for every game and puts each game's series on the chart; the busy
// state and Stop; the date-range box and the Info button.
#include "app/ChartRefresh.h"
#include "app/PlotChart.h"
#include "app/u_frmMain.h"
#include "plot/HistoryLoader.h"
#include "plot/NodeName.h"
#include "service/CachePaths.h"
#include "service/DownloadPage.h"
#include "service/Downloader.h"
#include "service/PlotwiseError.h"
#include "ui/Dialogs.h"
#include "ui/RadioGroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <memory>

// Longest time between two runs of the window events while pages are read.
static constexpr int PumpIntervalMs = 40;

void TfrmMain::btnLoadClick()
{
    // While busy the button reads "Stop".
    if (isBusy()) {
        requestStop();
        return;
    }
    runLoad();
}

void TfrmMain::runLoad()
{
    const QString nodeText = cboRank->currentText();
    if (nodeText.isEmpty()) {
        m_context.dialogs->message(this, QStringLiteral("Choose a node name"));
        return;
    }
    // A script run keeps one service state and failure list for all its
    // lines and tells the failures itself, once, at its end.
    DownloadRun ownRun;
    DownloadRun &run = m_scriptRun ? *m_scriptRun : ownRun;
    {
        BusyHold busy(*this);
        setCursor(Qt::WaitCursor);
        const auto wrapUp = qScopeGuard([this] { finishLoad(); });
        try {
            loadGames(SplitNodeName(nodeText), run);
        } catch (const std::exception &error) {
            // The pages that could not be had before the error are told with
            // it: the games they cut short must not pass as complete.
            throw PlotwiseError(QString::fromUtf8(error.what()), FailureReport(run.failures));
        }
    }
    if (!m_scriptRun && !run.failures.isEmpty())
        m_context.dialogs->message(this, FailureReport(run.failures));
}

void TfrmMain::loadGames(const NodeName &node, DownloadRun &run)
{
    const QStringList items = CommaTextSplit(edtGame->toPlainText());
    InfoLines.clear();
    const QString cacheFolder = CacheFolder(m_context.cacheRoot, serviceBaseUrl());
    EnsureCacheFolder(cacheFolder);
    const int maxPages = m_context.maxPagesPerGame > 0 ? m_context.maxPagesPerGame
                                                       : HistoryLoader::DefaultMaxPages;
    HistoryLoader loader(
        XMLDocument, cacheFolder, serviceBaseUrl(), node, loadHooks(), run, maxPages);
    loader.setRefreshHours(m_settings.ReadIniInteger(QStringLiteral("cache"),
                                                     QStringLiteral("refresh_hours"), 0));
    ChartRefresh refresh(chaMain);
    // Window events run from the status updates, at most every
    // PumpIntervalMs: the chart is laid out and drawn again after each game
    // (a new legend entry), which costs more than a game's pages from the cache.
    for (const QString &item : items) {
        if (m_stopRequested)
            break;
        const std::optional<qint32> id = WholeNumber(item);
        if (!id)
            continue;
        // The series of a game that fails half-way is discarded; one without
        // points is dropped at once, since it never goes on the chart.
        std::unique_ptr<PlotSeries> series(setUpSeries());
        GameResult game = loader.loadGame(QString::number(*id), item);
        if (finishGame(series.get(), std::move(game)))
            series.release();
        refresh.gameAdded();
    }
    chaMain->setLegendVisible(chaMain->seriesCount() > 1);
}

LoadHooks TfrmMain::loadHooks()
{
    LoadHooks hooks;
    hooks.fetchPage = [this](const QString &url, const QString &fileName, bool prepare) {
        return DownloadPage(*m_downloader, url, fileName, prepare);
    };
    hooks.refetchPage = [this](const QString &url, const QString &fileName, bool prepare,
                            const QByteArray &entityTag) {
        return DownloadPage(*m_downloader, url, fileName, prepare, entityTag);
    };
    // Pages from the cache come faster than anyone can read the status text;
    // letting the window events run after each would cost more than the
    // page, so they run at most every PumpIntervalMs.
    auto sincePump = std::make_shared<QElapsedTimer>();
    sincePump->start();
    hooks.showStatus = [this, sincePump](const QString &text) {
        stbMain->showMessage(text);
        if (sincePump->elapsed() >= PumpIntervalMs) {
            QCoreApplication::processEvents();
            sincePump->restart();
        }
    };
    hooks.readOptions = [this] {
        SeriesOptions options;
        options.useDateRange = UseDateRange();
        options.from = dtpDate1->date();
        options.to = dtpDate2->date();
        options.delta = rgoValues->itemIndex() != 0;
        return options;
    };
    hooks.stopRequested = [this] { return m_stopRequested; };
    return hooks;
}

PlotSeries *TfrmMain::setUpSeries()
{
    chaMain->undoZoom();
    chaMain->setBottomLabelAngle(90);
    PlotSeries *series = chaMain->createSeries(this);
    series->setMarksVisible(false);
    series->setTitle(QString());
    series->setXDateTime(true);
    series->setLineWidth(2);
    const VertAxis axis = rgoVertAxis->itemIndex() == 1 ? VertAxis::Right : VertAxis::Left;
    series->setAxis(axis);
    chaMain->setAxisInverted(axis, InvertedAxis());
    chaMain->setAxisLogarithmic(axis, LogarithmicAxis());
    return series;
}

bool TfrmMain::finishGame(PlotSeries *series, GameResult game)
{
    series->setTitle(game.title);
    series->setPoints(std::move(game.points));
    const bool onChart = series->pointCount() > 0;
    if (onChart)
        chaMain->attachSeries(series);
    if (game.summary.hasValues())
        InfoLines.append(game.summary.infoLine(game.title));
    if (onChart && !AutoColor)
        series->setColor(ColorFromValue(FixedColor));
    return onChart;
}

void TfrmMain::finishLoad()
{
    unsetCursor();
    btnInfo->setEnabled(true);
    stbMain->showMessage(m_stopRequested ? QStringLiteral("Operation stopped.")
                                         : QStringLiteral("Operation complete."));
}

void TfrmMain::setBusy(bool busy)
{
    if (busy ? m_busyDepth++ > 0 : --m_busyDepth > 0)
        return;
    if (busy)
        m_stopRequested = false;
    for (QPushButton *button :
        { btnClearGraph, btnSave, btnPrint, btnClearData, btnScript, btnSearch, btnGeeklist, btnLists })
        button->setEnabled(!busy);
    btnLoad->setText(busy ? QStringLiteral("Stop") : QStringLiteral("Load"));
    // A close asked for while busy waited for the work to unwind.
    if (!busy && m_closeWhenIdle)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TfrmMain::requestStop()
{
    if (!isBusy())
        return;
    m_stopRequested = true;
    m_downloader->abort();
}

bool TfrmMain::deferCloseWhileBusy()
{
    if (!isBusy())
        return false;
    m_closeWhenIdle = true;
    requestStop();
    return true;
}

void TfrmMain::cboDateClick()
{
    setUseDateRange(cboDate->isChecked());
}

void TfrmMain::btnInfoClick()
{
    // The info lines double each "&" for a box that shows "&&" as one; Qt's
    // message box shows text as it stands.
    QString text;
    for (const QString &line : std::as_const(InfoLines))
        text += InfoLineAsShown(line) + QLatin1Char('\n');
    m_context.dialogs->message(this, text);
}
