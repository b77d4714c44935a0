#pragma once

#include <string>

// Numbers typed by a user or read from a text file: the whole text must be
// the number.
namespace fx {

// A decimal integer within low..high.
bool ParseWholeNumber(const std::string& text, int low, int high, int& value);
// A finite decimal number.
bool ParseDecimal(const std::string& text, double& value);

} // namespace fx
