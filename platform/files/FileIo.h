#pragma once
// Whole-file reads and the one way this program saves a file: a temporary file beside the
// target, written and synced, then renamed over it, so a reader sees the old or the new
// content and a failed save leaves the old file.

#include <optional>
#include <string>

namespace platform {

// The bytes of a regular file of at most maxBytes; nullopt when it cannot be opened or read,
// is no regular file (EINVAL: a FIFO or a device would block or never end) or is larger
// (EFBIG). errno tells why.
std::optional<std::string> ReadWholeFile(const std::string& path, size_t maxBytes);
// The same for the small files of the helper daemons (pid files, /proc entries, leases, kept
// profiles): at most 1 MiB.
constexpr size_t kSmallFileLimit = 1 << 20;
inline std::optional<std::string> ReadWholeFile(const std::string& path) {
    return ReadWholeFile(path, kSmallFileLimit);
}

// Replaces the file's content; false (old file untouched) when any step fails. A new file gets
// mode 0644, an existing one keeps its mode; a mode given is the file's mode from the first
// byte on (secrets: 0600).
bool SaveFileAtomically(const std::string& path, const std::string& bytes, int mode = -1);
// The mode of files that hold secrets (keys, pass phrases).
constexpr int kSecretFileMode = 0600;

// Writes all bytes to a descriptor, resuming after short writes and signals.
bool WriteAll(int fd, const char* data, size_t length);

} // namespace platform
