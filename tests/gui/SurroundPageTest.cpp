#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CGdipButton.h"
#include "controls/CSSVolumePanel.h"
#include "controls/CSpinButton.h"
#include "controls/CXBmpSlider.h"
#include "pages/CPageNavRow.h"
#include "pages/CSSVCDlg.h"
#include "shell/CHalvoxView.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/SurroundVolume.h"
#include "state/SyncJobs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace {

using Bytes = std::vector<uint8_t>;

bool IsPanelWrite(const SimRecord& record, int offset, int length) {
    return record.size() == size_t(4 + length) && record[0] == 133 &&
           ((record[1] << 8) | record[2]) == offset;
}

class SurroundPageTest : public GuiFixture {
protected:
    void Start(const std::function<void(SimProcessor::Image&)>& prepare = {}) {
        StartOnPage(PAGE_SURROUND, prepare);
    }

    CSSVCDlg* Page() const { return qobject_cast<CSSVCDlg*>(View()->CurrentPage()); }

    // The distance level the processor holds for an output channel.
    float Level(int channel) const {
        const auto memory = m_sim->Memory();
        return FloatFromBits(ReadBigEndian32(memory.data() + kSurroundLevelsOffset + 4 * channel));
    }
    // The g and q of an output channel's level record in the processor.
    std::pair<float, float> LevelRecord(int channel) const {
        const auto memory = m_sim->Memory();
        const uint8_t* values =
            memory.data() + DspRecordValueOffset(channel + 5, OUT_SPEAKER_FILTER);
        return {FloatFromBits(ReadBigEndian32(values)), FloatFromBits(ReadBigEndian32(values + 4))};
    }
    Bytes Layout() const {
        const auto memory = m_sim->Memory();
        return Bytes(memory.begin() + kSurroundLayoutOffset,
                     memory.begin() + kSurroundLayoutOffset + kSurroundLayoutSize);
    }

    void Type(int item, double x, double y) {
        for (int axis = 0; axis < 2; ++axis) {
            QLineEdit* edit = Page()->CoordinateEdit(item, axis);
            edit->setText(QString::number(axis == 0 ? x : y));
        }
        QLineEdit* edit = Page()->CoordinateEdit(item, 1);
        edit->setFocus();
        PressKey(edit, Qt::Key_Return);
    }

    // Where the plan draws a place in metres.
    QPointF PixelOf(double x, double y) const {
        CSSVolumePanel* plan = Page()->Plan();
        const QRect area = plan->PlanRect();
        return {area.left() + (x / plan->RoomWidth() + 0.5) * (plan->width() - 60),
                area.top() + (0.5 - y / plan->RoomLength()) * (plan->height() - 60)};
    }

    void Settle(size_t count) {
        Commands(count);
        m_sim->ClearCommandLog();
    }
};

TEST_F(SurroundPageTest, OpensFromTheOutputPageWithLayoutVolumesAndSources) {
    PrepareMemory([](SimProcessor::Image& memory) {
        uint8_t* layout = memory.data() + kSurroundLayoutOffset;
        layout[0] = 6;
        layout[1] = 5;
        layout[2] = 0x05; // listener +0.5, -0.5
        layout[3] = 0x85;
        WriteBigEndian32(memory.data() + DspRecordValueOffset(10, OUT_SURROUND_VOLUME),
                         PercentToStored(250));
        WriteBigEndian32(memory.data() + DspRecordValueOffset(5, OUT_SOURCE), 1);
    });
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    View()->ShowPage(PAGE_OUTPUT, 0);
    m_sim->ClearCommandLog();
    Click(Ctrl<CGdipButton>(View()->CurrentPage(), IDC_NAV_LOCATION));
    ASSERT_TRUE(WaitUntil([&] { return Page() != nullptr; }));
    CSSVCDlg* page = Page();
    EXPECT_TRUE(page->NavRow().Button(IDC_NAV_LOCATION)->isChecked());
    EXPECT_FALSE(page->NavRow().Button(IDC_NAV_RECORD)->isHidden());
    EXPECT_FALSE(page->NavRow().Button(IDC_NAV_COMP)->isHidden());

    EXPECT_EQ(QStringLiteral("6m"), page->RoomEdit(0)->text());
    EXPECT_EQ(5, page->RoomSpin(1)->GetPos());
    EXPECT_EQ(QStringLiteral("+0.5m"), page->CoordinateEdit(0, 0)->text());
    EXPECT_EQ(QStringLiteral("-0.5m"), page->CoordinateEdit(0, 1)->text());
    EXPECT_EQ(-5, page->CoordinateSpin(0, 1)->GetPos());
    EXPECT_EQ(-30, page->CoordinateSpin(3, 0)->Minimum());
    EXPECT_EQ(25, page->CoordinateSpin(3, 1)->Maximum());
    EXPECT_EQ(6.0, page->Plan()->RoomWidth());
    EXPECT_DOUBLE_EQ(-0.5, page->Plan()->ItemAt(CSSVolumePanel::kListener).y);
    EXPECT_DOUBLE_EQ(1.0, page->Plan()->ItemAt(3).x);

    EXPECT_EQ(250, page->VolumeSlider(5)->GetPos());
    EXPECT_EQ(QStringLiteral("250%"), Ctrl<QLabel>(page, IDC_SSV_VOLUME_VALUE + 5)->text());
    EXPECT_EQ(QString::fromUtf8("(前置右)"), Ctrl<QLabel>(page, IDC_SSV_ROW_LABEL)->text());
    EXPECT_EQ(QString::fromUtf8("(前置左)"), Ctrl<QLabel>(page, IDC_SSV_ROW_LABEL + 1)->text());
    Pump(50);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty()) << "opening sends nothing";
}

TEST_F(SurroundPageTest, CentreGivesTheFrontLeftItsLevelOnTheLowerOfTwoChannels) {
    Start();
    // CH 1 and CH 2 both carry the front left; nothing carries the front right.
    Ctrl<QPushButton>(Page(), IDC_SSV_CENTRE)->click();
    const auto log = Commands(2 + 7 * 2);
    ASSERT_EQ(16u, log.size());
    EXPECT_TRUE(IsPanelWrite(log[0], kSurroundLayoutOffset, kSurroundLayoutSize));
    EXPECT_TRUE(IsPanelWrite(log[1], kSurroundLayoutOffset, kSurroundLayoutSize));
    EXPECT_NEAR(3.0 - 3.0 * std::sqrt(2.0), Level(0), 1e-5);
    const auto [g, q] = LevelRecord(0);
    EXPECT_NEAR(0.8667, g, 1e-4);
    EXPECT_NEAR(0.8922, q, 1e-4);
    EXPECT_EQ(0.0f, Level(1));
    EXPECT_EQ(1.0f, LevelRecord(1).first) << "CH 2 keeps its record";
    EXPECT_TRUE(DspWrites(6, OUT_SPEAKER_FILTER).empty());
    EXPECT_EQ(QStringLiteral("+0.0m"), Page()->CoordinateEdit(0, 0)->text());
}

TEST_F(SurroundPageTest, ListenerByEnterAndASpeakerByDrag) {
    Start();
    SetDspParam(6, OUT_SOURCE, 1); // CH 2 carries the front right
    Settle(1);
    Type(CSSVolumePanel::kListener, 1.0, 1.0);
    Commands(1 + 8 * 2);
    EXPECT_NEAR(3.0, Level(1), 1e-5);                        // front right on CH 2
    EXPECT_NEAR(3.0 - 3.0 * std::sqrt(8.0), Level(3), 1e-5); // back surround left on CH 4
    EXPECT_EQ(QStringLiteral("+1.0m"), Page()->CoordinateEdit(0, 1)->text());
    EXPECT_EQ(10, Page()->CoordinateSpin(0, 0)->GetPos());
    EXPECT_EQ(0x0A, Layout()[2]);
    EXPECT_EQ(0x0A, Layout()[3]);

    m_sim->ClearCommandLog();
    CSSVolumePanel* plan = Page()->Plan();
    Drag(plan, plan->ItemPixel(1), PixelOf(-1.5, 1.5));
    ASSERT_TRUE(WaitUntil([&] { return Layout()[4] == 0x8F && Layout()[5] == 0x0F; }));
    EXPECT_EQ(QStringLiteral("-1.5m"), Page()->CoordinateEdit(1, 0)->text());
    EXPECT_EQ(15, Page()->CoordinateSpin(1, 1)->GetPos());
    EXPECT_DOUBLE_EQ(-1.5, plan->ItemAt(1).x);
    ASSERT_TRUE(
        WaitUntil([&] { return std::abs(Level(0) - (3.0 - 3.0 * std::hypot(2.5, 0.5))) < 1e-5; }));
    for (const SimRecord& record : m_sim->ReceivedCommands())
        EXPECT_FALSE(IsDsp(record, 6, OUT_SPEAKER_FILTER)) << "a speaker sends its own level only";
}

TEST_F(SurroundPageTest, RoomSizeLimitsThePositionSpins) {
    Start();
    CSSVCDlg* page = Page();
    const struct {
        const char* typed;
        int width;
    } cases[] = {{"1", 1}, {"0", 1}, {"12", 10}, {"3m", 3}, {"1", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        page->RoomEdit(0)->setText(QString::fromUtf8(c.typed));
        Ctrl<QPushButton>(page, IDC_SSV_MODIFY)->click();
        ASSERT_TRUE(WaitUntil([&] { return Layout()[0] == c.width; }));
        EXPECT_EQ(QString::asprintf("%dm", c.width), page->RoomEdit(0)->text());
        for (int item = 0; item < CSSVCDlg::kItemCount; ++item) {
            EXPECT_EQ(-c.width * 5, page->CoordinateSpin(item, 0)->Minimum());
            EXPECT_EQ(c.width * 5, page->CoordinateSpin(item, 0)->Maximum());
            EXPECT_EQ(20, page->CoordinateSpin(item, 1)->Maximum());
        }
        EXPECT_EQ(double(c.width), page->Plan()->RoomWidth());
    }
    // A room spin click moves the size by one metre.
    CSpinButton* length = page->RoomSpin(1);
    Click(length, QPointF(length->width() / 2.0, 2.0));
    ASSERT_TRUE(WaitUntil([&] { return Layout()[1] == 5; }));
    EXPECT_EQ(QStringLiteral("5m"), page->RoomEdit(1)->text());

    // The front right stayed at +1.0 m, outside the 1 m room; a spin click
    // brings it to the edge.
    m_sim->ClearCommandLog();
    CSpinButton* x = page->CoordinateSpin(3, 0);
    Click(x, QPointF(x->width() / 2.0, 2.0));
    ASSERT_TRUE(WaitUntil([&] { return Layout()[2 + 2 * 3] == 0x05; }));
    EXPECT_EQ(QStringLiteral("+0.5m"), page->CoordinateEdit(3, 0)->text());
}

TEST_F(SurroundPageTest, VolumeOfCh6GoesTo500) {
    Start();
    StepSliderTo(Page()->VolumeSlider(5), 500);
    ASSERT_TRUE(
        WaitUntil([&] { return LastDspValue(10, OUT_SURROUND_VOLUME) == FloatBits(5.0f); }));
    EXPECT_EQ(QStringLiteral("500%"), Ctrl<QLabel>(Page(), IDC_SSV_VOLUME_VALUE + 5)->text());
    for (int channel : {0, 4, 7}) EXPECT_EQ(100, Page()->VolumeSlider(channel)->Maximum());
    StepSliderTo(Page()->VolumeSlider(0), 40);
    ASSERT_TRUE(
        WaitUntil([&] { return LastDspValue(5, OUT_SURROUND_VOLUME) == PercentToStored(40); }));
}

TEST_F(SurroundPageTest, ResetSendsTheLevelBlockEightTimesAndTheDefaultLayout) {
    Start();
    Type(CSSVolumePanel::kListener, -1.2, 0.4);
    Ctrl<QPushButton>(Page(), IDC_SSV_MODIFY)->click();
    Settle(1 + 7 * 2 + 1);
    Ctrl<QPushButton>(Page(), IDC_SSV_RESET)->click();
    const auto log = Commands(8 * 2 + 1);
    ASSERT_EQ(17u, log.size());
    for (int channel = 0; channel < kOutputChannelCount; ++channel) {
        SCOPED_TRACE(channel);
        EXPECT_TRUE(IsPanelWrite(log[2 * channel], kSurroundLevelsOffset, 32));
        EXPECT_TRUE(IsDsp(log[2 * channel + 1], channel + 5, OUT_SPEAKER_FILTER));
        EXPECT_EQ(0.0f, Level(channel));
        EXPECT_EQ(1.0f, LevelRecord(channel).first);
    }
    const Bytes defaults{4, 4,    0,    0,    0x8A, 0x0A, 0, 0x0A, 0x0A, 0x0A, 0x8A, 0x8A,
                         0, 0x8A, 0x0A, 0x8A, 0x85, 0,    5, 0,    0,    0,    0,    0};
    EXPECT_EQ(defaults, Bytes(log.back().begin() + 4, log.back().end()));
    EXPECT_EQ(defaults, Layout());
    EXPECT_EQ(QStringLiteral("+0.0m"), Page()->CoordinateEdit(0, 0)->text());
    EXPECT_EQ(QStringLiteral("4m"), Page()->RoomEdit(0)->text());
    EXPECT_EQ(QStringLiteral("-0.5m"), Page()->CoordinateEdit(7, 0)->text());
}

TEST_F(SurroundPageTest, LocateBoxesKeepOneSelectionForTheRun) {
    Start();
    const struct {
        int channel;
        bool check;
        int located; // the source the processor identifies
        int selection;
    } steps[] = {{2, true, 7, 3}, {4, true, 5, 5}, {4, false, kLocateNone, 0}, {0, true, 0, 1}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.channel);
        Page()->LocateBox(s.channel)->click();
        ASSERT_TRUE(WaitUntil([&] { return m_sim->LocatedSource() == s.located; }));
        EXPECT_EQ(s.selection, CSSVCDlg::LocateSelection());
        for (int c = 0; c < kOutputChannelCount; ++c)
            EXPECT_EQ(c + 1 == s.selection, Page()->LocateBox(c)->isChecked()) << c;
    }
    EXPECT_EQ((SimRecord{9, 0, 4, 38, 1, 0, 0, 0, 0}), m_sim->ReceivedCommands().back());
    // The selection comes back with the page, and nothing is sent for it.
    View()->ShowPage(PAGE_OUTPUT, 0);
    m_sim->ClearCommandLog();
    View()->ShowPage(PAGE_SURROUND, 0);
    EXPECT_TRUE(Page()->LocateBox(0)->isChecked());
    Pump(50);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty());
    Page()->LocateBox(0)->click();
    ASSERT_TRUE(WaitUntil([&] { return m_sim->LocatedSource() == kLocateNone; }));
}

TEST_F(SurroundPageTest, RelabelledInEnglishAndReloadedAfterARead) {
    Start();
    CSSVCDlg* page = Page();
    View()->ToggleLanguage();
    EXPECT_EQ(QStringLiteral("Locate"), page->LocateBox(3)->text());
    EXPECT_EQ(QStringLiteral("(CH-L)"), Ctrl<QLabel>(page, IDC_SSV_ROW_LABEL)->text());
    EXPECT_EQ(QStringLiteral("Room size"), Ctrl<QGroupBox>(page, IDC_SSV_ROOM_HEADING)->title());
    EXPECT_EQ(QStringLiteral("Audience source"),
              Ctrl<QLabel>(page, IDC_SSV_LISTENER_CAPTION)->text());
    EXPECT_EQ(QStringLiteral("SBR"), Ctrl<QLabel>(page, CSSVCDlg::SpeakerCaptionId(6))->text());
    EXPECT_EQ(QStringLiteral("Modify"), Ctrl<QPushButton>(page, IDC_SSV_MODIFY)->text());
    View()->ToggleLanguage();
    EXPECT_EQ(QString::fromUtf8("后环绕右"),
              Ctrl<QLabel>(page, CSSVCDlg::SpeakerCaptionId(6))->text());
    EXPECT_EQ(QString::fromUtf8("(前置左)"), Ctrl<QLabel>(page, IDC_SSV_ROW_LABEL)->text());

    // A whole-image read shows the processor's plan and volumes on the same page.
    PrepareMemory([](SimProcessor::Image& memory) {
        memory[kSurroundLayoutOffset] = 8;
        memory[kSurroundLayoutOffset + 2] = 0x8C; // listener x -1.2
        WriteBigEndian32(memory.data() + DspRecordValueOffset(12, OUT_SURROUND_VOLUME),
                         PercentToStored(35));
    });
    StartDelayedRead();
    ASSERT_TRUE(WaitUntil([&] { return page->RoomEdit(0)->text() == QStringLiteral("8m"); }));
    EXPECT_EQ(page, Page());
    EXPECT_EQ(QStringLiteral("-1.2m"), page->CoordinateEdit(0, 0)->text());
    EXPECT_EQ(35, page->VolumeSlider(7)->GetPos());
    EXPECT_EQ(-40, page->CoordinateSpin(5, 0)->Minimum());
}

} // namespace

// At the smallest window size, in both languages, every speaker's channel
// tag stays whole inside the plan and clear of the listener, wherever the
// listener stands among the speakers.
TEST_F(SurroundPageTest, EveryTagIsWholeAndClearOfTheListenerAtTheSmallestSize) {
    Start();
    m_frame->resize(1040, 700);
    Pump(50);
    CSSVolumePanel* plan = Page()->Plan();
    const QPointF listeners[] = {{0.0, 0.0}, {-0.2, 0.0}, {0.2, 0.0}, {-1.0, 0.6}, {1.5, -1.8}};
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        for (const QPointF& at : listeners) {
            plan->SetItemPosition(CSSVolumePanel::kListener, at.x(), at.y());
            for (int speaker = 1; speaker < CSSVolumePanel::kItemCount; ++speaker) {
                SCOPED_TRACE(testing::Message()
                             << "language " << language << ", listener at " << at.x() << ","
                             << at.y() << ", speaker " << speaker);
                const QRectF tag = plan->TagRect(speaker);
                EXPECT_TRUE(QRectF(plan->rect()).contains(tag));
                EXPECT_FALSE(tag.intersects(plan->ListenerRect()));
            }
        }
    }
}
