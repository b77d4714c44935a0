#include "service/history/ImageChanges.h"

#include "modefile/ModeFile.h"
#include "state/PresetDiff.h"

#include <algorithm>

namespace fx {

bool IsModeFileImage(const HistoryImage& image) {
    return image.size() == static_cast<size_t>(kModeFileSize);
}

std::vector<std::string> ImageChanges(const HistoryImage& before, const HistoryImage& after) {
    if (!IsModeFileImage(before) || !IsModeFileImage(after)) return {"Image size differs"};
    std::vector<std::string> lines;
    if (!std::equal(before.begin(), before.begin() + kModeFileHeaderSize, after.begin()))
        lines.push_back("Identity record differs");
    const uint8_t* a = before.data() + kModeFileHeaderSize;
    const uint8_t* b = after.data() + kModeFileHeaderSize;
    for (const ParamDifference& difference : DiffImages(a, b, kLanguageEnglish))
        lines.push_back(DifferenceLine(difference, kLanguageEnglish));
    return lines;
}

} // namespace fx
