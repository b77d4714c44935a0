// The simulated processor's side of the link: the first byte chooses a byte
// stream cut into frames (the network) or whole command records (USB); every
// reply it makes must fit a frame.
#include "FuzzSupport.h"

#include "sim/SimFrameParser.h"
#include "sim/SimProcessor.h"

#include <vector>

namespace {
constexpr int kUsbRecord = 60; // an output report without its identifier
constexpr size_t kMaxFrameData = 254;

void CheckReplies(const std::vector<SimRecord>& replies) {
    for (const SimRecord& reply : replies)
        if (reply.empty() || reply.size() > kMaxFrameData) __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InstallOnce();
    fuzz::Input input(data, size);
    SimProcessor processor;
    if (input.Byte() & 1) {
        SimFrameParser parser(
            [&](const uint8_t* payload, int count) {
                if (count < 1 || payload[0] != kNetTagCommand) return;
                CheckReplies(processor.HandleCommand(payload + 1, count - 1));
            },
            [] {});
        const size_t readSize = 1 + input.Byte() % 64;
        while (!input.Empty()) {
            uint8_t chunk[64];
            parser.Feed(chunk, static_cast<int>(input.Take(chunk, readSize)));
        }
    } else {
        while (!input.Empty()) {
            uint8_t record[kUsbRecord] = {};
            const int count = static_cast<int>(input.Take(record, kUsbRecord));
            CheckReplies(
                processor.HandleCommand(record, SimProcessor::CommandLength(record, count)));
        }
    }
    return 0;
}
