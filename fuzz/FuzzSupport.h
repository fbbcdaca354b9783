// Shared pieces of the fuzz targets: a check that aborts (so libFuzzer and
// the CTest replay both report it), and the ways input bytes become texts.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

inline QByteArray FuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Texts as the program meets them: UTF-8 from files and boxes (invalid
// sequences become U+FFFD), NUL and control characters included.
inline QString FuzzText(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Shows a text in a failure message.
inline void FuzzDump(const char *label, const QString &text)
{
    std::fprintf(stderr, "%s: [%s]\n", label, text.toUtf8().constData());
}

// A scratch file for targets that work on files, in memory-backed /dev/shm
// where there is one: the atomic writes sync to disk, which on a real disk
// would slow the fuzzer down a hundredfold.
inline QString FuzzScratchFile(const char *name)
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/plotwise-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/plotwise-fuzz-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    return dir.filePath(QString::fromLatin1(name));
}

// Writes the input bytes to the scratch file and returns its path.
inline QString FuzzWriteScratchFile(const char *name, const uint8_t *data, size_t size)
{
    const QString path = FuzzScratchFile(name);
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    return path;
}
