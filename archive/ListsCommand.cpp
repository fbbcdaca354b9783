// plotwise-archive top and movers: a ranking list of the archive as CSV on
// standard output.
#include "archive/ArchiveListSource.h"
#include "archive/Commands.h"

#include <cstdio>
#include <functional>

namespace {

int PrintList(const char *command, const std::string &archive,
    const std::function<std::string(ListSource &)> &list)
{
    std::string csv;
    try {
        ArchiveReader reader(archive);
        ArchiveListSource source(reader);
        csv = list(source);
    } catch (const ListError &e) {
        Complain(std::string(command) + ": " + e.what());
        return 2;
    } catch (const ArchiveError &e) {
        Complain(e.what());
        return 2;
    }
    if (std::fwrite(csv.data(), 1, csv.size(), stdout) != csv.size() || std::fflush(stdout) != 0) {
        Complain(std::string(command) + ": cannot write the list to standard output");
        return 2;
    }
    return 0;
}

} // namespace

int RunTop(const std::string &archive, const TopQuery &query)
{
    return PrintList("top", archive, [&](ListSource &source) { return TopList(source, query); });
}

int RunMovers(const std::string &archive, const MoversQuery &query)
{
    return PrintList("movers", archive, [&](ListSource &source) { return MoversList(source, query); });
}
