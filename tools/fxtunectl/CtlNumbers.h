#pragma once

#include "CtlWarnings.h"

#include <cmath>
#include <cstdlib>
#include <string>

// Numbers on the command line: the whole argument, finite, within limits.

inline bool NumberWithin(const std::string& text, double low, double high, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    const bool ok =
        !text.empty() && *end == '\0' && std::isfinite(value) && value >= low && value <= high;
    if (ok) WarnIfHexadecimal(text);
    return ok;
}

inline bool WholeWithin(const std::string& text, int low, int high, int& value) {
    double number = 0;
    if (!NumberWithin(text, low, high, number) || number != std::floor(number)) return false;
    value = int(number);
    return true;
}
