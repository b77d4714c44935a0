#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

class CtlSession;

// fxtunectl machine [set NAME=VALUE ...]: the machine settings record in
// words, and changes of named fields applied with command 145.

// Checks the arguments before anything is connected or sent.
CtlResult CheckMachineArguments(const CtlOptions& options);
CtlResult RunMachineCommand(CtlSession& session, const CtlOptions& options);
