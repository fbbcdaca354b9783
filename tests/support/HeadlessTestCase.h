// What the headless test programs share: a copy of the program in a folder
// of its own, run with no display, the lines it printed, file helpers, and
// the sample service over tests/data/headless, started once per program.
#pragma once

#include "service/CachePaths.h"
#include "support/SampleService.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace HeadlessTests {

struct RunLines {
    int status = -1;
    QStringList out; // lines of standard output
    QStringList err; // lines of standard error
};

// The lines of bytes, without a last empty one.
QStringList lines(const QByteArray &bytes);

// The file's bytes; none when it cannot be read.
QByteArray readAll(const QString &path);

// Fails the test when the file cannot be opened.
void writeFile(const QString &path, const QByteArray &bytes);

// A temporary program folder holding a copy of the program, and beside it a
// working folder that the runs start in, with the sample "nodes.txt" (unless
// told otherwise), a script "s.txt" and a folder "taken.png" where a file
// cannot be written.
class ProgramFolder
{
public:
    explicit ProgramFolder(const QByteArray &script = {}, bool withNodes = true)
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("work/taken.png"));
        QFile::copy(qEnvironmentVariable("PLOTWISE"), program());
        if (withNodes)
            QFile::copy(dataDir() + QStringLiteral("/nodes.txt"), work(QStringLiteral("nodes.txt")));
        writeFile(work(QStringLiteral("s.txt")), script);
    }

    static QString dataDir() { return TestDataDir() + QStringLiteral("/headless"); }
    QString program() const { return m_dir.filePath(QStringLiteral("plotwise")); }
    QString settings() const { return m_dir.filePath(QStringLiteral("plotwise.ini")); }
    // The page cache of the service at baseUrl, ending in "/".
    QString cache(const QString &baseUrl) const { return CacheFolder(m_dir.path(), baseUrl); }
    QString work(const QString &name) const { return m_dir.filePath(QStringLiteral("work/") + name); }

    RunLines run(const QStringList &arguments) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(work(QString()));
        process.start(program(), arguments);
        RunLines result;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
            process.kill();
            result.err << QStringLiteral("program did not end normally");
            return result;
        }
        result.status = process.exitCode();
        result.out = lines(process.readAllStandardOutput());
        result.err = lines(process.readAllStandardError());
        return result;
    }

private:
    QTemporaryDir m_dir;
};

} // namespace HeadlessTests

class HeadlessTestCase : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

protected:
    std::unique_ptr<SampleService> m_service;
    QStringList serviceArgs() const { return {"--service", m_service->baseUrl()}; }
};
