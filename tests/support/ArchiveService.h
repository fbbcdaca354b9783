// plotwise-archive serve run by a test: started on a free port, stopped when
// the object goes; and archives made from generated snapshots for it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

class ArchiveService
{
public:
    // More options after the archive and "--port 0"; command, when given, is
    // the program and what runs it (setpriv, as another user).
    explicit ArchiveService(const QString &archive, const QStringList &options = {},
        QStringList command = {});
    ~ArchiveService();
    ArchiveService(const ArchiveService &) = delete;
    ArchiveService &operator=(const ArchiveService &) = delete;

    // 0 when it did not start listening.
    [[nodiscard]] quint16 port() const { return m_port; }
    // The address it said it listens on.
    [[nodiscard]] QString address() const { return m_address; }
    [[nodiscard]] QString baseUrl() const; // "http://ADDRESS:PORT"
    [[nodiscard]] bool running() const { return m_process.state() == QProcess::Running; }
    // Standard error so far (why it did not start).
    [[nodiscard]] QString errors();

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_address;
};

// Writes plotwise-sample-snapshots's files (snapshotArgs, e.g. --days 12) to
// folder and imports them into archive; false with the reason in error.
bool MakeGeneratedArchive(const QString &archive, const QString &folder,
    const QStringList &snapshotArgs, QString *error);
