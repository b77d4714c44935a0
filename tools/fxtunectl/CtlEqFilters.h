#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"

class CtlSession;

// fxtunectl eq-import SET FILE and eq-export SET: the filter text of
// measurement programs and PC equalisers into and out of an EQ set.

// Checks SET and reads and checks FILE before anything is connected: a file
// the set cannot take is refused with its line and reason (exit 2).
CtlResult CheckEqFilterArguments(const CtlOptions& options);
CtlResult RunEqImport(CtlSession& session, const CtlOptions& options);
CtlResult RunEqExport(CtlSession& session, const CtlOptions& options);
