#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

class CtlSession;

// fxtunectl remote save|load|learn: the remote-key block kept in remote
// files, and infrared keys taught to the processor.

// Checks the arguments (and a file to load) before anything is connected or sent.
CtlResult CheckRemoteArguments(const CtlOptions& options);
CtlResult RunRemoteCommand(CtlSession& session, const CtlOptions& options);
