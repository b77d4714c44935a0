#include "link/ReplyWatch.h"

#include "link/CommandFrames.h"
#include "link/LinkState.h"

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

bool SendAndConfirm(const uint8_t* command, int count, int timeoutMs) {
    const uint8_t code = command[0];
    const uint64_t before = ReplyCount(code);
    SendShortCmd(command, count);
    if (!g_bConnected) return false; // sent nowhere: no answer can come
    return WaitForReplyAfter(code, before, timeoutMs);
}

} // namespace fx
