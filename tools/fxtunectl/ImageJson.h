#pragma once

#include <string>

namespace fx {
class ParamStore;
}

// The parameter image as JSON: identity, current mode, every DSP record of
// the record area by block and parameter with its name as diff prints it
// (in the language given: 0 Chinese, 1 English; "names" for a record of
// several named values), its raw values and the editor value where the editor
// has one, and every EQ band record decoded, its bands counted from 1.
std::string ImageToJson(const fx::ParamStore& store, int language);

// A JSON string (quoted, escaped) and a JSON number (null when not finite).
std::string JsonString(const std::string& text);
std::string JsonNumber(double value);
// The processor's identity and whether it is compatible, as a JSON object.
std::string IdentityJson(const fx::ParamStore& store);
