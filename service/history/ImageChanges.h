#pragma once

#include "service/history/HistoryTypes.h"

#include <string>
#include <vector>

namespace fx {

// The parameters in which two whole mode-file images differ, in English
// words ("Mic Vol: 50 → 60"), in image order: the changes a snapshot records
// and the drift from an approved preset. A differing identity record is one
// line of its own. Images of another size than a mode file's are one line.
std::vector<std::string> ImageChanges(const HistoryImage& before, const HistoryImage& after);

// True when image is as long as a mode file.
bool IsModeFileImage(const HistoryImage& image);

} // namespace fx
