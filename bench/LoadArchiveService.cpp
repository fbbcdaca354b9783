#include "LoadArchiveService.h"

#include <QFile>

bool LoadArchiveService::start(const QString &folder, int games, int days)
{
    const QString snapshots = folder + QStringLiteral("/snapshots");
    const QString archive = folder + QStringLiteral("/archive.sqlite");
    m_log = folder + QStringLiteral("/requests.log");
    // Three in five games are ranked from the first day.
    if (!run(PLOTWISE_SAMPLE_SNAPSHOTS_PATH,
            { QStringLiteral("--days"), QString::number(days), QStringLiteral("--games"),
                QString::number((games * 5 + 2) / 3), snapshots }, { 0 })
        || !run(PLOTWISE_ARCHIVE_PATH, { QStringLiteral("import"), archive, snapshots }, { 0, 1 }))
        return false;
    // The first day's file has the ID first on every line.
    QFile first(snapshots + QStringLiteral("/2016-10-12.csv"));
    if (!first.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("no first snapshot"));
    first.readLine(); // the header
    while (m_ids.size() < games && !first.atEnd())
        m_ids << QString::fromLatin1(first.readLine().split(',').value(0));
    m_process.start(QStringLiteral(PLOTWISE_ARCHIVE_PATH),
        { QStringLiteral("serve"), archive, QStringLiteral("--port"), QStringLiteral("0"),
            QStringLiteral("--log"), m_log });
    if (!m_process.waitForReadyRead(60000))
        return fail(QStringLiteral("plotwise-archive serve did not start"));
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("listening on 127.0.0.1:"))
        return fail(QString::fromLatin1(line));
    m_port = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
    return true;
}

LoadArchiveService::~LoadArchiveService()
{
    m_process.terminate();
    m_process.waitForFinished(5000);
}

int LoadArchiveService::requestCount(const QString &part) const
{
    QFile log(m_log);
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return int(QString::fromUtf8(log.readAll()).count(part));
}

bool LoadArchiveService::run(const char *program, const QStringList &args, const QList<int> &good)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QString::fromLocal8Bit(program), args);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || !good.contains(process.exitCode()))
        return fail(QStringLiteral("%1 %2 failed").arg(QString::fromLocal8Bit(program), args.value(0)));
    return true;
}

bool LoadArchiveService::fail(const QString &error)
{
    m_error = error;
    return false;
}
