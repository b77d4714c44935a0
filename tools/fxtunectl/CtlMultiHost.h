#pragma once

#include "CtlOptions.h"

// Several --host: the command runs on every processor at the same time, in
// this process: each run on a thread with a processor object of its own.
// Each line a processor's run prints goes out at once, on the stream it was
// printed on, prefixed with "ADDRESS:PORT: "; with --json the runs are summed
// up in one JSON object at the end instead. Returns the highest exit status.
int RunOnEveryHost(const CtlOptions& options);
