#pragma once
// Helper daemons of the programs (DHCP clients, the supplicant and its event listeners). They are
// started detached (a session of their own, not children of the caller), so that they outlive the
// call that started them, and are found again through their pid files and ended by pid.
// A daemon runs in the network namespace of the thread that started it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Full path of a program found on PATH (or the name itself when it holds a '/' and is
// executable); empty when there is none.
std::string FindProgram(const std::string& name);

// Starts argv[0] (a full path) with the caller's environment plus the extra NAME=value entries,
// standard streams on /dev/null, no descriptor of the caller. Returns the daemon's pid, or 0
// with the errno of the failed start (exec included) in *error.
pid_t StartDaemon(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  int* error = nullptr);

// The words of a process's command line; empty when there is no such process.
std::vector<std::string> ProcessCommandLine(pid_t pid);

// Alive and no zombie. A zombie child of the caller is reaped here.
bool IsRunning(pid_t pid);

// The pid in a pid file when it names a running process whose command line holds every one of
// 'words' (a pid file outlives its process, and pids are reused); 0 otherwise.
pid_t RunningPidFromFile(const std::string& pidFile, const std::vector<std::string>& words);

// The inode that names a network namespace: the calling thread's, or a process's (its main
// thread's); 0 when it cannot be read (no such process, no permission).
uint64_t CurrentNetNamespace();
uint64_t NetNamespaceOf(pid_t pid);

// Checks the condition every 20 ms until it holds (true) or the time is up (false).
bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// SIGTERM, then SIGKILL once the grace time is over; true when the process is gone.
bool StopDaemon(pid_t pid, std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

} // namespace platform
