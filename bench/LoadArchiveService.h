// The archive service the Load benchmark runs with --archive.
#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// plotwise-archive serving an archive imported from generated snapshots:
// `days` daily files in which the first `games` games are ranked every day,
// so each has days / 100 full pages and an end page.
class LoadArchiveService
{
public:
    bool start(const QString &folder, int games, int days);
    ~LoadArchiveService();
    [[nodiscard]] QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    [[nodiscard]] quint16 port() const { return m_port; }
    [[nodiscard]] const QStringList &ids() const { return m_ids; }
    [[nodiscard]] QString errorString() const { return m_error; }
    [[nodiscard]] int requestCount(const QString &part) const;

private:
    bool run(const char *program, const QStringList &args, const QList<int> &good);
    bool fail(const QString &error);
    QProcess m_process;
    QString m_log;
    QString m_error;
    QStringList m_ids;
    quint16 m_port = 0;
};
