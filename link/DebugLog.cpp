#include "link/DebugLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

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
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> buffer(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length > 0) std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    DebugLogText(std::string(buffer.data()));
}

void SetDebugLogSink(DebugLogSink sink) {
    std::lock_guard lock(g_logMutex);
    g_logSink = std::move(sink);
}
