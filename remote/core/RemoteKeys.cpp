#include "remote/core/RemoteKeys.h"

#include "link/CommandFrames.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyWatch.h"
#include "state/DeviceMirrors.h"
#include "state/ParamStore.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace fx {
namespace {

const std::array<std::string_view, kRemoteKeyCount> kKeyNames = {
    "power",    "pitch-down", "pitch-up",    "m1-up",    "m4-down",    "m3-left",
    "m2-right", "ok",         "video-menu",  "mute",     "video-exit", "mic-up",
    "mic-down", "effect-up",  "effect-down", "music-up", "music-down",
};

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string_view RemoteKeyName(int key) {
    if (key < 1 || key > kRemoteKeyCount) return {};
    return kKeyNames[static_cast<size_t>(key - 1)];
}

int RemoteKeyFromText(std::string_view text) {
    if (!text.empty() && text.size() <= 2 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        int key = 0;
        for (char c : text) key = key * 10 + (c - '0');
        return key >= 1 && key <= kRemoteKeyCount ? key : 0;
    }
    for (int key = 1; key <= kRemoteKeyCount; ++key)
        if (SameText(text, kKeyNames[static_cast<size_t>(key - 1)])) return key;
    return 0;
}

void StartKeyLearning(int key) {
    SendShortCmd({CMD_LEARN_KEY, static_cast<uint8_t>(key)});
}

void ReleaseReplyWaiters() {
    GiveUpAwaitedReply();
}

void AbandonKeyLearning() {
    ReleaseReplyWaiters();
    SendShortCmd({CMD_ABANDON_LEARN});
    WaitAllWritten(); // before a closing link drops what still waits
}

Confirmation SendRemoteKeyBlock(int timeoutMs) {
    return SendRemoteKeyBlock(std::to_array(g_RemoteKeyBlock()), timeoutMs);
}

Confirmation SendRemoteKeyBlock(const std::array<uint8_t, kRemoteKeyBlockSize>& block,
                                int timeoutMs) {
    uint8_t command[1 + kRemoteKeyBlockSize];
    command[0] = CMD_WRITE_REMOTE_KEYS;
    std::memcpy(command + 1, block.data(), kRemoteKeyBlockSize);
    return SendAndConfirm(command, sizeof command, timeoutMs);
}

std::vector<int> UnknownRemoteKeys(uint32_t knownBytes) {
    std::vector<int> keys;
    for (int byte = 0; byte < kRemoteKeyBlockSize; ++byte)
        if ((knownBytes & (1u << byte)) == 0) keys.push_back(byte);
    return keys;
}

std::string RemoteKeyListText(const std::vector<int>& keys) {
    std::string text;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0) text += i + 1 == keys.size() ? " and " : ", ";
        const int key = keys[i];
        text += key == kRemoteCodeSetByte
                    ? std::string("the code set")
                    : std::to_string(key) + " (" + std::string(RemoteKeyName(key)) + ")";
    }
    return text;
}

Confirmation WriteRemoteKeys(ParamStore& store, std::array<uint8_t, kRemoteKeyBlockSize> block,
                             uint32_t known, int timeoutMs) {
    for (int byte : UnknownRemoteKeys(known)) block[static_cast<size_t>(byte)] = 0;
    const Confirmation confirmed = SendRemoteKeyBlock(block, timeoutMs);
    if (confirmed) store.RemoteKeyBlockWritten(block);
    return confirmed;
}

} // namespace fx
