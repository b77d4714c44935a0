#pragma once

#include <string>

// The parameter image as JSON: identity, current mode, every DSP record of
// the record area by block and parameter (raw values and the editor value
// where the editor has one) and every EQ band record decoded.
std::string ImageToJson();
