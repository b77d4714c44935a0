#pragma once

#include "CtlResult.h"

class CtlSession;

// info and get for scripts: one JSON object each instead of prose.

// {"module":..., "commandSetVersion":..., "mcuVersion":..., "dspVersion":...,
//  "compatible":..., "currentMode":1..4 or null}; an unsupported processor is
// still listed, with the exit status of info.
CtlResult PrintInfoJson(CtlSession& session);
// {"block":1, "parameter":14, "name":"Mic Vol", "value":50, "text":"50 %", "unit":"%"}
CtlResult PrintGetJson(CtlSession& session, int block, int parameter, int language);
