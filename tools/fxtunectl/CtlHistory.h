#pragma once

#include <string>
#include <vector>

// fxtunectl --daemon ADDRESS:PORT [--token-file FILE] [--json] history VERB ...:
// the history that fxtuned keeps of its processors, through its API.

// True when the command line is for the daemon (it names --daemon).
bool IsDaemonCommandLine(const std::vector<std::string>& args);
// Runs it; the exit status (the command line's conventions: 0 ok, 1 failed,
// 2 usage or bad value, 3 no daemon or the processor off line, 5 bad file,
// 6 not confirmed), one line on stderr when it fails.
int RunDaemonCommandLine(const std::vector<std::string>& args);
