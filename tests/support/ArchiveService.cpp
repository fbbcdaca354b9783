#include "support/ArchiveService.h"

#include <QDeadlineTimer>

ArchiveService::ArchiveService(const QString &archive, const QStringList &options, QStringList command)
{
    if (command.isEmpty())
        command << qEnvironmentVariable("PLOTWISE_ARCHIVE");
    command << QStringLiteral("serve") << archive << QStringLiteral("--port") << QStringLiteral("0")
            << options;
    m_process.start(command.takeFirst(), command);
    const QDeadlineTimer deadline(10000);
    while (!m_process.canReadLine() && m_process.state() != QProcess::NotRunning
        && !deadline.hasExpired())
        m_process.waitForReadyRead(int(deadline.remainingTime()));
    const QByteArray line = m_process.readLine().trimmed();
    static const QByteArray Listening = "listening on ";
    const qsizetype colon = line.lastIndexOf(':');
    if (line.startsWith(Listening) && colon > Listening.size()) {
        m_address = QString::fromLatin1(line.mid(Listening.size(), colon - Listening.size()));
        m_port = quint16(line.mid(colon + 1).toUInt());
    }
}

ArchiveService::~ArchiveService()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

QString ArchiveService::errors()
{
    return QString::fromUtf8(m_process.readAllStandardError());
}

QString ArchiveService::baseUrl() const
{
    return QStringLiteral("http://%1:%2").arg(m_address).arg(m_port);
}

static bool RunTool(const char *variable, const QStringList &args, QString *error)
{
    QProcess process;
    process.start(qEnvironmentVariable(variable), args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        *error = QStringLiteral("%1 %2 failed: %3")
                     .arg(QLatin1String(variable), args.join(u' '),
                         QString::fromUtf8(process.readAllStandardError()) + process.errorString());
        return false;
    }
    return true;
}

bool MakeGeneratedArchive(const QString &archive, const QString &folder,
    const QStringList &snapshotArgs, QString *error)
{
    return RunTool("PLOTWISE_SAMPLE_SNAPSHOTS", snapshotArgs + QStringList { folder }, error)
        && RunTool("PLOTWISE_ARCHIVE", { QStringLiteral("import"), archive, folder }, error);
}
