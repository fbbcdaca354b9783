// The main window: game box, node list, date range, axis and value options,
// command buttons, the chart and the status bar. Its handlers live in several
// files by subsystem, all in app/: start-up and settings (u_frmMain.cpp),
// graph and cache commands (frmMain_graph.cpp), Load (frmMain_load.cpp),
// scripts (frmMain_script.cpp), search (frmMain_search.cpp), geeklists
// (frmMain_geeklist.cpp) and ranking lists (frmMain_lists.cpp).
#pragma once

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "service/XmlDocument.h"
#include "service/u_Function.h"
#include "ui/Dialogs.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class Downloader;
class PlotChart;
class PlotSeries;
struct DownloadRun;
struct GameResult;
struct LoadHooks;
struct NodeName;
class RadioGroup;
class TKeyCueFix;
class TfrmScript;
class TfrmSearch;
class TfrmLists;
struct ScriptEditorContext;
struct SearchContext;
struct ServiceWindowContext;

class TfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfrmMain(const AppContext &context, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The program entry hands over the other two lasting windows, made with
    // what they use of this one.
    void setWindows(TfrmScript *script, TfrmSearch *search);
    [[nodiscard]] ScriptEditorContext scriptEditorContext();
    [[nodiscard]] SearchContext searchContext();
    [[nodiscard]] ServiceWindowContext serviceWindowContext();

    // Controls, named as in the layout; other subsystems read and set them.
    QFrame *pnlLeft = nullptr;
    QFrame *pnlLeftBottom = nullptr;
    QLabel *labGame = nullptr;
    QPlainTextEdit *edtGame = nullptr;
    QPushButton *btnGeeklist = nullptr;
    QPushButton *btnSearch = nullptr;
    QPushButton *btnLists = nullptr; // beside the design's controls
    QLabel *labData = nullptr;
    QComboBox *cboRank = nullptr;
    QCheckBox *cboDate = nullptr;
    QLabel *labDate1 = nullptr;
    QDateEdit *dtpDate1 = nullptr;
    QLabel *labDate2 = nullptr;
    QDateEdit *dtpDate2 = nullptr;
    RadioGroup *rgoVertAxis = nullptr;
    RadioGroup *rgoValues = nullptr;
    QCheckBox *cboInverted = nullptr;
    QCheckBox *cboLogAxis = nullptr;
    QPushButton *btnLoad = nullptr;
    QPushButton *btnClearGraph = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnClearData = nullptr;
    QPushButton *btnScript = nullptr;
    QPushButton *btnInfo = nullptr;
    QPushButton *btnClose = nullptr;
    PlotChart *chaMain = nullptr;
    QStatusBar *stbMain = nullptr;

    // Option properties.
    [[nodiscard]] bool UseDateRange() const;
    void setUseDateRange(bool on);
    [[nodiscard]] bool InvertedAxis() const;
    void setInvertedAxis(bool on);
    [[nodiscard]] bool LogarithmicAxis() const;
    void setLogarithmicAxis(bool on);
    void setAutoColor(bool on) { AutoColor = on; }
    void setFixedColor(ColorValue color) { FixedColor = color; }

    QStringList InfoLines;
    bool AutoColor = true;
    ColorValue FixedColor = 0;
    XmlDocument XMLDocument;
    // The save dialog of "Save graph"; it offers the last chosen name again.
    FileDialogSpec sdlMain;

    // Start-up and end.
    void FormCreate();
    void FormDestroy();

    // Settings file beside the program.
    [[nodiscard]] IniFile &settings() { return m_settings; }
    [[nodiscard]] const AppContext &context() const { return m_context; }
    [[nodiscard]] QString serviceBaseUrl() const;

    // The one downloader of every service request; see service/Downloader.h.
    [[nodiscard]] Downloader &downloader() { return *m_downloader; }

    // Handlers.
    void btnCloseClick();
    void btnLoadClick();
    void cboDateClick();
    void btnInfoClick();
    void btnClearGraphClick();
    void btnSaveClick();
    void btnPrintClick();
    void chaMainCopy();
    void btnClearDataClick();
    void btnScriptClick();
    void btnGeeklistClick();
    void btnSearchClick();
    void btnListsClick();
    void edtGameDblClick();
    void labGameClick();

    // The Load routine itself: what btnLoadClick runs, and what the script
    // executor calls for every line whatever the busy state of the controls.
    void runLoad();
    void ExecuteScript(const QString &scriptText);
    [[nodiscard]] QString BuildScriptLines() const;
    void ImportGeeklist(const QString &number);

    // Busy state: while a Load or a script runs, the user's commands that
    // would run nested are refused: their buttons are disabled and btnLoad
    // reads "Stop". runLoad holds it for one Load; a script holds it across
    // its Loads with a BusyHold of its own. Holds nest; the outermost one
    // starts and ends the busy state.
    [[nodiscard]] bool isBusy() const { return m_busyDepth > 0; }
    class BusyHold
    {
    public:
        explicit BusyHold(TfrmMain &window) : m_window(window) { m_window.setBusy(true); }
        ~BusyHold() { m_window.setBusy(false); }
        BusyHold(const BusyHold &) = delete;
        BusyHold &operator=(const BusyHold &) = delete;

    private:
        TfrmMain &m_window;
    };
    // The user's Stop: the running Load finishes its current game with the
    // points it has and skips the rest; a running download is broken off.
    // The request stands until the outermost hold ends, so a script sees it
    // through stopRequested() and ends too.
    void requestStop();
    [[nodiscard]] bool stopRequested() const { return m_stopRequested; }
    // For closeEvent: while busy, requests the stop and closes the window
    // once the work has unwound; true when the close is to wait.
    bool deferCloseWhileBusy();

signals:
    // The window has closed: the program entry ends the event loop.
    void closed();

protected:
    // Runs FormDestroy (unless the start-up did not restore the settings or
    // the run writes none), then lets the window close.
    void closeEvent(QCloseEvent *event) override;
    // Esc presses btnClose; the game box keeps the key (see eventFilter).
    void keyPressEvent(QKeyEvent *event) override;
    // labGame click, edtGame double click (ignored while busy), Esc in edtGame.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void connectHandlers();
    void setBusy(bool busy);

    // Load, in frmMain_load.cpp.
    void loadGames(const NodeName &node, DownloadRun &run);
    LoadHooks loadHooks();
    PlotSeries *setUpSeries();
    bool finishGame(PlotSeries *series, GameResult game);
    void finishLoad();

    AppContext m_context;
    IniFile m_settings;
    std::unique_ptr<Downloader> m_downloader;
    TKeyCueFix *m_keyCueFix = nullptr;
    TfrmScript *m_frmScript = nullptr;
    TfrmSearch *m_frmSearch = nullptr;
    TfrmLists *m_frmLists = nullptr; // made at its first showing, a child of this window
    // While a script runs: the service state and failures its Loads share.
    DownloadRun *m_scriptRun = nullptr;
    int m_busyDepth = 0;
    bool m_stopRequested = false;
    bool m_closeWhenIdle = false;
    // Set when FormCreate restored every value; only then does the close
    // write them back, once.
    bool m_settingsRestored = false;
};
