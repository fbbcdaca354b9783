// What an archive benchmark's run starts with: its command line, the folder
// its data is kept in, and the generated snapshots.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>

// "--days N": a positive number into value.
struct NumberOption {
    const char *name;
    int *value;
};
// "--no-peer": clears on; with value true ("--all-from-start") sets it.
struct OffSwitch {
    const char *name;
    bool *on;
    bool value = false;
};

// Reads the command line against the two tables, and "--keep DIR" into keep.
// A number option without a positive number ends the program with status 2,
// saying so under the program's name; false for anything else the tables do
// not hold (the caller prints its usage).
bool ReadOptions(const char *program, int argc, char **argv,
    std::initializer_list<NumberOption> numbers, std::initializer_list<OffSwitch> switches,
    std::string *keep);

// The run's folder, made when missing: keep, or when empty a new folder in
// the temporary folder named after the program and this process.
std::filesystem::path WorkFolder(const char *program, const std::string &keep);

// Generates days daily snapshots of games games into folder, saying so first;
// allFromStart: every game ranked from the first day.
bool GenerateSnapshots(const std::filesystem::path &folder, int days, int games, bool allFromStart = false);
