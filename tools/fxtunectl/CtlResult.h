#pragma once

#include "CtlOptions.h"

#include <string>

// The outcome of one step: an exit status and, when it failed, the one line
// shown on stderr.
struct CtlResult {
    int status = kExitOk;
    std::string message;

    static CtlResult Ok() { return {}; }
    static CtlResult Fail(int status, std::string message) { return {status, std::move(message)}; }
    bool ok() const { return status == kExitOk; }
};
