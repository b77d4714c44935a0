#include "link/ReplySink.h"

#include "link/Link.h"

namespace fx {

IReplySink& DeviceReplies() {
    return CurrentLink().ReplySink();
}

void SetReplySink(IReplySink* sink) {
    CurrentLink().SetReplySink(sink);
}

} // namespace fx
