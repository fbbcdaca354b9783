#include "support/ArchiveTests.h"

#include "archive/Days.h"
#include "archive/Decimal.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The folder the generated snapshots and archives are made in.
QTemporaryDir &SharedFolder()
{
    static QTemporaryDir temp;
    return temp;
}

// "20161012 3 120 7.25 5.61": day, rank, users rated, average, bayes average.
QString RecordText(const Record &r)
{
    return QString::fromStdString(CompactDay(r.day) + ' ' + std::to_string(r.rank) + ' '
        + std::to_string(r.usersRated) + ' ' + DecimalText(r.average) + ' '
        + DecimalText(r.bayesAverage));
}

} // namespace

RunResult Archive(const QStringList &args)
{
    return RunProgram(qEnvironmentVariable("PLOTWISE_ARCHIVE"), args);
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QStringList CsvFields(const QByteArray &line)
{
    const QString text = QString::fromUtf8(line);
    QStringList fields(1);
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (quoted && text[i] == u'"' && text.mid(i + 1, 1) == u"\"") {
            fields.last() += text[i++];
        } else if (text[i] == u'"') {
            quoted = !quoted;
        } else if (text[i] == u',' && !quoted) {
            fields << QString();
        } else {
            fields.last() += text[i];
        }
    }
    return fields;
}

QStringList History(ArchiveReader &reader, uint32_t game, QString *title)
{
    QStringList records;
    for (int page = 1;; ++page) {
        const auto history = reader.page(game, page);
        if (!history || history->records.empty()) {
            if (history && title)
                *title = QString::fromStdString(history->title.name) + u'|'
                    + QString::number(history->title.year);
            return records;
        }
        for (const Record &r : history->records)
            records << RecordText(r);
    }
}

QByteArray PageTarget(int game, const QByteArray &page)
{
    return "/xmlapi/boardgame/" + QByteArray::number(game) + "?historical=1&page=" + page;
}

QString GeneratedSnapshots(const QString &name, const QStringList &args)
{
    const QString dir = SharedFolder().filePath(name);
    if (!QFileInfo::exists(dir)) {
        const RunResult result
            = RunProgram(qEnvironmentVariable("PLOTWISE_SAMPLE_SNAPSHOTS"), args + QStringList { dir });
        if (result.status != 0)
            qWarning("plotwise-sample-snapshots failed: %s", qPrintable(result.err));
    }
    return dir;
}

QString CachingArchive()
{
    const QString archive = SharedFolder().filePath("caching.pwa");
    if (QFileInfo::exists(archive))
        return archive;
    const QString days = SharedFolder().filePath("caching");
    QDir().mkpath(days);
    for (int i = 0; i < 101; ++i)
        WriteFile(days + QDate(2016, 10, 12).addDays(i).toString("/yyyy-MM-dd.csv"),
            Header + "13,Alpha,2001," + QByteArray::number(3 + i % 5) + ",7.25,5.61,120\n");
    if (Archive({ "import", archive, days }).status != 0)
        qWarning("the caching archive was not imported");
    return archive;
}
