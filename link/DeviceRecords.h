#pragma once

#include <cstdint>

// The processor's small memories as the replies carry them.

constexpr int kStatusBlockSize = 16;
constexpr int kRemoteKeyBlockSize = 18;
constexpr int kMachineSettingsSize = 14;

// Identity record. Its in-memory order is also the first 60 bytes of a mode
// file, so the layout is fixed: version (native 32-bit), module name, first
// and second version strings, two reserved bytes.
struct IdentityRecord {
    int32_t commandSetVersion;
    char moduleName[32];
    char firstVersion[11];
    char secondVersion[11];
    uint8_t reserved[2];
};
static_assert(sizeof(IdentityRecord) == 60, "identity record is 60 bytes");
