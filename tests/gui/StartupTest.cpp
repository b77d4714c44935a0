#include "tests/gui/GuiTestSupport.h"

#include "link/CommandFrames.h"
#include "link/LinkClock.h"
#include "link/LinkState.h"
#include "link/ViewNotifier.h"
#include "pages/CHalvoxPage.h"
#include "pages/CPlaceholderPage.h"
#include "shell/CHalvoxView.h"
#include "shell/CInfoDlg.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStepSlider.h"
#include "shell/CSynDlg.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/StatusPoll.h"

#include <QCheckBox>
#include <QMessageBox>

#include <cstring>

namespace {
std::vector<QMessageBox*> VisibleBoxesWithText(const QString& text) {
    std::vector<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::allWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget);
            box && box->isVisible() && box->text() == text)
            boxes.push_back(box);
    return boxes;
}
} // namespace

using StartupTest = GuiFixture;

TEST_F(StartupTest, WithoutProcessorKeepsDefaultImageAndOnlyTheOpenTimerUntilPluggedIn) {
    StartEditor(/*plugged=*/false);
    Pump(800);

    EXPECT_FALSE(g_bConnected());
    EXPECT_TRUE(View()->TimerEverStarted(CHalvoxView::TIMER_OPEN_LINK));
    EXPECT_FALSE(View()->TimerEverStarted(CHalvoxView::TIMER_STATUS));
    EXPECT_FALSE(View()->TimerEverStarted(CHalvoxView::TIMER_PITCH));
    const auto& defaults = SimProcessor::DefaultImage();
    EXPECT_EQ(0, std::memcmp(g_ParamImage(), defaults.data(), kImageSize));
    ASSERT_NE(nullptr, View()->CurrentPage());
    EXPECT_EQ(PAGE_MUSIC, View()->CurrentPage()->PageId());
    EXPECT_EQ(50, Ribbon()->Slider(kLevelRows[ROW_MIC].slider[0])->value());
    EXPECT_EQ(0u, m_sim->CommandCount());

    // Plugging the processor in later runs the whole read.
    m_usb->Plug();
    ASSERT_TRUE(WaitForRead());
    EXPECT_TRUE(View()->IsTimerActive(CHalvoxView::TIMER_STATUS));
    EXPECT_TRUE(View()->IsTimerActive(CHalvoxView::TIMER_PITCH));
    EXPECT_TRUE(m_sim->WaitForCommand(48, 1000)); // the image was read
}

TEST_F(StartupTest, ReadRunsBehindTheSynchronisationDialogAndRefreshesTheRibbon) {
    SimProcessor::Image memory = SimProcessor::DefaultImage();
    const int mic = SimProcessor::FindDspValueOffset(memory, 1, 14);
    const int echoOn = SimProcessor::FindDspValueOffset(memory, 2, 29);
    ASSERT_GE(mic, 0);
    ASSERT_GE(echoOn, 0);
    WriteBigEndian32(memory.data() + mic, PercentToStored(33));
    WriteBigEndian32(memory.data() + echoOn, PercentToStored(0));
    m_sim->SetMemory(memory);
    SimFaults slow;
    slow.replyLatencyMs = 3; // long enough to see the dialog
    m_sim->SetFaults(slow);

    StartEditor();
    ASSERT_TRUE(WaitUntil([] { return CSynDlg::IsShown(); }));
    EXPECT_EQ(QString::fromUtf8("当前正在与机器同步数据,请稍候......"), CSynDlg::Current()->Text());
    ASSERT_TRUE(WaitForRead());

    for (int copy = 0; copy < 2; ++copy) {
        EXPECT_EQ(33, Ribbon()->Slider(kLevelRows[ROW_MIC].slider[copy])->value());
        EXPECT_EQ(QString::fromUtf8("话筒音量: 33"),
                  Ribbon()->ElementText(kLevelRows[ROW_MIC].label[copy]));
        EXPECT_TRUE(Ribbon()->CheckBox(kLevelRows[ROW_ECHO].mute[copy])->isChecked());
        EXPECT_FALSE(Ribbon()->CheckBox(kLevelRows[ROW_MIC].mute[copy])->isChecked());
    }
    EXPECT_EQ(QString::fromUtf8("设备已连接，同步中……"), View()->LastBalloonText());
}

TEST_F(StartupTest, UnknownModelIsRejectedAndDisconnectedWithOneBoxOnly) {
    SimIdentity identity;
    identity.moduleName = "XQ21";
    m_sim->SetIdentity(identity);
    StartEditor();

    const QString text = QString::fromUtf8("E:XQ21_13 机器型号不匹配!");
    ASSERT_TRUE(WaitUntil([&] { return !VisibleBoxesWithText(text).empty(); }));
    EXPECT_TRUE(WaitUntil([] { return !g_bConnected(); }));
    EXPECT_EQ(QString::fromUtf8("错误"), View()->MismatchBox()->windowTitle());
    EXPECT_FALSE(m_sim->WaitForCommand(48, 100)); // the image was never read
    EXPECT_TRUE(m_sim->LetGoReceived());
    EXPECT_FALSE(View()->IsTimerActive(CHalvoxView::TIMER_STATUS));

    // A second mismatch while the box is open opens no second box.
    m_sim->ClearCommandLog();
    m_usb->Unplug();
    m_usb->Plug();
    // The second read ends with the let-go of the second rejection.
    ASSERT_TRUE(WaitUntil([this] {
        for (const SimRecord& record : m_sim->ReceivedCommands())
            if (!record.empty() && record[0] == 138) return true;
        return false;
    }));
    Pump(100);
    EXPECT_EQ(1u, VisibleBoxesWithText(text).size());

    // Once closed, a new mismatch shows the box again.
    View()->MismatchBox()->close();
    Pump(50);
    m_usb->Unplug();
    m_usb->Plug();
    EXPECT_TRUE(WaitUntil([&] { return VisibleBoxesWithText(text).size() == 1; }));
}

TEST_F(StartupTest, ProcessorGoneBeforeItsIdentityShowsNoMismatch) {
    SimFaults silent;
    silent.silentAfterCommands = 0; // answers nothing
    m_sim->SetFaults(silent);
    StartEditor();
    ASSERT_TRUE(WaitUntil([] { return g_bConnected().load(); }));
    m_usb->Unplug();
    ASSERT_TRUE(WaitUntil([] { return !g_bConnected() && g_bJobIdle(); }));
    Pump(200);
    EXPECT_EQ(nullptr, View()->MismatchBox());
    EXPECT_FALSE(View()->IsTimerActive(CHalvoxView::TIMER_STATUS));
}

// A read the processor leaves unanswered replaces nothing: the pages keep
// what they showed, the editor says so and lets the processor go.
TEST_F(StartupTest, AnUnansweredReadKeepsTheImageSaysSoAndDisconnects) {
    struct FastLink {
        FastLink() { SetLinkClock(std::make_shared<ScaledLinkClock>(10)); }
        ~FastLink() { SetLinkClock(nullptr); }
    } fastLink;
    SimProcessor::Image memory = SimProcessor::DefaultImage();
    const int mic = SimProcessor::FindDspValueOffset(memory, 1, 14);
    WriteBigEndian32(memory.data() + mic, PercentToStored(33));
    m_sim->SetMemory(memory);
    m_sim->LoseRepliesTo({48, 0x0C, 0xE8, 46}); // the last image chunk, every time

    StartEditor();
    ASSERT_TRUE(WaitUntil([this] { return View()->JobFailureBox() != nullptr; }));
    EXPECT_EQ(QString::fromUtf8("设备没有应答，未能读取全部参数，连接已断开!"),
              View()->JobFailureBox()->text());
    EXPECT_TRUE(WaitUntil([] { return !g_bConnected(); }));
    EXPECT_TRUE(m_sim->WaitForCommand(CMD_LET_GO, 2000)); // read on the simulator's thread
    EXPECT_FALSE(CSynDlg::IsShown());
    EXPECT_FALSE(View()->IsTimerActive(CHalvoxView::TIMER_STATUS));
    EXPECT_EQ(0, std::memcmp(g_ParamImage(), SimProcessor::DefaultImage().data(), kImageSize));
    EXPECT_EQ(50, Ribbon()->Slider(kLevelRows[ROW_MIC].slider[0])->value());
    View()->JobFailureBox()->close();
}

TEST_F(StartupTest, WrongCommandSetVersionIsReportedAsVersionMismatch) {
    SimIdentity identity;
    identity.commandSetVersion = 18;
    m_sim->SetIdentity(identity);
    StartEditor();
    const QString text = QString::fromUtf8("E:ARN63_12 通信版本不匹配!");
    EXPECT_TRUE(WaitUntil([&] { return !VisibleBoxesWithText(text).empty(); }));
    EXPECT_TRUE(WaitUntil([] { return !g_bConnected(); }));
}

TEST_F(StartupTest, RemovalOfAnotherDeviceKeepsTheLinkAndOwnRemovalClosesIt) {
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    m_usb->SetForeignDeviceCount(1);
    m_usb->SetForeignDeviceCount(0);
    Pump(200);
    EXPECT_TRUE(g_bConnected());

    m_usb->Unplug();
    ASSERT_TRUE(WaitUntil([] { return !g_bConnected(); }));
    EXPECT_FALSE(View()->IsTimerActive(CHalvoxView::TIMER_STATUS));
    EXPECT_FALSE(View()->IsTimerActive(CHalvoxView::TIMER_PITCH));
    EXPECT_EQ(QString::fromUtf8("设备已断开!"), View()->LastBalloonText());

    m_usb->Plug();
    EXPECT_TRUE(WaitForRead());
}

TEST_F(StartupTest, StatusPollAsksForTheStatusWhileLinked) {
    g_bStatusPoll = true;
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    m_sim->ClearCommandLog();
    // The poll runs on this thread's timer, so wait while processing events.
    EXPECT_TRUE(WaitUntil(
        [this] {
            for (const SimRecord& record : m_sim->ReceivedCommands())
                if (!record.empty() && record[0] == 14) return true;
            return false;
        },
        3000));
}

TEST_F(StartupTest, CategoryChangeChoosesThePageAndKeepsTheOutputPageObject) {
    StartEditor(false);
    Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
    ASSERT_EQ(PAGE_OUTPUT, View()->CurrentPage()->PageId());
    CHalvoxPage* output = View()->CurrentPage();
    View()->ShowPage(PAGE_OUTPUT, 3);
    EXPECT_EQ(output, View()->CurrentPage());
    EXPECT_EQ(3, output->SubPage());
    Ribbon()->SetActiveCategory(CRibbonBar::kInputCategory);
    EXPECT_EQ(PAGE_MUSIC, View()->CurrentPage()->PageId());
    Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
    EXPECT_EQ(3, View()->CurrentPage()->SubPage()); // the last output channel
    View()->ShowPage(999, 0);                       // unknown pages do nothing
    EXPECT_EQ(PAGE_OUTPUT, View()->CurrentPage()->PageId());
}

TEST_F(StartupTest, HostTimeoutAndHostBusyMessages) {
    StartEditor(false);
    PostToView(WM_NET_TIMEOUT);
    const QString timeout = QString::fromUtf8("主机超时，网络断开!");
    ASSERT_TRUE(WaitUntil([&] { return !VisibleBoxesWithText(timeout).empty(); }));
    EXPECT_EQ(QString::fromUtf8("效果器调音软件v1.2"),
              VisibleBoxesWithText(timeout)[0]->windowTitle());
    VisibleBoxesWithText(timeout)[0]->close();

    CSynDlg::ShowSyncDialog(QString());
    PostToView(WM_HOST_BUSY);
    ASSERT_TRUE(WaitUntil([] { return CInfoDlg::Current() != nullptr; }));
    EXPECT_FALSE(CSynDlg::IsShown());
    EXPECT_EQ(QString::fromUtf8("主机已连接其他设备，请先断开!"), CInfoDlg::Current()->Text());
}
