// Shared test helpers: fixture data paths, page fixtures, a simulated full disk.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

class PlotChart;

// tests/data folder.
[[nodiscard]] QString TestDataDir();

// A ranking history page: a "boardgame" holding the names and, unless
// statistics is false (the page that ends a game), a "statistics" element
// holding the records.
[[nodiscard]] QByteArray HistoryPageXml(const QByteArray &names, const QByteArray &records,
                                        bool statistics = true);

// An HTTP answer as a server wrote it.
struct RawAnswer {
    int status = 0;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// One GET request over a plain socket to 127.0.0.1:port, so that status,
// headers and the bytes sent are seen exactly as the server wrote them.
RawAnswer RawGet(quint16 port, const QByteArray &target);

// The titles of the series on the chart, in chart order.
[[nodiscard]] QStringList SeriesTitles(const PlotChart *chart);

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
