#include "support/TestSupport.h"

#include <QProcess>
#include <QtGlobal>

#include <csignal>

RunResult RunProgram(const QString &program, const QStringList &args, const QString &workDir)
{
    QProcess process;
    if (!workDir.isEmpty())
        process.setWorkingDirectory(workDir);
    process.start(program, args);
    RunResult result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        result.err = QStringLiteral("did not end normally");
        return result;
    }
    result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString TestDataDir()
{
    return qEnvironmentVariable("PLOTWISE_TEST_DATA");
}

QByteArray HistoryPageXml(const QByteArray &names, const QByteArray &records, bool statistics)
{
    QByteArray game = names;
    if (statistics)
        game += "<statistics page=\"1\">" + records + "</statistics>";
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<boardgames>\n<boardgame objectid=\"1\">"
        + game + "</boardgame>\n</boardgames>\n";
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &m_saved);
    rlimit small = m_saved;
    small.rlim_cur = bytes;
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &small) != 0)
        qFatal("cannot set the file size limit");
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_oldHandler);
}
