// Channel links hold on every page that edits a linked setting: with CH 1
// and CH 2 linked, each gesture on CH 1 leaves CH 2 with the same setting,
// as one undo step, and undoing it puts both back.
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CDelayPanel.h"
#include "controls/CEqPanel.h"
#include "controls/CSpinButton.h"
#include "controls/CXBmpSlider.h"
#include "pages/CCompDlg.h"
#include "pages/CCompressorSection.h"
#include "pages/CDelayDlg.h"
#include "pages/CDialogOutput.h"
#include "pages/CEqEditor.h"
#include "shell/CEditHistory.h"
#include "shell/CHalvoxView.h"
#include "state/ChannelLinks.h"
#include "state/Compressor.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/PresetDiff.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QUndoStack>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Setting = CCompressorSection::Setting;

Bytes DspBytes(int channel, int parameter) {
    const int block = OutputBlock(channel);
    const DspParamEntry* entry = FindDspParam(block, parameter);
    const int offset = DspRecordValueOffset(block, parameter);
    return Bytes(g_ParamImage() + offset, g_ParamImage() + offset + 4 * entry->valueCount);
}

Bytes BandBytes(int channel, std::initializer_list<int> bands) {
    Bytes bytes;
    for (int band : bands) {
        const uint8_t* record = g_PanelImage() + EqBandOffset(OutputEqSet(channel), band);
        bytes.insert(bytes.end(), record, record + kEqBandRecordSize);
    }
    return bytes;
}

// A gesture on a page showing CH 1, and the channel's bytes it changes.
struct LinkedGesture {
    const char* name;
    int page;
    std::function<void(CHalvoxPage* page)> gesture;
    std::function<Bytes(int channel)> field;
    // Before the gesture, on both channels, not an undo step of its own.
    std::function<void()> prepare = {};
};

std::function<Bytes(int)> Dsp(int parameter) {
    return [parameter](int channel) { return DspBytes(channel, parameter); };
}

CCompressorSection& OutputCompressor(CHalvoxPage* page) {
    return qobject_cast<CDialogOutput*>(page)->Compressor();
}

void DelayOnWholeChannel() {
    fx::SetLinkedDspParam(OutputBlock(0), OUT_DELAY_BYPASS, 0);
    fx::SetLinkedDelayMode(0, true);
}

void DelayOnInHighBand() {
    fx::SetLinkedDspParam(OutputBlock(0), OUT_DELAY_BYPASS, 0);
    fx::SetLinkedDelayMode(0, false);
}

const std::vector<LinkedGesture>& Gestures() {
    static const std::vector<LinkedGesture> gestures = {
        // The channel page.
        {"output: direct level", PAGE_OUTPUT,
         [](CHalvoxPage* p) { StepSliderTo(qobject_cast<CDialogOutput*>(p)->LevelSlider(0), 40); },
         Dsp(OUT_LEVEL_FIRST)},
        {"output: delay switch", PAGE_OUTPUT,
         [](CHalvoxPage* p) { Ctrl<QCheckBox>(p, IDC_OUT_DELAY_SWITCH)->click(); },
         Dsp(OUT_DELAY_BYPASS)},
        {"output: high-band delay", PAGE_OUTPUT,
         [](CHalvoxPage* p) { Ctrl<QRadioButton>(p, IDC_OUT_HIGH_BAND)->click(); },
         [](int ch) { return DspBytes(ch, OUT_DELAY_MODE); }, DelayOnWholeChannel},
        {"output: split frequency", PAGE_OUTPUT,
         [](CHalvoxPage* p) { StepSliderTo(qobject_cast<CDialogOutput*>(p)->SplitSlider(), 9); },
         [](int ch) {
             return BandBytes(ch, {kSplitLowSlot, kSplitHighSlot});
         },
         DelayOnInHighBand},
        {"output: delay time", PAGE_OUTPUT,
         [](CHalvoxPage* p) { StepSliderTo(qobject_cast<CDialogOutput*>(p)->DelaySlider(), 500); },
         Dsp(OUT_DELAY_TIME)},
        {"output: compressor switch", PAGE_OUTPUT,
         [](CHalvoxPage* p) { OutputCompressor(p).Switch()->click(); }, Dsp(OUT_COMPRESSOR_BYPASS)},
        {"output: threshold", PAGE_OUTPUT,
         [](CHalvoxPage* p) { StepSliderTo(OutputCompressor(p).Slider(Setting::Threshold), -31); },
         Dsp(OUT_COMPRESSOR)},
        {"output: EQ band drag", PAGE_OUTPUT,
         [](CHalvoxPage* p) {
             CEqPanel* graph = qobject_cast<CDialogOutput*>(p)->Eq().Graph();
             const QPointF handle = graph->HandleCentre(3);
             Drag(graph, handle, handle + QPointF(30, -25));
         },
         [](int ch) { return BandBytes(ch, {3}); }},
        {"output: EQ switch", PAGE_OUTPUT, [](CHalvoxPage* p) { p->ToggleEqBypass(); },
         Dsp(OUT_EQ_BYPASS)},
        {"output: EQ reset", PAGE_OUTPUT, [](CHalvoxPage* p) { p->ResetShownEq(); },
         [](int ch) {
             return BandBytes(ch, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
         },
         [] {
             SetEqBand(OutputEqSet(0), 2, EQ_PEQ, 300, 6.0, 3.0);
             SetEqBand(OutputEqSet(1), 5, EQ_PEQ, 900, -6.0, 3.0);
         }},
        {"output: EQ paste", PAGE_OUTPUT,
         [](CHalvoxPage* p) {
             g_EqClipboardSet = OutputEqSet(4);
             CopyPasteOnGraph(qobject_cast<CDialogOutput*>(p)->Eq().Graph(), 1);
         },
         [](int ch) {
             return BandBytes(ch, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
         },
         [] { SetEqBand(OutputEqSet(4), 2, EQ_PEQ, 400, -5.0, 2.0); }},
        // The compressor page, CH 1 chosen.
        {"compressor: switch", PAGE_COMPRESSOR,
         [](CHalvoxPage* p) { qobject_cast<CCompDlg*>(p)->Section().Switch()->click(); },
         Dsp(OUT_COMPRESSOR_BYPASS)},
        {"compressor: threshold", PAGE_COMPRESSOR,
         [](CHalvoxPage* p) {
             StepSliderTo(qobject_cast<CCompDlg*>(p)->Section().Slider(Setting::Threshold), -31);
         },
         Dsp(OUT_COMPRESSOR)},
        {"compressor: ratio", PAGE_COMPRESSOR,
         [](CHalvoxPage* p) {
             StepSliderTo(qobject_cast<CCompDlg*>(p)->Section().Slider(Setting::Ratio), 40);
         },
         Dsp(OUT_COMPRESSOR)},
        {"compressor: attack", PAGE_COMPRESSOR,
         [](CHalvoxPage* p) {
             StepSliderTo(qobject_cast<CCompDlg*>(p)->Section().Slider(Setting::Attack), 12);
         },
         Dsp(OUT_COMPRESSOR)},
        {"compressor: release", PAGE_COMPRESSOR,
         [](CHalvoxPage* p) {
             StepSliderTo(qobject_cast<CCompDlg*>(p)->Section().Slider(Setting::Release), 498);
         },
         Dsp(OUT_COMPRESSOR)},
        // The speaker delay page, row CH 1.
        {"delay: switch", PAGE_DELAY,
         [](CHalvoxPage* p) { qobject_cast<CDelayDlg*>(p)->Switch(0)->click(); },
         Dsp(OUT_DELAY_BYPASS)},
        {"delay: high-band mode", PAGE_DELAY,
         [](CHalvoxPage* p) { qobject_cast<CDelayDlg*>(p)->HighBand(0)->click(); },
         [](int ch) {
             Bytes bytes = DspBytes(ch, OUT_DELAY_MODE);
             const Bytes split = BandBytes(ch, {kSplitLowSlot, kSplitHighSlot});
             bytes.insert(bytes.end(), split.begin(), split.end());
             return bytes;
         },
         DelayOnWholeChannel},
        {"delay: split frequency", PAGE_DELAY,
         [](CHalvoxPage* p) { StepSliderTo(qobject_cast<CDelayDlg*>(p)->SplitSlider(0), 12); },
         [](int ch) {
             return BandBytes(ch, {kSplitLowSlot, kSplitHighSlot});
         },
         DelayOnInHighBand},
        {"delay: typed time", PAGE_DELAY,
         [](CHalvoxPage* p) {
             QLineEdit* edit = qobject_cast<CDelayDlg*>(p)->Edit(0);
             edit->setFocus();
             edit->setText(QStringLiteral("50"));
             PressKey(edit, Qt::Key_Return);
         },
         Dsp(OUT_DELAY_TIME), [] { fx::SetLinkedDspParam(OutputBlock(0), OUT_DELAY_BYPASS, 0); }},
        {"delay: spin", PAGE_DELAY,
         [](CHalvoxPage* p) { qobject_cast<CDelayDlg*>(p)->Spin(0)->Step(1); }, Dsp(OUT_DELAY_TIME),
         [] { fx::SetLinkedDspParam(OutputBlock(0), OUT_DELAY_BYPASS, 0); }},
        {"delay: chart drag", PAGE_DELAY,
         [](CHalvoxPage* p) {
             CDelayPanel* chart = qobject_cast<CDelayDlg*>(p)->Chart();
             const QPoint grab = chart->GrabPoint(0);
             Drag(chart, grab, QPointF(chart->HandleX(40.0), grab.y()));
         },
         Dsp(OUT_DELAY_TIME)},
    };
    return gestures;
}

class ChannelLinkPagesTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        std::memcpy(m_savedFlags, g_LinkFlags, sizeof m_savedFlags);
    }
    void TearDown() override {
        std::memcpy(g_LinkFlags, m_savedFlags, sizeof m_savedFlags);
        GuiFixture::TearDown();
    }
    QUndoStack& Stack() const { return View()->History().Stack(); }

    uint8_t m_savedFlags[kLinkFlagCount] = {};
};

} // namespace

TEST_F(ChannelLinkPagesTest, EveryLinkedSettingOfEveryPageReachesTheLinkedChannelAsOneStep) {
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    m_frame->resize(1040, 700);
    for (bool linked : {true, false}) {
        for (const LinkedGesture& g : Gestures()) {
            SCOPED_TRACE(std::string(g.name) + (linked ? ", linked" : ", not linked"));
            std::memset(g_LinkFlags, 0, kLinkFlagCount);
            g_LinkFlags[0] = linked ? 1 : 0;
            View()->ShowPage(g.page, 0);
            if (g.prepare) {
                const uint8_t flag = g_LinkFlags[0];
                g_LinkFlags[0] = 1; // both channels alike before the gesture
                g.prepare();
                g_LinkFlags[0] = flag;
                View()->CurrentPage()->Reload();
            }
            // A gesture of its own: no merging with what came before.
            View()->History().Flush();
            SendMouse(View()->CurrentPage(), QEvent::MouseButtonRelease, QPointF(1, 1),
                      Qt::LeftButton);
            const int steps = Stack().index();
            const Bytes ch1 = g.field(0), ch2 = g.field(1);

            g.gesture(View()->CurrentPage());
            QApplication::processEvents();
            View()->History().Flush();

            EXPECT_NE(ch1, g.field(0)) << "the gesture changed CH 1";
            if (linked)
                EXPECT_EQ(g.field(0), g.field(1)) << "CH 2 follows";
            else
                EXPECT_EQ(ch2, g.field(1)) << "CH 2 stays";
            ASSERT_EQ(steps + 1, Stack().index()) << "one undo step";
            ASSERT_EQ(steps + 1, Stack().count());
            View()->History().Undo();
            EXPECT_EQ(ch1, g.field(0));
            EXPECT_EQ(ch2, g.field(1));
        }
    }
    AllSent();
    // The processor ends up with what the editor holds.
    ASSERT_TRUE(WaitUntil([this] {
        const SimProcessor::Image memory = m_sim->Memory();
        return Bytes(memory.begin(), memory.end()) == fx::EditedImage();
    }));
}
