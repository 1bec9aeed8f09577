#pragma once
// A transmit queue in the shape the ping test sends with: frames queued into a buffer of a
// given size, then sent in order on one handle. Here each frame goes out by pcap_inject.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/net/Capture.h"

namespace platform {

class SendQueue {
public:
    // Room for the frames and a header of kHeaderSize bytes per frame.
    static constexpr size_t kHeaderSize = sizeof(pcap_pkthdr);
    explicit SendQueue(size_t memorySize);

    // Appends a frame (captured length bytes of data); false when it does not fit.
    bool Queue(const pcap_pkthdr& header, const uint8_t* data);
    // Sends every queued frame in order and returns the bytes that went out; it stops at the
    // first frame that does not go out whole. A missing handle sends nothing. Frames are sent
    // as fast as the card takes them: the time stamps are not followed.
    size_t Transmit(const PcapHandle& handle);

private:
    struct Frame {
        size_t offset, length;
    };
    const size_t m_capacity;
    size_t m_used = 0;
    std::vector<uint8_t> m_data;
    std::vector<Frame> m_frames;
};

} // namespace platform
