// plotwise-archive import: reads and packs snapshot files on a thread of its
// own, some files ahead of the writer, one transaction per file, and folds
// the staged days into blocks every StagedLimit days and at the end.
#include "archive/ArchiveFile.h"
#include "archive/ArchiveWriter.h"
#include "archive/Commands.h"
#include "archive/Days.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Staged days folded in at once. A fold's time goes mostly to rewriting each
// game's last block, whatever the number of days, so fewer folds save time;
// the limit bounds the days the service holds in memory until the next fold
// (about 3 MB a day of 30,000 games).
constexpr int64_t StagedLimit = 32;
// Packed days waiting for the writer: the reader goes on while the writer
// folds, and memory holds this many packed days and one file at most.
constexpr size_t ReadAhead = 2;

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
// of several files of one day the last stands.
std::vector<Input> CollectInputs(const std::vector<std::string> &snapshots)
{
    std::vector<Input> inputs;
    for (const std::string &argument : snapshots) {
        std::error_code error;
        const fs::path path(argument);
        if (!fs::is_directory(path, error)) {
            inputs.push_back({ path, {} });
            continue;
        }
        std::vector<Input> found;
        for (const auto &entry : fs::directory_iterator(path, error)) {
            if (IsCsv(entry.path()) && !entry.is_directory(error))
                found.push_back({ entry.path(), {} });
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

// bytes gets the file's bytes; its room is kept from one file to the next:
// fresh pages for every file cost time and, scattered, memory.
ReadFile Read(Input input, std::string &bytes)
{
    ReadFile file { std::move(input), {}, {} };
    if (!file.input.error.empty())
        return file;
    file.day = SnapshotDay(file.input.path.filename().string());
    if (!file.day) {
        file.input.error = "the file name does not start with a date (YYYY-MM-DD)";
        return file;
    }
    std::ifstream stream(file.input.path, std::ios::binary);
    bytes.clear();
    std::error_code error;
    const auto size = fs::file_size(file.input.path, error);
    if (stream && !error && fs::is_regular_file(file.input.path, error)) {
        bytes.resize(size);
        stream.read(bytes.data(), std::streamsize(size));
        bytes.resize(size_t(stream.gcount()));
    }
    if (!stream || error) {
        file.input.error = std::string("cannot read: ")
            + (error ? error.message() : std::strerror(errno ? errno : EIO));
        return file;
    }
    const Snapshot snapshot = ReadSnapshot(bytes);
    file.input.error = snapshot.error;
    file.packed = PackSnapshot(snapshot);
    return file;
}

// Reads the files in order on a thread of its own, at most ReadAhead ahead
// of the one taken.
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
        m_changed.notify_all();
        return file;
    }

private:
    void run()
    {
        for (const Input &input : m_inputs) {
            ReadFile file = Read(input, m_bytes);
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopping || m_ready.size() < ReadAhead; });
            if (m_stopping)
                return;
            m_ready.push_back(std::move(file));
            m_changed.notify_all();
        }
    }

    const std::vector<Input> &m_inputs;
    std::string m_bytes; // the file being read
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<ReadFile> m_ready;
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

} // namespace

int RunImport(const std::string &archive, const std::vector<std::string> &snapshots)
{
    // Past a file size limit a write fails like one on a full disk, instead
    // of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<Input> inputs = CollectInputs(snapshots);
    if (!LockArchive(archive))
        return 2;
    int64_t imported = 0, replaced = 0, refused = 0, skipped = 0;
    const bool progress = ::isatty(STDERR_FILENO) && inputs.size() > 1;
    try {
        const std::unique_ptr<Database> db = OpenArchive(archive, ArchiveAccess::Import);
        ArchiveWriter writer(*db);
        int64_t staged = writer.stagedDays();
        FileReader reader(inputs);
        for (size_t i = 0; i < inputs.size(); ++i) {
            ReadFile file = reader.next();
            if (progress)
                std::fprintf(stderr, "\r\033[Kimporting %zu/%zu %s", i + 1, inputs.size(),
                    file.input.path.filename().c_str());
            if (!file.input.error.empty()) {
                if (progress)
                    std::fputs("\r\033[K", stderr);
                Complain(file.input.path.string() + ": " + file.input.error);
                ++refused;
                continue;
            }
            skipped += file.packed.skipped;
            const auto outcome
                = writer.putDay(*file.day, file.input.path.filename().string(), file.packed);
            (outcome == ArchiveWriter::Outcome::Added ? imported : replaced) += 1;
            if (outcome != ArchiveWriter::Outcome::Unchanged && ++staged >= StagedLimit) {
                writer.compact();
                staged = 0;
            }
        }
        if (progress)
            std::fputs("\r\033[K", stderr);
        writer.finish();
        const ArchiveTotals totals = ReadTotals(*db);
        std::string summary = Plural(imported, "snapshot") + " imported, "
            + std::to_string(replaced) + " replaced, " + std::to_string(refused) + " refused";
        if (skipped > 0)
            summary += " (" + Plural(skipped, "row") + " skipped)";
        summary += "; " + Plural(totals.records, "record") + ", " + Plural(totals.games, "game");
        summary += totals.days > 0 ? ", " + IsoDay(totals.firstDay) + " to " + IsoDay(totals.lastDay)
                                   : ", no days";
        std::printf("%s\n", summary.c_str());
    } catch (const ArchiveError &e) {
        if (progress)
            std::fputs("\r\033[K", stderr);
        const std::string message = e.what();
        Complain(message.starts_with(archive) ? message : archive + ": " + message);
        return 2;
    }
    return refused > 0 ? 1 : 0;
}
