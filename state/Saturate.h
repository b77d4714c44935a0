#pragma once

#include <concepts>
#include <limits>

namespace fx {

// The integer part of value as a T, saturated to T's range, and 0 for a NaN.
// A plain conversion of a double out of T's range is undefined, and the
// doubles converted here come from the wire, from files and from the
// command line.
template <std::integral T> constexpr T SaturateTo(double value) {
    constexpr T low = std::numeric_limits<T>::min();
    constexpr T high = std::numeric_limits<T>::max();
    if (value != value) return 0; // NaN
    if (value <= static_cast<double>(low)) return low;
    // high may round up to the next power of two as a double; at or above
    // that nothing fits.
    if (value >= static_cast<double>(high)) return high;
    return static_cast<T>(value);
}

} // namespace fx
