#include "CtlConfirm.h"

#include "link/LinkState.h"

CtlResult SendConfirmed(const std::string& what, int commands, const std::function<void()>& send) {
    if (!LinkUsable())
        return CtlResult::Fail(kExitTimeout, "the link to the processor was lost before " + what);
    return ConfirmationResult(what, fx::SendConfirmed(commands, send, kReplyWaitMs));
}

CtlResult ConfirmationResult(const std::string& what, const fx::Confirmation& confirmation) {
    using Outcome = fx::Confirmation::Outcome;
    switch (confirmation.outcome) {
    case Outcome::Confirmed:
        return CtlResult::Ok();
    case Outcome::Refused:
        return CtlResult::Fail(kExitFailed,
                               "the processor refused " + what + ": " + confirmation.ErrorWords());
    case Outcome::LinkGone:
        return CtlResult::Fail(kExitTimeout,
                               "the link to the processor was lost before it confirmed " + what);
    case Outcome::NoAnswer:
        break;
    }
    return CtlResult::Fail(kExitTimeout, "time-out: the processor did not confirm " + what);
}

std::string CommandText(const CtlOptions& options) {
    std::string text = options.command;
    for (const std::string& argument : options.arguments) text += " " + argument;
    return text;
}
