#include "GuiTestSupport.h"
#include "state/StateTestSupport.h"

#include "link/SendWorker.h"
#include "pages/CModeCommands.h"
#include "state/MachineModes.h"
#include "state/ParamStore.h"

#include <QObject>

// The window's machine mode commands: their questions and notices in both
// languages, and the records the send thread posts for them (no processor).
namespace {

class ModeCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceState();
        g_bConnected() = true;
    }
    void TearDown() override {
        sender.WaitIdle();
        ResetDeviceState();
    }

    // What went out once the send thread ran what was asked for.
    std::vector<std::vector<uint8_t>> Sent() {
        sender.WaitIdle();
        std::vector<std::vector<uint8_t>> sent;
        for (auto record : transport.Records()) {
            while (record.size() > 1 && record.back() == 0) record.pop_back();
            sent.push_back(record);
        }
        return sent;
    }

    RecordingTransport transport;
    RecordingSettings settings;
    fx::SendWorker sender;
    QObject context;
    CModeCommands commands{sender, fx::Store(), &context};
};

TEST_F(ModeCommandsTest, NothingWithoutALink) {
    RecordingJobUi ui{1, true};
    g_bConnected() = false;
    commands.Load(1);
    EXPECT_FALSE(commands.Store(1));
    commands.ResetMode(1);
    EXPECT_FALSE(commands.ResetProcessor());
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.syncDialogs.empty());
    EXPECT_TRUE(g_bJobIdle());
}

TEST_F(ModeCommandsTest, ChangedParametersAskBeforeLoading) {
    struct Case {
        int language;
        bool answer;
        const char* question;
        const char* caption;
    };
    const Case cases[] = {
        {1, false, "Setting changed ! Are you sure load mode2?", "Information"},
        {0, false, "参数已更改，确定要直接载入模式二?", "信息"},
        {1, true, "Setting changed ! Are you sure load mode2?", "Information"},
    };
    for (const Case& c : cases) {
        RecordingJobUi ui{c.language, c.answer};
        const size_t before = Sent().size();
        g_bParamsChanged() = true;
        g_bJobIdle() = true;
        commands.Load(1);
        ASSERT_EQ(1u, ui.questions.size());
        EXPECT_EQ(c.question, ui.questions[0].text);
        EXPECT_EQ(c.caption, ui.questions[0].caption);
        EXPECT_EQ(c.answer ? before + 1 : before, Sent().size());
        EXPECT_EQ(!c.answer, g_bJobIdle().load()) << "a load clears it until its read ends";
        EXPECT_EQ(c.answer ? 1u : 0u, ui.syncDialogs.size());
    }
    EXPECT_EQ((std::vector<uint8_t>{5, 1}), Sent().back());
}

TEST_F(ModeCommandsTest, UnchangedParametersLoadAndResetWithoutAQuestion) {
    RecordingJobUi ui{1, false};
    commands.Load(3);
    commands.ResetMode(1);
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{{5, 3}, {6, 1}}), Sent());
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ((std::vector<std::string>{"", ""}), ui.syncDialogs);
}

TEST_F(ModeCommandsTest, StoreTextsInBothLanguagesAndRefusal) {
    struct Case {
        int language;
        int mode;
        const char* question;
        const char* caption;
        const char* notice;
    };
    const Case cases[] = {
        {1, 2, "Save to machine mode 3?", "Information", "Saving Mode 3 ……"},
        {0, 3, "确定要保存至机器模式四?", "信息", "正在储存模式四,请稍等"},
    };
    for (const Case& c : cases) {
        RecordingJobUi ui{c.language, true};
        g_bParamsChanged() = true;
        ASSERT_TRUE(commands.Store(c.mode));
        EXPECT_EQ(c.question, ui.questions.at(0).text);
        EXPECT_EQ(c.caption, ui.questions.at(0).caption);
        EXPECT_TRUE(ui.infos.empty()) << "the notice comes a moment after the store";
        ASSERT_TRUE(WaitUntil([&] { return !ui.infos.empty(); }));
        EXPECT_EQ(c.notice, ui.infos[0].text);
        EXPECT_EQ(CModeCommands::kSavingNoticeMs, ui.infos[0].milliseconds);
        EXPECT_FALSE(g_bParamsChanged());
        EXPECT_EQ(c.mode, g_CurrentMode());
    }
    {
        RecordingJobUi ui{1, false};
        g_bParamsChanged() = true;
        EXPECT_FALSE(commands.Store(0));
        Pump(CModeCommands::kAfterStoreMs + 100);
        EXPECT_TRUE(g_bParamsChanged());
        EXPECT_TRUE(ui.infos.empty());
    }
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{{4, 2}, {4, 3}}), Sent());
}

TEST_F(ModeCommandsTest, ProcessorResetAsksThenResetsAndResetsTheLinkFlags) {
    {
        RecordingJobUi ui{1, false};
        EXPECT_FALSE(commands.ResetProcessor());
        EXPECT_EQ("Are you sure reset machine? ", ui.questions.at(0).text);
        EXPECT_EQ("提示", ui.questions.at(0).caption);
        EXPECT_EQ(0, settings.resets);
    }
    RecordingJobUi ui{0, true};
    EXPECT_TRUE(commands.ResetProcessor());
    EXPECT_EQ("您确定要将机器复位吗? \n机器复位后请手动重启机器.", ui.questions.at(0).text);
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{{104, 0xAA}}), Sent());
    EXPECT_EQ(1, settings.resets) << "before the page is reloaded";
    ASSERT_EQ(1u, ui.infos.size());
    EXPECT_EQ("请手动重启……", ui.infos[0].text);
    EXPECT_EQ(CModeCommands::kRestartNoticeMs, ui.infos[0].milliseconds);
}

TEST_F(ModeCommandsTest, CommandIdsMapToTheActions) {
    RecordingJobUi ui{1, true};
    EXPECT_TRUE(commands.Handle(32913)); // load M4
    EXPECT_TRUE(commands.Handle(32914)); // store M1
    EXPECT_TRUE(commands.Handle(32824)); // reset M2
    EXPECT_FALSE(commands.Handle(32918));
    EXPECT_FALSE(commands.Handle(32822));
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{{5, 3}, {4}, {6, 1}}), Sent());
}

TEST_F(ModeCommandsTest, WrittenFileIsAnnouncedThenStoredInOrderBehindALoad) {
    RecordingJobUi ui{1, true};
    commands.Load(0);
    commands.StoreWrittenFile(2);
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{{5}, {3, 2}, {4, 2}}), Sent());
    EXPECT_TRUE(ui.questions.empty());
}

} // namespace
