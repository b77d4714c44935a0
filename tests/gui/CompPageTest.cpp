#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CCompressPanelPlus.h"
#include "controls/CGdipButton.h"
#include "controls/CXBmpSlider.h"
#include "pages/CCompDlg.h"
#include "pages/CCompressorSection.h"
#include "pages/CPageNavRow.h"
#include "shell/CHalvoxView.h"
#include "state/Compressor.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>

namespace {

using Setting = CCompressorSection::Setting;

// Puts a compressor record and its switch into a memory image.
void PutCompressor(SimProcessor::Image& memory, int channel, double threshold, double ratio,
                   double attack, double release, bool active) {
    const auto values = EncodeCompressorRecord(threshold, ratio, attack, release);
    const int offset = DspRecordValueOffset(channel + 5, 24);
    for (int i = 0; i < kCompressorValueCount; ++i)
        WriteBigEndian32(memory.data() + offset + 4 * i, values[i]);
    WriteBigEndian32(memory.data() + DspRecordValueOffset(channel + 5, 25), active ? 0 : 1);
}

class CompPageTest : public GuiFixture {
protected:
    void Start(const std::function<void(SimProcessor::Image&)>& prepare = {}) {
        PrepareMemory(prepare);
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        View()->ShowPage(PAGE_COMPRESSOR, 0);
        ASSERT_NE(nullptr, Page());
        m_sim->ClearCommandLog();
    }

    CCompDlg* Page() const { return qobject_cast<CCompDlg*>(View()->CurrentPage()); }

    void ChooseChannel(int channel) {
        Page()->ChannelCombo()->setCurrentIndex(channel);
        emit Page()->ChannelCombo()->activated(channel);
    }

    // What the page shows: slider positions, value texts, switch and curve.
    void ExpectShown(const int (&positions)[4], const char* const (&texts)[4], bool active) {
        CCompressorSection& section = Page()->Section();
        for (int s = 0; s < 4; ++s) {
            SCOPED_TRACE(s);
            EXPECT_EQ(positions[s], section.Slider(Setting(s))->GetPos());
            EXPECT_EQ(QString::fromUtf8(texts[s]), section.Value(Setting(s))->text());
        }
        EXPECT_EQ(active, section.Switch()->isChecked());
        EXPECT_EQ(active, Page()->Curve()->CurveEnabled()) << "OFF shows only when off";
        EXPECT_DOUBLE_EQ(positions[0], Page()->Curve()->Threshold());
        EXPECT_NEAR(10.0 / positions[1], Page()->Curve()->Slope(), 1e-3);
    }
};

TEST_F(CompPageTest, ShowsTheSelectedChannelsOwnSettings) {
    Start([](SimProcessor::Image& memory) { PutCompressor(memory, 2, -35, 6.5, 25, 640, true); });
    CCompDlg* page = Page();
    EXPECT_EQ(0, page->Channel());
    EXPECT_EQ(-90.0, page->Curve()->LowerKnee());
    ExpectShown({0, 300, 1, 100}, {"0dB", "30.0:1", "1ms", "100ms"}, false);

    ChooseChannel(2);
    EXPECT_EQ(2, page->Channel());
    ExpectShown({-35, 65, 25, 640}, {"-35dB", "6.5:1", "25ms", "640ms"}, true);
    EXPECT_TRUE(page->NavRow().Button(IDC_NAV_COMP)->isChecked());
    ChooseChannel(0);
    ExpectShown({0, 300, 1, 100}, {"0dB", "30.0:1", "1ms", "100ms"}, false);
    Pump(30);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty()) << "showing sends nothing";
}

TEST_F(CompPageTest, ShowsTheChannelsSettingsAfterAWholeImageRead) {
    Start();
    ChooseChannel(4);
    SimProcessor::Image memory = m_sim->Memory();
    PutCompressor(memory, 4, -12, 3.0, 5, 50, true);
    m_sim->SetMemory(memory);
    StartDelayedRead();
    ASSERT_TRUE(
        WaitUntil([&] { return Page()->Section().Slider(Setting::Threshold)->GetPos() == -12; }));
    EXPECT_EQ(4, Page()->Channel());
    ExpectShown({-12, 30, 5, 50}, {"-12dB", "3.0:1", "5ms", "50ms"}, true);
}

TEST_F(CompPageTest, SlidersAndSwitchChangeTheSelectedChannel) {
    Start([](SimProcessor::Image& memory) { PutCompressor(memory, 1, -20, 4.0, 10, 200, false); });
    ChooseChannel(1);
    CCompressorSection& section = Page()->Section();

    // Threshold one step down by key; the other three stay the channel's.
    CXBmpSlider* threshold = section.Slider(Setting::Threshold);
    threshold->setFocus();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(threshold, &down);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(6, 24) == FloatBits(-21.0f); }));
    const auto record = DspWrites(6, 24).back();
    ASSERT_EQ(28u, record.size());
    const CompressorValues sent = DecodeCompressorRecord(record.data());
    EXPECT_NEAR(4.0, sent.ratio, 1e-4);
    EXPECT_NEAR(10.0, sent.attackMs, 1e-3);
    EXPECT_NEAR(200.0, sent.releaseMs, 0.05);
    EXPECT_EQ(QStringLiteral("-21dB"), section.Value(Setting::Threshold)->text());
    EXPECT_DOUBLE_EQ(-21.0, Page()->Curve()->Threshold());
    // CH 1 is linked with CH 2 (the default links): it gets the same record.
    ASSERT_FALSE(DspWrites(5, 24).empty());
    EXPECT_EQ(record, DspWrites(5, 24).back());

    // The wheel over the curve goes to the focused attack slider.
    section.Slider(Setting::Attack)->setFocus();
    SendWheel(Page()->Curve(), 120);
    ASSERT_TRUE(WaitUntil([&] { return DspWrites(6, 24).size() == 2; }));
    EXPECT_NEAR(11.0, DecodeCompressorRecord(DspWrites(6, 24).back().data()).attackMs, 1e-3);
    EXPECT_EQ(QStringLiteral("11ms"), section.Value(Setting::Attack)->text());

    // The switch drives parameter 25 (0 = active) and the curve's OFF.
    EXPECT_FALSE(Page()->Curve()->CurveEnabled());
    section.Switch()->click();
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(6, 25) == 0u; }));
    EXPECT_TRUE(Page()->Curve()->CurveEnabled());
    EXPECT_TRUE(CompressorActive(1));
    section.Switch()->click();
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(6, 25) == 1u; }));
    EXPECT_FALSE(Page()->Curve()->CurveEnabled());
}

TEST_F(CompPageTest, NavigationRowInBothLanguages) {
    Start();
    CCompDlg* page = Page();
    for (int id : {IDC_NAV_DELAY, IDC_NAV_RECORD, IDC_NAV_COMP})
        EXPECT_FALSE(Ctrl<CGdipButton>(page, id)->isHidden());
    EXPECT_EQ(QString::fromUtf8("阈值"), Ctrl<QLabel>(page, 1005)->text());
    // Each language names the channels one way, and each page button by the
    // page it opens, the same on every page.
    struct Expected {
        const char* channel; // format of the channel buttons
        const char* location;
        const char* delay;
        const char* record;
    };
    const Expected languages[2] = {{"通道%1", "声场定位", "喇叭延时", "录音输出"},
                                   {"CH %1", "Location", "Delay", "Record"}};
    for (const Expected& expected : languages) {
        for (int channel = 0; channel < kOutputChannelCount; ++channel)
            EXPECT_EQ(QString::fromUtf8(expected.channel).arg(channel + 1),
                      Ctrl<CGdipButton>(page, CPageNavRow::ChannelButtonId(channel))->text());
        EXPECT_EQ(QString::fromUtf8(expected.location),
                  Ctrl<CGdipButton>(page, IDC_NAV_LOCATION)->text());
        EXPECT_EQ(QString::fromUtf8(expected.delay),
                  Ctrl<CGdipButton>(page, IDC_NAV_DELAY)->text());
        EXPECT_EQ(QString::fromUtf8(expected.record),
                  Ctrl<CGdipButton>(page, IDC_NAV_RECORD)->text());
        View()->ToggleLanguage();
    }
    View()->ToggleLanguage();
    EXPECT_EQ(QStringLiteral("Comp"), Ctrl<CGdipButton>(page, 1075)->text());
    EXPECT_EQ(QStringLiteral("Select CH"), Ctrl<QLabel>(page, 1220)->text());
    EXPECT_EQ(QStringLiteral("Comp ON"), Ctrl<QCheckBox>(page, 1045)->text());
    EXPECT_EQ(QStringLiteral("CH 8"), page->ChannelCombo()->itemText(7));
    View()->ToggleLanguage();
    EXPECT_EQ(QString::fromUtf8("通道8"), page->ChannelCombo()->itemText(7));

    // "Delay" leads to the speaker delay page; a channel button to the output page.
    Click(Ctrl<CGdipButton>(page, IDC_NAV_DELAY));
    ASSERT_TRUE(WaitUntil([&] { return View()->CurrentPage()->PageId() == PAGE_DELAY; }));
    View()->ShowPage(PAGE_COMPRESSOR, 0);
    Click(Ctrl<CGdipButton>(Page(), CPageNavRow::ChannelButtonId(2)));
    ASSERT_TRUE(WaitUntil([&] { return View()->CurrentPage()->PageId() == PAGE_OUTPUT; }));
    EXPECT_EQ(2, View()->CurrentPage()->SubPage());
}

} // namespace
