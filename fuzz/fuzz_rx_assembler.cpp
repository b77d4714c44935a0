// Feeds arbitrary socket reads through the frame assembly and the reply
// dispatcher. The first input byte chooses how the rest is cut into reads.
#include "FuzzSupport.h"

#include "link/ReplyDispatcher.h"
#include "link/RxAssembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    fuzz::InstallOnce();
    const int readSize = 1 + data[0] % 64;
    RxAssembler assembler;
    assembler.SetReplySink([](const uint8_t* record, int count) {
        if (count < 0 || count > 300) __builtin_trap();
        ProcessDeviceReply(record, count);
    });
    for (size_t at = 1; at < size; at += static_cast<size_t>(readSize)) {
        const size_t left = size - at;
        const int chunk = static_cast<int>(left < static_cast<size_t>(readSize) ? left : readSize);
        assembler.Append(data + at, chunk);
        if (assembler.Fill() < 0 || assembler.Fill() > kRxBufferSize) __builtin_trap();
    }
    return 0;
}
