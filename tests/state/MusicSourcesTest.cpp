#include "StateTestSupport.h"

#include "state/DeviceIdentity.h"
#include "state/MusicSources.h"

#include <gtest/gtest.h>

#include <set>

// Each model's music-input dialog offers the sources a mode file may keep
// for it; only DSW418 shows the full dialog while keeping fewer.
TEST(MusicSourcesTest, VariantsOfferWhatTheModelKeeps) {
    for (const char* model : {"ARN63", "ARN52", "ARN70", "ARN41", "BRK63", "CRL63MK"}) {
        SCOPED_TRACE(model);
        std::set<int> offered, kept;
        for (const MusicSourceChoice& choice : MusicSourcesOf(MusicInputDialogFor(model)))
            offered.insert(choice.source);
        for (int k = 0; k < kMusicSourceCount; ++k)
            if (ClampInputSource(static_cast<uint8_t>(k), model) == k) kept.insert(k);
        EXPECT_EQ(kept, offered);
    }
    EXPECT_EQ(14u, MusicSourcesOf(MusicInputDialogFor("DSW418")).size());
    EXPECT_EQ(14u, MusicSourcesOf(MusicInputDialogFor("unlisted")).size());
}

TEST(MusicSourcesTest, NamesAreThoseOfTheVariant) {
    EXPECT_STREQ("AUX1", FindMusicSource(530, 11)->name);
    EXPECT_STREQ("Android", FindMusicSource(532, 0)->name);
    EXPECT_EQ(nullptr, FindMusicSource(528, 6));
    EXPECT_EQ(8, FindMusicSourceByName(528, "coax")->source);
    EXPECT_EQ(nullptr, FindMusicSourceByName(528, "COAX1")) << "the full dialog's name";
    EXPECT_TRUE(IsMusicSourceName("android"));
    EXPECT_FALSE(IsMusicSourceName("HDMI6"));
    EXPECT_EQ(35, MusicSourceLevelParameter(11));
}

// The selected source by the connected model's name, the full dialog's name
// where the model does not offer it.
TEST(MusicSourcesTest, SourceNamesFollowTheConnectedModel) {
    SetTestIdentity("ARN63", 19);
    EXPECT_EQ("Android", MusicSourceName(3));
    EXPECT_EQ("AUX1", MusicSourceName(11));
    EXPECT_EQ("HDMI5", MusicSourceName(4)) << "not offered by the model";
    EXPECT_EQ("HDMI4", FullMusicSourceName(3));
    SetTestIdentity("ARN41", 19);
    EXPECT_EQ("COAX", MusicSourceName(8));
    SetTestIdentity("unlisted", 19);
    EXPECT_EQ("HDMI4", MusicSourceName(3));
    EXPECT_EQ("", MusicSourceName(14));
    ResetDeviceState();
}
