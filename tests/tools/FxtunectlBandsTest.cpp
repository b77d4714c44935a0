// Bands and sets as a person types them: eq reaches only the bands a page
// shows, counted from 1, sets go by number or name, and the crossover band of
// CH 6 is xover's, which can always make it a crossover again.
#include "ChildProcess.h"

#include "sim/SimProcessor.h"
#include "state/EqMath.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr int kHeader = 60;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// "command: 85 HH LL 07 ...": the band record of a slot as the simulator logs it.
std::string BandRecordHead(int set, int slot) {
    char text[40];
    const int offset = EqBandOffset(set, slot);
    std::snprintf(text, sizeof text, "command: 85 %02X %02X 07", offset >> 8, offset & 0xFF);
    return text;
}

// A mode file of the default image with some band records replaced.
std::string ModeFileWithBands(int set, const std::vector<std::pair<int, EqBandRecord>>& bands) {
    std::string bytes(kHeader, '\0');
    bytes[0] = 19;
    std::memcpy(bytes.data() + 4, "ARN63", 5);
    auto image = SimProcessor::DefaultImage();
    for (const auto& [slot, band] : bands)
        EncodeEqBandRecord(band, &image[EqBandOffset(set, slot)]);
    bytes.append(reinterpret_cast<const char*>(image.data()), image.size());
    return bytes;
}

using FxtunectlBandsTest = child::CtlAgainstSimulator;

// Slots no page shows as a band of its own (the split filters, the max-bass
// low-pass, the crossover band and its sections), band 0 and sets that do
// not exist: exit 2, one line, nothing sent.
TEST_F(FxtunectlBandsTest, EqRefusesWhatNoPageShowsAsABand) {
    const std::string sets = "0..15 or a name: mic-a, mic-b, echo-a, echo-b, reverb-a, "
                             "reverb-b, music, ch1..ch8, rec";
    const child::RefusedLine cases[] = {
        {{"eq", "9", "0", "1", "1000", "5", "1"}, "BAND of CH 3 EQ (set 9) is 1..10, not 0"},
        {{"eq", "9", "11", "1", "1000", "5", "1"}, "BAND of CH 3 EQ (set 9) is 1..10, not 11"},
        {{"eq", "ch3", "12", "1", "1000", "5", "1"}, "BAND of CH 3 EQ (set 9) is 1..10, not 12"},
        {{"eq", "6", "11", "1", "1000", "5", "1"}, "BAND of Music EQ (set 6) is 1..10, not 11"},
        {{"eq", "12", "7", "1", "100", "0", "0.7"},
         "BAND of CH 6 EQ (set 12) is 1..6, not 7 (band 7 is the crossover: use xover)"},
        {{"eq", "ch6", "8", "1", "100", "0", "0.7"},
         "BAND of CH 6 EQ (set 12) is 1..6, not 8 (band 7 is the crossover: use xover)"},
        {{"eq", "mic-a", "16", "1", "1000", "5", "1"}, "BAND of Mic A EQ (set 0) is 1..15, not 16"},
        {{"eq", "echo-a", "8", "1", "1000", "5", "1"}, "BAND of Echo A EQ (set 2) is 1..7, not 8"},
        {{"eq", "rec", "6", "1", "1000", "5", "1"}, "BAND of Recording EQ (set 15) is 1..5, not 6"},
        {{"eq", "16", "1", "1", "1000", "5", "1"}, "SET is " + sets + ", not 16"},
        {{"eq", "ch9", "1", "1", "1000", "5", "1"}, "SET is " + sets + ", not ch9"},
        {{"eq", "9", "1", "18", "100", "0", "0.7"},
         "TYPE is 0..5 or OFF, PEQ, LP, HP, LS, HS, not 18"},
        {{"eq-export", "ch0"}, "SET is " + sets + ", not ch0"},
        {{"auto-eq", "mic", "room.txt"}, "auto-eq: SET is " + sets + ", not mic"},
    };
    for (const child::RefusedLine& c : cases) {
        SCOPED_TRACE(c.message);
        child::ExpectRefusedWithNothingSent(Ctl(c.args), c, sim->CommandLog());
    }
}

// Band 10 of CH 3 is the tenth band the page shows (slot 9), never the
// delay split filter behind it; the same set by number and by name.
TEST_F(FxtunectlBandsTest, EqCountsBandsFromOneAndTakesSetNames) {
    ASSERT_EQ(0, Ctl({"eq", "ch3", "10", "peq", "1000", "5", "1"}).status);
    ASSERT_EQ(0, Ctl({"eq", "9", "1", "HP", "80", "0", "0.7"}).status);
    ASSERT_EQ(0, Ctl({"eq", "Music EQ", "10", "1", "12000", "-2", "2"}).status);
    const std::string log = sim->CommandLog();
    EXPECT_TRUE(Contains(log, BandRecordHead(9, 9))) << log;
    EXPECT_TRUE(Contains(log, BandRecordHead(9, 0))) << log;
    EXPECT_TRUE(Contains(log, BandRecordHead(6, 9))) << log;
    EXPECT_FALSE(Contains(log, BandRecordHead(9, 10))) << "the split filter stays";
    EXPECT_FALSE(Contains(log, BandRecordHead(6, 10))) << "the max-bass low-pass stays";

    const auto filters = Ctl({"eq-export", "CH 3"});
    EXPECT_TRUE(Contains(filters.out, "Filter 1: ON HPQ Fc 80 Hz Q 0.70\n")) << filters.out;
    EXPECT_TRUE(Contains(filters.out, "Filter 10: ON PK Fc 1000 Hz Gain 5.0 dB Q 1.00\n"))
        << filters.out;
    const auto output = Ctl({"output", "3"});
    EXPECT_TRUE(Contains(output.out, "band 10: PEQ 1000 Hz +5.0 dB Q 1.00\n")) << output.out;
    EXPECT_TRUE(Contains(output.out, "split frequency: 500 Hz\n")) << output.out;
    const auto dump = Ctl({"dump"});
    EXPECT_TRUE(Contains(dump.out, "{\"band\":10,\"type\":1,\"frequency\":1000,\"gain\":5,"))
        << "the dump counts from 1 too";
}

// A linked eq counts bands from 1 and takes set names alike, and reaches the
// partner's band of the same number: band 10 of CH 3 with --link 34 is
// slot 9 of both CH 3 and CH 4, never a split filter, and no other set.
TEST_F(FxtunectlBandsTest, ALinkedEqReachesThePartnersBandOfTheSameNumber) {
    ASSERT_EQ(0, Ctl({"--link", "34", "eq", "ch3", "10", "peq", "1000", "5", "1"}).status);
    ASSERT_EQ(0, Ctl({"--link", "12,34", "eq", "7", "1", "HP", "80", "0", "0.7"}).status);
    const std::string log = sim->CommandLog();
    EXPECT_TRUE(Contains(log, BandRecordHead(9, 9))) << log;
    EXPECT_TRUE(Contains(log, BandRecordHead(10, 9))) << log;
    EXPECT_TRUE(Contains(log, BandRecordHead(7, 0))) << log;
    EXPECT_TRUE(Contains(log, BandRecordHead(8, 0))) << log;
    for (int set : {9, 10}) EXPECT_FALSE(Contains(log, BandRecordHead(set, 10))) << "split filter";
    EXPECT_FALSE(Contains(log, BandRecordHead(11, 9))) << "CH 5 is linked with nothing";
    EXPECT_FALSE(Contains(log, BandRecordHead(9, 0))) << "12 does not reach CH 3";
    for (const char* channel : {"3", "4"})
        EXPECT_TRUE(Contains(Ctl({"output", channel}).out, "band 10: PEQ 1000 Hz +5.0 dB Q 1.00\n"))
            << "CH " << channel;
}

// Whatever CH 6's crossover band held (here a peaking band with gain over
// broken sections), xover makes it a crossover: the sections of the
// alignment, flat, at the frequency; lp or hp picks the kind.
TEST_F(FxtunectlBandsTest, XoverRepairsTheCrossoverBandWhateverItHeld) {
    const std::string file = child::TempPath("broken-crossover.mode");
    std::ofstream(file, std::ios::binary)
        << ModeFileWithBands(12, {{6, {5.0, 100, 5.0, EQ_PEQ}}, {7, {0.0, 100, 0.707, 20}}});
    ASSERT_EQ(0, Ctl({"write", file}).status);
    std::remove(file.c_str());
    EXPECT_EQ("CH 6 band 7: sections 1,20,1,1 at 100 Hz\n", Ctl({"xover"}).out);

    const size_t before = sim->CommandLog().size();
    const auto repaired = Ctl({"xover", "Bessel 18dB", "120"});
    ASSERT_EQ(0, repaired.status) << repaired.err;
    const std::string sent = sim->CommandLog().substr(before);
    for (int slot = 6; slot <= 9; ++slot) EXPECT_TRUE(Contains(sent, BandRecordHead(12, slot)));
    EXPECT_EQ("CH 6 band 7: Bessel 18dB LP at 120 Hz\n", Ctl({"xover"}).out);
    EXPECT_TRUE(Contains(Ctl({"output", "6"}).out,
                         "band 7: Bessel 18dB LP 120 Hz +0.0 dB Q 0.71 (crossover)\n"));

    ASSERT_EQ(0, Ctl({"xover", "7", "90", "hp"}).status);
    EXPECT_EQ("CH 6 band 7: Butterworth 12dB HP at 90 Hz\n", Ctl({"xover"}).out);
    ASSERT_EQ(0, Ctl({"xover", "8", "95"}).status);
    EXPECT_EQ("CH 6 band 7: Butterworth 18dB HP at 95 Hz\n", Ctl({"xover"}).out)
        << "a crossover keeps its kind";
}

} // namespace
