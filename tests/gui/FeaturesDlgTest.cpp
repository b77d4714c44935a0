#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CXBmpSlider.h"
#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "pages/CloudnessDlg.h"
#include "shell/CHalvoxView.h"
#include "shell/RibbonIds.h"
#include "state/Features.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>

#include <cmath>

namespace {

// The features dialog against the simulated processor.
class FeaturesDlgTest : public GuiFixture {
protected:
    CloudnessDlg* Open() {
        StartEditor();
        EXPECT_TRUE(WaitForRead());
        m_sim->ClearCommandLog();
        View()->OnCommand(ID_FEATURES);
        return View()->FeaturesDialog();
    }

    static void Key(CXBmpSlider* slider, Qt::Key key) {
        slider->setFocus();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(slider, &press);
    }

    // Drags the thumb to a position. The press sends the position the thumb
    // is at once more; the log is cleared after it, so it holds the move's
    // writes only.
    void DragTo(CXBmpSlider* slider, int position, size_t pressCommands) {
        const QSize thumb = slider->ThumbSize();
        const QPointF start = QRectF(slider->ThumbPosition(), thumb).center();
        const double perStep =
            (slider->width() - thumb.width() - 6.0) / (slider->Maximum() - slider->Minimum());
        const QPointF end(3 + (position - slider->Minimum() + 0.5) * perStep + thumb.width() / 2.0,
                          start.y());
        SendMouse(slider, QEvent::MouseButtonPress, start, Qt::LeftButton);
        AllSent();
        ASSERT_TRUE(m_sim->WaitForCommandCount(pressCommands, 5000));
        m_sim->ClearCommandLog();
        SendMouse(slider, QEvent::MouseMove, end, Qt::LeftButton);
        SendMouse(slider, QEvent::MouseButtonRelease, end, Qt::LeftButton);
    }

    // The parameters of the block 1 writes received since the log was cleared.
    std::vector<int> BassBoostOrder() const {
        AllSent();
        std::vector<int> order;
        for (const SimRecord& r : m_sim->ReceivedCommands())
            if (r.size() >= 5 && r[0] == 9 && r[2] == 1) order.push_back(r[3]);
        return order;
    }

    // The DSP writes of one parameter, in the order received, as (block, parameter).
    std::vector<std::pair<int, int>> DspOrder() const {
        AllSent();
        std::vector<std::pair<int, int>> order;
        for (const SimRecord& r : m_sim->ReceivedCommands())
            if (r.size() >= 5 && r[0] == 9) order.emplace_back(r[2], r[3]);
        return order;
    }
};

} // namespace

TEST_F(FeaturesDlgTest, BassBoostSliderTakesTheBranchOfItsDirection) {
    CloudnessDlg* dialog = Open();
    ASSERT_NE(nullptr, dialog);
    CXBmpSlider* slider = dialog->Slider(IDC_FEAT_BASS_BOOST);
    ASSERT_EQ(0, slider->GetPos());

    // 0 to 6: g from 0 to -6, the filters before the input gains. Each move
    // is the panel value and six DSP writes.
    DragTo(slider, 6, 7);
    ASSERT_EQ(6, slider->GetPos());
    ASSERT_TRUE(m_sim->WaitForCommandCount(7, 5000));
    EXPECT_EQ((std::vector<int>{71, 69, 68, 44, 42, 41}), BassBoostOrder());
    EXPECT_EQ(QStringLiteral("-6dB"), dialog->ValueText(IDC_FEAT_BASS_BOOST)->text());
    EXPECT_EQ(-6.0f, BassBoostDb());

    // 6 back to 0: the input gains first.
    DragTo(slider, 0, 7);
    ASSERT_EQ(0, slider->GetPos());
    ASSERT_TRUE(m_sim->WaitForCommandCount(7, 5000));
    EXPECT_EQ((std::vector<int>{68, 71, 69, 41, 44, 42}), BassBoostOrder());
    for (int parameter : {41, 42, 68, 69})
        EXPECT_EQ(0x3F800000u, LastDspValue(1, parameter)) << "g = 0 writes ones";
    EXPECT_EQ(QStringLiteral("0dB"), dialog->ValueText(IDC_FEAT_BASS_BOOST)->text()) << "no -0";
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadBigEndian32(m_sim->Memory().data() + kPanelLevelOffset) == 0; }, 5000));
}

TEST_F(FeaturesDlgTest, SwitchesWriteTheirParameters) {
    CloudnessDlg* dialog = Open();
    ASSERT_NE(nullptr, dialog);
    struct Case {
        int box;
        bool checkedBefore;
        std::vector<std::pair<int, int>> writes; // in order
        uint32_t value;                          // written by the click
    };
    const Case cases[] = {
        {IDC_FEAT_EQ_ON, true, {{14, 10}}, 0},
        {IDC_FEAT_EXCITER_ON, true, {{14, 11}}, 0},
        {IDC_FEAT_MIC_MAX_BASS, false, {{1, 43}, {1, 70}}, 0},
        {IDC_FEAT_SUB_ON, false, {{1, 12}}, 1},
        {IDC_FEAT_LEVEL_ON, false, {{4, 15}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        QCheckBox* box = dialog->CheckBox(c.box);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(c.checkedBefore, box->isChecked());
        m_sim->ClearCommandLog();
        box->click();
        ASSERT_TRUE(m_sim->WaitForCommandCount(c.writes.size(), 5000));
        Pump(20);
        EXPECT_EQ(c.writes, DspOrder());
        for (const auto& [block, parameter] : c.writes)
            EXPECT_EQ(c.value, LastDspValue(block, parameter));
    }
    // Unchecking the automatic music level switches it off with 1.
    m_sim->ClearCommandLog();
    dialog->CheckBox(IDC_FEAT_LEVEL_ON)->click();
    ASSERT_TRUE(m_sim->WaitForCommandCount(1, 5000));
    EXPECT_EQ(1u, LastDspValue(4, 15));
    EXPECT_FALSE(AutoLevelOn());
}

TEST_F(FeaturesDlgTest, SlidersWriteTheirParametersAndShowTheirValues) {
    CloudnessDlg* dialog = Open();
    ASSERT_NE(nullptr, dialog);
    struct Case {
        int slider;
        Qt::Key key;
        int block, parameter;
        uint32_t value;
        const char* text;
    };
    const auto f = [](float v) { return FloatBits(v); };
    const Case cases[] = {
        {IDC_FEAT_LOW_FREQ, Qt::Key_Left, 14, 0, f(199), "199Hz"},
        {IDC_FEAT_LOW_GAIN, Qt::Key_Left, 14, 1, f(2), "2dB"},
        {IDC_FEAT_MID_FREQ, Qt::Key_Right, 14, 2, f(1501), "1501Hz"},
        {IDC_FEAT_MID_GAIN, Qt::Key_Right, 14, 3, f(4), "4dB"},
        {IDC_FEAT_HIGH_FREQ, Qt::Key_Right, 14, 4, f(3201), "3201Hz"},
        {IDC_FEAT_HIGH_GAIN, Qt::Key_Left, 14, 5, f(4), "4dB"},
        {IDC_FEAT_HARMONIC_GAIN, Qt::Key_Right, 14, 6, PercentToStored(37), "37%"},
        {IDC_FEAT_HARMONIC_ORDER, Qt::Key_Left, 14, 7, PercentToStored(99), "99%"},
        {IDC_FEAT_HARMONIC_MIX, Qt::Key_Left, 14, 8, PercentToStored(99), "99%"},
        {IDC_FEAT_LPF_DELAY, Qt::Key_Right, 4, 39, 48, "1ms"},
        {IDC_FEAT_LPF_GAIN, Qt::Key_Right, 4, 40, PercentToStored(1), "1%"},
        {IDC_FEAT_SUB_LEVEL, Qt::Key_Right, 1, 13, PercentToStored(1), "1%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        m_sim->ClearCommandLog();
        Key(dialog->Slider(c.slider), c.key);
        ASSERT_TRUE(m_sim->WaitForCommandCount(1, 5000));
        EXPECT_EQ(c.value, LastDspValue(c.block, c.parameter));
        EXPECT_EQ(QString::fromUtf8(c.text), dialog->ValueText(c.slider)->text());
    }
    EXPECT_FALSE(dialog->Slider(IDC_FEAT_EXCITER_LEVEL)->isVisible());
    EXPECT_FALSE(dialog->Slider(IDC_FEAT_LEVEL_RATIO)->isVisible());
}

TEST_F(FeaturesDlgTest, MusicLowPassWritesTheWholeBandSlot) {
    CloudnessDlg* dialog = Open();
    ASSERT_NE(nullptr, dialog);
    CXBmpSlider* slider = dialog->Slider(IDC_FEAT_LPF_FREQ);
    EXPECT_EQ(100, slider->GetPos());
    EXPECT_EQ(QStringLiteral("100Hz"), dialog->ValueText(IDC_FEAT_LPF_FREQ)->text());
    Key(slider, Qt::Key_Right);
    ASSERT_TRUE(m_sim->WaitForCommandCount(2, 5000));
    EXPECT_EQ(1u, DspWrites(4, 10).size()) << "the coefficients of band slot 10";
    EXPECT_EQ(20u, DspWrites(4, 10)[0].size());
    const int band = EqBandOffset(6, 10);
    // Gain 0 dB (150), 101 Hz, Q 0.707, low-pass.
    const std::vector<uint8_t> record = {0, 150, 0, 101, 0x02, 0xC3, 2};
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto memory = m_sim->Memory();
            return std::equal(record.begin(), record.end(), memory.begin() + band);
        },
        5000));
}

TEST_F(FeaturesDlgTest, AutoLevelSlidersSendTheWholeRecordWithTheRememberedOthers) {
    CloudnessDlg* dialog = Open();
    ASSERT_NE(nullptr, dialog);
    // The default record: 0 dB, 4:1, 60 ms, 600 ms.
    EXPECT_EQ(QStringLiteral("0dB"), dialog->ValueText(IDC_FEAT_LEVEL_THRESHOLD)->text());
    EXPECT_EQ(QStringLiteral("60ms"), dialog->ValueText(IDC_FEAT_LEVEL_ATTACK)->text());
    EXPECT_EQ(QStringLiteral("600ms"), dialog->ValueText(IDC_FEAT_LEVEL_RELEASE)->text());
    EXPECT_EQ(40, dialog->Slider(IDC_FEAT_LEVEL_RATIO)->GetPos());

    Key(dialog->Slider(IDC_FEAT_LEVEL_THRESHOLD), Qt::Key_Left);
    ASSERT_TRUE(m_sim->WaitForCommandCount(1, 5000));
    EXPECT_EQ(QStringLiteral("-1dB"), dialog->ValueText(IDC_FEAT_LEVEL_THRESHOLD)->text());
    const auto written = DspWrites(4, 14);
    ASSERT_EQ(1u, written.size());
    ASSERT_EQ(28u, written[0].size());
    const auto value = [&](int i) { return ReadBigEndian32(written[0].data() + 4 * i); };
    EXPECT_EQ(FloatBits(-1.0f), value(0));
    EXPECT_EQ(FloatBits(0.75f), value(2)) << "ratio 4 kept";
    EXPECT_NEAR(60.0, -1.0 / (std::log(1.0 - FloatFromBits(value(5))) * 48), 0.01);
    EXPECT_NEAR(600.0, -1.0 / (std::log(1.0 - FloatFromBits(value(6))) * 48), 0.5);
}

TEST_F(FeaturesDlgTest, OneDialogRefreshedByReadsAndRelabelled) {
    CloudnessDlg* dialog = Open();
    ASSERT_NE(nullptr, dialog);
    View()->OnCommand(ID_FEATURES);
    EXPECT_EQ(dialog, View()->FeaturesDialog()) << "at most one";
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(QString::fromUtf8("特色功能"), dialog->windowTitle());
    EXPECT_EQ(QString::fromUtf8("话筒低音增强"), dialog->CheckBox(IDC_FEAT_MIC_MAX_BASS)->text());

    // A read brings a bass boost of -12 dB, its switches on and 250 Hz.
    SimProcessor::Image memory = m_sim->Memory();
    WriteBigEndian32(memory.data() + kPanelLevelOffset, FloatBits(-12.0f));
    memory[SimProcessor::FindDspValueOffset(memory, 1, 43) + 3] = 0;
    memory[EqBandOffset(6, 10) + 3] = 250;
    m_sim->SetMemory(memory);
    StartDelayedRead();
    ASSERT_TRUE(WaitUntil([&] { return dialog->Slider(IDC_FEAT_BASS_BOOST)->GetPos() == 12; }));
    // The sign and unit the Edit menu and fxtunectl show for g.
    EXPECT_EQ(QStringLiteral("-12dB"), dialog->ValueText(IDC_FEAT_BASS_BOOST)->text());
    EXPECT_TRUE(dialog->CheckBox(IDC_FEAT_MIC_MAX_BASS)->isChecked());
    EXPECT_EQ(250, dialog->Slider(IDC_FEAT_LPF_FREQ)->GetPos());

    View()->ToggleLanguage();
    EXPECT_EQ(QStringLiteral("Features"), dialog->windowTitle());
    EXPECT_EQ(QStringLiteral("Mic Max Bass"), dialog->CheckBox(IDC_FEAT_MIC_MAX_BASS)->text());
    EXPECT_EQ(QStringLiteral("Auto Music Input Level"),
              Ctrl<QGroupBox>(dialog, IDC_FEAT_LEVEL_GROUP)->title());
    EXPECT_EQ(QStringLiteral("LPF Frequency"), Ctrl<QLabel>(dialog, 1002)->text());
}
