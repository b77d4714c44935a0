#pragma once

#include "link/ReplyWatch.h"
#include "state/DeviceMirrors.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Infrared key learning. The processor learns the codes of a household
// remote key by key; the learned codes form the remote-key block
// (g_RemoteKeyBlock: byte 0 the code set the processor reports with every
// learned key, bytes 1..17 the codes of keys 1..17).

namespace fx {

class ParamStore;

constexpr int kRemoteKeyCount = 17;
constexpr int kRemoteCodeSetByte = 0;
// How long a learn command waits for the key before the command line gives up.
constexpr int kLearnTimeoutMs = 30000;

// The command line's name of a key 1..17 ("power", "m4-down", ...); empty
// for any other number.
std::string_view RemoteKeyName(int key);
// A key from its number ("5") or its name (any letter case); 0 when neither.
int RemoteKeyFromText(std::string_view text);

// Command 96 and the key: the processor waits for the key and answers with
// reply 96 when it has caught it.
void StartKeyLearning(int key);
// The learn command is never answered once learning is abandoned: the
// outbox's writer stops waiting for its reply.
void ReleaseReplyWaiters();
// Stops learning: first releases the waiters, then command 97; returns once
// it went out (off the window's thread).
void AbandonKeyLearning();
// Command 99 with the 18 bytes of the block, once written by the outbox; waits
// up to timeoutMs for the processor's answer (link/ReplyWatch.h).
Confirmation SendRemoteKeyBlock(int timeoutMs);
// The same with a copy of the block taken on the state thread (the window's
// send thread must not read the mirror the window's thread changes).
Confirmation SendRemoteKeyBlock(const std::array<uint8_t, kRemoteKeyBlockSize>& block,
                                int timeoutMs);

// The keys whose codes are not among the known bytes of the block
// (ParamStore::RemoteKeysKnown), ascending: 1..17, and 0 for the code set. A
// write of the whole block clears them on the processor.
std::vector<int> UnknownRemoteKeys(uint32_t knownBytes);
// The keys in words with their command-line names: "16 (music-up) and 17
// (music-down)"; 0 is "the code set".
std::string RemoteKeyListText(const std::vector<int>& keys);
// Writes the whole block as SendRemoteKeyBlock does, the bytes not known as
// 0; once the processor confirmed it, the store knows every byte. block and
// known are taken together on the state thread.
Confirmation WriteRemoteKeys(ParamStore& store, std::array<uint8_t, kRemoteKeyBlockSize> block,
                             uint32_t known, int timeoutMs);

} // namespace fx
