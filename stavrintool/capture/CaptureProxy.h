#pragma once
// The tool's browser sends every request through this proxy on 127.0.0.1, because only a
// proxy sees a submission's body byte for byte. It relays HTTP/1.1 (CONNECT tunnelled
// blindly), streams answers to the browser as they arrive, keeps the last page per URL (within
// a bound), and, when armed, takes the first request for one URL as a CapturedRequest. Any
// local process can reach it, so it bounds what a client can hold: connections, time for a
// request head, memory. Toolkit-free; its threads are joined by Stop.

#include <chrono>
#include <cstddef>
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

    struct Limits {
        // For a request head, for each pause inside a request body, and for a browser that
        // does not take an answer's bytes.
        std::chrono::milliseconds headTimeout{30000};
        // For each pause in a server's answer: a modem writing its flash may keep an upload's
        // answer for minutes.
        std::chrono::milliseconds answerTimeout{300000};
        // Connections served at once; one more is answered "503 Service Unavailable".
        size_t maxConnections = 64;
        // Answers larger than this are relayed but not kept: the locator wants pages, not
        // firmware.
        size_t maxKeptAnswer = 16u << 20;
        // All kept answers together; the oldest go first.
        size_t maxKeptTotal = 64u << 20;
    };

    CaptureProxy();
    explicit CaptureProxy(const Limits& limits);
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

    // The last answer body relayed for 'url' (fragment dropped), its content coding (gzip,
    // deflate) undone; none when no answer was kept.
    std::optional<std::string> KeptAnswer(const std::string& url) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
