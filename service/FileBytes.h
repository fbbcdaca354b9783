// Whole-file reading and atomic whole-file writing.
#pragma once

#include <QByteArray>
#include <QString>

// The file's bytes. Throws PlotwiseError naming the file and the system's
// reason when it cannot be read.
[[nodiscard]] QByteArray ReadFileBytes(const QString &fileName);

// Writes bytes to fileName through a temporary file that is renamed into
// place. Returns an empty text on success, otherwise the system's reason; the
// old file is then left as it was.
[[nodiscard]] QString WriteFileAtomically(const QString &fileName, const QByteArray &bytes);

// The absolute path with the platform's separators, for messages.
[[nodiscard]] QString FullPath(const QString &fileName);
