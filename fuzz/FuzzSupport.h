#pragma once

// What every fuzz target installs once: link time that never waits (a reply
// wait or a pause returns at once), a record sink that drops what is sent, and
// whole-image jobs run in place, so an input runs in microseconds, the same
// way every time, and nothing leaves the process.
#include "link/CommandFrames.h"
#include "link/LinkClock.h"
#include "link/LinkOutbox.h"
#include "state/SyncJobs.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

// Job threads read it too.
class InstantClock : public ILinkClock {
public:
    int64_t NowMs() override { return ++m_now; }
    void SleepMs(int ms) override { m_now += ms; }
    bool WaitEvent(AutoResetEvent& event, int) override { return event.Wait(0); }
    bool WaitCondition(std::condition_variable&, std::unique_lock<std::mutex>&, int,
                       const std::function<bool()>& done) override {
        return done();
    }

private:
    std::atomic<int64_t> m_now{0};
};

class DroppingSink : public fx::IRecordSink {
public:
    void Post(const uint8_t*, int) override {}
    void WriteNow(fx::RecordKind, const uint8_t*, int) override {}
};

inline void InstallOnce() {
    static const bool installed = [] {
        SetLinkClock(std::make_shared<InstantClock>());
        static DroppingSink sink;
        fx::SetRecordSink(&sink);
        RunSyncJobsInPlace(true);
        return true;
    }();
    (void)installed;
}

// The input as the contents of a file in memory, and the path a loader
// opens it by like any other file.
inline std::string AsFile(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("fuzz-input", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0) __builtin_trap();
    if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) __builtin_trap();
    return "/proc/self/fd/" + std::to_string(fd);
}

// Reads the input front to back; past its end every read gives 0.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_at >= m_size; }
    size_t Left() const { return Empty() ? 0 : m_size - m_at; }
    uint8_t Byte() { return Empty() ? 0 : m_data[m_at++]; }
    // Up to count bytes; returns how many were taken.
    size_t Take(uint8_t* out, size_t count) {
        size_t n = 0;
        for (; n < count && !Empty(); ++n) out[n] = m_data[m_at++];
        return n;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

} // namespace fuzz
