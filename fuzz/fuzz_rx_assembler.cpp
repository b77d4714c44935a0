// Feeds arbitrary socket reads through the frame assembly and the reply
// dispatcher. The first input byte chooses how the rest is cut into reads.
#include "link/ReplyDispatcher.h"
#include "link/RxAssembler.h"

#include <cstddef>
#include <cstdint>

namespace {
bool StartsAJob(const uint8_t* record, int count) {
    // Replies 5 and 6 start the delayed read on a thread of its own.
    return count > 1 && (record[1] == 5 || record[1] == 6);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int readSize = 1 + data[0] % 64;
    RxAssembler assembler;
    assembler.SetReplySink([](const uint8_t* record, int count) {
        if (count < 0 || count > 300) __builtin_trap();
        if (!StartsAJob(record, count)) ProcessDeviceReply(record, count);
    });
    for (size_t at = 1; at < size; at += static_cast<size_t>(readSize)) {
        const size_t left = size - at;
        const int chunk = static_cast<int>(left < static_cast<size_t>(readSize) ? left : readSize);
        assembler.Append(data + at, chunk);
        if (assembler.Fill() < 0 || assembler.Fill() > kRxBufferSize) __builtin_trap();
    }
    return 0;
}
