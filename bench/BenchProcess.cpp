#include "BenchProcess.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

Outcome RunChild(const std::vector<std::string> &args)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    Outcome outcome;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        outcome.out.append(buffer, size_t(n));
    close(pipeFds[0]);
    if (spawned != 0)
        return outcome;
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.peakKiB = usage.ru_maxrss;
    outcome.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    outcome.ok = WIFEXITED(status) && WEXITSTATUS(status) <= 1;
    return outcome;
}

RunningService StartService(const std::string &archive, const std::string &log)
{
    RunningService service;
    std::vector<std::string> args = { PLOTWISE_ARCHIVE_PATH, "serve", archive, "--port", "0" };
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
        O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn(&service.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 500 && service.port == 0; ++i) {
        usleep(10000);
        std::FILE *file = std::fopen(log.c_str(), "r");
        char line[128] = {};
        if (file && std::fgets(line, sizeof line, file))
            std::sscanf(line, "listening on 127.0.0.1:%d", &service.port);
        if (file)
            std::fclose(file);
    }
    if (service.port == 0)
        StopService(service);
    return service;
}

void StopService(const RunningService &service)
{
    if (service.pid <= 0)
        return;
    kill(service.pid, SIGTERM);
    waitpid(service.pid, nullptr, 0);
}

long StatusKiB(pid_t pid, const char *field)
{
    std::FILE *file = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (!file)
        return 0;
    char line[256];
    long kib = 0;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            kib = std::atol(line + length + 1);
    }
    std::fclose(file);
    return kib;
}
