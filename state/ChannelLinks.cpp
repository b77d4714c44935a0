// The one place that decides which channels an edit of a linked channel's
// setting reaches; the pages and fxtunectl's verbs only call it.
#include "state/ChannelLinks.h"

#include "state/Compressor.h"
#include "state/ImageEdits.h"
#include "state/OutputChannels.h"

#include <algorithm>

namespace fx {

namespace {
// The output block's parameters a link shares: the ones a pair's
// synchronisation makes equal (state/OutputChannels.cpp, ChannelsMatch).
constexpr int kLinkedParameters[] = {OUT_EQ_BYPASS,        OUT_DELAY_MODE,      OUT_DELAY_TIME,
                                     OUT_DELAY_BYPASS,     OUT_LEVEL_FIRST,     OUT_LEVEL_FIRST + 1,
                                     OUT_LEVEL_FIRST + 2,  OUT_LEVEL_FIRST + 3, OUT_COMPRESSOR,
                                     OUT_COMPRESSOR_BYPASS};
} // namespace

int OutputChannelOfBlock(int block) {
    const int channel = block - OutputBlock(0);
    return channel >= 0 && channel < kOutputChannelCount ? channel : -1;
}

int OutputChannelOfEqSet(int set) {
    const int channel = set - OutputEqSet(0);
    return channel >= 0 && channel < kOutputChannelCount ? channel : -1;
}

bool IsLinkedOutputParameter(int parameter) {
    return std::find(std::begin(kLinkedParameters), std::end(kLinkedParameters), parameter) !=
           std::end(kLinkedParameters);
}

std::vector<int> ChannelsLinkedWith(int channel) {
    std::vector<int> channels;
    const auto linked = LinkedChannels(channel);
    for (int c = 0; c < kOutputChannelCount; ++c)
        if (linked[c]) channels.push_back(c);
    return channels;
}

std::vector<int> EqSetsLinkedWith(int set) {
    const int channel = OutputChannelOfEqSet(set);
    if (channel < 0) return {set};
    std::vector<int> sets;
    for (int c : ChannelsLinkedWith(channel)) sets.push_back(OutputEqSet(c));
    return sets;
}

std::vector<int> BlocksLinkedWith(int block, int parameter) {
    const int channel = OutputChannelOfBlock(block);
    if (channel < 0 || !IsLinkedOutputParameter(parameter)) return {block};
    std::vector<int> blocks;
    for (int c : ChannelsLinkedWith(channel)) blocks.push_back(OutputBlock(c));
    return blocks;
}

void SetLinkedDspParam(int block, int parameter, double value) {
    const ImageEditScope edit;
    for (int b : BlocksLinkedWith(block, parameter)) SetDspParam(b, parameter, value);
}

namespace {
// The compressor indices an edit of one reaches; the recording output's alone.
std::vector<int> CompressorsLinkedWith(int index) {
    if (index == kRecordVarIndex) return {index};
    return ChannelsLinkedWith(index);
}
} // namespace

void SetLinkedCompressor(int index, double thresholdDb, double ratio, double attackMs,
                         double releaseMs) {
    const ImageEditScope edit;
    for (int i : CompressorsLinkedWith(index))
        SetCompressor(i, thresholdDb, ratio, attackMs, releaseMs);
}

void SetLinkedCompressorSwitch(int index, bool on) {
    const ImageEditScope edit;
    for (int i : CompressorsLinkedWith(index))
        SetDspParam(CompressorBlock(i), CompressorSwitchParameter(i), on ? 0 : 1);
}

void SetLinkedDelayMode(int channel, bool wholeChannel) {
    const ImageEditScope edit;
    for (int c : ChannelsLinkedWith(channel)) SetDelayMode(c, wholeChannel);
}

void SetLinkedDelaySplit(int channel, int row) {
    const ImageEditScope edit;
    for (int c : ChannelsLinkedWith(channel)) SetDelaySplit(c, row);
}

std::vector<EqBandRecord> SetLinkedEqBands(int set, const std::vector<EqBandWrite>& bands) {
    const ImageEditScope edit;
    std::vector<EqBandRecord> own;
    for (int s : EqSetsLinkedWith(set)) {
        std::vector<EqBandRecord> written = SetEqBands(s, bands);
        if (s == set) own = std::move(written);
    }
    return own;
}

EqBandRecord SetLinkedEqBand(int set, int band, int type, double frequency, double gain, double q) {
    const std::vector<EqBandRecord> written =
        SetLinkedEqBands(set, {{band, type, frequency, gain, q}});
    return written.empty() ? QuantiseEqBand({gain, frequency, q, type}) : written.front();
}

void EditLinkedEqSets(int set, ImageEditKind kind, const std::function<void(int set)>& edit) {
    const ImageEditScope scope(kind, set);
    for (int s : EqSetsLinkedWith(set)) edit(s);
}

void ResetLinkedEqSet(int set) {
    EditLinkedEqSets(set, ImageEditKind::EqReset, [](int s) { ResetEqSet(s); });
}

bool PasteLinkedEqSet(int src, int dst) {
    bool pasted = true;
    EditLinkedEqSets(dst, ImageEditKind::EqPaste,
                     [&](int s) { pasted = CopyEqSet(src, s) && pasted; });
    return pasted;
}

} // namespace fx
