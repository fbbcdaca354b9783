#include "support/MainWindowFixture.h"

#include "app/PlotChart.h"
#include "geeklist/u_frmGeeklist.h"
#include "search/u_frmSearch.h"
#include "service/CachePaths.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

QStringList SeriesTitles(const PlotChart *chart)
{
    QStringList titles;
    for (const PlotSeries *series : chart->series())
        titles << series->title();
    return titles;
}

static void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

MainWindowFixture::MainWindowFixture() : MainWindowFixture(Setup{}) {}

MainWindowFixture::MainWindowFixture(const Setup &setup) : m_show(setup.show)
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("program"));
    root.mkpath(QStringLiteral("work"));
    if (setup.nodes)
        writeFile(workDir() + QStringLiteral("/nodes.txt"), *setup.nodes);
    if (setup.settings)
        writeFile(programDir() + QStringLiteral("/plotwise.ini"), *setup.settings);
    if (setup.packagedNodes) {
        root.mkpath(QStringLiteral("share/plotwise"));
        writeFile(m_dir.filePath(QStringLiteral("share/plotwise/nodes.txt")), *setup.packagedNodes);
    }
    if (setup.programReadOnly)
        QFile::setPermissions(programDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    m_previousDir = QDir::currentPath();
    QDir::setCurrent(workDir());

    m_context = ProgramContext(&dialogs, programDir());
    m_context.programName = QStringLiteral("plotwise");
    m_context.writeSettingsOnClose = setup.writeSettingsOnClose;
    m_context.serviceOverride = setup.serviceOverride;
    m_context.maxPagesPerGame = setup.maxPagesPerGame;
    open();
}

MainWindowFixture::~MainWindowFixture()
{
    m_window.reset();
    QDir::setCurrent(m_previousDir);
}

QByteArray MainWindowFixture::defaultNodes()
{
    return QByteArrayLiteral("average\nbayesaverage\nranks/rank|name=boardgame\nusersrated\n");
}

QString MainWindowFixture::programDir() const
{
    return m_dir.filePath(QStringLiteral("program"));
}

QString MainWindowFixture::workDir() const
{
    return m_dir.filePath(QStringLiteral("work"));
}

QString MainWindowFixture::settingsPath() const
{
    return m_context.settingsFile;
}

QString MainWindowFixture::cacheDir() const
{
    return CacheFolder(m_context.cacheRoot, window().serviceBaseUrl());
}

QByteArray MainWindowFixture::settingsText() const
{
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void MainWindowFixture::open()
{
    m_window = std::make_unique<TfrmMain>(m_context);
    if (m_show)
        m_window->show();
}

void MainWindowFixture::importGeeklist(const QString &number)
{
    dialogs.modalActions.enqueue([number](QDialog *dialog) {
        auto *prompt = static_cast<TfrmGeeklist *>(dialog);
        prompt->edtText->setText(number);
        prompt->btnOK->click();
        return dialog->result();
    });
    m_window->btnGeeklist->click();
}

MainWindowFixture::SearchShown MainWindowFixture::search(const QString &words)
{
    SearchShown shown;
    dialogs.modalActions.enqueue([&](QDialog *dialog) {
        auto *window = static_cast<TfrmSearch *>(dialog);
        window->edtSearch->setText(words);
        window->btnSearch->click();
        shown.lines = window->lboResult->count();
        if (window->labStatus->isVisible())
            shown.status = window->labStatus->text();
        window->btnClose->click();
        return dialog->result();
    });
    m_window->btnSearch->click();
    return shown;
}

void MainWindowFixture::close()
{
    if (!m_window)
        return;
    m_window->close();
    m_window.reset();
}

void MainWindowFixture::restart()
{
    close();
    open();
}
