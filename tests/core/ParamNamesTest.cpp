// The parameter names: every byte of the image named once (found by walking
// the image itself), and names and values as the pages show them.
#include "state/ParamNames.h"

#include "controls/EqModel.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using fx::kLanguageChinese;
using fx::kLanguageEnglish;

class ParamNamesTest : public ::testing::Test {
protected:
    void SetUp() override { BuildDefaultImage(); }
};

// Walks the DSP record chain of the image and its panel area byte by byte:
// every value byte and every panel byte belongs to exactly one item, no head
// byte to any, and every EQ band slot of every set is one item of its own.
TEST_F(ParamNamesTest, EveryByteOfTheImageIsNamedOnce) {
    std::vector<int> owners(kImageSize, 0);
    for (const fx::ParamItem& item : fx::ParamItems()) {
        for (int i = 0; i < item.size; ++i) ++owners[item.offset + i];
    }
    for (int offset = 0; offset < kPanelSize; ++offset)
        ASSERT_EQ(1, owners[offset]) << "panel byte " << offset;

    int records = 0;
    const int end = WalkDspRecords(g_ParamImage(), [&](const DspRecordView& record) {
        ++records;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(0, owners[record.offset + i]) << "head byte at " << record.offset;
        for (int i = 3; i < 3 + 4 * record.count; ++i) {
            EXPECT_EQ(1, owners[record.offset + i]) << "value byte at " << record.offset + i;
            const fx::ParamItem* item = fx::FindParamItemAt(record.offset + i);
            if (item == nullptr) continue;
            EXPECT_EQ(record.block, item->block) << item->names[1];
            EXPECT_EQ(record.parameter, item->parameter) << item->names[1];
        }
        return true;
    });
    EXPECT_EQ(kImageSize, end);
    EXPECT_EQ(kDspRecordCount, records);

    for (int set = 0; set < kEqSetCount; ++set) {
        for (int band = 0; band < EqSetSlots(set); ++band) {
            const fx::ParamItem* item = fx::FindEqBandItem(set, band);
            ASSERT_NE(nullptr, item) << set << "/" << band;
            EXPECT_EQ(EqBandOffset(set, band), item->offset);
            EXPECT_EQ(kEqBandRecordSize, item->size);
            EXPECT_EQ(set, item->eqSet);
            EXPECT_EQ(band, item->eqBand);
        }
    }
}

// Names are what a diff line and a script key on: none empty, none twice,
// and every item shows a value in both languages.
TEST_F(ParamNamesTest, NamesAreUniqueAndEveryValueReads) {
    for (int language : {kLanguageChinese, kLanguageEnglish}) {
        std::set<std::string> seen;
        for (const fx::ParamItem& item : fx::ParamItems()) {
            const std::string& name = item.Name(language);
            EXPECT_FALSE(name.empty()) << "item at " << item.offset;
            EXPECT_EQ(name.find("%s"), std::string::npos) << name;
            EXPECT_TRUE(seen.insert(name).second) << "twice: " << name;
            EXPECT_FALSE(fx::ReadParamValue(item, g_ParamImage(), language).text.empty()) << name;
        }
    }
}

struct NamedValue {
    int block, parameter, valueIndex; // block -1: EQ set parameter, band valueIndex
    const char* en;
    const char* zh;
    const char* enValue;
    const char* zhValue;
};

// Names and default values, the way the pages word and show them.
TEST_F(ParamNamesTest, NamesAndValuesOfTheDefaultImage) {
    const NamedValue cases[] = {
        {7, 15, 0, "CH 3 delay", "通道3延时", "1.33 ms", "1.33 ms"},
        {13, 10, 0, "Recording compressor threshold", "录音压限阈值", "0 dB", "0 dB"},
        {10, 24, 2, "CH 6 compressor ratio", "通道6压限衰减比例", "30.0:1", "30.0:1"},
        {10, 24, 5, "CH 6 compressor attack time", "通道6压限启动时间", "1 ms", "1 ms"},
        {10, 24, 6, "CH 6 compressor release time", "通道6压限释放时间", "100 ms", "100 ms"},
        {4, 23, 0, "Music input source", "音乐输入源", "HDMI1", "HDMI1"},
        {4, 35, 0, "Music input AUX1 level", "音源AUX1电平", "100 %", "100 %"},
        {5, 13, 0, "CH 1 source", "通道1信号源", "CH-L", "前置左"},
        {5, 14, 0, "CH 1 delay mode", "通道1延时模式", "Channel delay", "通道延时"},
        {5, 16, 0, "CH 1 Delay Switch", "通道1延时开关", "off", "关"},
        {5, 22, 0, "CH 1 phase", "通道1相位", "0°", "0°"},
        {1, 14, 0, "Mic Vol", "话筒音量", "50 %", "50 %"},
        {1, 15, 0, "Mic Vol mute", "话筒音量静音", "off", "关"},
        {1, 38, 0, "Mic A shift frequency", "话筒A移频", "5.0 Hz", "5.0 Hz"},
        {2, 11, 0, "Mic A Echo Time", "话筒A回声间隔", "247.0 ms", "247.0 ms"},
        {2, 22, 0, "Mic B Echo Type", "话筒B回声类型", "Mono", "单声回声"},
        {3, 10, 0, "Mic A Reverb Time", "话筒A混响时长", "2818 ms", "2818 ms"},
        {4, 21, 0, "Music Pitch", "音乐变调", "+0", "+0"},
        {14, 4, 0, "Mic Exciter HighF", "话筒激励高频", "3200 Hz", "3200 Hz"},
        {-1, 0, 4, "Mic A EQ band 5", "话筒A均衡频段5", "PEQ 160 Hz +0.0 dB Q 1.414",
         "参量 160 Hz +0.0 dB Q 1.414"},
        {-1, 3, 6, "Echo B EQ band 7", "回声B均衡频段7", "HS 5000 Hz +3.0 dB Q 0.707",
         "高架 5000 Hz +3.0 dB Q 0.707"},
        {-1, 12, 8, "CH 6 EQ band 7 section 3", "通道6均衡频段7分节3", "PEQ 100 Hz +0.0 dB Q 0.707",
         "参量 100 Hz +0.0 dB Q 0.707"},
        {-1, 9, 10, "CH 3 delay split high-pass", "通道3高频延时分频高通",
         "PEQ 500 Hz +0.0 dB Q 0.707", "参量 500 Hz +0.0 dB Q 0.707"},
    };
    for (const NamedValue& c : cases) {
        const fx::ParamItem* item = c.block < 0
                                        ? fx::FindEqBandItem(c.parameter, c.valueIndex)
                                        : fx::FindDspParamItem(c.block, c.parameter, c.valueIndex);
        ASSERT_NE(nullptr, item) << c.en;
        EXPECT_EQ(c.en, item->Name(kLanguageEnglish));
        EXPECT_EQ(c.zh, item->Name(kLanguageChinese));
        EXPECT_EQ(c.enValue, fx::ReadParamValue(*item, g_ParamImage(), kLanguageEnglish).text)
            << c.en;
        EXPECT_EQ(c.zhValue, fx::ReadParamValue(*item, g_ParamImage(), kLanguageChinese).text)
            << c.en;
    }
    const fx::ParamItem* listener = fx::FindParamItemAt(kSurroundLayoutOffset + 4);
    ASSERT_NE(nullptr, listener);
    EXPECT_EQ("Speaker L position", listener->Name(kLanguageEnglish));
    EXPECT_EQ("-1.0 m, +1.0 m", fx::ReadParamValue(*listener, g_ParamImage(), 1).text);
}

} // namespace

// A set and a band type as a person types them: the number, or the name the
// pages and diff print, in either language, without regard to case, spaces
// or punctuation.
TEST(EqSetAndTypeText, NamesAndNumbersAsTyped) {
    const struct {
        const char* text;
        int set;
    } sets[] = {{"0", 0},        {"15", 15},       {"mic-a", 0},     {"Mic A EQ", 0},
                {"MICB", 1},     {"echo-a", 2},    {"Echo B EQ", 3}, {"reverb-a", 4},
                {"reverb b", 5}, {"music", 6},     {"ch1", 7},       {"CH 3", 9},
                {"CH 3 EQ", 9},  {"ch-8", 14},     {"rec", 15},      {"Recording", 15},
                {"通道3", 9},    {"话筒A均衡", 0}, {"录音", 15},     {"16", -1},
                {"-1", -1},      {"ch9", -1},      {"ch0", -1},      {"", -1},
                {"mic", -1},     {"0x1", -1},      {"7 ", -1},       {"eq", -1}};
    for (const auto& c : sets) EXPECT_EQ(c.set, fx::EqSetFromText(c.text)) << c.text;
    for (int set = 0; set < kEqSetCount; ++set) {
        for (int language : {kLanguageChinese, kLanguageEnglish})
            EXPECT_EQ(set, fx::EqSetFromText(fx::EqSetName(set, language))) << set;
    }
    const struct {
        const char* text;
        int type;
    } types[] = {{"0", 0},   {"5", 5},   {"off", 0}, {"PEQ", 1},  {"lp", 2},
                 {"HP", 3},  {"ls", 4},  {"hs", 5},  {"高通", 3}, {"6", -1},
                 {"18", -1}, {"BP", -1}, {"", -1},   {"1.0", -1}};
    for (const auto& c : types) EXPECT_EQ(c.type, fx::EqTypeFromText(c.text)) << c.text;
}

// Every item is found by each of its names, however typed; no two items fold
// to one name.
TEST(ParamItemByName, EveryItemByItsNames) {
    for (const fx::ParamItem& item : fx::ParamItems()) {
        for (int language : {kLanguageChinese, kLanguageEnglish})
            EXPECT_EQ(&item, fx::FindParamItemByName(item.Name(language))) << item.Name(language);
    }
    const fx::ParamItem* delay = fx::FindDspParamItem(7, 15);
    EXPECT_EQ(delay, fx::FindParamItemByName("ch3 DELAY"));
    EXPECT_EQ(delay, fx::FindParamItemByName("  CH-3 delay "));
    EXPECT_EQ(nullptr, fx::FindParamItemByName("CH 9 delay"));
    EXPECT_EQ(nullptr, fx::FindParamItemByName(""));
}
