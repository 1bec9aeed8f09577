#pragma once
// The tool's browser sends every request through this proxy on 127.0.0.1, because only a
// proxy sees a submission's body byte for byte. It relays HTTP/1.1 (CONNECT tunnelled
// blindly), keeps the last answer body per URL, and, when armed, takes the first request
// for one URL as a CapturedRequest. Toolkit-free; its threads are joined by Stop.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "stavrintool/capture/CapturedRequest.h"

class CaptureProxy {
public:
    // The process's proxy, started on first use (throws when it cannot listen) and stopped
    // at exit.
    static CaptureProxy& Instance();

    CaptureProxy();
    ~CaptureProxy(); // Stop
    CaptureProxy(const CaptureProxy&) = delete;
    CaptureProxy& operator=(const CaptureProxy&) = delete;

    // 127.0.0.1 at an ephemeral port. Throws std::runtime_error on failure.
    void Start();
    // Closes the listener and every open connection and joins all threads.
    void Stop();
    int Port() const;
    std::string Url() const; // "http://127.0.0.1:<port>"

    enum class Mode {
        Forward, // the captured request goes on to the server
        Block,   // answered "204 No Content", never sent
    };
    // Takes the first request whose URL (fragment dropped) equals 'url' (fragment dropped),
    // then disarms itself. 'captured' runs on a proxy thread. A later Arm replaces this one.
    void Arm(const std::string& url, Mode mode, std::function<void(const CapturedRequest&)> captured);
    void Disarm();
    bool IsArmed() const;

    // The last answer body relayed for 'url' (fragment dropped), as received; none when no
    // answer was kept.
    std::optional<std::string> KeptAnswer(const std::string& url) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
