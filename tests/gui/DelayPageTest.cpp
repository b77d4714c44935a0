#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CDelayPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CSpinButton.h"
#include "controls/CXBmpSlider.h"
#include "controls/EqModel.h"
#include "pages/CDelayDlg.h"
#include "pages/CDialogOutput.h"
#include "pages/CPageNavRow.h"
#include "pages/DialogControls.h"
#include "shell/CHalvoxView.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <cmath>

namespace {

// CH 4 with its delay on, 20 ms, in high-band mode from 1300 Hz.
void PrepareChannel4(SimProcessor::Image& memory) {
    WriteBigEndian32(memory.data() + DspRecordValueOffset(8, OUT_DELAY_BYPASS), 0);
    WriteBigEndian32(memory.data() + DspRecordValueOffset(8, OUT_DELAY_TIME), MsToSamples(20.0));
    WriteBigEndian32(memory.data() + DspRecordValueOffset(8, OUT_DELAY_MODE) + 4, FloatBits(1.0f));
    EncodeEqBandRecord({0.0, 1300, 0.707, EQ_HP}, memory.data() + EqBandOffset(10, kSplitLowSlot));
    EncodeEqBandRecord({0.0, 1800, 0.707, EQ_LP}, memory.data() + EqBandOffset(10, kSplitHighSlot));
}

class DelayPageTest : public GuiFixture {
protected:
    void Start(const std::function<void(SimProcessor::Image&)>& prepare = {}) {
        StartOnPage(PAGE_DELAY, prepare);
    }

    CDelayDlg* Page() const { return qobject_cast<CDelayDlg*>(View()->CurrentPage()); }

    // Drags a row's handle to a point of the chart, as the user would.
    void DragRow(int row, int x) {
        CDelayPanel* chart = Page()->Chart();
        const QPoint grab = chart->GrabPoint(row);
        Drag(chart, grab, QPointF(x, grab.y()));
    }

    void SwitchOn(int row) {
        Page()->Switch(row)->click();
        ASSERT_TRUE(
            WaitUntil([&] { return LastDspValue(OutputBlock(row), OUT_DELAY_BYPASS) == 0; }));
        m_sim->ClearCommandLog();
    }

    // The time the row shows in its edit, its spin and the chart.
    void ExpectShown(int row, double ms) {
        EXPECT_EQ(QString::asprintf("%.1fms", ms), Page()->Edit(row)->text());
        EXPECT_EQ(int(std::lround(ms * 10)), Page()->Spin(row)->GetPos());
        EXPECT_NEAR(ms, Page()->Chart()->Value(row), 1e-9);
    }
};

TEST_F(DelayPageTest, OpensFromTheCompressorPageWithEveryRowFromTheImage) {
    PrepareMemory(PrepareChannel4);
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    View()->ShowPage(PAGE_COMPRESSOR, 0);
    m_sim->ClearCommandLog();
    Click(Ctrl<CGdipButton>(View()->CurrentPage(), IDC_NAV_DELAY));
    ASSERT_TRUE(WaitUntil([&] { return Page() != nullptr; }));
    CDelayDlg* page = Page();
    EXPECT_TRUE(page->NavRow().Button(IDC_NAV_DELAY)->isChecked());
    EXPECT_FALSE(page->NavRow().Button(IDC_NAV_RECORD)->isChecked());
    EXPECT_FALSE(page->NavRow().Button(IDC_NAV_COMP)->isHidden());

    // CH 4: on, high band from 1300 Hz, 20 ms.
    EXPECT_TRUE(page->Switch(3)->isChecked());
    EXPECT_TRUE(page->HighBand(3)->isChecked());
    EXPECT_TRUE(page->HighBand(3)->isEnabled());
    EXPECT_TRUE(page->SplitSlider(3)->isEnabled());
    EXPECT_EQ(8, page->SplitSlider(3)->GetPos());
    EXPECT_EQ(QStringLiteral("1300Hz"), Ctrl<QLabel>(page, CDelayDlg::SplitValueId(3))->text());
    ExpectShown(3, 20.0);
    EXPECT_TRUE(page->Chart()->RowAt(3).active);

    // CH 1 as the default image has it: off, whole channel, 1.33 ms shown as
    // it is while the handle and the spin stop at 1.5 ms.
    EXPECT_FALSE(page->Switch(0)->isChecked());
    EXPECT_TRUE(page->WholeChannel(0)->isChecked());
    // Switched off, its mode and time can still be set, drawn grey; the
    // split needs high-band mode.
    for (QWidget* control :
         {static_cast<QWidget*>(page->HighBand(0)), static_cast<QWidget*>(page->Edit(0))}) {
        EXPECT_TRUE(control->isEnabled());
        EXPECT_TRUE(fx::ShownFaint(control));
    }
    EXPECT_TRUE(page->Spin(0)->isEnabled());
    EXPECT_FALSE(page->SplitSlider(0)->isEnabled());
    EXPECT_FALSE(Ctrl<QLabel>(page, CDelayDlg::RowLabelId(0))->isEnabled());
    EXPECT_EQ(QStringLiteral("1.3ms"), page->Edit(0)->text());
    EXPECT_EQ(CDelayDlg::kSpinMin, page->Spin(0)->GetPos());
    EXPECT_EQ(page->Chart()->HandleX(1.5), page->Chart()->RowAt(0).handleX);
    EXPECT_FALSE(page->Chart()->RowAt(0).active);
    Pump(50);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty()) << "opening sends nothing";
}

TEST_F(DelayPageTest, DraggingAHandleToEitherEndStopsAtTheLimits) {
    Start();
    g_LinkFlags[0] = 0; // CH 2 on its own (a link is tested in ChannelLinkPagesTest)
    const struct {
        bool right;
        double ms;
        uint32_t samples;
    } cases[] = {{true, 100.0, 4800}, {false, 1.5, 72}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        m_sim->ClearCommandLog();
        DragRow(1, c.right ? Page()->Chart()->width() + 50 : -50);
        ASSERT_TRUE(WaitUntil([&] { return LastDspValue(6, OUT_DELAY_TIME) == c.samples; }));
        ExpectShown(1, c.ms);
        EXPECT_EQ(Page()->Chart()->HandleX(c.ms), Page()->Chart()->RowAt(1).handleX);
        for (const SimRecord& record : m_sim->ReceivedCommands())
            EXPECT_TRUE(IsDsp(record, 6, OUT_DELAY_TIME)) << "CH 2 only, its time only";
    }
    EXPECT_EQ(-1, Page()->Chart()->DraggedRow());
}

TEST_F(DelayPageTest, EditAndSpinKeepThePagesLimits) {
    Start();
    SwitchOn(2);
    const struct {
        const char* typed;
        double ms;
        uint32_t samples;
    } cases[] = {{"0.5", 1.5, 72}, {"250", 100.0, 4800}, {"37.4ms", 37.4, 1795}, {"abc", 1.5, 72}};
    QLineEdit* edit = Page()->Edit(2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        edit->setFocus();
        edit->setText(QString::fromUtf8(c.typed));
        PressKey(edit, Qt::Key_Return);
        ExpectShown(2, c.ms);
        ASSERT_TRUE(WaitUntil([&] { return LastDspValue(7, OUT_DELAY_TIME) == c.samples; }));
    }
    // At 1.5 ms the spin goes no lower; one step up is a tenth more, and so
    // is a wheel turn while the edit has the focus.
    CSpinButton* spin = Page()->Spin(2);
    Click(spin, QPointF(spin->width() / 2.0, spin->height() - 2.0));
    ExpectShown(2, 1.5);
    Click(spin, QPointF(spin->width() / 2.0, 2.0));
    ExpectShown(2, 1.6);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(7, OUT_DELAY_TIME) == 77u; }));
    edit->setFocus();
    SendWheel(Page()->Chart(), 120);
    ExpectShown(2, 1.7);
}

TEST_F(DelayPageTest, TheConnectedRowAndTheOutputPageShowTheSameTime) {
    Start();
    CDelayDlg* page = Page();
    page->Switch(4)->click();
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(9, OUT_DELAY_BYPASS) == 0u; }));
    EXPECT_TRUE(page->HighBand(4)->isEnabled());
    EXPECT_TRUE(page->Edit(4)->isEnabled());
    EXPECT_TRUE(page->Chart()->RowAt(4).active);

    DragRow(4, page->Chart()->HandleX(30.0) + page->Chart()->HandleSize().width() / 2);
    const QString shown = page->Edit(4)->text();
    const double ms = page->Chart()->Value(4);
    EXPECT_NEAR(30.0, ms, 0.5);
    EXPECT_EQ(ms, std::round(ms * 10) / 10) << "to the tenth the edit shows";
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(9, OUT_DELAY_TIME) == MsToSamples(ms); }));

    // The output page shows the same time, and what it changes the delay page shows.
    Click(page->NavRow().Button(CPageNavRow::ChannelButtonId(4)));
    ASSERT_TRUE(WaitUntil([&] { return View()->CurrentPage()->PageId() == PAGE_OUTPUT; }));
    auto* output = qobject_cast<CDialogOutput*>(View()->CurrentPage());
    EXPECT_EQ(4, output->Channel());
    EXPECT_EQ(shown, Ctrl<QLabel>(output, IDC_OUT_DELAY_VALUE)->text());
    EXPECT_EQ(int(std::lround(ms * 10)), output->DelaySlider()->GetPos());
    EXPECT_TRUE(Ctrl<QCheckBox>(output, IDC_OUT_DELAY_SWITCH)->isChecked());
    StepSliderTo(output->DelaySlider(), 455);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(9, OUT_DELAY_TIME) == MsToSamples(45.5); }));

    View()->ShowPage(PAGE_DELAY, 0);
    ASSERT_NE(nullptr, Page());
    ExpectShown(4, 45.5);
}

TEST_F(DelayPageTest, ModeRadiosOfRow3SetTheSplitFilters) {
    Start();
    g_LinkFlags[1] = 0; // CH 4 on its own (a link is tested in ChannelLinkPagesTest)
    SwitchOn(3);
    CDelayDlg* page = Page();
    struct Case {
        QRadioButton* radio;
        uint32_t secondWeight;
        int lowType, highType;
        bool splitEnabled;
    };
    const Case cases[] = {{page->HighBand(3), FloatBits(1.0f), EQ_HP, EQ_LP, true},
                          {page->WholeChannel(3), FloatBits(0.0f), EQ_PEQ, EQ_PEQ, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lowType);
        m_sim->ClearCommandLog();
        c.radio->click();
        const auto log = Commands(5);
        ASSERT_EQ(5u, log.size());
        EXPECT_TRUE(IsDsp(log[0], 8, OUT_DELAY_MODE));
        const auto weights = DspWrites(8, OUT_DELAY_MODE).back();
        EXPECT_EQ(FloatBits(1.0f), ReadBigEndian32(weights.data()));
        EXPECT_EQ(c.secondWeight, ReadBigEndian32(weights.data() + 4));
        const auto memory = m_sim->Memory();
        EXPECT_EQ(c.lowType, DecodeEqBandRecord(memory.data() + EqBandOffset(10, 10)).type);
        EXPECT_EQ(c.highType, DecodeEqBandRecord(memory.data() + EqBandOffset(10, 11)).type);
        EXPECT_EQ(500.0, DecodeEqBandRecord(memory.data() + EqBandOffset(10, 10)).frequency);
        EXPECT_EQ(c.splitEnabled, page->SplitSlider(3)->isEnabled());
    }
    // High band again: the split slider moves slot 10 and 11.
    page->HighBand(3)->click();
    Commands(5);
    m_sim->ClearCommandLog();
    StepSliderTo(page->SplitSlider(3), 25);
    Commands(4);
    EXPECT_EQ(QStringLiteral("3000Hz"), Ctrl<QLabel>(page, CDelayDlg::SplitValueId(3))->text());
    const auto memory = m_sim->Memory();
    EXPECT_EQ(3000.0, DecodeEqBandRecord(memory.data() + EqBandOffset(10, 10)).frequency);
    EXPECT_EQ(3500.0, DecodeEqBandRecord(memory.data() + EqBandOffset(10, 11)).frequency);
}

TEST_F(DelayPageTest, RelabelledInEnglishAndReloadedAfterARead) {
    Start();
    CDelayDlg* page = Page();
    View()->ToggleLanguage();
    EXPECT_EQ(QStringLiteral("ON"), page->Switch(7)->text());
    EXPECT_EQ(QStringLiteral("High Freq "), page->HighBand(7)->text());
    EXPECT_EQ(QStringLiteral("Channel"), page->WholeChannel(7)->text());
    EXPECT_EQ(QStringLiteral("CH 8"), Ctrl<QLabel>(page, CDelayDlg::RowLabelId(7))->text());
    EXPECT_EQ(QStringLiteral("Delay"), page->NavRow().Button(IDC_NAV_DELAY)->text());
    EXPECT_EQ(QStringLiteral("Record"), page->NavRow().Button(IDC_NAV_RECORD)->text());
    View()->ToggleLanguage();
    EXPECT_EQ(QString::fromUtf8("通道延时"), page->WholeChannel(7)->text());

    PrepareMemory(PrepareChannel4);
    StartDelayedRead();
    ASSERT_TRUE(WaitUntil([&] { return page->Switch(3)->isChecked(); }));
    EXPECT_EQ(page, Page());
    ExpectShown(3, 20.0);
    EXPECT_TRUE(page->HighBand(3)->isChecked());
}

} // namespace
