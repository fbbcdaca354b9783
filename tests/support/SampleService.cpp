#include "support/SampleService.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocale>

static QString ToolPath(const char *variable, QString *error)
{
    const QString path = qEnvironmentVariable(variable);
    if (path.isEmpty())
        *error = QStringLiteral("%1 is not set").arg(QLatin1String(variable));
    return path;
}

SampleService::SampleService()
    : SampleService(Options {})
{
}

SampleService::SampleService(Options options)
    : m_options(std::move(options))
{
}

SampleService::~SampleService()
{
    stop();
}

bool SampleService::generateData(const QString &dir, const QStringList &args, QString *error)
{
    const QString tool = ToolPath("PLOTWISE_SAMPLE_DATA", error);
    if (tool.isEmpty())
        return false;
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    generator.start(tool, args + QStringList { dir });
    if (!generator.waitForFinished(120000) || generator.exitStatus() != QProcess::NormalExit
        || generator.exitCode() != 0) {
        *error = QStringLiteral("plotwise-sample-data failed: %1").arg(generator.errorString());
        return false;
    }
    return true;
}

bool SampleService::start()
{
    stop();
    m_error.clear();
    if (!m_temp.isValid()) {
        m_error = QStringLiteral("no temporary folder: %1").arg(m_temp.errorString());
        return false;
    }
    m_dataDir = m_options.dataDir;
    if (m_dataDir.isEmpty()) {
        m_dataDir = m_temp.filePath(QStringLiteral("data"));
        if (!QFileInfo::exists(m_dataDir) && !generateData(m_dataDir, m_options.dataArgs, &m_error))
            return false;
    }
    const QString tool = ToolPath("PLOTWISE_SAMPLE_SERVICE", &m_error);
    if (tool.isEmpty())
        return false;

    const QString log = m_temp.filePath(QStringLiteral("requests.log"));
    QFile::remove(log);
    m_seen = 0;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(tool,
        QStringList { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"),
            m_dataDir, QStringLiteral("--log"), log }
            + m_options.serviceArgs);

    // The first line says where it listens: "listening on 127.0.0.1:PORT".
    const QDeadlineTimer deadline(10000);
    while (!m_process.canReadLine() && m_process.state() != QProcess::NotRunning
        && !deadline.hasExpired())
        m_process.waitForReadyRead(int(deadline.remainingTime()));
    const QByteArray line = m_process.readLine().trimmed();
    bool ok = false;
    const uint port
        = QLocale::c().toUInt(QString::fromLatin1(line.mid(line.lastIndexOf(':') + 1)), &ok);
    if (!line.startsWith("listening on 127.0.0.1:") || !ok || port == 0 || port > 65535) {
        m_error = QStringLiteral("plotwise-sample-service did not start (%1): \"%2\"")
                      .arg(m_process.errorString(), QString::fromLatin1(line));
        stop();
        return false;
    }
    m_port = quint16(port);
    return true;
}

void SampleService::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    m_port = 0;
}

QString SampleService::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QList<SampleService::Request> SampleService::allRequests() const
{
    QList<Request> list;
    QFile file(m_temp.filePath(QStringLiteral("requests.log")));
    if (!file.open(QIODevice::ReadOnly))
        return list;
    // One line per request: "METHOD TARGET<tab>USER-AGENT".
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).chopped(1);
        const QString request = line.section(u'\t', 0, 0);
        list.append({ request.section(u' ', 1), line.section(u'\t', 1) });
    }
    return list;
}

QList<SampleService::Request> SampleService::requests() const
{
    return allRequests().mid(m_seen);
}

int SampleService::requestCount(const QString &part) const
{
    const QList<Request> list = requests();
    return int(std::count_if(
        list.begin(), list.end(), [&](const Request &r) { return r.target.contains(part); }));
}

void SampleService::clearRequests()
{
    m_seen = allRequests().size();
}
