#pragma once

#include "state/ParamNames.h"

#include <cstdint>
#include <string>
#include <vector>

// Two parameter images compared in words: one difference per named
// parameter whose bytes differ, in image order.
namespace fx {

struct ParamDifference {
    const ParamItem* item = nullptr; // nullptr for a DSP record head
    int offset = 0;                  // first byte of the item or head
    ParamValue a, b;
};

// Compares two whole images (kImageSize bytes each). Two encodings the
// processor cannot tell apart (0.0 and -0.0 as a float, +0.0 and -0.0 m as a
// place of the room plan) are no difference. Where two different stored
// values read the same as the pages show them, the stored bytes are added in
// brackets so the line still shows what differs; a DSP record head that
// differs (a broken chain) is reported by its offset.
std::vector<ParamDifference> DiffImages(const uint8_t* a, const uint8_t* b, int language);

// How many named parameters differ between two whole images (the number of
// differences DiffImages lists, without making their texts).
int CountDifferences(const uint8_t* a, const uint8_t* b);

// The parameters as the editor holds them now: the image with the panel
// working copy over its panel area, as a saved mode file would carry them.
std::vector<uint8_t> EditedImage();

// "CH 3 delay: 1.3 ms → 5.0 ms"
std::string DifferenceName(const ParamDifference& difference, int language);
std::string DifferenceLine(const ParamDifference& difference, int language);

} // namespace fx
