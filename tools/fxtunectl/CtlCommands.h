#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

// Runs the command of the options against the processor: connects, reads
// the whole parameter set, does the command and lets go of the processor.
CtlResult RunCtlCommand(const CtlOptions& options);

// The checks RunCtlCommand makes before it connects: the arguments and the
// files they name.
CtlResult CheckCtlCommand(const CtlOptions& options);
