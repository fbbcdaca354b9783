// The commands of plotwise-archive; each returns the program's exit status.
#pragma once

#include <string>
#include <vector>

int RunImport(const std::string &archive, const std::vector<std::string> &snapshots);
int RunServe(const std::string &archive, int port, const std::string &logFile);
int RunInfo(const std::string &archive);

// "plotwise-archive: " and the message, on standard error.
void Complain(const std::string &message);
