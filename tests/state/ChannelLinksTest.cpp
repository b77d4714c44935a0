// The channel links as a rule of the channels: every operation that changes
// a shared setting of an output channel reaches the channel linked with it,
// as one edit, and nothing else; a channel's own settings and unlinked pairs
// stay as they were.
#include "state/ChannelLinks.h"

#include "state/Compressor.h"
#include "state/EqFilterText.h"
#include "state/EqMath.h"
#include "state/ImageEdits.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/RecordingOutput.h"

#include "RecordingSink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class EditCount : public fx::IImageEditObserver {
public:
    EditCount() { fx::SetImageEditObserver(this); }
    ~EditCount() override { fx::SetImageEditObserver(nullptr); }
    EditCount(const EditCount&) = delete;
    EditCount& operator=(const EditCount&) = delete;
    void ImageEdited(const fx::ImageEdit&) override { ++edits; }
    void ImageReplaced() override {}
    int edits = 0;
};

Bytes DspBytes(int block, int parameter) {
    const DspParamEntry* entry = FindDspParam(block, parameter);
    const int offset = DspRecordValueOffset(block, parameter);
    if (entry == nullptr || offset < 0) return {};
    return Bytes(g_ParamImage() + offset, g_ParamImage() + offset + 4 * entry->valueCount);
}

Bytes BandBytes(int set, int band) {
    const uint8_t* record = g_PanelImage() + EqBandOffset(set, band);
    return Bytes(record, record + kEqBandRecordSize);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A shared setting: the operation a page or a verb calls for a channel, and
// the channel's bytes it changes.
struct SharedSetting {
    const char* name;
    std::function<void(int channel)> edit;
    std::function<Bytes(int channel)> field;
    std::function<void(int channel)> prepare = {}; // before the edit, not counted
};

const std::vector<SharedSetting>& SharedSettings() {
    static const auto dsp = [](int parameter) {
        return [parameter](int channel) { return DspBytes(OutputBlock(channel), parameter); };
    };
    const auto split = [](int channel) {
        return Concat({BandBytes(OutputEqSet(channel), kSplitLowSlot),
                       BandBytes(OutputEqSet(channel), kSplitHighSlot)});
    };
    static const std::vector<SharedSetting> settings = {
        {"direct level",
         [](int ch) { fx::SetLinkedDspParam(OutputBlock(ch), OUT_LEVEL_FIRST, 42); },
         dsp(OUT_LEVEL_FIRST)},
        {"music level",
         [](int ch) { fx::SetLinkedDspParam(OutputBlock(ch), OUT_LEVEL_FIRST + 3, 7); },
         dsp(OUT_LEVEL_FIRST + 3)},
        {"EQ switch", [](int ch) { fx::SetLinkedDspParam(OutputBlock(ch), OUT_EQ_BYPASS, 1); },
         dsp(OUT_EQ_BYPASS)},
        {"delay switch",
         [](int ch) { fx::SetLinkedDspParam(OutputBlock(ch), OUT_DELAY_BYPASS, 0); },
         dsp(OUT_DELAY_BYPASS)},
        {"delay time", [](int ch) { fx::SetLinkedDspParam(OutputBlock(ch), OUT_DELAY_TIME, 50.0); },
         dsp(OUT_DELAY_TIME)},
        {"delay mode", [](int ch) { fx::SetLinkedDelayMode(ch, false); },
         [split](int ch) {
             return Concat({DspBytes(OutputBlock(ch), OUT_DELAY_MODE), split(ch)});
         }},
        {"delay split", [](int ch) { fx::SetLinkedDelaySplit(ch, 8); }, split,
         // The split filters are a high-pass and a low-pass in high-band mode.
         [](int ch) { fx::SetLinkedDelayMode(ch, false); }},
        {"compressor", [](int ch) { fx::SetLinkedCompressor(ch, -31, 4.0, 10, 498); },
         dsp(OUT_COMPRESSOR)},
        {"compressor switch", [](int ch) { fx::SetLinkedCompressorSwitch(ch, true); },
         dsp(OUT_COMPRESSOR_BYPASS)},
        {"EQ band", [](int ch) { fx::SetLinkedEqBand(OutputEqSet(ch), 3, EQ_PEQ, 160, -4.5, 2.0); },
         [](int ch) { return BandBytes(OutputEqSet(ch), 3); }},
        {"two EQ bands at once",
         [](int ch) {
             fx::SetLinkedEqBands(OutputEqSet(ch),
                                  {{0, EQ_LS, 80, 3.0, 0.7}, {1, EQ_HS, 8000, -2.0, 0.7}});
         },
         [](int ch) {
             return Concat({BandBytes(OutputEqSet(ch), 0), BandBytes(OutputEqSet(ch), 1)});
         }},
        {"EQ paste", [](int ch) { fx::PasteLinkedEqSet(OutputEqSet(4), OutputEqSet(ch)); },
         [](int ch) { return BandBytes(OutputEqSet(ch), 2); },
         // Copied from CH 5, which is never linked.
         [](int) { SetEqBand(OutputEqSet(4), 2, EQ_PEQ, 300, 6.0, 3.0); }},
        {"EQ import",
         [](int ch) {
             const fx::FilterText text = fx::ParseFilterText(
                 "Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 1.41\n", fx::FilterBandCount(7));
             fx::EditLinkedEqSets(OutputEqSet(ch), fx::ImageEditKind::EqImport,
                                  [&](int set) { fx::ApplyImportedBands(set, text.filters); });
         },
         [](int ch) { return BandBytes(OutputEqSet(ch), 0); }},
    };
    return settings;
}

class ChannelLinksTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memcpy(m_savedFlags, g_LinkFlags, sizeof m_savedFlags);
        BuildDefaultImage();
    }
    void TearDown() override { std::memcpy(g_LinkFlags, m_savedFlags, sizeof m_savedFlags); }
    static void Link(bool pair12, bool pair34, bool pair78) {
        std::memset(g_LinkFlags, 0, kLinkFlagCount);
        g_LinkFlags[0] = pair12, g_LinkFlags[1] = pair34, g_LinkFlags[2] = pair78;
    }

    RecordingSink m_sink;
    uint8_t m_savedFlags[kLinkFlagCount] = {};
};

} // namespace

TEST_F(ChannelLinksTest, EverySharedSettingReachesTheLinkedChannelAsOneEdit) {
    const struct {
        int channel;
        int partner;
        bool linked;
    } pairs[] = {{0, 1, true}, {1, 0, true},  {3, 2, true},
                 {6, 7, true}, {0, 1, false}, {7, 6, false}};
    for (const SharedSetting& setting : SharedSettings()) {
        for (const auto& p : pairs) {
            SCOPED_TRACE(std::string(setting.name) + " CH " + std::to_string(p.channel + 1) +
                         (p.linked ? " linked" : " unlinked"));
            BuildDefaultImage();
            Link(p.linked, p.linked, p.linked);
            if (setting.prepare) setting.prepare(p.channel);
            const Bytes partnerBefore = setting.field(p.partner);
            const Bytes ownBefore = setting.field(p.channel);
            EditCount count;
            setting.edit(p.channel);
            EXPECT_EQ(1, count.edits) << "one undo step";
            ASSERT_NE(ownBefore, setting.field(p.channel)) << "the edit changed its channel";
            if (p.linked)
                EXPECT_EQ(setting.field(p.channel), setting.field(p.partner));
            else
                EXPECT_EQ(partnerBefore, setting.field(p.partner));
        }
    }
}

TEST_F(ChannelLinksTest, ThePartnerIsReachedOnlyByTheSettingsALinkShares) {
    Link(true, true, true);
    // Source, phase and mute are each channel's own, even when linked.
    for (int parameter : {int(OUT_SOURCE), int(OUT_PHASE), int(OUT_MUTE)}) {
        SCOPED_TRACE(parameter);
        const Bytes before = DspBytes(OutputBlock(1), parameter);
        fx::SetLinkedDspParam(OutputBlock(0), parameter, parameter == OUT_SOURCE ? 3 : 0);
        EXPECT_NE(before, DspBytes(OutputBlock(0), parameter));
        EXPECT_EQ(before, DspBytes(OutputBlock(1), parameter));
    }
    // CH 5 and CH 6 are never linked; nor is the recording output, nor a
    // set or block outside the output channels.
    const Bytes ch6 = DspBytes(OutputBlock(5), OUT_COMPRESSOR);
    fx::SetLinkedCompressor(4, -20, 2.0, 5, 50);
    EXPECT_EQ(ch6, DspBytes(OutputBlock(5), OUT_COMPRESSOR));
    const Bytes ch1 = DspBytes(OutputBlock(0), OUT_COMPRESSOR);
    fx::SetLinkedCompressor(kRecordVarIndex, -20, 2.0, 5, 50);
    EXPECT_EQ(ch1, DspBytes(OutputBlock(0), OUT_COMPRESSOR));
    EXPECT_EQ(-20.0f, g_Compressor()[kRecordVarIndex].thresholdDb);
    EXPECT_EQ(std::vector<int>{6}, fx::EqSetsLinkedWith(6));
    EXPECT_EQ((std::vector<int>{kRecordBlock}), fx::BlocksLinkedWith(kRecordBlock, 17));
    EXPECT_EQ((std::vector<int>{13, 14}), fx::EqSetsLinkedWith(14));
    EXPECT_EQ((std::vector<int>{}), fx::ChannelsLinkedWith(8));
}

TEST_F(ChannelLinksTest, ALinkedEditSendsTheSameWritesToEachChannel) {
    Link(true, false, false);
    m_sink.Clear();
    fx::SetLinkedCompressor(1, -31, 4.0, 10, 498);
    const auto sent = m_sink.AllBytes();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(OutputBlock(0), sent[0][2]) << "in channel order";
    EXPECT_EQ(OutputBlock(1), sent[1][2]);
    EXPECT_TRUE(std::equal(sent[0].begin() + 3, sent[0].end(), sent[1].begin() + 3));
}
