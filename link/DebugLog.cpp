#include "link/DebugLog.h"

#include "link/TextFormat.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex g_logMutex;
DebugLogSink g_logSink;

bool StderrEnabled() {
    static const bool enabled = std::getenv("FXTUNE_DEBUG") != nullptr;
    return enabled;
}
} // namespace

void DebugLogText(const std::string& text) {
    std::lock_guard lock(g_logMutex);
    if (g_logSink) g_logSink(text);
    if (StderrEnabled()) std::fputs(text.c_str(), stderr);
}

void DebugLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = fx::FormatTextV(format, args);
    va_end(args);
    DebugLogText(text);
}

void SetDebugLogSink(DebugLogSink sink) {
    std::lock_guard lock(g_logMutex);
    g_logSink = std::move(sink);
}
