#pragma once

#include <cstdarg>
#include <string>

namespace fx {

// printf into a string of whatever length the text needs.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list args);

} // namespace fx
