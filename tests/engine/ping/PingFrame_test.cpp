#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/ping/CaptureLog.h"
#include "engine/ping/PingFrames.h"
#include "platform/net/InternetChecksum.h"
#include "tests/support/PrivateLog.h"

namespace {

const uint8_t kLanMac[6] = {0x02, 0, 0, 0, 0x0a, 0x01};
const uint8_t kWanMac[6] = {0x02, 0, 0, 0, 0x0b, 0x01};

// A clock that stands still at a known tick.
class FixedClock : public platform::Clock {
public:
    explicit FixedClock(long long tickMs) : m_tick(tickMs) {}
    Steady::time_point Now() const override { return Steady::time_point(std::chrono::milliseconds(m_tick)); }
    Wall::time_point WallNow() const override { return Wall::time_point(std::chrono::milliseconds(m_tick)); }
    void SleepFor(std::chrono::milliseconds d) override { m_tick += d.count(); }
    long long m_tick;
};

std::string Hex(const uint8_t* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::vector<uint8_t> Build(bool request, PingPort& port, int length, const PingFrameSource& source) {
    std::vector<uint8_t> frame(static_cast<size_t>(length), 0xEE);
    bool built = request ? CreatePingRequestPacket(frame.data(), port, length, source)
                         : CreatePingReplyPacket(frame.data(), port, length, source);
    EXPECT_TRUE(built);
    return frame;
}

struct TestingFlagOn {
    TestingFlagOn() { SetTestingFlag(true); }
    ~TestingFlagOn() { SetTestingFlag(false); }
};

} // namespace

TEST(PingFrame, GoldenBytesOfRequestsAndRepliesAndBothChecksumsResumToAllOnes) {
    struct Case {
        bool request;
        int length;
        const char* head; // bytes 0..77
    };
    const Case cases[] = {
        {true, 1500,
         "020000000b01020000000a01810000040800450005ca01010000"
         "80012e2d010101010202020208007bbd03000000785634127b7b"
         "0300000000000000d4c3b2a178563412000000007d7d8e050000"},
        {true, 128,
         "020000000b01020000000a018100000408004500006e01010000"
         "8001338901010101020202020800624b03000100785634127b7b"
         "0300000001000000d4c3b2a178563412000000007d7d32000000"},
        {false, 1500,
         "020000000a01020000000b01810000040800450005ca01010000"
         "80012e2d0202020201010101000083bd03000000785634127b7b"
         "0300000000000000d4c3b2a178563412000000007d7d8e050000"},
        {false, 128,
         "020000000a01020000000b018100000408004500006e01010000"
         "80013389020202020101010100006a4b03000100785634127b7b"
         "0300000001000000d4c3b2a178563412000000007d7d32000000"},
    };
    FixedClock clock(0x12345678);
    PingFrameSource source{kLanMac, kWanMac, 0xA1B2C3D4, &clock};
    PingPort port(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.request ? "request " : "reply ") + std::to_string(c.length));
        std::vector<uint8_t> frame = Build(c.request, port, c.length, source);
        EXPECT_EQ(Hex(frame.data(), 78), c.head);
        for (int i = 0; i < c.length - 78; ++i)
            ASSERT_EQ(frame[78 + i], 'a' + i % 23) << "filler byte " << i;
        // A checksum summed again over its own region gives all ones, whose complement is 0.
        EXPECT_EQ(platform::InternetChecksum(20, frame.data() + 18), 0);
        EXPECT_EQ(platform::InternetChecksum(c.length - 38, frame.data() + 38), 0);
    }
    // One record per frame, serials counted per direction.
    auto up = port.GetPackets(PingDirection::Upstream);
    auto down = port.GetPackets(PingDirection::Downstream);
    ASSERT_EQ(up.size(), 2u);
    ASSERT_EQ(down.size(), 2u);
    EXPECT_EQ(up[1].Serial, 1);
    EXPECT_EQ(up[1].Length, 128);
    EXPECT_EQ(up[1].VlanId, 4);
    EXPECT_EQ(up[1].SendTick, 0x12345678);
    EXPECT_FALSE(up[1].Replied);
    EXPECT_EQ(port.GetSerial(PingDirection::Upstream), 2);
    EXPECT_EQ(port.GetSerial(PingDirection::Downstream), 2);
}

TEST(PingFrame, BuilderRefusesNoBufferAndTooShortFramesAndRecordsNothing) {
    PingPort port(1);
    PingFrameSource source{kLanMac, kWanMac, 7, nullptr};
    uint8_t small[77];
    EXPECT_FALSE(CreatePingRequestPacket(nullptr, port, 128, source));
    EXPECT_FALSE(CreatePingReplyPacket(small, port, 77, source));
    EXPECT_TRUE(port.GetPackets(PingDirection::Upstream).empty());
    EXPECT_TRUE(port.GetPackets(PingDirection::Downstream).empty());
    EXPECT_EQ(port.GetSerial(PingDirection::Upstream), 0);
}

TEST(PingFrame, PortsBeyondTheVlanByteAreRefused) {
    EXPECT_THROW(PingPort(0), std::invalid_argument);
    EXPECT_THROW(PingPort(255), std::invalid_argument);
    EXPECT_EQ(PingPort(254).GetVlanId(), 255);
    EXPECT_TRUE(CheckPingPortCount(254));
    EXPECT_FALSE(CheckPingPortCount(255));
}

TEST(PingFrame, HandlerTable) {
    enum Handler { Lan, Wan };
    struct Case {
        const char* name;
        Handler handler;
        bool request; // which frame is built
        std::function<void(std::vector<uint8_t>&, uint32_t handle)> change;
        PingFrameResult expected;
        bool testing = true;
    };
    auto untag = [](std::vector<uint8_t>& f, uint32_t) { f.erase(f.begin() + 12, f.begin() + 16); };
    auto none = [](std::vector<uint8_t>&, uint32_t) {};
    const Case cases[] = {
        {"tagged reply", Lan, false, none, PingFrameResult::Counted},
        {"tagged request", Wan, true, none, PingFrameResult::Counted},
        {"untagged reply", Lan, false, untag, PingFrameResult::Counted},
        {"untagged request", Wan, true, untag, PingFrameResult::Counted},
        {"reply on the WAN card", Wan, false, none, PingFrameResult::WrongAddress},
        {"request on the LAN card", Lan, true, none, PingFrameResult::WrongAddress},
        {"source MAC of a third card", Lan, false, [](auto& f, uint32_t) { f[11] = 0x77; },
         PingFrameResult::WrongAddress},
        {"request type on the LAN card", Lan, false, [](auto& f, uint32_t) { f[38] = 8; },
         PingFrameResult::WrongType},
        {"reply type on the WAN card", Wan, true, [](auto& f, uint32_t) { f[38] = 0; },
         PingFrameResult::WrongType},
        {"broken open marker", Lan, false, [](auto& f, uint32_t) { f[51] = '['; }, PingFrameResult::Invalid},
        {"broken close marker", Wan, true, [](auto& f, uint32_t) { f[72] = ']'; }, PingFrameResult::Invalid},
        {"foreign run", Lan, false,
         [](auto& f, uint32_t h) {
             uint32_t other = h + 1;
             std::memcpy(&f[60], &other, 4);
         },
         PingFrameResult::Invalid},
        {"no run at all", Wan, true, [](auto& f, uint32_t) { std::memset(&f[60], 0, 4); },
         PingFrameResult::Invalid},
        {"port of the run without that serial", Lan, false, [](auto& f, uint32_t) { f[52] = 5; },
         PingFrameResult::Invalid},
        {"port outside every run", Lan, false, [](auto& f, uint32_t) { f[53] = 0x40; },
         PingFrameResult::Invalid},
        {"serial mismatch", Wan, true, [](auto& f, uint32_t) { f[56] = 9; }, PingFrameResult::Invalid},
        {"negative serial", Wan, true, [](auto& f, uint32_t) { f[59] = 0x80; }, PingFrameResult::Invalid},
        {"too short", Lan, false, [](auto& f, uint32_t) { f.resize(77); }, PingFrameResult::TooShort},
        {"testing flag clear", Lan, false, none, PingFrameResult::NotTesting, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PingPort three(3), five(5);
        const uint32_t handle = RegisterPingRun({&three, &five});
        PingFrameSource source{kLanMac, kWanMac, handle, nullptr};
        std::vector<uint8_t> frame = Build(c.request, three, 128, source);
        c.change(frame, handle);

        PingHandlerState state;
        std::memcpy(state.LanMac, kLanMac, 6);
        std::memcpy(state.WanMac, kWanMac, 6);
        state.Count = 5;
        SetTestingFlag(c.testing);
        PingFrameResult result =
            HandlePingFrame(c.handler == Lan ? PingDirection::Downstream : PingDirection::Upstream, state,
                            frame.data(), static_cast<uint32_t>(frame.size()));
        SetTestingFlag(false);
        UnregisterPingRun(handle);

        EXPECT_EQ(static_cast<int>(result), static_cast<int>(c.expected));
        const bool counted = c.expected == PingFrameResult::Counted;
        auto packets = three.GetPackets(c.request ? PingDirection::Upstream : PingDirection::Downstream);
        ASSERT_EQ(packets.size(), 1u);
        EXPECT_EQ(packets[0].Replied, counted);
        EXPECT_EQ(packets[0].ReceiveTick != 0, counted);
        EXPECT_TRUE(five.GetPackets(PingDirection::Upstream).empty());
        EXPECT_EQ(state.Count.load(), counted ? 6 : (c.testing ? 5 : 0));
    }
}

TEST(PingFrame, LateFrameOfAnEndedRunAndFramesOfEarlierRecordsMarkNothing) {
    TestingFlagOn testing;
    PingHandlerState state;
    std::memcpy(state.LanMac, kLanMac, 6);
    std::memcpy(state.WanMac, kWanMac, 6);

    PingPort port(2);
    const uint32_t first = RegisterPingRun({&port});
    std::vector<uint8_t> early = Build(false, port, 128, {kLanMac, kWanMac, first, nullptr});
    UnregisterPingRun(first);
    // The records of the first run are cleared and the port serves a second run.
    port.ClearPackets();
    const uint32_t second = RegisterPingRun({&port});
    EXPECT_NE(first, second);
    EXPECT_EQ(HandlePingFrame(PingDirection::Downstream, state, early.data(), 128), PingFrameResult::Invalid);
    // Even with the handle of the running run, serial 0 is a record of the cleared lists.
    std::memcpy(&early[60], &second, 4);
    EXPECT_EQ(HandlePingFrame(PingDirection::Downstream, state, early.data(), 128), PingFrameResult::Invalid);
    std::vector<uint8_t> current = Build(false, port, 128, {kLanMac, kWanMac, second, nullptr});
    EXPECT_EQ(HandlePingFrame(PingDirection::Downstream, state, current.data(), 128),
              PingFrameResult::Counted);
    UnregisterPingRun(second);
    EXPECT_EQ(HandlePingFrame(PingDirection::Downstream, state, current.data(), 128),
              PingFrameResult::Invalid);
    auto packets = port.GetPackets(PingDirection::Downstream);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].Serial, 1);
    EXPECT_TRUE(packets[0].Replied);
}

TEST(PingFrame, TallyAndVerdictTable) {
    // One class gets (sent, received); the other three send 10 and receive all.
    struct Case {
        int sent, received;
        int loss;
        bool passed;
    };
    const Case cases[] = {
        {100, 100, 0, true},   {100, 99, 1, true}, {100, 98, 2, false},  {1000, 981, 1, true},
        {1000, 980, 2, false}, {0, 0, 0, true},    {100, 0, 100, false},
    };
    struct Class {
        const char* name;
        PingDirection direction;
        int length;
    };
    const Class classes[] = {{"upstream big", PingDirection::Upstream, 1500},
                             {"upstream small", PingDirection::Upstream, 128},
                             {"downstream big", PingDirection::Downstream, 1500},
                             {"downstream small", PingDirection::Downstream, 128}};
    for (const Class& cls : classes) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(cls.name) + " " + std::to_string(c.sent) + "/" +
                         std::to_string(c.received));
            PingPort port(7);
            for (const Class& other : classes) {
                const bool tested = &other == &cls;
                const int sent = tested ? c.sent : 10, received = tested ? c.received : 10;
                for (int i = 0; i < sent; ++i) {
                    PingPacket p = port.AddPacket(other.direction, other.length, 1);
                    if (i < received)
                        port.MarkReceived(other.direction, p.Serial, 2, nullptr);
                }
            }
            PingStatistics s = TallyPingPort(port);
            const int32_t tally[4][2] = {{s.BigPingCount, s.BigPingRecvCount},
                                         {s.SmallPingCount, s.SmallPingRecvCount},
                                         {s.BigPingReplyCount, s.BigPingReplyRecvCount},
                                         {s.SmallPingReplyCount, s.SmallPingReplyRecvCount}};
            const int index = static_cast<int>(&cls - classes);
            for (int k = 0; k < 4; ++k) {
                EXPECT_EQ(tally[k][0], k == index ? c.sent : 10);
                EXPECT_EQ(tally[k][1], k == index ? c.received : 10);
            }
            EXPECT_EQ(PingLossPercent(tally[index][0], tally[index][1]), c.loss);
            EXPECT_EQ(s.IsPassed(), c.passed);
            EXPECT_EQ(s.State, 0);
        }
    }
    // Nothing sent in any class: a port never tested does not pass.
    PingPort empty(8);
    EXPECT_FALSE(TallyPingPort(empty).IsPassed());
}

TEST(PingFrame, DelayAcrossTheOld32BitTickWrapIsPositive) {
    // 49.7 days after start the 32-bit tick count wraps; the records keep the full tick.
    TestingFlagOn testing;
    FixedClock clock(0xFFFFFFF0LL);
    PingPort port(1);
    const uint32_t run = RegisterPingRun({&port});
    std::vector<uint8_t> frame = Build(true, port, 128, {kLanMac, kWanMac, run, &clock});
    clock.m_tick = 0x100000010LL;
    PingHandlerState state;
    std::memcpy(state.LanMac, kLanMac, 6);
    std::memcpy(state.WanMac, kWanMac, 6);
    state.Clock = &clock;
    EXPECT_EQ(HandlePingFrame(PingDirection::Upstream, state, frame.data(), 128), PingFrameResult::Counted);
    UnregisterPingRun(run);
    PingPacket p = port.GetPackets(PingDirection::Upstream)[0];
    EXPECT_EQ(p.ReceiveTick - p.SendTick, 0x20);
}

TEST(PingFrame, MonitorsMarkWhileTheJobBuildsAndTallies) {
    // Two handler threads mark the records the job thread keeps adding and reading (run under
    // the thread sanitizer this shows any unguarded access).
    TestingFlagOn testing;
    PingPort port(4);
    const uint32_t run = RegisterPingRun({&port});
    constexpr int kFrames = 2000;
    std::vector<std::vector<uint8_t>> requests(kFrames), replies(kFrames);
    std::atomic<int> built{0};
    auto monitor = [&](PingDirection arrival, std::vector<std::vector<uint8_t>>& frames) {
        PingHandlerState state;
        std::memcpy(state.LanMac, kLanMac, 6);
        std::memcpy(state.WanMac, kWanMac, 6);
        for (int i = 0; i < kFrames; ++i) {
            while (built.load(std::memory_order_acquire) <= i)
                std::this_thread::yield();
            HandlePingFrame(arrival, state, frames[static_cast<size_t>(i)].data(), 128);
        }
        return state.Count.load();
    };
    int upCount = 0, downCount = 0;
    std::thread wan([&] { upCount = monitor(PingDirection::Upstream, requests); });
    std::thread lan([&] { downCount = monitor(PingDirection::Downstream, replies); });
    PingFrameSource source{kLanMac, kWanMac, run, nullptr};
    for (int i = 0; i < kFrames; ++i) {
        requests[static_cast<size_t>(i)] = Build(true, port, 128, source);
        replies[static_cast<size_t>(i)] = Build(false, port, 128, source);
        built.store(i + 1, std::memory_order_release);
        if (i % 100 == 0)
            TallyPingPort(port);
    }
    wan.join();
    lan.join();
    UnregisterPingRun(run);
    EXPECT_EQ(upCount, kFrames);
    EXPECT_EQ(downCount, kFrames);
    PingStatistics s = TallyPingPort(port);
    EXPECT_EQ(s.SmallPingRecvCount, kFrames);
    EXPECT_EQ(s.SmallPingReplyRecvCount, kFrames);
}

TEST(PingBenchCapturePath, AWarningNeverWaitsForTheLogWrite) {
    // The log is held up (a disk that stalls, another thread's flush): the handler goes on.
    std::mutex held;
    std::unique_lock<std::mutex> hold(held);
    std::vector<std::string> written;
    std::mutex writtenMutex;
    CaptureLog log([&](int level, const std::string& text) {
        std::lock_guard<std::mutex> wait(held);
        std::lock_guard<std::mutex> lock(writtenMutex);
        written.push_back(std::to_string(level) + ":" + text);
    });
    TestingFlagOn testing;
    PingHandlerState state;
    std::memcpy(state.LanMac, kLanMac, 6);
    std::memcpy(state.WanMac, kWanMac, 6);
    state.Log = &log;
    PingPort port(3);
    const uint32_t run = RegisterPingRun({&port});
    std::vector<uint8_t> frame = Build(true, port, 128, {kLanMac, kWanMac, run, nullptr});
    UnregisterPingRun(run); // every frame is now one of an ended run: a warning each
    // The writer holds at most one batch while it waits, the queue at most one more.
    const int frames = 3 * static_cast<int>(CaptureLog::kMaxQueued);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i)
        ASSERT_EQ(HandlePingFrame(PingDirection::Upstream, state, frame.data(), 128),
                  PingFrameResult::Invalid);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // What did not fit is counted, and told once the log moves again.
    EXPECT_GE(log.Dropped(), CaptureLog::kMaxQueued);
    const std::string invalid =
        "3:pPingRequestPacket:" + std::to_string(static_cast<int>(run)) + " is invalid.";
    const size_t accepted = static_cast<size_t>(frames) - log.Dropped();
    auto invalidLines = [&] {
        return static_cast<size_t>(std::count(written.begin(), written.end(), invalid));
    };
    hold.unlock();
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard<std::mutex> lock(writtenMutex);
            if (invalidLines() >= accepted)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard<std::mutex> lock(writtenMutex);
    EXPECT_EQ(invalidLines(), accepted);
    EXPECT_GE(std::count_if(written.begin(), written.end(),
                            [](const std::string& line) { return line.find("丢弃了") != std::string::npos; }),
              1);
}
