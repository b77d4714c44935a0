#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

#include "link/ReplyWatch.h"

#include <functional>
#include <string>

// Sends a change and waits for the processor to confirm it: send() sends
// `commands` commands, each answered as the one rule of link/ReplyWatch.h
// takes it, within the reply wait (2000 ms of link time). Otherwise the
// result names what was not confirmed: a time-out ("the processor did not
// confirm <what>"), a refusal with its error code, or the link failure when
// the link went meanwhile.
CtlResult SendConfirmed(const std::string& what, int commands, const std::function<void()>& send);

// The result of a confirmation waited for elsewhere (the machine settings,
// the remote keys), worded as above.
CtlResult ConfirmationResult(const std::string& what, const fx::Confirmation& confirmation);

// The command as given ("set 1 14 60"), to name what was not confirmed.
std::string CommandText(const CtlOptions& options);
