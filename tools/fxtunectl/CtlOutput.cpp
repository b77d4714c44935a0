#include "CtlOutput.h"

namespace {
thread_local FILE* t_out = nullptr;
thread_local FILE* t_err = nullptr;
} // namespace

FILE* CtlStdout() {
    return t_out ? t_out : stdout;
}

FILE* CtlStderr() {
    return t_err ? t_err : stderr;
}

CtlOutputScope::CtlOutputScope(FILE* out, FILE* err) : m_out(t_out), m_err(t_err) {
    t_out = out;
    t_err = err;
}

CtlOutputScope::~CtlOutputScope() {
    t_out = m_out;
    t_err = m_err;
}
