#include "CtlWarnings.h"

#include "CtlOutput.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Each run's own (several processors run on threads of their own).
thread_local bool g_warnings = true;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

} // namespace

void SetCtlWarnings(bool on) {
    g_warnings = on;
}

QuietCtlWarnings::QuietCtlWarnings() : m_before(g_warnings) {
    g_warnings = false;
}

QuietCtlWarnings::~QuietCtlWarnings() {
    g_warnings = m_before;
}

void WarnIfHexadecimal(const std::string& text) {
    if (!g_warnings || text.find_first_of("xX") == std::string::npos) return;
    const double value = std::strtod(text.c_str(), nullptr);
    std::fprintf(CtlStderr(), "fxtunectl: warning: %s read as a hexadecimal number, %s\n",
                 text.c_str(), Number(value).c_str());
}

void WarnIfRounded(const std::string& what, double given, double kept, const std::string& unit) {
    if (!g_warnings || given == kept || !std::isfinite(given) || !std::isfinite(kept)) return;
    std::fprintf(CtlStderr(), "fxtunectl: warning: %s %s%s kept as %s%s\n", what.c_str(),
                 Number(given).c_str(), unit.c_str(), Number(kept).c_str(), unit.c_str());
}
