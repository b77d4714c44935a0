#include "state/TextNumbers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace fx {

bool ParseWholeNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || parsed < low || parsed > high) return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseDecimal(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

} // namespace fx
