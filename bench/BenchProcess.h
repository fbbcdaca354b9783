// The benchmarks' child processes: a program run to its end with its output
// kept, and plotwise-archive's service started on a free port and stopped.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct Outcome {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0; // user and system time of the child, threads included
    long peakKiB = 0; // the child's peak resident memory
    std::string out; // its standard output
};

// Runs a program to its end, its standard output kept (standard error passes).
Outcome RunChild(const std::vector<std::string> &args);

struct RunningService {
    pid_t pid = 0;
    int port = 0; // 0: it did not start
};

// Starts `plotwise-archive serve ARCHIVE --port 0`, its output in log, and
// waits up to 5 s for the port it listens on.
RunningService StartService(const std::string &archive, const std::string &log);
void StopService(const RunningService &service);

// A field of /proc/PID/status in KiB ("VmRSS", "VmHWM"); 0 if unreadable.
long StatusKiB(pid_t pid, const char *field);
