// A main window on a temporary program folder for window tests: scripted
// dialogs, a chosen "nodes.txt" in a chosen current directory, and an optional
// settings file. The current directory is restored when the fixture ends.
#pragma once

#include "app/AppContext.h"
#include "app/u_frmMain.h"
#include "support/ScriptedDialogs.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

class PlotChart;

// The titles of the series on the chart, in chart order.
[[nodiscard]] QStringList SeriesTitles(const PlotChart *chart);

class MainWindowFixture
{
public:
    struct Setup {
        // Content of "nodes.txt" in the current directory; nullopt: no file.
        std::optional<QByteArray> nodes = defaultNodes();
        // Content of "plotwise.ini" beside the program; nullopt: no file.
        std::optional<QByteArray> settings;
        // Content of an installed program's default node list, beside the
        // program folder in share/plotwise/; nullopt: not an installed program.
        std::optional<QByteArray> packagedNodes;
        bool programReadOnly = false; // made so before the window starts
        QString serviceOverride;
        int maxPagesPerGame = 0; // 0: the Load's own bound
        bool writeSettingsOnClose = true;
        bool show = true;
    };

    MainWindowFixture();
    explicit MainWindowFixture(const Setup &setup);
    ~MainWindowFixture();
    MainWindowFixture(const MainWindowFixture &) = delete;
    MainWindowFixture &operator=(const MainWindowFixture &) = delete;

    [[nodiscard]] static QByteArray defaultNodes();

    [[nodiscard]] TfrmMain &window() const { return *m_window; }
    TfrmMain *operator->() const { return m_window.get(); }
    ScriptedDialogs dialogs;

    // The program's folder: settings file and cache folder, unless it is
    // read-only or an installed one.
    [[nodiscard]] QString programDir() const;
    // The current directory while the fixture lives: "nodes.txt".
    [[nodiscard]] QString workDir() const;
    [[nodiscard]] QString settingsPath() const;
    [[nodiscard]] QString cacheDir() const;
    // The settings file's content; empty when there is none.
    [[nodiscard]] QByteArray settingsText() const;

    // Presses "Geeklist..." and answers the prompt with number.
    void importGeeklist(const QString &number);
    // Presses "Search..." (the window needs its search window), searches for
    // words and closes the search window again: what the window showed.
    struct SearchShown {
        int lines = -1;
        QString status; // empty when no status text was shown
    };
    SearchShown search(const QString &words);

    // Closes the window as the user does (FormDestroy writes the settings)
    // and destroys it.
    void close();
    // close(), then a new window on the same folders.
    void restart();

private:
    void open();

    QTemporaryDir m_dir;
    QString m_previousDir;
    AppContext m_context;
    bool m_show = true;
    std::unique_ptr<TfrmMain> m_window;
};
