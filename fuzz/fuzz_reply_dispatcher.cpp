// Arbitrary reply records, every code included (5 and 6 start the delayed
// read on a job thread, as they do on the link), straight into the reply
// dispatcher; then the image they filled is decoded as after a whole read.
// Each record: one byte giving its length (0..61), then its bytes.
#include "FuzzSupport.h"

#include "link/ReplyDispatcher.h"
#include "state/ParamImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InstallOnce();
    fuzz::Input input(data, size);
    while (!input.Empty()) {
        uint8_t record[kMaxReplyRecord] = {};
        const size_t wanted = input.Byte() % (kMaxReplyRecord + 1);
        const int count = static_cast<int>(input.Take(record, wanted));
        ProcessDeviceReply(record, count);
    }
    RefreshFromImage();
    return 0;
}
