#include "service/WebAssets.h"

namespace fx {

namespace {

const char* ContentTypeOf(const std::string& path) {
    const auto dot = path.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
    if (extension == "html") return "text/html; charset=utf-8";
    if (extension == "js" || extension == "mjs") return "text/javascript; charset=utf-8";
    if (extension == "css") return "text/css; charset=utf-8";
    if (extension == "json") return "application/json";
    if (extension == "svg") return "image/svg+xml";
    if (extension == "png") return "image/png";
    if (extension == "ico") return "image/x-icon";
    return "application/octet-stream";
}

} // namespace

bool FindWebAsset(const std::string& path, std::string& body, std::string& contentType) {
    for (const WebAsset& asset : WebAssets()) {
        if (path != asset.path) continue;
        body.assign(reinterpret_cast<const char*>(asset.bytes), asset.size);
        contentType = ContentTypeOf(path);
        return true;
    }
    return false;
}

} // namespace fx
