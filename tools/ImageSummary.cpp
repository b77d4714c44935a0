// Prints a summary of the default parameter image: the headless stand-in for
// the editor until a display is available. Exits with 1 when the DSP record
// chain does not end exactly at the end of the image.
#include "state/ParamImage.h"

#include <cstdio>

namespace {

struct BlockSummary {
    int records = 0;
    int first = -1;
    int last = -1;
};

void PrintBlocks(const BlockSummary* blocks) {
    for (int block = 1; block <= 14; ++block) {
        const BlockSummary& b = blocks[block];
        if (b.records == 0) continue;
        std::printf("  block %2d: %2d records at %d..%d\n", block, b.records, b.first, b.last);
    }
}

void PrintEditorValues() {
    std::printf("Editor values: mic %d, effect %d, music %d, music pitch %+d, echo delay %.1f ms\n",
                static_cast<int>(GetDspParam(1, 14)), static_cast<int>(GetDspParam(1, 15)),
                static_cast<int>(GetDspParam(4, 13)), g_MusicPitch(), GetDspParam(2, 11));
    std::printf("Output sources:");
    for (int channel = 0; channel < 8; ++channel) std::printf(" %d", g_OutputIntVar()[13][channel]);
    std::printf("\nCompressor of channel 1: threshold %.0f dB, ratio %.1f:1, attack %.0f ms, "
                "release %.0f ms\n",
                g_Compressor()[0].thresholdDb, g_Compressor()[0].ratio, g_Compressor()[0].attackMs,
                g_Compressor()[0].releaseMs);
}

} // namespace

int main() {
    BuildDefaultImage();
    BlockSummary blocks[256] = {};
    int records = 0;
    const int offset = WalkDspRecords(g_ParamImage(), [&](const DspRecordView& record) {
        BlockSummary& block = blocks[record.block];
        if (block.first < 0) block.first = record.offset;
        block.last = record.offset + 3 + 4 * record.count - 1;
        ++block.records;
        ++records;
        return true;
    });
    std::printf("Default parameter image: %d bytes, %d DSP records ending at %d\n", kImageSize,
                records, offset);
    PrintBlocks(blocks);
    std::printf("DSP table: %d entries\n", static_cast<int>(DspParamTable.size()));
    PrintEditorValues();
    return offset == kImageSize ? 0 : 1;
}
