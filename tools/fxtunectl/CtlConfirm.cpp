#include "CtlConfirm.h"

#include "link/LinkOutbox.h"
#include "link/LinkState.h"

CtlResult SendConfirmed(const std::string& what, const AwaitedReplies& awaited,
                        const std::function<void()>& send) {
    if (!LinkUsable())
        return CtlResult::Fail(kExitTimeout, "the link to the processor was lost before " + what);
    const ReplyTally mark = Replies().Tally();
    send();
    // The reply wait starts once the outbox wrote what was sent.
    fx::WaitAllWritten();
    const bool confirmed = Replies().WaitUntil(
        [&](const ReplyTally& now) { return awaited.MetBy(now, mark); }, kReplyWaitMs);
    if (confirmed) return CtlResult::Ok();
    if (!LinkUsable())
        return CtlResult::Fail(kExitTimeout,
                               "the link to the processor was lost before it confirmed " + what);
    // Nothing more waits for that reply: letting go of the processor goes out at once.
    GiveUpAwaitedReply();
    return CtlResult::Fail(kExitTimeout, "time-out: the processor did not confirm " + what);
}

std::string CommandText(const CtlOptions& options) {
    std::string text = options.command;
    for (const std::string& argument : options.arguments) text += " " + argument;
    return text;
}
