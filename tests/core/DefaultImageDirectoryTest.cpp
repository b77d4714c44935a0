// The default image against the directory of the parameter memory, written
// out here by hand: record offsets, heads and exact value bits, band records
// byte for byte, surround blocks. Nothing below is computed by the image code.
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

using Image = std::array<uint8_t, 3350>;

// Exact bits of the directory's decimal values.
constexpr uint32_t kOne = 0x3F800000;           // 1.0
constexpr uint32_t kHalf = 0x3F000000;          // 0.5
constexpr uint32_t k065 = 0x3F266666;           // 0.65
constexpr uint32_t k088 = 0x3F6147AE;           // 0.88
constexpr uint32_t k080 = 0x3F4CCCCD;           // 0.8
constexpr uint32_t k012 = 0x3DF5C28F;           // 0.12
constexpr uint32_t k056 = 0x3F0F5C29;           // 0.56
constexpr uint32_t k016 = 0x3E23D70A;           // 0.16
constexpr uint32_t k036 = 0x3EB851EC;           // 0.36
constexpr uint32_t k0002 = 0x3B03126F;          // 0.002
constexpr uint32_t kShift = 0x3A2B92A6;         // 0.000654498
constexpr uint32_t kMinus25 = 0xC1C80000;       // -25.0
constexpr uint32_t kTwenty = 0x41A00000;        // 20.0
constexpr uint32_t kFiveHundredth = 0x3D4CCCCD; // 0.05

const std::vector<uint32_t> kShiftFilter = {kOne, kOne, 0x3F7D554A, 0xBFFEA8DC, kOne, kOne};
const std::vector<uint32_t> kAutoLevel = {
    0, 0, 0x3F400000, kTwenty, kFiveHundredth, 0x39B6034A, 0x3811A20E};
const std::vector<uint32_t> kCompressor = {
    0, 0, 0x3F777777, kTwenty, kFiveHundredth, 0x3CA8E6C0, 0x395A7000};
const std::vector<uint32_t> kSurroundFilter = {kOne, kOne, 0x3F7EFF25, 0xBFFF7EF1, kOne, kOne};

// A directory entry: parameters first..last of a block, each a record of
// these values.
struct Run {
    int first;
    int last;
    std::vector<uint32_t> values;
};

struct Block {
    int number;
    int start; // offset of its first record head
    int end;   // one past its last record
    std::vector<Run> runs;
};

std::vector<Block> Directory() {
    std::vector<Block> blocks = {
        {1, 1254, 1560, {{4, 7, {kOne}},         {8, 11, {k0002}},   {12, 12, {0}},
                         {13, 13, {0}},          {14, 14, {kHalf}},  {15, 15, {kOne}},
                         {16, 16, {kHalf}},      {17, 17, {kOne}},   {33, 33, {0}},
                         {34, 37, {kOne}},       {38, 38, {kShift}}, {39, 39, {1200}},
                         {40, 40, {0}},          {41, 42, {kOne}},   {43, 43, {1}},
                         {44, 44, kShiftFilter}, {60, 60, {0}},      {61, 64, {0}},
                         {65, 65, {kShift}},     {66, 66, {1200}},   {67, 67, {0}},
                         {68, 69, {kOne}},       {70, 70, {1}},      {71, 71, kShiftFilter}}},
        {2,
         1560,
         1672,
         {{7, 7, {0}},
          {8, 8, {0}},
          {9, 9, {k065}},
          {10, 10, {96}},
          {11, 11, {11856}},
          {12, 12, {k088}},
          {13, 13, {kHalf}},
          {21, 21, {0}},
          {22, 22, {0}},
          {23, 23, {k065}},
          {24, 24, {96}},
          {25, 25, {11856}},
          {26, 26, {k088}},
          {27, 27, {kHalf}},
          {28, 28, {k080}},
          {29, 29, {kOne}}}},
        {3,
         1672,
         1756,
         {{7, 7, {0}},
          {8, 8, {k012}},
          {9, 9, {96}},
          {10, 11, {k056}},
          {19, 19, {0}},
          {20, 20, {k012}},
          {21, 21, {96}},
          {22, 23, {k056}},
          {24, 24, {kHalf}},
          {25, 25, {kOne}}}},
        {4,
         1756,
         1962,
         {{11, 11, {0}},
          {12, 12, {k016}},
          {13, 13, {kOne}},
          {14, 14, kAutoLevel},
          {15, 15, {1}},
          {16, 16, {0}},
          {17, 17, {kMinus25}},
          {21, 21, {5}},
          {22, 22, {0}},
          {23, 23, {0}},
          {24, 37, {kOne}},
          {39, 39, {0}},
          {40, 40, {0}}}},
    };
    const uint32_t sources[8] = {0, 0, 7, 6, 5, 4, 3, 2};
    for (int block = 5; block <= 12; ++block) {
        const int start = 1962 + 153 * (block - 5);
        blocks.push_back({block,
                          start,
                          start + 153,
                          {{12, 12, {0}},
                           {13, 13, {sources[block - 5]}},
                           {14, 14, {kOne, 0}},
                           {15, 15, {64}},
                           {16, 16, {1}},
                           {17, 23, {kOne}},
                           {24, 24, kCompressor},
                           {25, 25, {1}},
                           {26, 26, kSurroundFilter}}});
    }
    blocks.push_back(
        {13,
         3186,
         3266,
         {{5, 5, {0}}, {6, 9, {kOne}}, {10, 10, kCompressor}, {11, 11, {1}}, {12, 12, {kOne}}}});
    blocks.push_back({14,
                      3266,
                      3350,
                      {{0, 0, {0x43480000}}, // 200.0
                       {1, 1, {0x40400000}}, // 3.0
                       {2, 2, {0x44BB8000}}, // 1500.0
                       {3, 3, {0x40400000}}, // 3.0
                       {4, 4, {0x45480000}}, // 3200.0
                       {5, 5, {0x40A00000}}, // 5.0
                       {6, 6, {k036}},
                       {7, 9, {kOne}},
                       {10, 11, {1}}}});
    return blocks;
}

void Put32(Image& image, int offset, uint32_t value) {
    image[offset] = static_cast<uint8_t>(value >> 24);
    image[offset + 1] = static_cast<uint8_t>(value >> 16);
    image[offset + 2] = static_cast<uint8_t>(value >> 8);
    image[offset + 3] = static_cast<uint8_t>(value);
}

// Band words: gain (dB + 15) x 10, Q x 1000.
constexpr uint16_t k0dB = 150, kPlus3dB = 180, kMinus6dB = 90, kMinus3dB = 120;
constexpr uint16_t kQ1414 = 1414, kQ0707 = 707;

struct Band {
    uint16_t frequency;
    uint16_t q = kQ1414;
    uint8_t type = 1;
    uint16_t gain = k0dB;
};

struct BandSet {
    int base;
    std::vector<Band> bands;
};

std::vector<BandSet> DefaultBandSets() {
    const std::vector<Band> microphone = {{25},   {40},   {63},   {100},   {160},
                                          {250},  {400},  {630},  {998},   {1600},
                                          {2500}, {4000}, {6300}, {10000}, {16000}};
    const std::vector<Band> tenBands = {{31},   {62},   {125},  {250},  {500},
                                        {1000}, {2000}, {4000}, {8000}, {16000}};
    std::vector<Band> output = tenBands;
    output.push_back({500, kQ0707});
    output.push_back({1000, kQ0707});
    std::vector<Band> music = tenBands;
    music.push_back({100, kQ0707, 2});

    std::vector<BandSet> sets = {
        {0, microphone},
        {105, microphone},
        {210, {{61}, {125}, {250}, {500}, {1000}, {2300}, {5000, kQ0707, 2}}},
        {259, {{200, kQ0707, 3}, {160}, {250}, {500}, {1000}, {2300}, {5000, kQ0707, 5, kPlus3dB}}},
        {308,
         {{120, kQ0707, 3}, {160}, {250}, {500}, {1000}, {2300}, {5000, kQ0707, 5, kMinus6dB}}},
        {357,
         {{100, kQ0707, 3}, {160}, {250}, {500}, {1000}, {2300}, {3000, kQ0707, 5, kMinus3dB}}},
        {406, music},
    };
    for (int set = 7; set <= 14; ++set) {
        const int base = 483 + 84 * (set - 7);
        if (set != 12) {
            sets.push_back({base, output});
            continue;
        }
        sets.push_back({base,
                        {{31},
                         {62},
                         {125},
                         {250},
                         {500},
                         {1000},
                         {100, kQ0707, 18},
                         {100, kQ0707, 20},
                         {100, kQ0707, 1},
                         {100, kQ0707, 1},
                         {500, kQ0707},
                         {1000, kQ0707}}});
    }
    sets.push_back({1155, {{31}, {62}, {125}, {250}, {500}}});
    return sets;
}

// The whole image as the directory writes it; every byte not named is 0.
Image DirectoryImage() {
    Image image{};
    for (const BandSet& set : DefaultBandSets()) {
        int offset = set.base;
        for (const Band& band : set.bands) {
            const uint16_t words[3] = {band.gain, band.frequency, band.q};
            for (int w = 0; w < 3; ++w) {
                image[offset + 2 * w] = static_cast<uint8_t>(words[w] >> 8);
                image[offset + 2 * w + 1] = static_cast<uint8_t>(words[w]);
            }
            image[offset + 6] = band.type;
            offset += 7;
        }
    }
    // Surround layout: 04 04 00 00, eight points in signed tenths, four zeros.
    const uint8_t layout[24] = {0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00, 0x0A,
                                0x0A, 0x0A, 0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A,
                                0x85, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00};
    for (int i = 0; i < 24; ++i) image[1222 + i] = layout[i];

    for (const Block& block : Directory()) {
        int offset = block.start;
        for (const Run& run : block.runs) {
            for (int parameter = run.first; parameter <= run.last; ++parameter) {
                image[offset] = static_cast<uint8_t>(block.number);
                image[offset + 1] = static_cast<uint8_t>(parameter);
                image[offset + 2] = static_cast<uint8_t>(run.values.size());
                for (size_t i = 0; i < run.values.size(); ++i)
                    Put32(image, offset + 3 + 4 * static_cast<int>(i), run.values[i]);
                offset += 3 + 4 * static_cast<int>(run.values.size());
            }
        }
        // The transcription itself must fill its block exactly.
        EXPECT_EQ(block.end, offset) << "block " << block.number;
    }
    return image;
}

TEST(DefaultImageDirectory, EveryByteIsTheDirectorys) {
    const Image expected = DirectoryImage();
    BuildDefaultImage();
    int differences = 0;
    for (int offset = 0; offset < kImageSize; ++offset) {
        if (g_ParamImage()[offset] == expected[offset]) continue;
        if (++differences <= 20)
            ADD_FAILURE() << "offset " << offset << ": 0x" << std::hex
                          << int{g_ParamImage()[offset]} << " where the directory has 0x"
                          << int{expected[offset]};
    }
    EXPECT_EQ(0, differences);
}

} // namespace
