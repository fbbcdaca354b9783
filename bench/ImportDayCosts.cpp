#include "ImportDayCosts.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string_view>

ImportDayCosts ReadImportDayCosts(const std::string &timesPath)
{
    ImportDayCosts costs;
    std::FILE *file = std::fopen(timesPath.c_str(), "r");
    if (!file)
        return costs;
    double folding = 0, put = 0;
    char what[16];
    double ms = 0;
    while (std::fscanf(file, "%15s %lf", what, &ms) == 2) {
        const std::string_view kind(what);
        if (kind == "put") {
            put = ms;
        } else if (kind == "fold") {
            folding += ms - put;
            costs.lastFold = ms - put;
        } else if (kind == "freed") {
            costs.freed = ms - put - costs.lastFold;
        } else if (kind == "day" || kind == "end") {
            costs.at.push_back(ms);
            costs.folds.push_back(folding);
            costs.end = ms;
        }
    }
    std::fclose(file);
    return costs;
}

namespace {

constexpr int Window = 128;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The median over the runs of f(run), and each run's value when more than one.
std::string Spread(const std::vector<ImportDayCosts> &runs, const std::function<double(const ImportDayCosts &)> &f,
    const char *format, double *median = nullptr)
{
    std::vector<double> values;
    for (const ImportDayCosts &run : runs)
        values.push_back(f(run));
    char text[64];
    std::snprintf(text, sizeof text, format, Median(values));
    std::string out = text;
    if (median)
        *median = Median(values);
    if (values.size() > 1) {
        out += " (runs";
        for (size_t i = 0; i < values.size(); ++i) {
            std::snprintf(text, sizeof text, format, values[i]);
            out += (i ? ", " : " ") + std::string(text);
        }
        out += ")";
    }
    return out;
}

} // namespace

void PrintDayCosts(const std::vector<ImportDayCosts> &runs, const std::vector<int64_t> &records)
{
    const int files = runs.empty() ? 0 : runs.front().days();
    for (const ImportDayCosts &run : runs) {
        if (run.days() != files || files < Window + 1) {
            std::printf("cost of a day: too few days to tell (%d)\n", files);
            return;
        }
    }
    const bool perRecord = records.size() == size_t(files);
    const auto rows = [&](int from, int to) {
        int64_t sum = 0;
        for (int i = from; i < std::min(to, files); ++i)
            sum += records[size_t(i)];
        return sum;
    };
    // Days from, to counted from 1; at[i - 1] is the time after day i.
    const auto window = [](const ImportDayCosts &run, int from, int to) {
        return (run.at[size_t(to - 1)] - run.at[size_t(from - 1)]) / (to - from);
    };
    const auto average = [files](const ImportDayCosts &run, int days) {
        return (days == files ? run.end : run.at[size_t(days - 1)]) / days;
    };
    std::vector<int> marks { 100 };
    if (files > 500)
        marks.push_back(500);
    marks.push_back(files);

    std::printf("cost of a day, the median of %zu imports of the same files:\n", runs.size());
    std::printf("  as the import's time from its start over the days so far:\n");
    for (const int days : marks) {
        const double rowsPerDay = double(rows(0, days)) / days;
        std::printf("    first %4d days %s", days,
            Spread(runs, [&](const ImportDayCosts &r) { return average(r, days); }, "%.1f ms").c_str());
        if (perRecord)
            std::printf("; %.0f rows a day", rowsPerDay);
        std::printf("\n");
    }
    std::printf("    end / day 100 %s (goal <= 1.5x)\n",
        Spread(runs, [&](const ImportDayCosts &r) { return average(r, files) / average(r, 100); }, "%.2fx")
            .c_str());

    std::printf("  over 128 days around day 100, day 500 and at the end (the last with the import's end):\n");
    const auto print = [&](const std::string &what, int from, int to) {
        std::printf("    %-10s days %4d-%4d %s, of it folding %s", what.c_str(), from, to,
            Spread(runs, [&](const ImportDayCosts &r) { return window(r, from, to); }, "%.1f ms").c_str(),
            Spread(runs, [&](const ImportDayCosts &r) {
                return (r.folds[size_t(to - 1)] - r.folds[size_t(from - 1)]) / (to - from);
            }, "%.1f ms").c_str());
        if (perRecord)
            std::printf("; %.0f rows a day, %s per 1,000 records", double(rows(from, to)) / (to - from),
                Spread(runs, [&](const ImportDayCosts &r) {
                    return window(r, from, to) * (to - from) / double(rows(from, to)) * 1000;
                }, "%.3f ms").c_str());
        std::printf("\n");
    };
    for (const int centre : { 100, 500 }) {
        const int from = std::max(1, centre - Window / 2), to = from + Window;
        if (to <= files)
            print("day " + std::to_string(centre), from, to);
    }
    print("day " + std::to_string(files), files + 1 - Window, files + 1);
    const int first = std::max(1, 100 - Window / 2);
    std::printf("    end / day 100 %s; without the import's end %s\n",
        Spread(runs, [&](const ImportDayCosts &r) {
            return window(r, files + 1 - Window, files + 1) / window(r, first, first + Window);
        }, "%.2fx").c_str(),
        Spread(runs, [&](const ImportDayCosts &r) {
            return window(r, files - Window, files) / window(r, first, first + Window);
        }, "%.2fx").c_str());
    const auto endParts = [files](const ImportDayCosts &r) { return r.end - r.at[size_t(files - 1)]; };
    std::printf("  the import's end: %s: last fold %s, freed pages given back %s, checkpoint %s\n",
        Spread(runs, endParts, "%.0f ms").c_str(),
        Spread(runs, [](const ImportDayCosts &r) { return r.lastFold; }, "%.0f ms").c_str(),
        Spread(runs, [](const ImportDayCosts &r) { return r.freed; }, "%.0f ms").c_str(),
        Spread(runs, [&](const ImportDayCosts &r) { return endParts(r) - r.lastFold - r.freed; }, "%.0f ms")
            .c_str());
}
