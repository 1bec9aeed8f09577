#pragma once
// Owner of one libpcap handle, and the two ways the program opens a card: for capture (every
// incoming frame at once, no batching delay) and for sending only (a tiny buffer and a kernel
// filter that accepts nothing, so a handle nobody reads never fills up with copies of traffic).

#include <pcap/pcap.h>
#include <string>
#include <utility>

namespace platform {

class PcapHandle {
public:
    PcapHandle() = default;
    explicit PcapHandle(pcap_t* handle) : m_handle(handle) {}
    PcapHandle(PcapHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    PcapHandle& operator=(PcapHandle&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    PcapHandle(const PcapHandle&) = delete;
    PcapHandle& operator=(const PcapHandle&) = delete;
    ~PcapHandle() { Reset(); }

    pcap_t* Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Reset(pcap_t* handle = nullptr) {
        if (m_handle)
            pcap_close(m_handle);
        m_handle = handle;
    }

private:
    pcap_t* m_handle = nullptr;
};

struct CaptureOptions {
    int snapshotLength = 65536;
    bool promiscuous = true;
    int timeoutMs = 1000;
    bool immediate = true;    // deliver each frame as it comes
    bool incomingOnly = true; // leave out what this host sends
    // Room for bursts while the reader is busy: with 64 KiB snapshots the kernel ring holds
    // about bufferBytes / 64 KiB frames.
    int bufferBytes = 64 << 20;
};

// Opens a card for capture; an empty handle and the library's text in *error on failure.
PcapHandle OpenCapture(const std::string& device, const CaptureOptions& options, std::string* error);

// Opens a card for sending frames only.
PcapHandle OpenForSending(const std::string& device, std::string* error);

} // namespace platform
