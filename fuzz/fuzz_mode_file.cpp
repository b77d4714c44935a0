// Arbitrary file contents through the mode-file loader: a refused file must
// leave the image exactly as it was and say why; an accepted one is loaded
// and decoded into the editor values.
#include "FuzzSupport.h"

#include "modefile/ModeFile.h"
#include "state/ParamImage.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InstallOnce();
    const std::string path = fuzz::AsFile(data, size);
    static uint8_t before[kImageSize];
    std::memcpy(before, g_ParamImage(), kImageSize);

    const fx::ModeFileCheck check = fx::LoadModeFileChecked(path);

    if (check.ok == !check.message.empty()) __builtin_trap();
    if (!check.ok && std::memcmp(before, g_ParamImage(), kImageSize) != 0) __builtin_trap();
    if (check.ok && size != static_cast<size_t>(kModeFileSize)) __builtin_trap();
    return 0;
}
