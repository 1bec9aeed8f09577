#include "platform/net/SendQueue.h"

namespace platform {

SendQueue::SendQueue(size_t memorySize) : m_capacity(memorySize) {}

bool SendQueue::Queue(const pcap_pkthdr& header, const uint8_t* data) {
    const size_t length = header.caplen;
    if (data == nullptr || m_used + kHeaderSize + length > m_capacity)
        return false;
    m_frames.push_back({m_data.size(), length});
    m_data.insert(m_data.end(), data, data + length);
    m_used += kHeaderSize + length;
    return true;
}

size_t SendQueue::Transmit(const PcapHandle& handle) {
    if (!handle)
        return 0;
    size_t sent = 0;
    for (const Frame& frame : m_frames) {
        int written = pcap_inject(handle.Get(), m_data.data() + frame.offset, frame.length);
        if (written < 0)
            break;
        sent += static_cast<size_t>(written);
        if (static_cast<size_t>(written) != frame.length)
            break;
    }
    return sent;
}

} // namespace platform
