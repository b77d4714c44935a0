#pragma once

#include <string>

namespace fx {

// The OpenAPI 3 description of the daemon's API (GET /api/v1/openapi.json).
const std::string& OpenApiDocument();

} // namespace fx
