#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

#include "state/AutoEqFit.h"

#include <string>

class CtlSession;

// fxtunectl auto-eq SET MEASUREMENT [--range LOW-HIGH] [--target FILE|flat|tilt:DB]
// [--bands N] [--max-boost DB] [--export FILE] [--dry-run] [--json]: peaking
// bands fitted to a measured response, written into the set's free bands.

extern const char* const kAutoEqUsage;

struct AutoEqArgs {
    int set = 0;
    fx::AutoEqRequest request; // the measurement, target, range and boost
    int bands = 0;             // 0: every free band of the set
    bool dryRun = false;
    bool json = false;
    std::string exportPath;  // "measurement + EQ" as text, when given
    bool rangeGiven = false; // else from the measurement's low-frequency limit to 500 Hz
};

// Reads and checks the arguments and the files they name before anything is
// connected: a bad file is refused with its line (exit 5), a bad value with
// exit 2.
CtlResult ParseAutoEqArguments(const CtlOptions& options, AutoEqArgs& out);
CtlResult RunAutoEq(CtlSession& session, const CtlOptions& options, const AutoEqArgs& args);
