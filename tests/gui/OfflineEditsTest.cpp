#include "tests/gui/GuiTestSupport.h"

#include "link/LinkState.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/CRibbonStepSlider.h"
#include "state/ParamImage.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

// Edits made while no processor is connected are not lost silently: the
// status bar says the editor is offline, and once a processor has been read
// the user keeps its values or writes the editor's to it.
namespace {
constexpr int kMicSliderIn = 32829; // microphone level, DSP block 1 parameter 14
constexpr int kMicDefault = 50;
constexpr int kMicEdited = 63;

class OfflineEditsTest : public GuiFixture {
protected:
    int ProcessorMicLevel() const {
        const int offset = FindDspParam(1, 14)->imageOffset;
        const auto& memory = m_sim->Memory();
        const uint32_t stored = (uint32_t(memory[offset]) << 24) |
                                (uint32_t(memory[offset + 1]) << 16) |
                                (uint32_t(memory[offset + 2]) << 8) | memory[offset + 3];
        return PercentFromStored(stored);
    }
};
} // namespace

TEST_F(OfflineEditsTest, AfterTheReadTheUserKeepsTheProcessorsValuesOrWritesTheEditors) {
    const struct {
        bool editOffline;
        const char* answer; // the question's button, or nullptr: no question expected
        int editorAfter;
        int processorAfter;
    } cases[] = {
        {false, nullptr, kMicDefault, kMicDefault},
        {true, "keepProcessorValues", kMicDefault, kMicDefault},
        {true, "writeEditorValues", kMicEdited, kMicEdited},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer ? c.answer : "no edit");
        StartEditor(false);
        EXPECT_FALSE(m_frame->StatusBar()->OfflineNotice()->isHidden());
        if (c.editOffline) Ribbon()->Slider(kMicSliderIn)->setValue(kMicEdited);
        EXPECT_EQ(c.editOffline ? kMicEdited : kMicDefault, int(GetDspParam(1, 14)));

        m_usb->Plug();
        ASSERT_TRUE(WaitForRead());
        if (c.answer) {
            ASSERT_TRUE(WaitUntil([&] { return View()->OfflineQuestion() != nullptr; }));
            EXPECT_EQ(kMicDefault, int(GetDspParam(1, 14))); // the processor's, read
            auto* button = View()->OfflineQuestion()->findChild<QPushButton*>(c.answer);
            ASSERT_NE(nullptr, button);
            button->click();
            ASSERT_TRUE(WaitForRead());
        } else {
            Pump(100);
            EXPECT_EQ(nullptr, View()->OfflineQuestion());
        }
        EXPECT_TRUE(WaitUntil([&] { return ProcessorMicLevel() == c.processorAfter; }));
        EXPECT_EQ(c.editorAfter, int(GetDspParam(1, 14)));
        EXPECT_EQ(c.editorAfter, Ribbon()->Slider(kMicSliderIn)->value());
        View()->UpdateStatusBar();
        EXPECT_TRUE(m_frame->StatusBar()->OfflineNotice()->isHidden());
        TearDown();
        SetUp();
    }
}

// Edits made while connected reached the processor: a new link asks nothing.
TEST_F(OfflineEditsTest, EditsMadeWhileConnectedAskNothingOnTheNextLink) {
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    Ribbon()->Slider(kMicSliderIn)->setValue(kMicEdited);
    ASSERT_TRUE(WaitUntil([&] { return ProcessorMicLevel() == kMicEdited; }));
    View()->UpdateStatusBar();
    m_usb->Unplug();
    ASSERT_TRUE(WaitUntil([] { return !g_bConnected(); }));
    m_usb->Plug();
    ASSERT_TRUE(WaitForRead());
    Pump(100);
    EXPECT_EQ(nullptr, View()->OfflineQuestion());
    EXPECT_EQ(kMicEdited, int(GetDspParam(1, 14)));
}
