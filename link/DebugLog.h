#pragma once

#include <functional>
#include <string>

// The debug output channel: diagnostic lines that are never shown to the
// user. They go to stderr when FXTUNE_DEBUG is set in the environment, and to
// an installed sink (tests capture lines this way).
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugLogText(const std::string& text);

using DebugLogSink = std::function<void(const std::string&)>;
// Installs a sink that receives every line; an empty function removes it.
void SetDebugLogSink(DebugLogSink sink);
