#pragma once

#include "state/ImageEdits.h"
#include "state/ParamImage.h"

#include <functional>

#include <vector>

// Channel links as a rule of the output channels: an edit of a linked
// channel's setting goes to every channel of its link, whichever page or
// command made it, as one image edit (one undo step). A link shares what
// linking a pair makes equal (ChannelsMatch): the levels, the EQ switch and
// bands, the delay (switch, mode, split and time) and the compressor
// (settings and switch); a channel's source, phase and mute stay its own.
// The pairs and their flags are g_LinkFlags (state/OutputChannels.h).
namespace fx {

// The output channel (0..7) of an output block (5..12) or of an output EQ
// set (7..14); -1 for any other.
int OutputChannelOfBlock(int block);
int OutputChannelOfEqSet(int set);

// Whether a link shares this parameter of an output block.
bool IsLinkedOutputParameter(int parameter);

// The channels an edit of the channel's shared settings reaches, in channel
// order: the channel and, when their pair is linked, its partner; empty for
// a channel outside 0..7.
std::vector<int> ChannelsLinkedWith(int channel);
// The EQ sets an edit of the set reaches: an output channel's set and those
// of the channels linked with it; any other set alone.
std::vector<int> EqSetsLinkedWith(int set);
// The DSP blocks an edit of this block's parameter reaches: the linked
// channels' blocks for a shared output parameter, the block alone otherwise.
std::vector<int> BlocksLinkedWith(int block, int parameter);

// The operations of state/ over the link, each one image edit.
void SetLinkedDspParam(int block, int parameter, double value);
// index 0..7 an output channel, 8 the recording output (never linked).
void SetLinkedCompressor(int index, double thresholdDb, double ratio, double attackMs,
                         double releaseMs);
void SetLinkedCompressorSwitch(int index, bool on);
void SetLinkedDelayMode(int channel, bool wholeChannel);
void SetLinkedDelaySplit(int channel, int row);
// Returns the bands as written to `set` itself.
std::vector<EqBandRecord> SetLinkedEqBands(int set, const std::vector<EqBandWrite>& bands);
EqBandRecord SetLinkedEqBand(int set, int band, int type, double frequency, double gain, double q);
void ResetLinkedEqSet(int set);
// Pastes set src into dst and the sets linked with dst.
bool PasteLinkedEqSet(int src, int dst);
// Runs edit for the set and every set linked with it, as one image edit of
// this kind (an import, an automatic fit).
void EditLinkedEqSets(int set, ImageEditKind kind, const std::function<void(int set)>& edit);

} // namespace fx
