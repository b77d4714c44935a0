#pragma once

#include "state/Measurement.h"

#include <string>

namespace fx {

// A measurement text read from a file. A file that cannot be read (not a
// regular file, too large, missing) is refused with line 0 and the reason
// the file reader gives; a refused text names its line as ParseMeasurement
// does.
MeasurementText ReadMeasurementFile(const std::string& path);

} // namespace fx
