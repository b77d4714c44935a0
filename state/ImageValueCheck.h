#pragma once

#include <cstdint>
#include <string>

// Whether a whole parameter image holds only values some page could have
// given it: the check a mode file passes before anything of it is sent, the
// same for the command line's write and the editor's file open.
namespace fx {

// The first value of the image (kImageSize bytes, DSP records in their
// places) that lies outside what the pages allow, as one line naming the
// parameter, the value and the range ("Mic A EQ band 3 frequency 65535 Hz
// (20..20000 Hz)"); empty when every checked value is possible. Checked:
// every band record (type, frequency, gain, Q within the widest limits any
// band type has), every DSP parameter a page sets by value (the one table of
// state/ValueRanges), the compressor records and the automatic level, the
// bass boost and the room size.
std::string FirstImpossibleValue(const uint8_t* image);

} // namespace fx
