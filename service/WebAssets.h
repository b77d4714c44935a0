#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fx {

// The web page's files, built into the daemon (service/web/).
struct WebAsset {
    const char* path; // below service/web/, e.g. "app.js"
    const unsigned char* bytes;
    size_t size;
};
const std::vector<WebAsset>& WebAssets();

// The file at path with its content type; false when there is none.
bool FindWebAsset(const std::string& path, std::string& body, std::string& contentType);

} // namespace fx
