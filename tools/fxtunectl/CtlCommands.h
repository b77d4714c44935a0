#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

#include "modefile/SafeFile.h"

#include <string>

// Runs the command of the options against the processor: connects, reads
// the whole parameter set, does the command and lets go of the processor.
CtlResult RunCtlCommand(const CtlOptions& options);

// The command's checks as RunCtlCommand makes them before connecting, and for
// set and eq the change made to the image (sent through whatever transport
// is installed); nothing is connected and no file is touched. For fuzzing.
CtlResult RunCtlCommandOffline(const CtlOptions& options);

// The checks RunCtlCommand makes before it connects: the arguments and the
// files they name.
CtlResult CheckCtlCommand(const CtlOptions& options);

// A refused or failed save as one sentence naming the path and the cause:
// "can't write to adir.mode: it is a folder, not a regular file".
std::string CantWriteLine(const fx::FileWriteResult& failure);
