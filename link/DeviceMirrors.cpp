#include "link/DeviceMirrors.h"

#include "link/StateThread.h"

#include <cstring>

uint8_t g_StatusBlock[kStatusBlockSize] = {};
std::atomic<int> g_CurrentMode{0};
uint8_t g_RemoteKeyBlock[kRemoteKeyBlockSize] = {};
// Until the processor reports, both maxima allow every volume.
uint8_t g_MachineSettingsDevice[kMachineSettingsSize] = {0, 0, 0, 0, 0, 99, 99};
uint8_t g_MachineSettingsWork[kMachineSettingsSize] = {};
IdentityRecord g_Identity = {};

void ClearStatusBlock() {
    fx::ChangeState([] { std::memset(g_StatusBlock, 0, sizeof g_StatusBlock); });
}

void ResetIdentityToDefaults() {
    std::memset(&g_Identity, 0, sizeof g_Identity);
    g_Identity.commandSetVersion = 17;
    std::strcpy(g_Identity.moduleName, "ELM19");
    std::strcpy(g_Identity.firstVersion, "2016-10-03");
    std::strcpy(g_Identity.secondVersion, "2016-11-30");
}

namespace {
// The identity holds its defaults from the start of the run.
const bool g_identityInitialised = (ResetIdentityToDefaults(), true);
} // namespace
