#pragma once
// Running a console command with its standard output and standard error on one pipe, read
// while the command runs, under a time-out that ends the whole process group.

#include <chrono>
#include <string>
#include <vector>

namespace platform {

struct ProcessOptions {
    bool capture = true; // false: the output goes to /dev/null, nothing is read
    std::chrono::milliseconds timeout{30000};
    std::vector<std::string> environment; // extra NAME=value entries over the inherited ones
    // Output kept at most; the rest is read and dropped, so the command never blocks on a full
    // pipe and memory stays bounded.
    size_t maxOutput = 16u << 20;
};

struct ProcessResult {
    enum class Outcome { Finished, TimedOut, PipeFailed, StartFailed };
    Outcome outcome = Outcome::StartFailed;
    int error = 0;      // errno of a failed pipe or start
    int exitStatus = 0; // wait status of a finished command
    std::string output; // what was written to stdout and stderr, up to maxOutput; empty after a time-out
};

// The command line is split into words at blanks, double quotes grouping (a backslash before a
// quote keeps the quote); no shell sees it. The program is looked up on PATH. The command gets
// the caller's standard input and a process group of its own; on time-out that group is killed.
ProcessResult RunProcess(const std::string& commandLine, const ProcessOptions& options);

std::vector<std::string> SplitCommandLine(const std::string& commandLine);

} // namespace platform
