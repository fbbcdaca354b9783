#include "BenchRun.h"

#include "BenchProcess.h"
#include "tools/PositiveOption.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

bool ReadOptions(const char *program, int argc, char **argv,
    std::initializer_list<NumberOption> numbers, std::initializer_list<OffSwitch> switches,
    std::string *keep)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        bool known = false;
        for (const NumberOption &option : numbers) {
            if (arg != option.name)
                continue;
            const std::optional<int> value = PositiveNumber(i + 1 < argc ? argv[++i] : "");
            if (!value) {
                std::fprintf(stderr, "%s: %s takes a positive number\n", program, option.name);
                std::exit(2);
            }
            *option.value = *value;
            known = true;
        }
        for (const OffSwitch &option : switches) {
            if (arg == option.name) {
                *option.on = option.value;
                known = true;
            }
        }
        if (arg == "--keep" && i + 1 < argc) {
            *keep = argv[++i];
            known = true;
        }
        if (!known)
            return false;
    }
    return true;
}

fs::path WorkFolder(const char *program, const std::string &keep)
{
    const fs::path work = keep.empty()
        ? fs::temp_directory_path() / (std::string(program) + "_" + std::to_string(getpid()))
        : fs::path(keep);
    fs::create_directories(work);
    return work;
}

bool GenerateSnapshots(const fs::path &folder, int days, int games, bool allFromStart)
{
    std::printf("generating %d days of %d games in %s ...\n", days, games, folder.c_str());
    std::fflush(stdout);
    std::vector<std::string> command { PLOTWISE_SAMPLE_SNAPSHOTS_PATH, "--days", std::to_string(days),
        "--games", std::to_string(games), folder.string() };
    if (allFromStart)
        command.insert(command.end() - 1, "--all-from-start");
    return RunChild(command).ok;
}
