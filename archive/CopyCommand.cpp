// plotwise-archive copy: a consistent copy of an archive, taken while an
// import may be writing it, to be served read-only on another host.
#include "archive/ArchiveFile.h"
#include "archive/ArchiveReader.h"
#include "archive/Commands.h"
#include "archive/Days.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sqlite3.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The bytes reach the disk before the name points at them.
void SyncFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const std::string reason = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        throw ArchiveError(path + ": " + reason);
    }
    ::close(fd);
}

} // namespace

int RunCopy(const std::string &archive, const std::string &destination)
{
    std::error_code error;
    if (fs::equivalent(archive, destination, error)) {
        Complain(destination + ": is the archive itself");
        return 2;
    }
    const std::string partial = destination + ".partial";
    try {
        {
            // One read transaction: the copy holds the days committed when it
            // began, whatever an import commits meanwhile.
            const std::unique_ptr<Database> db = OpenArchive(archive, ArchiveAccess::Read);
            fs::remove(partial, error);
            Statement(db->handle(), "VACUUM INTO ?").bind(1, partial).run();
        }
        {
            // Read by users who may not write its folder: a rollback journal
            // needs no shared memory file beside it, as a log would.
            Database copy(partial, SQLITE_OPEN_READWRITE);
            copy.exec("PRAGMA journal_mode=DELETE");
        }
        SyncFile(partial);
        fs::rename(partial, destination);
        SyncFile(fs::absolute(destination).parent_path().string());
        ArchiveReader reader(destination);
        const ArchiveReader::Info info = reader.readInfo();
        std::string summary = std::to_string(info.days.size()) + " days";
        if (!info.days.empty())
            summary += " (" + IsoDay(info.days.front()) + " to " + IsoDay(info.days.back()) + ")";
        summary += ", " + std::to_string(info.records) + " records, " + std::to_string(info.games)
            + " games copied to " + destination;
        std::printf("%s\n", summary.c_str());
    } catch (const std::exception &e) {
        fs::remove(partial, error);
        const std::string message = e.what();
        const bool named = message.starts_with(archive) || message.starts_with(destination);
        Complain(named ? message : destination + ": " + message);
        return 2;
    }
    return 0;
}
