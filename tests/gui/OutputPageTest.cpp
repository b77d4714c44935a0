#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CXBmpSlider.h"
#include "controls/EqModel.h"
#include "pages/CCompressorSection.h"
#include "pages/CDialogOutput.h"
#include "pages/CEqEditor.h"
#include "pages/CPageNavRow.h"
#include "pages/DialogControls.h"
#include "shell/CAppSettings.h"
#include "shell/CDlgMsgBox.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/RibbonIds.h"
#include "state/Compressor.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include <algorithm>

namespace {

uint32_t Value(const std::vector<uint8_t>& bytes, int index = 0) {
    return ReadBigEndian32(bytes.data() + 4 * index);
}

QByteArray StoredLinkFlags() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, CAppSettings::kKey,
                     QStringLiteral("Settings"))
        .value("QtOption")
        .toByteArray();
}

class OutputPageTest : public GuiFixture {
protected:
    void Start(int channel = 0) {
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        ShowChannel(channel);
        m_sim->ClearCommandLog();
    }

    CDialogOutput* Page() const { return qobject_cast<CDialogOutput*>(View()->CurrentPage()); }

    // The navigation row's way: through the view.
    void ShowChannel(int channel) {
        View()->ShowPage(PAGE_OUTPUT, channel);
        ASSERT_TRUE(WaitUntil([&] { return Page() && Page()->Channel() == channel; }));
    }

    // Brings changes made outside the page to the processor and forgets them.
    void Settle(size_t count) {
        Commands(count);
        m_sim->ClearCommandLog();
    }

    void SelectBand(int band) {
        CEqPanel* graph = Page()->Eq().Graph();
        Click(graph, graph->HandleCentre(band));
    }

    void ClickLink(int pair) { Page()->LinkBox(pair)->click(); }
};

TEST_F(OutputPageTest, OutputCategoryShowsTheLastChannelWithItsSettings) {
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
    ASSERT_TRUE(WaitUntil([&] { return Page() != nullptr; }));
    CDialogOutput* page = Page();
    EXPECT_EQ(0, page->Channel());
    EXPECT_TRUE(page->NavRow().Button(1069)->isChecked());
    EXPECT_FALSE(Ctrl<QLabel>(page, IDC_OUT_PICTURE)->pixmap().isNull());
    EXPECT_EQ(QStringLiteral("100%"), Ctrl<QLabel>(page, 1128)->text());
    EXPECT_EQ(100, page->LevelSlider(1)->GetPos());
    EXPECT_EQ(7, Ctrl<QComboBox>(page, 1219)->currentIndex()); // CH 3 carries CH-SBR
    EXPECT_EQ(QString::fromUtf8("后环绕右"), Ctrl<QComboBox>(page, 1219)->currentText());
    // No "QtOption" stored: all three pairs are linked.
    for (int pair = 0; pair < kLinkPairCount; ++pair) EXPECT_TRUE(page->LinkBox(pair)->isChecked());
    // Delay off by default: its mode and time can still be set, drawn grey;
    // the split needs high-band mode.
    EXPECT_FALSE(Ctrl<QCheckBox>(page, 1293)->isChecked());
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1190)->isEnabled());
    EXPECT_TRUE(fx::ShownFaint(Ctrl<QRadioButton>(page, 1190)));
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1191)->isChecked());
    EXPECT_FALSE(page->SplitSlider()->isEnabled());
    EXPECT_TRUE(page->DelaySlider()->isEnabled());
    EXPECT_EQ(13, page->DelaySlider()->GetPos()); // 1.33 ms widens the slider ...
    EXPECT_EQ(QStringLiteral("1.3ms"), Ctrl<QLabel>(page, 1038)->text()); // ... to its label
    EXPECT_EQ(QStringLiteral("500Hz"), Ctrl<QLabel>(page, 1008)->text());
    EXPECT_EQ(QStringLiteral("30.0:1"), Ctrl<QLabel>(page, 1226)->text());
    EXPECT_FALSE(Ctrl<QCheckBox>(page, 1081)->isChecked());
    EXPECT_EQ(7, page->Eq().Graph()->Set());
    EXPECT_EQ(10, page->Eq().BandList()->rowCount());
    EXPECT_FALSE(page->CrossoverCombo()->isVisible());

    // The row asks the view; the view switches the same page and remembers the channel.
    Click(page->NavRow().Button(CPageNavRow::ChannelButtonId(5)));
    ASSERT_TRUE(WaitUntil([&] { return page->Channel() == 5; }));
    EXPECT_EQ(page, Page());
    EXPECT_EQ(12, page->Eq().Graph()->Set());
    EXPECT_EQ(7, page->Eq().BandList()->rowCount());
    Ribbon()->SetActiveCategory(CRibbonBar::kInputCategory);
    ASSERT_TRUE(WaitUntil([&] { return Page() == nullptr; }));
    Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
    ASSERT_TRUE(WaitUntil([&] { return Page() != nullptr; }));
    EXPECT_EQ(5, Page()->Channel());
    // The record and comp buttons reach their pages.
    Click(Ctrl<CGdipButton>(Page(), IDC_NAV_COMP));
    ASSERT_TRUE(WaitUntil([&] { return View()->CurrentPage()->PageId() == PAGE_COMPRESSOR; }));
}

TEST_F(OutputPageTest, Bessel18OnTheCrossoverBandWritesItsFourSections) {
    Start(kCrossoverChannel);
    CDialogOutput* page = Page();
    SelectBand(kCrossoverBand);
    ASSERT_TRUE(page->CrossoverCombo()->isVisible());
    EXPECT_EQ(9, page->CrossoverCombo()->currentIndex());     // "Butterworth 24dB"
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1205)->isChecked()); // shown as LP
    EXPECT_EQ(QString::fromUtf8("低通"),
              page->Eq().BandList()->CellText(kCrossoverBand, CEqEditor::ColType));

    page->CrossoverCombo()->setCurrentIndex(5);
    emit page->CrossoverCombo()->activated(5);
    const auto log = Commands(8);
    ASSERT_EQ(8u, log.size());
    const int types[4] = {8, 10, 1, 1};
    for (int s = 0; s < 4; ++s) {
        SCOPED_TRACE(s);
        EXPECT_TRUE(IsDsp(log[2 * s], 10, 6 + s));
        EXPECT_TRUE(IsPanelWrite(log[2 * s + 1], EqBandOffset(12, 6 + s)));
        const EqBandRecord band =
            DecodeEqBandRecord(m_sim->Memory().data() + EqBandOffset(12, 6 + s));
        EXPECT_EQ(types[s], band.type);
        EXPECT_EQ(100.0, band.frequency);
        EXPECT_EQ(types[s], page->Eq().Graph()->Band(6 + s).type);
    }
    EXPECT_EQ(5, page->CrossoverCombo()->currentIndex());
    EXPECT_EQ(QString::fromUtf8("低通"),
              page->Eq().BandList()->CellText(kCrossoverBand, CEqEditor::ColType));

    // A PEQ crossover band has no alignment to choose.
    Ctrl<QRadioButton>(page, 1204)->click();
    EXPECT_FALSE(page->CrossoverCombo()->isVisible());
    Ctrl<QRadioButton>(page, 1206)->click(); // HP: the group's high-pass sections
    ASSERT_TRUE(page->CrossoverCombo()->isVisible());
    EXPECT_EQ(9, page->CrossoverCombo()->currentIndex());
    EXPECT_EQ(19, page->Eq().Graph()->Band(6).type);
}

TEST_F(OutputPageTest, LinkingEqualChannelsAsksNothing) {
    Start();
    ClickLink(0); // unlink
    EXPECT_EQ(0, g_LinkFlags[0]);
    EXPECT_EQ(QByteArray("\x00\x01\x01\x00\x00\x00\x00\x00", 8), StoredLinkFlags());
    bool asked = false;
    const ModalWatch watch = WatchModal<CDlgMsgBox>([&](CDlgMsgBox* box) {
        asked = true;
        box->reject();
    });
    ClickLink(0);
    Pump(100);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(Page()->LinkBox(0)->isChecked());
    EXPECT_EQ(1, g_LinkFlags[0]);
    EXPECT_EQ(CAppSettings::DefaultChannelLinkFlags(), StoredLinkFlags());
    EXPECT_TRUE(m_sim->ReceivedCommands().empty());
}

TEST_F(OutputPageTest, LinkingDifferentChannelsSyncsTheChosenWayOnlyWhatDiffers) {
    Start();
    ClickLink(0);
    SetDspParam(6, 18, 40);
    SetCompressor(1, -30, 8.0, 20, 300);
    SetEqBand(8, 3, EQ_PEQ, 250, 6.0, 2.0);
    SetEqBand(8, 9, EQ_HS, 9000, -2.0, 0.7);
    Settle(6);
    QString question;
    const ModalWatch watch = WatchModal<CDlgMsgBox>([&](CDlgMsgBox* box) {
        question = Ctrl<QLabel>(box, CDlgMsgBox::kTextId)->text();
        EXPECT_EQ(QString::fromUtf8("以通道2为标准同步"), Ctrl<QPushButton>(box, 3)->text());
        Ctrl<QPushButton>(box, CDlgMsgBox::kSecondId)->click();
    });
    ClickLink(0);
    EXPECT_EQ(QString::fromUtf8("通道参数不一致，是否需要同步？"), question);
    const auto log = Commands(6);
    ASSERT_EQ(6u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 5, 18));
    EXPECT_TRUE(IsDsp(log[1], 5, 24));
    EXPECT_TRUE(IsDsp(log[2], 5, 3));
    EXPECT_TRUE(IsPanelWrite(log[3], EqBandOffset(7, 3)));
    EXPECT_TRUE(IsDsp(log[4], 5, 9));
    EXPECT_TRUE(IsPanelWrite(log[5], EqBandOffset(7, 9)));
    EXPECT_TRUE(ChannelsMatch(0, 1));
    EXPECT_EQ(QStringLiteral("-30dB"), Ctrl<QLabel>(Page(), 1225)->text()); // CH 1 shows CH 2's
    EXPECT_EQ(40, Page()->LevelSlider(1)->GetPos());
    EXPECT_TRUE(Page()->LinkBox(0)->isChecked());
    EXPECT_EQ(1, g_LinkFlags[0]);
}

TEST_F(OutputPageTest, CancellingTheQuestionLeavesThePairUnlinked) {
    Start(6);
    ClickLink(2);
    SetDspParam(11, 17, 55);
    Settle(1);
    const ModalWatch watch =
        WatchModal<CDlgMsgBox>([](CDlgMsgBox* box) { Ctrl<QPushButton>(box, 2)->click(); });
    ClickLink(2);
    EXPECT_FALSE(Page()->LinkBox(2)->isChecked());
    EXPECT_EQ(0, g_LinkFlags[2]);
    EXPECT_EQ('\0', StoredLinkFlags().at(2));
    Pump(50);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty());
}

TEST_F(OutputPageTest, LevelsGoToTheLinkedPairOnly) {
    Start(3);
    StepSliderTo(Page()->LevelSlider(1), 70); // reverb of CH 4, linked with CH 3
    auto log = Commands(2);
    ASSERT_EQ(2u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 7, 18));
    EXPECT_TRUE(IsDsp(log[1], 8, 18));
    EXPECT_EQ(PercentToStored(70), LastDspValue(8, 18));
    EXPECT_EQ(QStringLiteral("70%"), Ctrl<QLabel>(Page(), 1128)->text());

    ShowChannel(4);
    m_sim->ClearCommandLog();
    StepSliderTo(Page()->LevelSlider(1), 30);
    log = Commands(1);
    ASSERT_EQ(1u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 9, 18));
}

TEST_F(OutputPageTest, DelaySwitchModesSplitAndTime) {
    Start(4); // CH 5 is never linked
    CDialogOutput* page = Page();
    Ctrl<QCheckBox>(page, 1293)->click();
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(9, 16) == 0u; }));
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1190)->isEnabled());
    EXPECT_FALSE(page->SplitSlider()->isEnabled()); // whole channel

    struct Case {
        int radio;
        uint32_t secondWeight;
        int lowType, highType;
        bool splitEnabled;
    };
    const Case cases[] = {{1190, FloatBits(1.0f), EQ_HP, EQ_LP, true},
                          {1191, FloatBits(0.0f), EQ_PEQ, EQ_PEQ, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radio);
        m_sim->ClearCommandLog();
        Ctrl<QRadioButton>(page, c.radio)->click();
        const auto log = Commands(5);
        ASSERT_EQ(5u, log.size());
        EXPECT_TRUE(IsDsp(log[0], 9, 14));
        EXPECT_EQ(FloatBits(1.0f), Value(DspWrites(9, 14).back(), 0));
        EXPECT_EQ(c.secondWeight, Value(DspWrites(9, 14).back(), 1));
        const auto memory = m_sim->Memory();
        EXPECT_EQ(c.lowType, DecodeEqBandRecord(memory.data() + EqBandOffset(11, 10)).type);
        EXPECT_EQ(c.highType, DecodeEqBandRecord(memory.data() + EqBandOffset(11, 11)).type);
        EXPECT_EQ(c.splitEnabled, page->SplitSlider()->isEnabled());
    }

    Ctrl<QRadioButton>(page, 1190)->click();
    Settle(5);
    StepSliderTo(page->SplitSlider(), 25);
    Commands(4);
    EXPECT_EQ(QStringLiteral("3000Hz"), Ctrl<QLabel>(page, 1008)->text());
    const auto memory = m_sim->Memory();
    EXPECT_EQ(3000.0, DecodeEqBandRecord(memory.data() + EqBandOffset(11, 10)).frequency);
    EXPECT_EQ(3500.0, DecodeEqBandRecord(memory.data() + EqBandOffset(11, 11)).frequency);

    m_sim->ClearCommandLog();
    StepSliderTo(page->DelaySlider(), 1000);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(9, 15) == 4800u; }));
    EXPECT_EQ(QStringLiteral("100.0ms"), Ctrl<QLabel>(page, 1038)->text());

    // Switched off, the mode and split controls stay usable, drawn grey.
    Ctrl<QCheckBox>(page, 1293)->click();
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(9, 16) == 1u; }));
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1190)->isEnabled());
    EXPECT_TRUE(fx::ShownFaint(Ctrl<QRadioButton>(page, 1190)));
    EXPECT_TRUE(page->SplitSlider()->isEnabled());
    EXPECT_TRUE(page->SplitSlider()->Faint());
    EXPECT_FALSE(Ctrl<QLabel>(page, 1008)->isEnabled());
}

TEST_F(OutputPageTest, MutePhaseAndSourceBelongToTheirOwnChannel) {
    Start();
    CDialogOutput* page = Page();
    struct Case {
        int id;
        int block, parameter;
        uint32_t checked, unchecked;
    };
    const Case cases[] = {
        {1054 + 2, 7, 22, PercentToStored(-100), PercentToStored(100)}, // phase of CH 3
        {CDialogOutput::MuteId(0), 5, 23, 0, PercentToStored(100)},     // mute of CH 1
        {CDialogOutput::MuteId(7), 12, 23, 0, PercentToStored(100)},
    };
    EXPECT_EQ(0xBF7FFFFEu, PercentToStored(-100)); // -0.9999999
    EXPECT_EQ(0x3F800001u, PercentToStored(100));  // 1.0000001
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        for (bool check : {true, false}) {
            m_sim->ClearCommandLog();
            Ctrl<QCheckBox>(page, c.id)->click();
            const auto log = Commands(1); // the linked partner is not touched
            ASSERT_EQ(1u, log.size());
            EXPECT_TRUE(IsDsp(log[0], c.block, c.parameter));
            EXPECT_EQ(check ? c.checked : c.unchecked, LastDspValue(c.block, c.parameter));
        }
    }
    m_sim->ClearCommandLog();
    QComboBox* source = Ctrl<QComboBox>(page, 1217 + 6);
    source->setCurrentIndex(3);
    emit source->activated(3);
    const auto log = Commands(1);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(3u, LastDspValue(11, 13));
    View()->ToggleLanguage();
    EXPECT_EQ(QStringLiteral("CH-SR"), source->currentText());
    EXPECT_EQ(QStringLiteral("Phase 180°"), Ctrl<QCheckBox>(page, 1055)->text());
    EXPECT_EQ(QStringLiteral("CH1+CH2 Linked"), page->LinkBox(0)->text());
    EXPECT_EQ(QStringLiteral("Delay Time"), Ctrl<QLabel>(page, 1132)->text());
    View()->ToggleLanguage();
    EXPECT_EQ(QString::fromUtf8("侧环绕右"), source->currentText());
    EXPECT_EQ(QString::fromUtf8("延时时间"), Ctrl<QLabel>(page, 1132)->text()) << "back in Chinese";
}

TEST_F(OutputPageTest, CompressorAndEqCommandsGoToTheLinkedPair) {
    Start(1);
    CDialogOutput* page = Page();
    StepSliderTo(page->Compressor().Slider(CCompressorSection::Threshold), -10);
    ASSERT_TRUE(
        WaitUntil([&] { return DspWrites(5, 24).size() == 1 && DspWrites(6, 24).size() == 1; }));
    EXPECT_EQ(DspWrites(5, 24).back(), DspWrites(6, 24).back());
    EXPECT_EQ(FloatBits(-10.0f), LastDspValue(5, 24));
    page->Compressor().Switch()->click();
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(5, 25) == 0u && LastDspValue(6, 25) == 0u; }));

    View()->OnCommand(ID_EQ_BYPASS);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(5, 12) == 1u && LastDspValue(6, 12) == 1u; }));
    EXPECT_TRUE(page->Eq().Graph()->Bypass());
    EXPECT_TRUE(page->EqBypassed());

    SetEqBand(7, 2, EQ_PEQ, 300, 5.0, 1.0);
    SetEqBand(8, 2, EQ_PEQ, 300, 5.0, 1.0);
    const ModalWatch watch =
        WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    View()->OnCommand(ID_EQ_RESET);
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return DecodeEqBandRecord(memory.data() + EqBandOffset(7, 2)).gain == 0.0 &&
               DecodeEqBandRecord(memory.data() + EqBandOffset(8, 2)).gain == 0.0;
    }));
    EXPECT_FLOAT_EQ(0.0f, page->Eq().Graph()->Band(2).gain);
}

TEST_F(OutputPageTest, PasteBetweenSets7And12CopiesSixRecords) {
    Start(0);
    SetEqBand(7, 0, EQ_HP, 40, 0.0, 0.7);
    SetEqBand(7, 5, EQ_PEQ, 1200, -3.0, 2.0);
    SetEqBand(7, 6, EQ_PEQ, 2500, 4.0, 1.0); // not copied: set 12 counts 6
    Settle(6);
    CopyPasteOnGraph(Page()->Eq().Graph(), 0);
    EXPECT_EQ(7, g_EqClipboardSet);
    ShowChannel(kCrossoverChannel);
    m_sim->ClearCommandLog();
    CopyPasteOnGraph(Page()->Eq().Graph(), 1);
    // Six records copied; the whole destination set is sent again.
    auto log = Commands(20);
    ASSERT_EQ(20u, log.size());
    EXPECT_TRUE(IsPanelWrite(log[11], EqBandOffset(12, 5)));
    auto memory = m_sim->Memory();
    EXPECT_TRUE(std::equal(memory.begin() + EqBandOffset(7, 0), memory.begin() + EqBandOffset(7, 6),
                           memory.begin() + EqBandOffset(12, 0)));
    EXPECT_EQ(18, DecodeEqBandRecord(memory.data() + EqBandOffset(12, 6)).type); // untouched
    EXPECT_EQ(EQ_HP, Page()->Eq().Graph()->Band(0).type);                        // reloaded

    // And back: from set 12 into set 7, again 6.
    SetEqBand(12, 1, EQ_PEQ, 90, 2.5, 1.5);
    Settle(2);
    CopyPasteOnGraph(Page()->Eq().Graph(), 0);
    ShowChannel(0);
    m_sim->ClearCommandLog();
    CopyPasteOnGraph(Page()->Eq().Graph(), 1);
    // CH 1 is linked with CH 2: the paste goes to both sets.
    log = Commands(40);
    ASSERT_EQ(40u, log.size());
    memory = m_sim->Memory();
    for (int set : {7, 8}) {
        EXPECT_EQ(90.0, DecodeEqBandRecord(memory.data() + EqBandOffset(set, 1)).frequency);
        EXPECT_EQ(40.0, DecodeEqBandRecord(memory.data() + EqBandOffset(set, 0)).frequency);
    }
    EXPECT_EQ(2500.0, DecodeEqBandRecord(memory.data() + EqBandOffset(7, 6)).frequency);
    g_EqClipboardSet = -1;
}

TEST_F(OutputPageTest, WheelGoesToTheFocusedLevelSliderButNotToALowNumberedBox) {
    Start(4);
    CDialogOutput* page = Page();
    page->LevelSlider(3)->setFocus();
    SendWheel(page->Eq().Graph(), -120);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(9, 20) == PercentToStored(99); }));
    EXPECT_EQ(QStringLiteral("99%"), Ctrl<QLabel>(page, 1130)->text());

    m_sim->ClearCommandLog();
    Ctrl<QCheckBox>(page, CDialogOutput::MuteId(0))->setFocus(); // 1045
    SendWheel(page->Eq().Graph(), -120);
    Pump(50);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty());
    EXPECT_EQ(99, page->LevelSlider(3)->GetPos());
}

} // namespace

namespace {

TEST_F(OutputPageTest, StoredLinkFlagsAndTheirDefault) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, CAppSettings::kKey,
                    QStringLiteral("Settings"));
    const struct {
        QByteArray stored; // empty: no value
        std::array<uint8_t, 3> flags;
    } cases[] = {
        {QByteArray(), {1, 1, 1}},
        {QByteArray("\x00\x01\x00\x00\x00\x00\x00\x00", 8), {0, 1, 0}},
        {QByteArray("\x00\x00\x00", 3), {1, 1, 1}}, // not 8 bytes: as if missing
    };
    for (const auto& c : cases) {
        if (c.stored.isEmpty())
            store.remove("QtOption");
        else
            store.setValue("QtOption", c.stored);
        store.sync();
        CAppSettings::LoadChannelLinkFlags();
        for (int pair = 0; pair < 3; ++pair) EXPECT_EQ(c.flags[pair], g_LinkFlags[pair]) << pair;
    }
}

TEST_F(OutputPageTest, ProcessorResetLinksEveryPairAgain) {
    Start(2);
    ClickLink(1);
    ClickLink(2);
    ASSERT_FALSE(Page()->LinkBox(1)->isChecked());
    const ModalWatch watch =
        WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    View()->OnCommand(ID_MACHINE_RESET);
    for (int pair = 0; pair < kLinkPairCount; ++pair)
        EXPECT_TRUE(Page()->LinkBox(pair)->isChecked());
    EXPECT_EQ(CAppSettings::DefaultChannelLinkFlags(), StoredLinkFlags());
    CloseStrayWindows(); // the restart notice
}

TEST_F(OutputPageTest, ShowsTheChannelAgainAfterAWholeImageRead) {
    Start(1);
    PrepareMemory([](SimProcessor::Image& memory) {
        WriteBigEndian32(memory.data() + DspRecordValueOffset(6, 19), PercentToStored(35));
        WriteBigEndian32(memory.data() + DspRecordValueOffset(6, 22), PercentToStored(-100));
        WriteBigEndian32(memory.data() + DspRecordValueOffset(6, 15), MsToSamples(20.0));
        EncodeEqBandRecord({-6.0, 700, 2.0, EQ_PEQ}, memory.data() + EqBandOffset(8, 4));
    });
    StartDelayedRead();
    ASSERT_TRUE(WaitUntil([&] { return Page()->LevelSlider(2)->GetPos() == 35; }));
    EXPECT_EQ(QStringLiteral("35%"), Ctrl<QLabel>(Page(), 1129)->text());
    EXPECT_TRUE(Ctrl<QCheckBox>(Page(), 1055)->isChecked());
    EXPECT_EQ(200, Page()->DelaySlider()->GetPos());
    EXPECT_EQ(QStringLiteral("-6.0dB"), Page()->Eq().BandList()->CellText(4, CEqEditor::ColGain));
}

} // namespace
