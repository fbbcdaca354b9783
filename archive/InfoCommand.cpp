// plotwise-archive info: the snapshots (count, first and last day, missing
// days, shallow days), games, records and bytes on disk.
#include "archive/ArchiveReader.h"
#include "archive/Commands.h"
#include "archive/Days.h"

#include <cstdio>
#include <filesystem>

namespace {

// Missing days as ranges, the first few of them.
std::string MissingDays(const std::vector<int32_t> &days, int64_t &missing)
{
    constexpr int Shown = 10;
    std::string text;
    int ranges = 0;
    for (size_t i = 1; i < days.size(); ++i) {
        const int32_t from = days[i - 1] + 1, to = days[i] - 1;
        if (from > to)
            continue;
        missing += to - from + 1;
        if (++ranges <= Shown)
            text += (text.empty() ? "" : ", ") + IsoDay(from)
                + (from == to ? "" : " to " + IsoDay(to));
    }
    if (ranges > Shown)
        text += ", ...";
    return text;
}

// "26,000" from 26000.
std::string Thousands(uint64_t n)
{
    std::string text = std::to_string(n);
    for (ptrdiff_t at = ptrdiff_t(text.size()) - 3; at > 0; at -= 3)
        text.insert(size_t(at), ",");
    return text;
}

// "12.3" from 123, with no locale's decimal separator.
std::string Tenths(uintmax_t tenths)
{
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

} // namespace

int RunInfo(const std::string &archive)
{
    try {
        ArchiveReader reader(archive);
        const ArchiveReader::Info info = reader.readInfo();
        std::uintmax_t bytes = 0;
        for (const char *suffix : { "", "-wal" }) {
            std::error_code error;
            const auto size = std::filesystem::file_size(archive + suffix, error);
            bytes += error ? 0 : size;
        }
        std::printf("archive: %s\n", archive.c_str());
        if (info.days.empty()) {
            std::printf("snapshots: none\n");
        } else {
            int64_t missing = 0;
            const std::string ranges = MissingDays(info.days, missing);
            std::printf("snapshots: %zu, %s to %s, %lld days missing%s%s\n", info.days.size(),
                IsoDay(info.days.front()).c_str(), IsoDay(info.days.back()).c_str(),
                static_cast<long long>(missing), ranges.empty() ? "" : ": ", ranges.c_str());
        }
        // Days a scrape that stopped early left short, a line each.
        const std::vector<ShallowDay> shallow = ShallowDays(reader.daySummaries());
        if (!shallow.empty())
            std::printf("shallow days: %zu\n", shallow.size());
        for (const ShallowDay &day : shallow)
            std::printf("  %s: ranks to %s; the days around reach %s\n", IsoDay(day.day).c_str(),
                Thousands(day.deepestRank).c_str(), Thousands(day.around).c_str());
        std::printf("games: %lld\nrecords: %lld\n", static_cast<long long>(info.games),
            static_cast<long long>(info.records));
        std::printf("bytes on disk: %ju", bytes);
        if (info.records > 0)
            std::printf(" (%s per record)", Tenths(bytes * 10 / uintmax_t(info.records)).c_str());
        std::printf("\n");
    } catch (const ArchiveError &e) {
        Complain(e.what());
        return 2;
    }
    return 0;
}
