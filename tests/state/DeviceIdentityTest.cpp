#include "StateTestSupport.h"

#include "state/DeviceIdentity.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class DeviceIdentityTest : public ::testing::Test {
protected:
    void SetUp() override { ResetIdentityToDefaults(); }
    void TearDown() override { ResetIdentityToDefaults(); }
};

TEST_F(DeviceIdentityTest, StartUpDefaultsAreAnUnlistedModel) {
    EXPECT_EQ(17, g_Identity().commandSetVersion);
    EXPECT_STREQ("ELM19", g_Identity().moduleName);
    EXPECT_FALSE(IsKnownModel());
    EXPECT_FALSE(IsCompatible());
    EXPECT_EQ(512, MusicInputDialogFor());
}

TEST_F(DeviceIdentityTest, CompatibilityNeedsAnExactNameAndVersion19) {
    struct Case {
        const char* name;
        int version;
        bool known, compatible;
    };
    const Case cases[] = {
        {"ARN63", 19, true, true},      {"ARN52", 19, true, true},  {"ARN70", 19, true, true},
        {"ARN41", 19, true, true},      {"DSW418", 19, true, true}, {"BRK63", 19, true, true},
        {"CRL63MK", 19, true, true},    {"ARN63", 18, true, false}, {"arn63", 19, false, false},
        {"ARN63 ", 19, false, false},   {"ARN6", 19, false, false}, {"", 19, false, false},
        {"CRL63MKX", 19, false, false},
    };
    for (const Case& c : cases) {
        SetTestIdentity(c.name, c.version);
        EXPECT_EQ(c.known, IsKnownModel()) << c.name;
        EXPECT_EQ(c.compatible, IsCompatible()) << c.name << " " << c.version;
    }
}

TEST_F(DeviceIdentityTest, AModuleNameFillingTheWholeFieldIsReadWithinIt) {
    std::memset(g_Identity().moduleName, 'A', sizeof g_Identity().moduleName); // no terminator
    EXPECT_FALSE(IsKnownModel());
    EXPECT_EQ(32u, ModuleNameText().size());
}

TEST_F(DeviceIdentityTest, InputSourceClampFollowsTheModelTable) {
    struct Case {
        const char* model;
        uint8_t in, out;
    };
    const Case cases[] = {
        {"ARN63", 7, 0},     {"ARN63", 11, 11}, {"ARN63", 5, 5},   {"ARN52", 7, 11},
        {"ARN52", 0, 11},    {"ARN52", 6, 6},   {"ARN70", 5, 0},   {"ARN70", 3, 3},
        {"ARN41", 8, 8},     {"ARN41", 6, 11},  {"DSW418", 11, 0}, {"BRK63", 7, 3},
        {"BRK63", 6, 6},     {"CRL63MK", 4, 3}, {"CRL63MK", 1, 1}, {"ELM19", 7, 7},
        {"arn63", 200, 200},
    };
    for (const Case& c : cases) {
        SetTestIdentity(c.model, 19);
        EXPECT_EQ(c.out, ClampInputSource(c.in)) << c.model << " " << int(c.in);
    }
}

TEST_F(DeviceIdentityTest, MusicInputDialogPerModel) {
    const std::pair<const char*, int> cases[] = {
        {"ARN63", 530},  {"ARN52", 529}, {"ARN70", 527},   {"ARN41", 528},
        {"DSW418", 512}, {"BRK63", 532}, {"CRL63MK", 534}, {"XYZ", 512},
    };
    for (const auto& [model, dialog] : cases)
        EXPECT_EQ(dialog, MusicInputDialogFor(model)) << model;
}

TEST_F(DeviceIdentityTest, AboutBoxTexts) {
    SetTestIdentity("ARN63", 19);
    std::strcpy(g_Identity().firstVersion, "2019-06-18");
    std::strcpy(g_Identity().secondVersion, "2019-07-02");
    EXPECT_EQ("MCU Ver:2019-06-18 CMD Ver:01", AboutMcuText());
    EXPECT_EQ("DSP Ver:2019-07-02", AboutDspText());
    EXPECT_EQ("Module:ARN63", AboutModuleText());
    g_Identity().commandSetVersion = 18;
    EXPECT_EQ("MCU Ver:2019-06-18 CMD Ver:00", AboutMcuText());
}

} // namespace
