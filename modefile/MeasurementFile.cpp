#include "modefile/MeasurementFile.h"

#include "modefile/SafeFile.h"

namespace fx {

MeasurementText ReadMeasurementFile(const std::string& path) {
    const FileReadResult file = ReadRegularFile(path, kMaxMeasurementBytes);
    if (!file.ok) {
        MeasurementText refused;
        refused.reason = file.message;
        return refused;
    }
    return ParseMeasurement(std::string(file.bytes.begin(), file.bytes.end()));
}

} // namespace fx
