// The filter text of measurement programs: reading it into band records,
// refusing what the processor cannot do, and writing a set back out.
#include "state/EqFilterText.h"

#include "controls/EqModel.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string Fixture(const std::string& name) {
    std::string path = FX_TEST_DATA_DIR;
    path += '/';
    path += name;
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ExpectBands(const std::vector<EqBandRecord>& expected,
                 const std::vector<EqBandRecord>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].type, actual[i].type) << "band " << i;
        EXPECT_DOUBLE_EQ(expected[i].frequency, actual[i].frequency) << "band " << i;
        EXPECT_NEAR(expected[i].gain, actual[i].gain, 1e-9) << "band " << i;
        EXPECT_NEAR(expected[i].q, actual[i].q, 1e-9) << "band " << i;
    }
}

// The ten active peaking filters of the fixture, in the steps the image keeps
// (32.5 Hz rounds to 33 Hz, -5.25 dB to -5.3 dB); the two OFF filters take no band.
const std::vector<EqBandRecord> kRoomFilters = {
    {-7.2, 33, 4.2, 1},   {-4.0, 48, 6.0, 1},      {-9.5, 75, 5.1, 1},   {3.0, 118, 2.5, 1},
    {-5.3, 164, 8.0, 1},  {-2.0, 250, 1.414, 1},   {-3.5, 1220, 0.9, 1}, {2.5, 3350, 1.2, 1},
    {-1.5, 8000, 2.0, 1}, {-4.0, 15500, 0.707, 1},
};

TEST(EqFilterTextTest, AMeasurementExportGivesItsActiveFiltersInOrder) {
    const fx::FilterText text = fx::ParseFilterText(Fixture("room-filters.txt"), 15);
    ASSERT_TRUE(text.ok) << text.Error();
    ExpectBands(kRoomFilters, text.filters);
    ASSERT_TRUE(text.preampDb.has_value());
    EXPECT_DOUBLE_EQ(-6.5, *text.preampDb);
    EXPECT_EQ(2, text.preampLine);

    // Mic A has 15 bands: the last five are set flat at their initial frequencies.
    std::vector<EqBandRecord> expected = kRoomFilters;
    for (double frequency : {2500, 4000, 6300, 10000, 16000})
        expected.push_back({0.0, frequency, 1.41, EQ_PEQ});
    ExpectBands(expected, fx::ImportedBands(0, text.filters));
}

TEST(EqFilterTextTest, EveryFilterTypeAndItsDefaults) {
    const fx::FilterText text = fx::ParseFilterText("filter 1: on pk fc 1000 hz gain 1 db q 2\n"
                                                    "Filter 2: ON LS Fc 80 Hz Gain 4 dB\n"
                                                    "Filter 3: ON LSC Fc 90 Hz Gain 3 dB Q 0.9\n"
                                                    "Filter 4: ON HS Fc 8000 Hz Gain -2 dB\n"
                                                    "Filter 5: ON HSC Fc 9000 Hz Gain -1 dB Q 1\n"
                                                    "Filter 6: ON LP Fc 18000 Hz\n"
                                                    "Filter 7: ON LPQ Fc 17000 Hz Q 0.5\n"
                                                    "Filter 8: ON HP Fc 30 Hz\n"
                                                    "Filter 9:ON HPQ Fc 35 Hz Q 1.3\n"
                                                    "Filter: ON None\n"
                                                    "; a comment\r\n"
                                                    "// another\n",
                                                    10);
    ASSERT_TRUE(text.ok) << text.Error();
    ExpectBands({{1, 1000, 2, EQ_PEQ},
                 {4, 80, 0.707, EQ_LS},
                 {3, 90, 0.9, EQ_LS},
                 {-2, 8000, 0.707, EQ_HS},
                 {-1, 9000, 1, EQ_HS},
                 {0, 18000, 0.707, EQ_LP},
                 {0, 17000, 0.5, EQ_LP},
                 {0, 30, 0.707, EQ_HP},
                 {0, 35, 1.3, EQ_HP}},
                text.filters);
    EXPECT_FALSE(text.preampDb.has_value());
}

TEST(EqFilterTextTest, EveryRefusalNamesItsLine) {
    struct Case {
        const char* text;
        int bands;
        int line;
        const char* reason;
    };
    const std::string six = "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1\n"
                            "Filter 2: OFF PK Fc 100 Hz Gain 1 dB Q 1\n"
                            "Filter 3: ON PK Fc 200 Hz Gain 1 dB Q 1\n"
                            "Filter 4: ON PK Fc 300 Hz Gain 1 dB Q 1\n"
                            "Filter 5: ON PK Fc 400 Hz Gain 1 dB Q 1\n"
                            "Filter 6: ON PK Fc 500 Hz Gain 1 dB Q 1\n"
                            "Filter 7: ON PK Fc 600 Hz Gain 1 dB Q 1\n";
    const Case cases[] = {
        {six.c_str(), 5, 7, "more active filters than the 5 bands of the EQ set"},
        {"\n# notch\nFilter 1: ON NO Fc 100 Hz", 10, 3, "type NO has no equivalent"},
        {"Filter 1: ON BP Fc 100 Hz Q 2", 10, 1, "type BP has no equivalent"},
        {"Filter 1: ON AP Fc 100 Hz Q 2", 10, 1, "type AP has no equivalent"},
        {"Filter 1: ON LS 6dB Fc 100 Hz Gain 2 dB", 10, 1, "unexpected \"6dB\""},
        {"Filter 1: ON PK Fc 100 Hz Gain 15.5 dB Q 1", 10, 1, "Gain 15.5 dB is outside -15..+15"},
        {"Filter 1: ON PK Fc 100 Hz Gain -16 dB Q 1", 10, 1, "Gain -16 dB is outside -15..+15"},
        {"Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 31", 10, 1, "Q 31 is outside 0.1..30 for PK"},
        {"Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 0.05", 10, 1, "Q 0.05 is outside 0.1..30 for PK"},
        {"Filter 1: ON LSC Fc 100 Hz Gain 1 dB Q 2.5", 10, 1, "Q 2.5 is outside 0.1..2 for LSC"},
        {"Filter 1: ON HPQ Fc 100 Hz Q 3", 10, 1, "Q 3 is outside 0.1..2 for HPQ"},
        {"Filter 1: ON PK Fc 19 Hz Gain 1 dB Q 1", 10, 1, "Fc 19 Hz is outside 20..20000 Hz"},
        {"Filter 1: ON LP Fc 20001 Hz", 10, 1, "Fc 20001 Hz is outside 20..20000 Hz"},
        {"Filter 1: ON LP Fc 100 Hz Gain 3 dB", 10, 1, "LP takes no gain"},
        {"Filter 1: ON PK Fc 100 Hz Gain 1 dB", 10, 1, "PK needs Q"},
        {"Filter 1: ON HS Fc 100 Hz", 10, 1, "HS needs Gain"},
        {"Filter 1: ON PK Gain 1 dB Q 1", 10, 1, "PK needs Fc"},
        {"Filter 1: ON PK Fc abc Hz Gain 1 dB Q 1", 10, 1, "Fc needs a number"},
        {"Filter 1: ON PK Fc 100 Hz Fc 200 Hz Gain 1 dB Q 1", 10, 1, "Fc given twice"},
        {"Filter 1: MAYBE PK Fc 100 Hz", 10, 1, "a filter is ON or OFF, not \"MAYBE\""},
        {"Filter 1:", 10, 1, "a filter needs ON or OFF and a type"},
        {"Room EQ settings", 10, 1, "not a filter, preamp or comment line"},
        {"Gain: 3 dB", 10, 1, "not a filter, preamp or comment line"},
        {"Preamp: loud", 10, 1, "Preamp needs a gain in dB"},
        {"Preamp: -3 dB\nPreamp: -4 dB", 10, 2, "a second Preamp line (the first is line 1)"},
    };
    for (const Case& c : cases) {
        const fx::FilterText text = fx::ParseFilterText(c.text, c.bands);
        EXPECT_FALSE(text.ok) << c.text;
        EXPECT_TRUE(text.filters.empty()) << c.text;
        EXPECT_EQ(c.line, text.line) << c.text;
        EXPECT_NE(std::string::npos, text.reason.find(c.reason)) << c.text << "\n" << text.reason;
        EXPECT_EQ("line " + std::to_string(c.line) + ": " + text.reason, text.Error());
    }
}

TEST(EqFilterTextTest, ExportWritesEveryTypeAndReadsBackTheSameBands) {
    BuildDefaultImage();
    // Echo B (set 3) holds a high-pass, five peaking bands and a high shelf.
    const std::string text = fx::FormatFilterText(3, g_PanelImage);
    EXPECT_EQ("Filter 1: ON HPQ Fc 200 Hz Q 0.707\n"
              "Filter 2: ON PK Fc 160 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 3: ON PK Fc 250 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 4: ON PK Fc 500 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 5: ON PK Fc 1000 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 6: ON PK Fc 2300 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 7: ON HSC Fc 5000 Hz Gain 3.0 dB Q 0.707\n",
              text);

    // In Reverb B every user type and an OFF band survive a round trip (the OFF band's
    // place is taken by the next filter; the set keeps its response).
    const std::vector<EqBandRecord> bands = {{-3.5, 40, 0.5, EQ_LS},   {2.0, 12000, 1.2, EQ_HS},
                                             {0, 60, 0.71, EQ_HP},     {4.0, 250, 0.9, EQ_OFF},
                                             {0, 15000, 1.0, EQ_LP},   {-12.3, 1234, 17.5, EQ_PEQ},
                                             {0.1, 20000, 0.1, EQ_PEQ}};
    for (size_t band = 0; band < bands.size(); ++band)
        EncodeEqBandRecord(bands[band], g_PanelImage + EqBandOffset(5, band));
    const fx::FilterText back =
        fx::ParseFilterText(fx::FormatFilterText(5, g_PanelImage), fx::FilterBandCount(5));
    ASSERT_TRUE(back.ok) << back.Error();
    ExpectBands({bands[0], bands[1], bands[2], bands[4], bands[5], bands[6]}, back.filters);
}

TEST(EqFilterTextTest, ImportWritesTheBandRecordsOfTheSet) {
    BuildDefaultImage();
    const fx::FilterText text = fx::ParseFilterText(Fixture("room-filters.txt"), 10);
    ASSERT_TRUE(text.ok) << text.Error();
    fx::ApplyImportedBands(12, {text.filters.begin(), text.filters.begin() + 4});
    // CH 6 takes six filters; its crossover band and sections stay as they were.
    std::vector<EqBandRecord> written;
    for (int band = 0; band < 10; ++band)
        written.push_back(DecodeEqBandRecord(g_PanelImage + EqBandOffset(12, band)));
    ExpectBands({kRoomFilters[0],
                 kRoomFilters[1],
                 kRoomFilters[2],
                 kRoomFilters[3],
                 {0, 500, 1.41, EQ_PEQ},
                 {0, 1000, 1.41, EQ_PEQ},
                 {0, 100, 0.707, 18},
                 {0, 100, 0.707, 20},
                 {0, 100, 0.707, EQ_PEQ},
                 {0, 100, 0.707, EQ_PEQ}},
                written);
}

} // namespace
