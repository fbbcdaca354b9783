// The main window: its controls, start-up and end (settings and node list),
// the option properties and the window-level events.
#include "app/u_frmMain.h"

#include "app/FileLocations.h"
#include "app/NodeList.h"
#include "app/PlotChart.h"
#include "app/WindowSettings.h"
#include "service/CachePaths.h"
#include "service/Downloader.h"
#include "ui/HandlerGuard.h"
#include "ui/InterfaceFont.h"
#include "ui/KeyCueFixUnit.h"
#include "ui/RadioGroup.h"
#include "ui/WindowFrame.h"
#include "ui/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

// The user's short date format with a four-digit year: a two-digit year would
// be read back in the wrong century.
static QString pickerDateFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

template <typename W>
static W *place(W *widget, const char *name, const QRect &geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

// A label sized to its caption, at left, top.
static QLabel *placeLabel(QWidget *parent, const char *name, const QString &caption, int left,
                          int top)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->adjustSize();
    label->move(left, top);
    return label;
}

static QPushButton *placeButton(QWidget *parent, const char *name, const QString &caption,
                                const QRect &geometry)
{
    return place(new QPushButton(caption, parent), name, geometry);
}

TfrmMain::TfrmMain(const AppContext &context, QWidget *parent)
    : QMainWindow(parent),
      m_context(context),
      m_settings(context.settingsFile),
      m_downloader(std::make_unique<Downloader>(context.programName))
{
    setObjectName(QStringLiteral("frmMain"));
    buildControls();
    connectHandlers();
    RunGuarded(m_context.dialogs, this, [this] { FormCreate(); });
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::setWindows(TfrmScript *script, TfrmSearch *search)
{
    m_frmScript = script;
    m_frmSearch = search;
}

void TfrmMain::buildControls()
{
    setMinimumSize(MainWindowMinimumSize);
    resize(MainWindowLayoutSize);
    // The controls' places and sizes are fixed: the interface font, 11 pixels
    // high and condensed, lets every caption fit them.
    setFont(InterfaceFont(font()));

    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    setCentralWidget(central);

    // The panel scrolls where the window is shorter than its controls (a
    // small screen, a large scale), so that every control stays in reach.
    auto *panelScroll = new QScrollArea(central);
    panelScroll->setFrameShape(QFrame::NoFrame);
    panelScroll->setFocusPolicy(Qt::NoFocus);
    panelScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    panelScroll->setWidgetResizable(true);
    pnlLeft = new QFrame;
    pnlLeft->setObjectName(QStringLiteral("pnlLeft"));
    pnlLeft->setFixedWidth(177);
    panelScroll->setWidget(pnlLeft);
    // As wide as the panel, and its scroll bar while that shows.
    QScrollBar *bar = panelScroll->verticalScrollBar();
    const auto fitWidth = [panelScroll, bar] {
        panelScroll->setFixedWidth(177 + (bar->maximum() > 0 ? bar->sizeHint().width() : 0));
    };
    connect(bar, &QScrollBar::rangeChanged, panelScroll, fitWidth);
    fitWidth();
    row->addWidget(panelScroll);
    // The chart's room gives up its width down to none, so that at the
    // window's minimum width the panel keeps its own: the chart, whose minimum
    // follows its axes and legend, is cut off there instead of laid over it.
    auto *chartRoom = new QWidget(central);
    chartRoom->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *fill = new QHBoxLayout(chartRoom);
    fill->setContentsMargins(0, 0, 0, 0);
    chaMain = new PlotChart(chartRoom);
    chaMain->setObjectName(QStringLiteral("chaMain"));
    fill->addWidget(chaMain);
    row->addWidget(chartRoom, 1);

    QWidget *p = pnlLeft;
    labGame = placeLabel(p, "labGame", QStringLiteral("Game ID1, ID2, ..."), 8, 8);
    edtGame = place(new QPlainTextEdit(p), "edtGame", {8, 24, 161, 89});
    edtGame->setTabChangesFocus(true);
    btnGeeklist = placeButton(p, "btnGeeklist", QStringLiteral("Geeklist..."), {94, 5, 75, 17});
    btnSearch = placeButton(p, "btnSearch", QStringLiteral("Search..."), {94, 117, 75, 17});
    labData = placeLabel(p, "labData", QStringLiteral("Game value"), 8, 120);
    cboRank = place(new QComboBox(p), "cboRank", {8, 136, 161, 21});
    cboDate = place(new QCheckBox(QStringLiteral("Use this range:"), p), "cboDate", {8, 164, 161, 17});
    // Not of the design: on the free right of the range box's row, as Search...
    // is on the value label's, and never over the box's caption.
    const int listsLeft = std::max(94, cboDate->x() + cboDate->sizeHint().width() + 4);
    btnLists = placeButton(p, "btnLists", QStringLiteral("Lists..."), {listsLeft, 164, 169 - listsLeft, 17});
    labDate1 = placeLabel(p, "labDate1", QStringLiteral("From"), 8, 188);
    dtpDate1 = place(new QDateEdit(QDate::currentDate(), p), "dtpDate1", {40, 184, 130, 21});
    labDate2 = placeLabel(p, "labDate2", QStringLiteral("To"), 8, 212);
    dtpDate2 = place(new QDateEdit(QDate::currentDate(), p), "dtpDate2", {40, 208, 129, 21});
    for (QDateEdit *picker : {dtpDate1, dtpDate2}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(pickerDateFormat());
        picker->setMinimumDate(QDate(100, 1, 1));
    }
    rgoVertAxis = place(new RadioGroup(QStringLiteral("Vertical axis"),
                                       {QStringLiteral("Left"), QStringLiteral("Right")}, p),
                        "rgoVertAxis", {8, 232, 76, 57});
    rgoValues = place(new RadioGroup(QStringLiteral("Values"),
                                     {QStringLiteral("Standard"), QStringLiteral("Delta")}, p),
                      "rgoValues", {96, 232, 76, 57});
    cboInverted = place(new QCheckBox(QStringLiteral("Inverted axis"), p), "cboInverted", {8, 290, 80, 25});
    cboLogAxis = place(new QCheckBox(QStringLiteral("Logarithmic"), p), "cboLogAxis", {96, 290, 80, 25});
    btnLoad = placeButton(p, "btnLoad", QStringLiteral("Load"), {8, 320, 161, 25});
    btnClearGraph = placeButton(p, "btnClearGraph", QStringLiteral("Clear graph"), {8, 352, 161, 25});
    btnSave = placeButton(p, "btnSave", QStringLiteral("Save graph"), {8, 384, 161, 25});
    btnPrint = placeButton(p, "btnPrint", QStringLiteral("Print graph"), {8, 416, 161, 25});
    btnClearData = placeButton(p, "btnClearData", QStringLiteral("Clear cache"), {8, 448, 161, 25});
    btnScript = placeButton(p, "btnScript", QStringLiteral("Script"), {8, 480, 161, 25});
    btnInfo = placeButton(p, "btnInfo", QStringLiteral("Info"), {8, 512, 161, 25});
    btnInfo->setEnabled(false);

    // The bottom strip of the panel, kept at its foot by the panel's layout;
    // the controls above sit at fixed places outside that layout.
    pnlLeftBottom = new QFrame(pnlLeft);
    pnlLeftBottom->setObjectName(QStringLiteral("pnlLeftBottom"));
    pnlLeftBottom->setFixedHeight(41);
    auto *column = new QVBoxLayout(pnlLeft);
    column->setContentsMargins(0, 0, 0, 0);
    column->addStretch(1);
    column->addWidget(pnlLeftBottom);
    btnClose = placeButton(pnlLeftBottom, "btnClose", QStringLiteral("Close"), {8, 8, 161, 25});
    // Room for the last button, a gap and the strip, or the panel scrolls.
    pnlLeft->setMinimumHeight(btnInfo->geometry().bottom() + 1 + 8 + pnlLeftBottom->height());

    stbMain = statusBar();
    stbMain->setObjectName(QStringLiteral("stbMain"));

    QWidget *order[] = {edtGame, btnGeeklist, btnSearch, cboRank, cboDate, btnLists, dtpDate1, dtpDate2,
                        rgoVertAxis->item(0), rgoVertAxis->item(1), rgoValues->item(0),
                        rgoValues->item(1), cboInverted, cboLogAxis, btnLoad, btnClearGraph,
                        btnSave, btnPrint, btnClearData, btnScript, btnInfo, btnClose};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    labGame->installEventFilter(this);
    edtGame->installEventFilter(this);
    edtGame->viewport()->installEventFilter(this);
}

void TfrmMain::connectHandlers()
{
    const auto onClick = [this](QAbstractButton *button, void (TfrmMain::*handler)()) {
        ConnectClick(m_context.dialogs, this, button, handler);
    };
    onClick(btnGeeklist, &TfrmMain::btnGeeklistClick);
    onClick(btnSearch, &TfrmMain::btnSearchClick);
    onClick(btnLists, &TfrmMain::btnListsClick);
    onClick(cboDate, &TfrmMain::cboDateClick);
    onClick(btnLoad, &TfrmMain::btnLoadClick);
    onClick(btnClearGraph, &TfrmMain::btnClearGraphClick);
    onClick(btnSave, &TfrmMain::btnSaveClick);
    onClick(btnPrint, &TfrmMain::btnPrintClick);
    onClick(btnClearData, &TfrmMain::btnClearDataClick);
    onClick(btnScript, &TfrmMain::btnScriptClick);
    onClick(btnInfo, &TfrmMain::btnInfoClick);
    onClick(btnClose, &TfrmMain::btnCloseClick);
    connect(chaMain, &PlotChart::copyRequested, this,
            Guarded(m_context.dialogs, this, [this] { chaMainCopy(); }));
}

void TfrmMain::FormCreate()
{
    m_keyCueFix = new TKeyCueFix(this);
    setWindowTitle(QStringLiteral("Plotwise - Ver1.4"));

    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect primary = screen ? screen->geometry() : QRect(QPoint(0, 0), MainWindowLayoutSize);
    // The screens' available areas, the primary screen's first: the window
    // opens no larger than one of them and wholly on it.
    QList<QRect> areas{screen ? screen->availableGeometry() : primary};
    for (QScreen *s : QGuiApplication::screens()) {
        if (s != screen)
            areas << s->availableGeometry();
    }
    // Sizes are outer sizes, frame included, as are positions.
    namespace Keys = MainWindowKeys;
    if (ReadSetting(m_settings, Keys::Maximized)) {
        // The normal bounds stay the layout's, centred on the screen.
        const QPoint centred((primary.width() - MainWindowLayoutSize.width()) / 2,
                             (primary.height() - MainWindowLayoutSize.height()) / 2);
        const QRect bounds = FitOnScreens(QRect(centred, MainWindowLayoutSize), areas);
        SetOuterSize(this, bounds.size(), MainWindowMinimumSize);
        move(bounds.topLeft());
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        const QPoint position = DefaultWindowPosition(primary.size());
        const int width = ReadSetting(m_settings, Keys::WinWidth);
        const int height = ReadSetting(m_settings, Keys::WinHeight);
        const int left = ReadSetting(m_settings, Keys::WinLeft, position.x());
        const int top = ReadSetting(m_settings, Keys::WinTop, position.y());
        const QSize outer = QSize(width, height).expandedTo(MainWindowMinimumSize);
        const QRect bounds = FitOnScreens(QRect(QPoint(left, top), outer), areas);
        SetOuterSize(this, bounds.size(), MainWindowMinimumSize);
        move(bounds.topLeft());
    }

    cboRank->clear();
    cboRank->addItems(ReadNodeList(NodeListFile(m_context.nodeListFallbacks)));

    const int node = ReadSetting(m_settings, Keys::Node);
    cboRank->setCurrentIndex(node >= 0 && node < cboRank->count() ? node : -1);
    edtGame->setPlainText(ReadSetting(m_settings, Keys::Game));
    setUseDateRange(ReadSetting(m_settings, Keys::Date));
    setInvertedAxis(ReadSetting(m_settings, Keys::VertInverted));
    setLogarithmicAxis(ReadSetting(m_settings, Keys::LogAxis));
    const QDate today = QDate::currentDate();
    dtpDate1->setDate(ReadSetting(m_settings, Keys::DateFrom, today));
    dtpDate2->setDate(ReadSetting(m_settings, Keys::DateTo, today));
    rgoVertAxis->setItemIndex(ReadSetting(m_settings, Keys::VertAxis));
    rgoValues->setItemIndex(ReadSetting(m_settings, Keys::Values));
    InfoLines.clear();
    setAutoColor(true);
    m_settingsRestored = true;
}

void TfrmMain::FormDestroy()
{
    namespace Keys = MainWindowKeys;
    if (isMaximized()) {
        WriteSetting(m_settings, Keys::Maximized, true);
    } else {
        WriteSetting(m_settings, Keys::Maximized, false);
        // The frame's outer size and position, the measures of the start.
        WriteSetting(m_settings, Keys::WinWidth, frameGeometry().width());
        WriteSetting(m_settings, Keys::WinHeight, frameGeometry().height());
        WriteSetting(m_settings, Keys::WinLeft, x());
        WriteSetting(m_settings, Keys::WinTop, y());
    }
    WriteSetting(m_settings, Keys::Node, cboRank->currentIndex());
    WriteSetting(m_settings, Keys::Game, GameTextOnOneLine(edtGame->toPlainText()));
    WriteSetting(m_settings, Keys::Date, UseDateRange());
    WriteSetting(m_settings, Keys::VertInverted, InvertedAxis());
    WriteSetting(m_settings, Keys::LogAxis, LogarithmicAxis());
    WriteSetting(m_settings, Keys::DateFrom, dtpDate1->date());
    WriteSetting(m_settings, Keys::DateTo, dtpDate2->date());
    WriteSetting(m_settings, Keys::VertAxis, rgoVertAxis->itemIndex());
    WriteSetting(m_settings, Keys::Values, rgoValues->itemIndex());
    InfoLines.clear();
}

bool TfrmMain::UseDateRange() const
{
    return cboDate->isChecked();
}

void TfrmMain::setUseDateRange(bool on)
{
    cboDate->setChecked(on);
    for (QWidget *control : std::initializer_list<QWidget *>{labDate1, dtpDate1, labDate2, dtpDate2})
        control->setEnabled(on);
}

bool TfrmMain::InvertedAxis() const
{
    return cboInverted->isChecked();
}

void TfrmMain::setInvertedAxis(bool on)
{
    cboInverted->setChecked(on);
}

bool TfrmMain::LogarithmicAxis() const
{
    return cboLogAxis->isChecked();
}

void TfrmMain::setLogarithmicAxis(bool on)
{
    cboLogAxis->setChecked(on);
}

QString TfrmMain::serviceBaseUrl() const
{
    if (!m_context.serviceOverride.isEmpty())
        return m_context.serviceOverride;
    return ReadSetting(m_settings, ServiceBaseUrlKey, DefaultServiceBaseUrl());
}

void TfrmMain::btnCloseClick()
{
    close();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    // A Load or script is running below this event: it stops first, and the
    // window closes when it has unwound.
    if (deferCloseWhileBusy()) {
        event->ignore();
        return;
    }
    if (m_settingsRestored && m_context.writeSettingsOnClose) {
        m_settingsRestored = false; // written once, whatever the outcome
        RunGuarded(m_context.dialogs, this, [this] { FormDestroy(); });
    }
    event->accept();
    emit closed();
}

void TfrmMain::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnCloseClick();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    Dialogs *dialogs = m_context.dialogs;
    if (watched == labGame && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (!isBusy())
            RunGuarded(dialogs, this, [this] { labGameClick(); });
        return true;
    }
    if (watched == edtGame->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        if (!isBusy())
            RunGuarded(dialogs, this, [this] { edtGameDblClick(); });
        return true;
    }
    if (watched == edtGame && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        return true; // the multi-line box keeps Esc: it does not close the window
    return QMainWindow::eventFilter(watched, event);
}
