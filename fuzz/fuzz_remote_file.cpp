// Arbitrary file contents through the remote-file loader: at most the block
// is taken, a refused file leaves the block as it was.
#include "FuzzSupport.h"

#include "remote/core/RemoteFile.h"
#include "state/DeviceMirrors.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t block[kRemoteKeyBlockSize + 8];
    std::memset(block, 0xA5, sizeof block);
    const fx::RemoteFileResult result = fx::LoadRemoteFile(fuzz::AsFile(data, size), block);
    for (size_t i = kRemoteKeyBlockSize; i < sizeof block; ++i)
        if (block[i] != 0xA5) __builtin_trap();
    const bool fits = size > 0 && size <= static_cast<size_t>(kRemoteKeyBlockSize);
    if (result.ok() != fits || result.ok() == !result.message.empty()) __builtin_trap();
    if (result.ok() && std::memcmp(block, data, size) != 0) __builtin_trap();
    if (!result.ok())
        for (int i = 0; i < kRemoteKeyBlockSize; ++i)
            if (block[i] != 0xA5) __builtin_trap();
    return 0;
}
