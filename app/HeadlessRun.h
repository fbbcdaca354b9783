// The command line's modes other than the desktop program: --check and --run
// of a script without a window or display, --help and --version, and the
// usage text for a bad command line.
#pragma once

struct CommandLine;

// Runs the mode and returns the exit status (see ExitStatus). Creates its own
// application object; for --run the offscreen platform is chosen unless the
// environment names another.
[[nodiscard]] int RunCommandLine(const CommandLine &commandLine, int &argc, char **argv);
