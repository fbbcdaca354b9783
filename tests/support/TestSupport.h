// Shared test helpers of the core tests: fixture data paths, page fixtures,
// a simulated full disk. Qt Core only.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

// How a program run by a test ended: its exit status (-1 when it did not end
// normally within two minutes) and what it wrote.
struct RunResult {
    int status = -1;
    QString out;
    QString err;
};

[[nodiscard]] RunResult RunProgram(const QString &program, const QStringList &args,
                                   const QString &workDir = {});

// tests/data folder.
[[nodiscard]] QString TestDataDir();

// A ranking history page: a "boardgame" holding the names and, unless
// statistics is false (the page that ends a game), a "statistics" element
// holding the records.
[[nodiscard]] QByteArray HistoryPageXml(const QByteArray &names, const QByteArray &records,
                                        bool statistics = true);

// While it lives, no file of this process can grow past bytes: a write past
// the limit fails as on a full disk (the limit binds root too). SIGXFSZ is
// ignored meanwhile, so the write returns an error instead of ending the test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};
