#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

#include "link/ReplyLedger.h"

#include <functional>
#include <string>

// Sends a change and waits for the processor to confirm it: send() sends one
// or more commands, then the awaited replies must come within the reply wait
// (2000 ms of link time). Otherwise the result is a time-out naming what was
// not confirmed ("the processor did not confirm <what>"), or the link failure
// when the link went meanwhile.
CtlResult SendConfirmed(const std::string& what, const AwaitedReplies& awaited,
                        const std::function<void()>& send);

// The command as given ("set 1 14 60"), to name what was not confirmed.
std::string CommandText(const CtlOptions& options);
