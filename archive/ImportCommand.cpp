// plotwise-archive import: reads and packs snapshot files on a thread of its
// own, some files ahead of the writer, one transaction per file, and folds
// the staged days into blocks every ArchiveWriter::foldEvery() days and at
// the end.
#include "archive/ArchiveFile.h"
#include "archive/ArchiveWriter.h"
#include "archive/Commands.h"
#include "archive/Days.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// With PLOTWISE_ARCHIVE_TIMES naming a file, the import writes into it the
// milliseconds since its start after each file ("day"), before and after
// each fold ("put", "fold"), after the freed pages are given back ("freed")
// and at its end ("end"): the cost of a day as the archive grows, for the
// benchmark.
class DayTimes
{
public:
    DayTimes()
    {
        if (const char *path = std::getenv("PLOTWISE_ARCHIVE_TIMES"))
            m_file = std::fopen(path, "w");
    }
    ~DayTimes()
    {
        if (m_file)
            std::fclose(m_file);
    }
    DayTimes(const DayTimes &) = delete;
    DayTimes &operator=(const DayTimes &) = delete;
    void mark(const char *what)
    {
        if (m_file)
            std::fprintf(m_file, "%s %.3f\n", what,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start)
                    .count());
    }

private:
    std::FILE *m_file = nullptr;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
// The packed days waiting for the writer, in bytes: the reader goes on
// while the writer folds. A fold of 128 days of 20,000 games takes about as
// long as reading 100 files; 32 MB holds about 50 such days, and a day
// larger than that still goes through alone. Memory holds this, the file
// being read and the day being written.
constexpr size_t ReadAheadBytes = size_t(32) << 20;

struct Input {
    fs::path path;
    std::string error; // refused when not empty
};

struct ReadFile {
    Input input;
    std::optional<int32_t> day;
    PackedDay packed;
};

bool IsCsv(const fs::path &path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](unsigned char c) { return char(std::tolower(c)); });
    return extension == ".csv";
}

// The files named, and the CSV files of the folders named, in name order:
// a day's files are neighbours.
std::vector<Input> CollectInputs(const std::vector<std::string> &snapshots)
{
    std::vector<Input> inputs;
    for (const std::string &argument : snapshots) {
        std::error_code error;
        const fs::path path(argument);
        if (!fs::is_directory(path, error)) {
            // A name that is not there at all, not even as a link, says so
            // rather than that its name holds no date.
            std::error_code missing;
            const bool absent = !fs::exists(fs::symlink_status(path, missing));
            inputs.push_back({ path, absent ? "no such file or folder" : std::string() });
            continue;
        }
        std::vector<Input> found;
        fs::directory_iterator entry(path, error);
        for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
            // A link that leads nowhere is taken, and refused, as a file: its
            // error is not the folder's.
            std::error_code kind;
            if (IsCsv(entry->path()) && !entry->is_directory(kind))
                found.push_back({ entry->path(), {} });
        }
        if (error)
            inputs.push_back({ path, "cannot list the folder: " + error.message() });
        else if (found.empty())
            inputs.push_back({ path, "no CSV files in the folder" });
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    std::stable_sort(inputs.begin(), inputs.end(), [](const Input &a, const Input &b) {
        return a.path.filename().string() < b.path.filename().string();
    });
    return inputs;
}

std::string NotRegular(mode_t mode)
{
    const char *kind = S_ISFIFO(mode)             ? "a named pipe"
        : S_ISSOCK(mode)                          ? "a socket"
        : S_ISCHR(mode) || S_ISBLK(mode)          ? "a device"
        : S_ISDIR(mode)                           ? "a folder"
                                                  : "not a file";
    return std::string("not a regular file (") + kind + ")";
}

// The file's bytes into bytes, or why not. Only a regular file is read: a
// named pipe would hold the import, and the archive's lock, until something
// wrote to it. It is checked before opening, and again on what was opened
// (without waiting) should another kind of file have taken its place.
std::string ReadBytes(const fs::path &path, std::string &bytes)
{
    bytes.clear();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int code = errno;
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            return std::string("cannot read: a link that leads nowhere (") + std::strerror(code) + ")";
        return std::string("cannot read: ") + std::strerror(code);
    }
    if (!S_ISREG(info.st_mode))
        return NotRegular(info.st_mode);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::string("cannot read: ") + std::strerror(errno);
    std::string error;
    if (::fstat(fd, &info) != 0) {
        error = std::string("cannot read: ") + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        error = NotRegular(info.st_mode);
    } else {
        // A byte of room past the size, so that the read that meets the end
        // needs no more; a file that grows meanwhile is read to its end.
        bytes.resize(size_t(info.st_size) + 1);
        size_t have = 0;
        for (;;) {
            if (have == bytes.size())
                bytes.resize(2 * have);
            const ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                error = std::string("cannot read: ") + std::strerror(errno);
            if (got <= 0)
                break;
            have += size_t(got);
        }
        bytes.resize(have);
    }
    ::close(fd);
    return error;
}

// bytes gets the file's bytes; its room is kept from one file to the next:
// fresh pages for every file cost time and, scattered, memory.
ReadFile Read(Input input, std::string &bytes)
{
    ReadFile file { std::move(input), {}, {} };
    if (!file.input.error.empty())
        return file;
    const std::string name = file.input.path.filename().string();
    file.day = SnapshotDay(name);
    if (!file.day) {
        file.input.error = StartsLikeIsoDay(name)
            ? "the date " + name.substr(0, 10) + " in the file name is not a calendar day"
            : "the file name does not start with a date (YYYY-MM-DD)";
        return file;
    }
    file.input.error = ReadBytes(file.input.path, bytes);
    if (!file.input.error.empty())
        return file;
    const Snapshot snapshot = ReadSnapshot(bytes);
    file.input.error = snapshot.error;
    file.packed = PackSnapshot(snapshot);
    // It waits for the writer among many: no more room than its bytes.
    file.packed.bytes.shrink_to_fit();
    return file;
}

// Reads the files in order on a thread of its own, at most ReadAheadBytes of
// packed days ahead of the one taken.
class FileReader
{
public:
    explicit FileReader(const std::vector<Input> &inputs)
        : m_inputs(inputs)
        , m_thread([this] { run(); })
    {
    }

    ~FileReader()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    // The next file; call it once per input.
    ReadFile next()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_ready.empty(); });
        ReadFile file = std::move(m_ready.front());
        m_ready.pop_front();
        m_queued -= Held(file);
        m_changed.notify_all();
        return file;
    }

private:
    static size_t Held(const ReadFile &file)
    {
        return file.packed.bytes.capacity() + file.packed.ranks.capacity();
    }

    void run()
    {
        ::pthread_setname_np(::pthread_self(), "import-reader"); // as profilers show it
        for (const Input &input : m_inputs) {
            ReadFile file = Read(input, m_bytes);
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock,
                [&] { return m_stopping || m_ready.empty() || m_queued < ReadAheadBytes; });
            if (m_stopping)
                return;
            m_queued += Held(file);
            m_ready.push_back(std::move(file));
            m_changed.notify_all();
        }
    }

    const std::vector<Input> &m_inputs;
    std::string m_bytes; // the file being read
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<ReadFile> m_ready;
    size_t m_queued = 0; // the bytes m_ready holds
    bool m_stopping = false;
    std::thread m_thread; // last: starts when the rest is ready
};

// Holds a lock on the archive file while it lives, so that a second import
// into the same archive waits for the first. The descriptor stays open to
// the end of the program: closing another descriptor of the database file
// would drop SQLite's own locks on it.
bool LockArchive(const std::string &archive)
{
    const int fd = ::open(archive.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        Complain(archive + ": " + std::strerror(errno));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    Complain(archive + ": another import into this archive is running; waiting for it to end");
    if (::flock(fd, LOCK_EX) == 0)
        return true;
    Complain(archive + ": cannot lock: " + std::strerror(errno));
    return false;
}

std::string Plural(int64_t count, const char *word)
{
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// What the rows that did not become records were, as "2 rows dropped: ...".
std::string Dropped(int64_t duplicates, int64_t unreadable, int firstLine = 0)
{
    std::string text = Plural(duplicates + unreadable, "row") + " dropped: ";
    if (duplicates > 0)
        text += std::to_string(duplicates) + " with a duplicate ID";
    if (duplicates > 0 && unreadable > 0)
        text += ", ";
    if (unreadable > 0)
        text += std::to_string(unreadable) + " unreadable";
    if (unreadable > 0 && firstLine > 0)
        text += ", the first at line " + std::to_string(firstLine);
    return text;
}

std::string Megabytes(int64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

// A test hook: PLOTWISE_ARCHIVE_KILL_AFTER_DAYS=N has the import kill itself
// after committing its Nth changed day, as a power cut would end it.
int64_t KillAfterDays()
{
    const char *value = std::getenv("PLOTWISE_ARCHIVE_KILL_AFTER_DAYS");
    return value ? std::atoll(value) : 0;
}

// A test hook: PLOTWISE_ARCHIVE_HOLD_DAY=N has the import stop with its Nth
// changed day written but not committed, say "holding" on standard error and
// go on after a line (or the end) of standard input: the archive can then be
// read or copied while a day is half written.
std::function<void()> HoldDay()
{
    const char *value = std::getenv("PLOTWISE_ARCHIVE_HOLD_DAY");
    if (!value)
        return {};
    return [hold = std::atoll(value), written = int64_t(0)]() mutable {
        if (++written != hold)
            return;
        std::fputs("holding\n", stderr);
        std::fflush(stderr);
        int c = 0;
        while ((c = std::getchar()) != EOF && c != '\n') {
        }
    };
}

} // namespace

int RunImport(const std::string &archive, const std::vector<std::string> &snapshots)
{
    // Past a file size limit a write fails like one on a full disk, instead
    // of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<Input> inputs = CollectInputs(snapshots);
    if (!LockArchive(archive))
        return 2;
    int64_t imported = 0, replaced = 0, unchanged = 0, superseded = 0, refused = 0;
    int64_t duplicates = 0, unreadable = 0, committed = 0;
    int64_t largestDay = 0, foldBytes = 0; // for the room an import needs
    const int64_t killAfter = KillAfterDays();
    const bool progress = ::isatty(STDERR_FILENO) && inputs.size() > 1;
    const auto complain = [&](const std::string &message) {
        if (progress)
            std::fputs("\r\033[K", stderr);
        Complain(message);
    };
    try {
        const std::unique_ptr<Database> db = OpenArchive(archive, ArchiveAccess::Import);
        ArchiveWriter writer(*db);
        writer.beforeCommit = HoldDay();
        int64_t staged = writer.stagedDays();
        int64_t foldEvery = writer.foldEvery();
        foldBytes = writer.foldBytes();
        DayTimes times;
        // The deepest readable file of its day so far (of files as deep, the
        // last): it goes in when a file of another day, or none, follows, so
        // that of several files of one day only the one that stands is
        // written. A scrape that stopped early leaves a short file beside a
        // full one, in either order.
        std::optional<ReadFile> pending;
        const auto put = [&] {
            if (!pending)
                return;
            const PackedDay &packed = pending->packed;
            if (packed.duplicates > 0 || packed.skipped > 0)
                complain(pending->input.path.string() + ": "
                    + Dropped(packed.duplicates, packed.skipped, packed.firstSkippedLine));
            duplicates += packed.duplicates;
            unreadable += packed.skipped;
            const auto outcome
                = writer.putDay(*pending->day, pending->input.path.filename().string(), packed);
            pending.reset();
            if (outcome == ArchiveWriter::Outcome::Unchanged) {
                ++unchanged;
                return;
            }
            ++(outcome == ArchiveWriter::Outcome::Added ? imported : replaced);
            if (++committed == killAfter)
                std::raise(SIGKILL);
            // Short of room, the staged days are folded before more come.
            foldBytes = writer.foldBytes() + largestDay;
            if (++staged >= foldEvery || FoldFirst(FreeBytes(archive), largestDay, foldBytes)) {
                times.mark("put");
                writer.compact();
                times.mark("fold");
                staged = 0;
                foldEvery = writer.foldEvery();
            }
            times.mark("day");
        };
        FileReader reader(inputs);
        for (size_t i = 0; i < inputs.size(); ++i) {
            ReadFile file = reader.next();
            if (progress)
                std::fprintf(stderr, "\r\033[Kimporting %zu/%zu %s", i + 1, inputs.size(),
                    file.input.path.filename().c_str());
            if (!file.input.error.empty()) {
                complain(file.input.path.string() + ": " + file.input.error);
                ++refused;
                continue;
            }
            largestDay = std::max(largestDay, int64_t(file.packed.bytes.size()));
            if (pending && *pending->day == *file.day) {
                ++superseded;
                if (pending->packed.records > file.packed.records)
                    continue;
                pending.reset();
            }
            put();
            pending = std::move(file);
        }
        put();
        if (progress)
            std::fputs("\r\033[K", stderr);
        times.mark("put");
        writer.compact();
        times.mark("fold");
        writer.giveBackFreePages();
        times.mark("freed");
        writer.checkpoint();
        times.mark("end");
        const ArchiveTotals totals = ReadTotals(*db);
        std::string summary = Plural(imported, "snapshot") + " imported, "
            + std::to_string(replaced) + " replaced, " + std::to_string(unchanged)
            + " unchanged, " + std::to_string(refused) + " refused";
        std::vector<std::string> notes;
        if (superseded > 0)
            notes.push_back(std::to_string(superseded) + " superseded by the deepest file of its day");
        if (duplicates + unreadable > 0)
            notes.push_back(Dropped(duplicates, unreadable));
        for (size_t i = 0; i < notes.size(); ++i)
            summary += (i == 0 ? " (" : "; ") + notes[i] + (i + 1 == notes.size() ? ")" : "");
        summary += "; " + Plural(totals.records, "record") + ", " + Plural(totals.games, "game");
        summary += totals.days > 0 ? ", " + IsoDay(totals.firstDay) + " to " + IsoDay(totals.lastDay)
                                   : ", no days";
        std::printf("%s\n", summary.c_str());
    } catch (const ArchiveError &e) {
        if (progress)
            std::fputs("\r\033[K", stderr);
        std::string message = e.what();
        const bool disk = message.ends_with("disk is full") || message.ends_with("disk I/O error");
        if (!message.starts_with(archive))
            message = archive + ": " + message;
        const int64_t free = FreeBytes(archive), needed = RoomNeeded(largestDay, foldBytes);
        if (disk)
            message += "; an import into this archive needs about " + Megabytes(needed)
                + " free on its disk besides the archive itself (" + Megabytes(free)
                + " free now; the days imported before stay)";
        Complain(message);
        return 2;
    }
    return refused > 0 ? 1 : 0;
}
