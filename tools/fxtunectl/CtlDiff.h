#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

class CtlSession;

// fxtunectl diff A.mode [B.mode]: the parameters that differ, by name, one
// line each ("CH 3 delay: 1.3 ms → 5.0 ms"), between two mode files or a
// mode file and the processor. Exit 0 when equal, 1 when they differ, 5 for
// a file that is not a mode file.

// Reads and checks the files before anything is connected.
CtlResult CheckDiffArguments(const CtlOptions& options);
// Two files: no processor involved.
CtlResult RunFileDiff(const CtlOptions& options);
// The file against the processor's parameters, after the whole read.
CtlResult RunDiff(CtlSession& session, const CtlOptions& options);
