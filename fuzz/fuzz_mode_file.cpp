// Arbitrary file contents through the mode-file loader: a refused file must
// leave the image exactly as it was and say why; an accepted one is loaded
// and decoded into the editor values.
#include "FuzzSupport.h"

#include "modefile/ModeFile.h"
#include "state/ParamImage.h"

#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {
// The file lives in memory; the loader opens it by path like any other.
int MemoryFile() {
    static const int fd = memfd_create("fuzz.mode", 0);
    return fd;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InstallOnce();
    const int fd = MemoryFile();
    if (fd < 0 || ftruncate(fd, 0) != 0) __builtin_trap();
    if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) __builtin_trap();
    static uint8_t before[kImageSize];
    std::memcpy(before, g_ParamImage, kImageSize);

    const fx::ModeFileCheck check = fx::LoadModeFileChecked("/proc/self/fd/" + std::to_string(fd));

    if (check.ok == !check.message.empty()) __builtin_trap();
    if (!check.ok && std::memcmp(before, g_ParamImage, kImageSize) != 0) __builtin_trap();
    if (check.ok && size != static_cast<size_t>(kModeFileSize)) __builtin_trap();
    return 0;
}
