#pragma once
// Inputs that carry several texts: the bytes split at 0x1F (the unit separator), so a seed is
// its texts joined by it and a mutation may move text from one part to the next.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr char kFuzzPartSeparator = '\x1F';

inline std::vector<std::string> FuzzParts(const uint8_t* data, size_t size) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == static_cast<uint8_t>(kFuzzPartSeparator))
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    return parts;
}

inline std::string JoinFuzzParts(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += kFuzzPartSeparator;
        out += parts[i];
    }
    return out;
}

// The process's log goes to a directory of the driver's own, never the program's.
void KeepFuzzLogPrivate();
