// The room plan's operations: the distance levels and their records, which
// channel gets a speaker's level, the layout moves and the reset, as the
// bytes the senders hand to the transport.
#include "StateTestSupport.h"

#include "state/OutputChannels.h"
#include "state/SurroundVolume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

bool IsPanelWrite(const Bytes& record, int offset, int length) {
    return record.size() == size_t(4 + length) && record[0] == 133 &&
           ((record[1] << 8) | record[2]) == offset && record[3] == length;
}

bool IsDsp(const Bytes& record, int block, int parameter, int count) {
    return record.size() == size_t(5 + 4 * count) && record[0] == 9 && record[2] == block &&
           record[3] == parameter && record[4] == count;
}

float FloatAt(const uint8_t* bytes) {
    return FloatFromBits(ReadBigEndian32(bytes));
}

class SurroundVolumeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceState();
        g_bQueuedSend() = false;
    }
    void PlaceListener(double x, double y) {
        g_SurroundLayout().points[0] = float(x);
        g_SurroundLayout().points[1] = float(y);
    }
    RecordingTransport transport;
};

TEST_F(SurroundVolumeTest, DistanceLevelsAndTheirRecords) {
    const struct {
        RoomPoint listener;
        int speaker;
        double level;
        double g, q;
    } cases[] = {
        {{0.0, 0.0}, 1, 3.0 - 3.0 * std::sqrt(2.0), 0.8667, 0.8922}, // front left, √2 m away
        {{0.0, 0.0}, 2, 0.0, 1.0, 1.0},                              // centre, 1 m away
        {{1.0, 1.0}, 3, 3.0, 1.4125, 1.3213},                        // front right, on it
        {{1.0, 1.0}, 4, 3.0 - 3.0 * std::sqrt(8.0), 0.5318, 0.6082}, // back surround left
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speaker);
        PlaceListener(c.listener.x, c.listener.y);
        EXPECT_NEAR(c.level, DistanceLevelDb(c.speaker), 1e-6);
        const auto record = SpeakerLevelRecord(DistanceLevelDb(c.speaker));
        EXPECT_NEAR(c.g, FloatFromBits(record[0]), 1e-4);
        EXPECT_NEAR(c.q, FloatFromBits(record[1]), 1e-4);
        EXPECT_EQ(record[0], record[4]);
        EXPECT_EQ(record[1], record[5]);
        EXPECT_EQ(kSpeakerFilterC1, record[2]);
        EXPECT_EQ(kSpeakerFilterC2, record[3]);
    }
    // 0 dB is the record of the default image.
    const auto neutral = SpeakerLevelRecord(0.0);
    const uint8_t* stored = g_ParamImage() + DspRecordValueOffset(5, OUT_SPEAKER_FILTER);
    for (int i = 0; i < kSpeakerFilterValueCount; ++i)
        EXPECT_EQ(ReadBigEndian32(stored + 4 * i), neutral[i]) << i;
}

TEST_F(SurroundVolumeTest, TheLowestChannelCarryingTheSourceGetsTheLevel) {
    // CH 1 and CH 2 both carry the front left; nothing carries the front right.
    ASSERT_EQ(0, ChannelCarryingSource(0));
    ASSERT_EQ(-1, ChannelCarryingSource(1));
    SetSpeakerLevel(-1.5, 1);
    SetSpeakerLevel(2.0, 3);
    const auto records = transport.Records();
    ASSERT_EQ(2u, records.size());
    ASSERT_TRUE(IsPanelWrite(records[0], kSurroundLevelsOffset, 32));
    EXPECT_FLOAT_EQ(-1.5f, FloatAt(records[0].data() + 4));
    EXPECT_FLOAT_EQ(0.0f, FloatAt(records[0].data() + 8)); // CH 2 untouched
    EXPECT_FLOAT_EQ(-1.5f, FloatAt(g_PanelImage() + kSurroundLevelsOffset));
    EXPECT_TRUE(IsDsp(records[1], 5, OUT_SPEAKER_FILTER, 6));
    const auto record = SpeakerLevelRecord(-1.5);
    EXPECT_EQ(record[0], ReadBigEndian32(records[1].data() + 5));
    EXPECT_EQ(record[1], ReadBigEndian32(g_ParamImage() + DspRecordValueOffset(5, 26) + 4));
}

TEST_F(SurroundVolumeTest, MovesStayInTheRoomInTenthsAndSendTheirLevels) {
    MoveSpeaker(8, 0.77, -3.0); // the 4 x 4 m room ends at -2 m
    EXPECT_FLOAT_EQ(0.8f, SpeakerPosition(8).x);
    EXPECT_FLOAT_EQ(-2.0f, SpeakerPosition(8).y);
    auto records = transport.Records();
    ASSERT_EQ(3u, records.size()); // the layout, then the level of CH 7 (SR)
    ASSERT_TRUE(IsPanelWrite(records[0], kSurroundLayoutOffset, kSurroundLayoutSize));
    EXPECT_EQ(0x08, records[0][4 + 18]);
    EXPECT_EQ(0x94, records[0][4 + 19]);
    EXPECT_TRUE(IsDsp(records[2], 11, OUT_SPEAKER_FILTER, 6));

    // The listener sends one level per carried source: seven by default.
    MoveListener(-9.0, 0.25);
    EXPECT_FLOAT_EQ(-2.0f, ListenerPosition().x);
    EXPECT_FLOAT_EQ(0.3f, ListenerPosition().y);
    records = transport.Records();
    EXPECT_EQ(3u + 1 + 7 * 2, records.size());

    // A smaller room limits later moves; places already outside stay.
    SetSurroundRoom(1, 12);
    EXPECT_EQ(1, RoomWidth());
    EXPECT_EQ(10, RoomLength());
    EXPECT_FLOAT_EQ(-2.0f, ListenerPosition().x);
    EXPECT_FALSE(InsideRoom(-2.0, 0.0));
    EXPECT_DOUBLE_EQ(-0.5, RoomX(-0.9));
    // A room size the image cannot mean is read as the nearest one.
    g_SurroundLayout().byte1222 = 0;
    EXPECT_EQ(1, RoomWidth());
}

TEST_F(SurroundVolumeTest, CentreSendsTheLayoutAfterEachCoordinate) {
    PlaceListener(1.0, -1.0);
    CentreListener();
    const auto records = transport.Records();
    ASSERT_EQ(2u + 7 * 2, records.size());
    EXPECT_EQ(0x80, records[0][4 + 2]); // x first
    EXPECT_EQ(0x8A, records[0][4 + 3]);
    EXPECT_EQ(0x80, records[1][4 + 3]);
    EXPECT_FLOAT_EQ(float(3.0 - 3.0 * std::sqrt(2.0)),
                    FloatAt(g_PanelImage() + kSurroundLevelsOffset));
}

TEST_F(SurroundVolumeTest, ResetSendsEveryLevelAndTheDefaultLayoutBytes) {
    MoveListener(1.0, 1.0);
    SetSurroundRoom(7, 3);
    const size_t before = transport.Records().size();
    ResetSurround();
    const auto all = transport.Records();
    const std::vector<Bytes> records(all.begin() + long(before), all.end());
    ASSERT_EQ(2u * kOutputChannelCount + 1, records.size());
    for (int channel = 0; channel < kOutputChannelCount; ++channel) {
        SCOPED_TRACE(channel);
        const Bytes& block = records[2 * channel];
        ASSERT_TRUE(IsPanelWrite(block, kSurroundLevelsOffset, 32));
        for (int c = 0; c <= channel; ++c) EXPECT_FLOAT_EQ(0.0f, FloatAt(block.data() + 4 + 4 * c));
        EXPECT_TRUE(IsDsp(records[2 * channel + 1], channel + 5, OUT_SPEAKER_FILTER, 6));
    }
    const Bytes layout{4, 4,    0,    0,    0x8A, 0x0A, 0, 0x0A, 0x0A, 0x0A, 0x8A, 0x8A,
                       0, 0x8A, 0x0A, 0x8A, 0x85, 0,    5, 0,    0,    0,    0,    0};
    EXPECT_EQ((Bytes{133, 0x04, 0xC6, 24}),
              Bytes(records.back().begin(), records.back().begin() + 4));
    EXPECT_EQ(layout, Bytes(records.back().begin() + 4, records.back().end()));
    EXPECT_EQ(0, std::memcmp(g_PanelImage() + kSurroundLayoutOffset,
                             g_ParamImage() + kSurroundLayoutOffset, kSurroundLayoutSize))
        << "the default image's layout";
    EXPECT_EQ(4, RoomWidth());
    EXPECT_FLOAT_EQ(-1.0f, SpeakerPosition(1).x);
}

TEST_F(SurroundVolumeTest, LocateRequestAndSurroundVolumes) {
    SendLocateRequest(5);
    SendLocateRequest(kLocateNone);
    SetSurroundVolume(kCrossoverChannel, 600);
    SetSurroundVolume(0, 150);
    const auto records = transport.Records();
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ((Bytes{9, 0, 4, 38, 1, 0, 0, 0, 5}), records[0]);
    EXPECT_EQ((Bytes{9, 0, 4, 38, 1, 0, 0, 0, 8}), records[1]);
    EXPECT_EQ(FloatBits(5.0f), ReadBigEndian32(records[2].data() + 5)); // CH 6 up to 500
    EXPECT_EQ(PercentToStored(100), ReadBigEndian32(records[3].data() + 5));
}

} // namespace
