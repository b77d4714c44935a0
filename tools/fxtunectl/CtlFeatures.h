#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

class CtlSession;

// fxtunectl source, bass-boost and auto-level: the music input source with
// its levels, the microphone bass boost and the automatic music input level.

bool IsFeatureVerb(const std::string& command);
// Checks the arguments before anything is connected or sent. Whether the
// processor offers a source is known only after the read.
CtlResult CheckFeatureArguments(const CtlOptions& options);
CtlResult RunFeatureCommand(CtlSession& session, const CtlOptions& options);
