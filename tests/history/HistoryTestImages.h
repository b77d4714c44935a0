#pragma once

#include "modefile/ModeFile.h"
#include "service/history/HistoryTypes.h"
#include "state/ParamImage.h"

#include <algorithm>
#include <cstdint>

// Images the history tests write: a factory-fresh memory behind an identity
// record, and images derived from a number alone, so a program that wrote
// them and the test that reads them back agree without talking.
namespace history_test {

inline fx::HistoryImage FactoryImage() {
    fx::HistoryImage image(kModeFileSize, 0);
    image[0] = kModeFileVersion;
    const auto memory = DefaultImageBytes();
    std::copy(memory.begin(), memory.end(), image.begin() + kModeFileHeaderSize);
    return image;
}

inline uint64_t Mix(uint64_t value) {
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

// The factory image with a few bytes of the panel area set from n.
inline fx::HistoryImage NumberedImage(int64_t n) {
    fx::HistoryImage image = FactoryImage();
    for (uint64_t k = 0; k < 4; ++k) {
        const uint64_t bits = Mix(static_cast<uint64_t>(n) * 8 + k);
        image[kModeFileHeaderSize + bits % kPanelSize] = static_cast<uint8_t>(bits >> 32);
    }
    return image;
}

} // namespace history_test
