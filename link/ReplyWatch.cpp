#include "link/ReplyWatch.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace fx {
namespace {
std::mutex g_mutex;
std::condition_variable g_arrived;
std::array<uint64_t, 256> g_counts{};
} // namespace

void NoteReply(uint8_t code) {
    {
        std::lock_guard lock(g_mutex);
        ++g_counts[code];
    }
    g_arrived.notify_all();
}

uint64_t ReplyCount(uint8_t code) {
    std::lock_guard lock(g_mutex);
    return g_counts[code];
}

bool WaitForReplyAfter(uint8_t code, uint64_t countBefore, int timeoutMs) {
    std::unique_lock lock(g_mutex);
    return g_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return g_counts[code] > countBefore; });
}

} // namespace fx
