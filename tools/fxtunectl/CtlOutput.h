#pragma once

#include <cstdio>

// Where a run of fxtunectl prints: the process's stdout and stderr, or, for
// one processor's run among several in one process, the streams that run
// was given (CtlMultiHost reads them and prefixes each line).
FILE* CtlStdout();
FILE* CtlStderr();

// Gives the calling thread's run its own streams while it lives.
class CtlOutputScope {
public:
    CtlOutputScope(FILE* out, FILE* err);
    ~CtlOutputScope();
    CtlOutputScope(const CtlOutputScope&) = delete;
    CtlOutputScope& operator=(const CtlOutputScope&) = delete;

private:
    FILE* m_out;
    FILE* m_err;
};
