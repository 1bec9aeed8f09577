#include "platform/net/Capture.h"

namespace platform {
namespace {

std::string ActivateError(pcap_t* handle, int status) {
    std::string text = pcap_statustostr(status);
    const char* detail = pcap_geterr(handle);
    if (detail && *detail)
        text += std::string(": ") + detail;
    return text;
}

PcapHandle Create(const std::string& device, std::string* error) {
    char text[PCAP_ERRBUF_SIZE] = "";
    if (device.empty()) {
        if (error)
            *error = "no capture device";
        return PcapHandle();
    }
    PcapHandle handle(pcap_create(device.c_str(), text));
    if (!handle && error)
        *error = text;
    return handle;
}

bool Activate(PcapHandle& handle, std::string* error) {
    int status = pcap_activate(handle.Get());
    if (status < 0) {
        if (error)
            *error = ActivateError(handle.Get(), status);
        handle.Reset();
        return false;
    }
    return true;
}

} // namespace

PcapHandle OpenCapture(const std::string& device, const CaptureOptions& options, std::string* error) {
    PcapHandle handle = Create(device, error);
    if (!handle)
        return handle;
    pcap_set_snaplen(handle.Get(), options.snapshotLength);
    pcap_set_promisc(handle.Get(), options.promiscuous ? 1 : 0);
    pcap_set_timeout(handle.Get(), options.timeoutMs);
    pcap_set_immediate_mode(handle.Get(), options.immediate ? 1 : 0);
    if (options.bufferBytes > 0)
        pcap_set_buffer_size(handle.Get(), options.bufferBytes);
    if (!Activate(handle, error))
        return handle;
    if (options.incomingOnly && pcap_setdirection(handle.Get(), PCAP_D_IN) != 0) {
        if (error)
            *error = pcap_geterr(handle.Get());
        handle.Reset();
    }
    return handle;
}

PcapHandle OpenForSending(const std::string& device, std::string* error) {
    PcapHandle handle = Create(device, error);
    if (!handle)
        return handle;
    pcap_set_snaplen(handle.Get(), 100);
    pcap_set_promisc(handle.Get(), 0);
    pcap_set_timeout(handle.Get(), 100);
    pcap_set_buffer_size(handle.Get(), 4096); // the kernel rounds it up to its minimum
    if (!Activate(handle, error))
        return handle;
    // One instruction: accept nothing.
    struct bpf_insn rejectAll = BPF_STMT(BPF_RET | BPF_K, 0);
    struct bpf_program program = {1, &rejectAll};
    if (pcap_setfilter(handle.Get(), &program) != 0) {
        if (error)
            *error = pcap_geterr(handle.Get());
        handle.Reset();
    }
    return handle;
}

} // namespace platform
