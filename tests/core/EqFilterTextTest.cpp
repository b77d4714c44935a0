// The filter text of measurement programs: reading it into band records,
// refusing what the processor cannot do, and writing a set back out.
#include "state/EqFilterText.h"

#include "controls/EqModel.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <cstring>
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

// The fixture's twelve filter lines in the steps the image keeps (32.5 Hz
// rounds to 33 Hz, -5.25 dB to -5.3 dB): ten active peaking filters and two
// OFF ones (bands 3 and 8), which keep their values with their band off.
const std::vector<EqBandRecord> kRoomFilters = {
    {-7.2, 33, 4.2, 1},   {-4.0, 48, 6.0, 1},  {0.0, 61, 1.0, EQ_OFF}, {-9.5, 75, 5.1, 1},
    {3.0, 118, 2.5, 1},   {-5.3, 164, 8.0, 1}, {-2.0, 250, 1.414, 1},  {1.0, 390, 3.0, EQ_OFF},
    {-3.5, 1220, 0.9, 1}, {2.5, 3350, 1.2, 1}, {-1.5, 8000, 2.0, 1},   {-4.0, 15500, 0.707, 1},
};

std::vector<EqBandRecord> Records(const std::vector<fx::FilterLine>& filters) {
    std::vector<EqBandRecord> records;
    for (const fx::FilterLine& filter : filters) records.push_back(filter.record);
    return records;
}

TEST(EqFilterTextTest, AMeasurementExportSetsEachBandItNumbers) {
    const fx::FilterText text = fx::ParseFilterText(Fixture("room-filters.txt"), 15);
    ASSERT_TRUE(text.ok) << text.Error();
    ExpectBands(kRoomFilters, Records(text.filters));
    EXPECT_EQ(10, text.ActiveCount());
    ASSERT_TRUE(text.preampDb.has_value());
    EXPECT_DOUBLE_EQ(-6.5, *text.preampDb);
    EXPECT_EQ(2, text.preampLine);
    EXPECT_EQ(0, text.skippedLines) << "a comment is no skipped header";

    // Mic A has 15 bands: the last three, which no line names, are set flat
    // at their initial frequencies.
    std::vector<EqBandRecord> expected = kRoomFilters;
    for (double frequency : {6300, 10000, 16000})
        expected.push_back({0.0, frequency, 1.41, EQ_PEQ});
    ExpectBands(expected, fx::ImportedBands(0, text.filters));
}

// The export of a room-measurement program, header and all, into CH1's ten
// bands: the header is skipped and counted, OFF lines leave their bands
// off, a shelf's slope, kHz, a bandwidth in octaves and a notch are read.
TEST(EqFilterTextTest, AFullMeasurementExportWithItsHeader) {
    const fx::FilterText text = fx::ParseFilterText(Fixture("measurement-export.txt"), 10);
    ASSERT_TRUE(text.ok) << text.Error();
    EXPECT_EQ(6, text.skippedLines);
    ASSERT_TRUE(text.preampDb.has_value());
    EXPECT_DOUBLE_EQ(-5.5, *text.preampDb);
    EXPECT_EQ(5, text.ActiveCount());
    ExpectBands({{-6.0, 45, 5.0, EQ_PEQ},
                 {3.0, 80, 0.707, EQ_LS},
                 {0, 125, 1.41, EQ_OFF},
                 {-2.5, 1250, 4.323, EQ_PEQ}, // BW 0.333 octaves
                 {-1.5, 8000, 0.71, EQ_HS},
                 {0, 500, 1.0, EQ_OFF},
                 {-15.0, 120, 12.0, EQ_PEQ}, // the notch: the deepest cut a band makes
                 {0, 4000, 1.41, EQ_OFF},
                 {0, 8000, 1.41, EQ_OFF},
                 {0, 16000, 1.41, EQ_OFF}},
                fx::ImportedBands(7, text.filters));
}

// The form a system-wide equaliser reads: every type it writes, and the
// include it names is noted, not followed.
TEST(EqFilterTextTest, ASystemEqualiserConfigurationWithEveryType) {
    const fx::FilterText text = fx::ParseFilterText(Fixture("system-equaliser.txt"), 10);
    ASSERT_TRUE(text.ok) << text.Error();
    EXPECT_EQ(std::vector<std::string>{"speaker-correction.txt"}, text.includes);
    EXPECT_EQ(0, text.skippedLines);
    ASSERT_TRUE(text.preampDb.has_value());
    EXPECT_DOUBLE_EQ(-3.0, *text.preampDb);
    ExpectBands({{-3.0, 100, 1.41, EQ_PEQ},
                 {4.5, 60, 0.8, EQ_LS},
                 {-2.0, 10000, 0.7, EQ_HS},
                 {0, 18000, 0.707, EQ_LP},
                 {0, 25, 0.5, EQ_HP},
                 {0, 300, 0.7, EQ_PEQ},      // all-pass: the same magnitude, flat
                 {-15.0, 2000, 30, EQ_PEQ},  // a notch with no Q: the narrowest band
                 {2.0, 3150, 1.414, EQ_PEQ}, // BW 1 octave
                 {0, 16000, 1.2, EQ_LP},
                 {0, 20, 0.707, EQ_HP}},
                fx::ImportedBands(6, text.filters));
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
                 {0, 35, 1.3, EQ_HP},
                 {0, 16000, 1.41, EQ_OFF}}, // "Filter:" takes the next band, None leaves it off
                fx::ImportedBands(6, text.filters));
    EXPECT_FALSE(text.preampDb.has_value());
}

// The spellings programs use for the same filter read the same.
TEST(EqFilterTextTest, UnitsSlopesAndNumberingAsProgramsWriteThem) {
    struct Case {
        const char* line;
        EqBandRecord band;
    };
    const Case cases[] = {
        {"Filter 1: ON PK Fc 1.5 kHz Gain -3 dB Q 2", {-3, 1500, 2, EQ_PEQ}},
        {"Filter 1: ON PEQ Fc 1.5kHz Gain -3dB Q 2", {-3, 1500, 2, EQ_PEQ}},
        {"Filter 1: ON PK Fc 1500 Hz Gain -3 dB BW 1 Oct", {-3, 1500, 1.414, EQ_PEQ}},
        {"Filter 1: ON PK Fc 1500 Hz Gain -3 dB BW Oct 2", {-3, 1500, 0.667, EQ_PEQ}},
        {"Filter 1: ON LS 6dB Fc 100 Hz Gain 2 dB", {2, 100, 0.707, EQ_LS}},
        {"Filter 1: ON HS 12 dB Fc 9 kHz Gain -2 dB Q 0.9", {-2, 9000, 0.9, EQ_HS}},
        {"Filter 1: ON LSC 12dB Fc 100 Hz Gain 2 dB Q 0.5", {2, 100, 0.5, EQ_LS}},
        {"Filter 1: ON notch Fc 60 Hz Q 10", {-15, 60, 10, EQ_PEQ}},
        {"Filter 1: ON AP Fc 60 Hz", {0, 60, 0.707, EQ_PEQ}},
    };
    for (const Case& c : cases) {
        const fx::FilterText text = fx::ParseFilterText(c.line, 10);
        ASSERT_TRUE(text.ok) << c.line << ": " << text.Error();
        ExpectBands({c.band}, Records(text.filters));
    }
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
                            "Filter 6: ON PK Fc 500 Hz Gain 1 dB Q 1\n";
    const Case cases[] = {
        {six.c_str(), 5, 6, "Filter 6 is past the 5 bands of the EQ set"},
        {"Filter: ON PK Fc 100 Hz Gain 1 dB Q 1\nFilter 1: OFF None", 10, 2,
         "band 1 given twice (first on line 1)"},
        {"Filter 0: ON PK Fc 100 Hz Gain 1 dB Q 1", 10, 1, "\"0\" is no filter number"},
        {"\n# band-pass\nFilter 1: ON BP Fc 100 Hz", 10, 3, "type BP has no equivalent"},
        {"Filter 1: ON BP Fc 100 Hz Q 2", 10, 1, "type BP has no equivalent"},
        {"Filter 1: ON Modal Fc 100 Hz Gain -3 dB Q 2", 10, 1, "type Modal has no equivalent"},
        {"Filter 1: ON PK 6dB Fc 100 Hz Gain 2 dB Q 1", 10, 1, "unexpected \"6dB\""},
        {"Filter 1: ON PK Fc 100 Hz Gain 15.5 dB Q 1", 10, 1, "Gain 15.5 dB is outside -15..+15"},
        {"Filter 1: ON PK Fc 100 Hz Gain -16 dB Q 1", 10, 1, "Gain -16 dB is outside -15..+15"},
        {"Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 31", 10, 1, "Q 31 is outside 0.1..30 for PK"},
        {"Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 0.05", 10, 1, "Q 0.05 is outside 0.1..30 for PK"},
        {"Filter 1: ON PK Fc 100 Hz Gain 1 dB BW Oct 20", 10, 1, "BW 20 octaves is no bandwidth"},
        {"Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1 BW 1", 10, 1, "Q and BW both given"},
        {"Filter 1: ON LSC Fc 100 Hz Gain 1 dB Q 2.5", 10, 1, "Q 2.5 is outside 0.1..2 for LSC"},
        {"Filter 1: ON HPQ Fc 100 Hz Q 3", 10, 1, "Q 3 is outside 0.1..2 for HPQ"},
        {"Filter 1: ON PK Fc 19 Hz Gain 1 dB Q 1", 10, 1, "Fc 19 Hz is outside 20..20000 Hz"},
        {"Filter 1: ON LP Fc 20001 Hz", 10, 1, "Fc 20001 Hz is outside 20..20000 Hz"},
        {"Filter 1: ON LP Fc 20.5 kHz", 10, 1, "Fc 20500 Hz is outside 20..20000 Hz"},
        {"Filter 1: ON LP Fc 100 Hz Gain 3 dB", 10, 1, "LP takes no gain"},
        {"Filter 1: ON NO Fc 100 Hz Gain -3 dB", 10, 1, "NO takes no gain"},
        {"Filter 1: ON PK Fc 100 Hz Gain 1 dB", 10, 1, "PK needs Q"},
        {"Filter 1: ON HS Fc 100 Hz", 10, 1, "HS needs Gain"},
        {"Filter 1: ON PK Gain 1 dB Q 1", 10, 1, "PK needs Fc"},
        {"Filter 1: ON PK Fc abc Hz Gain 1 dB Q 1", 10, 1, "Fc needs a number"},
        {"Filter 1: ON PK Fc 100 Hz Fc 200 Hz Gain 1 dB Q 1", 10, 1, "Fc given twice"},
        {"Filter 1: MAYBE PK Fc 100 Hz", 10, 1, "a filter is ON or OFF, not \"MAYBE\""},
        {"Filter 1:", 10, 1, "a filter needs ON or OFF and a type"},
        {"Preamp: loud\nFilter 1: OFF None", 10, 1, "Preamp needs a gain in dB"},
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

// A text with no filter line at all is no filter text, whatever else it holds;
// slots past the set that a longer equaliser leaves OFF are no reason to refuse.
TEST(EqFilterTextTest, NoFilterLineIsNoFilterText) {
    for (const char* text : {"", "Room EQ settings\nGain: 3 dB\n", "Preamp: -3 dB\n# only\n"}) {
        const fx::FilterText parsed = fx::ParseFilterText(text, 10);
        EXPECT_FALSE(parsed.ok) << text;
        EXPECT_EQ(0, parsed.line) << text;
        EXPECT_EQ("no filter line in it", parsed.Error()) << text;
    }
    const fx::FilterText unused = fx::ParseFilterText(
        "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1\nFilter 6: OFF None\nFilter 7: OFF None\n", 5);
    ASSERT_TRUE(unused.ok) << unused.Error();
    EXPECT_EQ(1u, unused.filters.size());
}

TEST(EqFilterTextTest, ExportWritesEveryTypeAndReadsBackTheSameBands) {
    BuildDefaultImage();
    // Echo B (set 3) holds a high-pass, five peaking bands and a high shelf.
    const std::string text = fx::FormatFilterText(3, g_PanelImage());
    EXPECT_EQ("Filter 1: ON HPQ Fc 200 Hz Q 0.707\n"
              "Filter 2: ON PK Fc 160 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 3: ON PK Fc 250 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 4: ON PK Fc 500 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 5: ON PK Fc 1000 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 6: ON PK Fc 2300 Hz Gain 0.0 dB Q 1.414\n"
              "Filter 7: ON HSC Fc 5000 Hz Gain 3.0 dB Q 0.707\n",
              text);

    // In Reverb B every user type and an OFF band survive a round trip, byte for
    // byte, each band in its place.
    const std::vector<EqBandRecord> bands = {{-3.5, 40, 0.5, EQ_LS},   {2.0, 12000, 1.2, EQ_HS},
                                             {0, 60, 0.71, EQ_HP},     {4.0, 250, 0.9, EQ_OFF},
                                             {0, 15000, 1.0, EQ_LP},   {-12.3, 1234, 17.5, EQ_PEQ},
                                             {0.1, 20000, 0.1, EQ_PEQ}};
    for (size_t band = 0; band < bands.size(); ++band)
        EncodeEqBandRecord(bands[band], g_PanelImage() + EqBandOffset(5, band));
    const fx::FilterText back =
        fx::ParseFilterText(fx::FormatFilterText(5, g_PanelImage()), fx::FilterBandCount(5));
    ASSERT_TRUE(back.ok) << back.Error();
    const std::vector<EqBandRecord> imported = fx::ImportedBands(5, back.filters);
    ASSERT_EQ(bands.size(), imported.size());
    for (size_t band = 0; band < bands.size(); ++band) {
        uint8_t written[kEqBandRecordSize], read[kEqBandRecordSize];
        EncodeEqBandRecord(bands[band], written);
        EncodeEqBandRecord(imported[band], read);
        EXPECT_EQ(0, std::memcmp(written, read, kEqBandRecordSize)) << "band " << band + 1;
    }
}

TEST(EqFilterTextTest, ImportWritesTheBandRecordsOfTheSet) {
    BuildDefaultImage();
    const fx::FilterText text = fx::ParseFilterText(Fixture("room-filters.txt"), 15);
    ASSERT_TRUE(text.ok) << text.Error();
    fx::ApplyImportedBands(12, {text.filters.begin(), text.filters.begin() + 4});
    // CH 6 takes six filters; its crossover band and sections stay as they were.
    std::vector<EqBandRecord> written;
    for (int band = 0; band < 10; ++band)
        written.push_back(DecodeEqBandRecord(g_PanelImage() + EqBandOffset(12, band)));
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
