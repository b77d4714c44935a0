#include "tests/gui/GuiTestSupport.h"

#include "link/CommandFrames.h"
#include "link/LinkState.h"
#include "modefile/ModeFile.h"
#include "shell/CHalvoxDoc.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStepSlider.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"

#include <QAbstractButton>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

namespace {
class ClosingTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        StartEditor();
        ASSERT_TRUE(WaitForRead());
    }

    // Closes the window answering the save question (if one comes) with the
    // button; returns the question's text, empty when none was asked.
    QString CloseAnswering(QMessageBox::StandardButton answer) {
        QString asked;
        ModalWatch watch = WatchModal<QMessageBox>(
            [&](QMessageBox* box) {
                asked = box->text();
                box->button(answer)->click();
            },
            2000);
        m_frame->close();
        Pump(100);
        return asked;
    }
};
} // namespace

TEST_F(ClosingTest, UnchangedParametersCloseWithoutAQuestion) {
    EXPECT_TRUE(CloseAnswering(QMessageBox::Cancel).isEmpty());
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_FALSE(g_bConnected());
    EXPECT_TRUE(
        m_sim->WaitForCommand(CMD_LET_GO, 2000)); // the simulator reads it on its own thread
}

TEST_F(ClosingTest, ChangedParametersAskAndCancelKeepsTheWindow) {
    Ribbon()->Slider(kLevelRows[ROW_MIC].slider[0])->setValue(30);
    ASSERT_TRUE(WaitUntil([] { return g_bParamsChanged().load(); })); // reply 9
    const QString asked = CloseAnswering(QMessageBox::Cancel);
    EXPECT_TRUE(asked.startsWith(QString::fromUtf8("参数已改动，请问是否需要保存?")));
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_TRUE(g_bConnected());

    EXPECT_FALSE(CloseAnswering(QMessageBox::No).isEmpty());
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_FALSE(g_bConnected());
}

TEST_F(ClosingTest, YesStoresTheModeAndWritesTheFile) {
    QTemporaryDir folder;
    const QString path = folder.filePath("preset.mode");
    m_frame->Document()->SetFileChooser([&](bool save) { return save ? path : QString(); });
    g_CurrentMode() = 1;
    Ribbon()->Slider(kLevelRows[ROW_MIC].slider[0])->setValue(30);
    ASSERT_TRUE(WaitUntil([] { return g_bParamsChanged().load(); }));
    m_sim->ClearCommandLog();
    // A slow processor still busy with the last move when the user closes:
    // the store must wait behind it, not be dropped with the outbox.
    SimFaults slow;
    slow.replyLatencyMs = 300;
    m_sim->SetFaults(slow);
    Ribbon()->Slider(kLevelRows[ROW_MIC].slider[0])->setValue(31);

    EXPECT_FALSE(CloseAnswering(QMessageBox::Yes).isEmpty());
    EXPECT_FALSE(m_frame->isVisible());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(kModeFileSize, file.size());
    bool stored = false;
    for (const SimRecord& record : m_sim->ReceivedCommands())
        if (record.size() >= 2 && record[0] == 4 && record[1] == 1) stored = true;
    EXPECT_TRUE(stored);
}
