// Whole-file reading and atomic whole-file writing.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The file's bytes. Throws PlotwiseError naming the file and the system's
// reason when it cannot be read.
[[nodiscard]] QByteArray ReadFileBytes(const QString &fileName);

// Synced: the bytes are on disk before the file is renamed into place (the
// user's own files). Unsynced: renamed as soon as written, for files that can
// be made again (cached pages): after a power cut such a file may be empty,
// but never half-old, half-new, and waiting for the disk costs more than the
// page's download.
enum class Durability { Synced, Unsynced };

// Writes bytes to fileName through a temporary file that is renamed into
// place. Returns an empty text on success, otherwise the system's reason; the
// old file is then left as it was.
[[nodiscard]] QString WriteFileAtomically(
    const QString &fileName, const QByteArray &bytes, Durability durability = Durability::Synced);

// A file written through a uniquely named temporary file beside it, renamed
// over fileName by commit() without waiting for the disk. Until then the old
// file stays as it was; an uncommitted temporary file is removed with the
// object.
class UnsyncedSaveFile
{
public:
    explicit UnsyncedSaveFile(QString fileName);
    ~UnsyncedSaveFile();
    UnsyncedSaveFile(const UnsyncedSaveFile &) = delete;
    UnsyncedSaveFile &operator=(const UnsyncedSaveFile &) = delete;

    bool open();
    // False when not every byte was written.
    bool write(const QByteArray &bytes);
    bool commit();
    [[nodiscard]] QString errorString() const { return m_error; }

private:
    QString m_fileName;
    QFile m_temporary;
    QString m_error;
    bool m_committed = false;
};

// Renames from over to, replacing to at once. Empty on success, otherwise the
// system's reason (both files are then as they were).
[[nodiscard]] QString ReplaceFile(const QString &from, const QString &to);

// The absolute path with the platform's separators, for messages.
[[nodiscard]] QString FullPath(const QString &fileName);
