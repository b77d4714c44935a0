#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CXBmpSlider.h"
#include "controls/EqModel.h"
#include "pages/CCompressorSection.h"
#include "pages/CDialogOutput.h"
#include "pages/CDialogRec.h"
#include "pages/CEqEditor.h"
#include "pages/CPageNavRow.h"
#include "shell/CHalvoxView.h"
#include "shell/CMainFrame.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/RibbonIds.h"
#include "state/Compressor.h"
#include "state/ParamImage.h"
#include "state/RecordingOutput.h"
#include "state/SyncJobs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

using Setting = CCompressorSection::Setting;

EqBandRecord SimBand(const SimProcessor& sim, int set, int band) {
    return DecodeEqBandRecord(sim.Memory().data() + EqBandOffset(set, band));
}

class RecordPageTest : public GuiFixture {
protected:
    void Start(const std::function<void(SimProcessor::Image&)>& prepare = {}) {
        PrepareMemory(prepare);
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        ShowRecording();
        m_sim->ClearCommandLog();
    }

    void ShowRecording() {
        View()->ShowPage(PAGE_RECORDING, 0);
        ASSERT_TRUE(WaitUntil([&] { return Page() != nullptr; }));
    }

    CDialogRec* Page() const { return qobject_cast<CDialogRec*>(View()->CurrentPage()); }
    CDialogOutput* OutputPage() const {
        return qobject_cast<CDialogOutput*>(View()->CurrentPage());
    }

    // Brings changes made outside the page to the processor and forgets them.
    void Settle(size_t count) {
        Commands(count);
        m_sim->ClearCommandLog();
    }

    QString ListCell(int row, int column) const {
        return Page()->Eq().BandList()->CellText(row, column);
    }
};

TEST_F(RecordPageTest, ReachedFromTheNavigationRowWithTheRecordingSettings) {
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    View()->ShowPage(PAGE_OUTPUT, 0);
    ASSERT_TRUE(WaitUntil([&] { return OutputPage() != nullptr; }));
    Click(OutputPage()->NavRow().Button(IDC_NAV_RECORD));
    ASSERT_TRUE(WaitUntil([&] { return Page() != nullptr; }));
    CDialogRec* page = Page();

    EXPECT_FALSE(Ctrl<QLabel>(page, IDC_REC_PICTURE)->pixmap().isNull());
    for (int n = 0; n < CDialogRec::kLevelCount; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(100, page->LevelSlider(n)->GetPos());
        EXPECT_EQ(QStringLiteral("100%"), page->LevelValue(n)->text());
    }
    EXPECT_EQ(IDC_REC_RECORD_LEVEL, CtrlId(page->LevelSlider(4)));
    EXPECT_EQ(QString::fromUtf8("录音电平"), Ctrl<QLabel>(page, 1132)->text());
    // The compressor is off by default, at 30:1.
    EXPECT_FALSE(Ctrl<QCheckBox>(page, 1081)->isChecked());
    EXPECT_EQ(QStringLiteral("30.0:1"), Ctrl<QLabel>(page, 1226)->text());
    EXPECT_EQ(QStringLiteral("0dB"), Ctrl<QLabel>(page, 1225)->text());
    // Set 15, five rows with the default bands.
    EXPECT_EQ(15, page->Eq().Graph()->Set());
    ASSERT_EQ(5, page->Eq().BandList()->rowCount());
    const char* const frequencies[5] = {"31Hz", "62Hz", "125Hz", "250Hz", "500Hz"};
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(QString::number(b + 1), ListCell(b, CEqEditor::ColNumber));
        EXPECT_EQ(QString::fromUtf8("参量"), ListCell(b, CEqEditor::ColType));
        EXPECT_EQ(QString::fromLatin1(frequencies[b]), ListCell(b, CEqEditor::ColFreq));
    }
    EXPECT_EQ(60, page->Eq().BandList()->columnWidth(CEqEditor::ColType));
    EXPECT_TRUE(page->Eq().BandList()->isVisible());
    // Its own button is pressed; the compressor page's is there too.
    EXPECT_TRUE(page->NavRow().Button(IDC_NAV_RECORD)->isChecked());
    EXPECT_FALSE(page->NavRow().Button(IDC_NAV_COMP)->isHidden());
    EXPECT_FALSE(page->NavRow().Button(IDC_NAV_LOCATION)->isHidden());
    // The status bar's EQ shortcuts act on this page.
    EXPECT_TRUE(m_frame->StatusBar()->BypassBox()->isEnabled());

    // Its own button keeps the page; a channel button opens the output page there.
    Click(page->NavRow().Button(IDC_NAV_RECORD));
    Pump(50);
    EXPECT_EQ(page, Page());
    EXPECT_TRUE(page->NavRow().Button(IDC_NAV_RECORD)->isChecked());
    Click(page->NavRow().Button(CPageNavRow::ChannelButtonId(2)));
    ASSERT_TRUE(WaitUntil([&] { return OutputPage() != nullptr; }));
    EXPECT_EQ(2, OutputPage()->Channel());
}

TEST_F(RecordPageTest, LevelSlidersWriteBlock13) {
    Start();
    const struct {
        int slider;
        int parameter;
        int position;
        const char* wire; // the float the processor receives
    } cases[] = {{0, 6, 20, "0.2000001"},
                 {1, 7, 0, "0.0000000"},
                 {2, 8, 35, "0.3500001"}, // the echo
                 {3, 9, 99, "0.9900001"},
                 {4, 12, 64, "0.6400001"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slider);
        m_sim->ClearCommandLog();
        StepSliderTo(Page()->LevelSlider(c.slider), c.position);
        const auto log = Commands(1);
        ASSERT_EQ(1u, log.size());
        EXPECT_TRUE(IsDsp(log[0], 13, c.parameter));
        const uint32_t stored = LastDspValue(13, c.parameter);
        EXPECT_EQ(PercentToStored(c.position), stored);
        EXPECT_EQ(QString::fromLatin1(c.wire), QString::number(FloatFromBits(stored), 'f', 7));
        EXPECT_EQ(QStringLiteral("%1%").arg(c.position), Page()->LevelValue(c.slider)->text());
        EXPECT_EQ(c.position, int(GetDspParam(13, c.parameter)));
    }
    EXPECT_EQ(QStringLiteral("35%"), Ctrl<QLabel>(Page(), 1129)->text());
}

TEST_F(RecordPageTest, CompressorWritesTheRecordingOutputOnly) {
    Start();
    CCompressorSection& comp = Page()->Compressor();
    for (uint32_t expected : {0u, 1u}) {
        SCOPED_TRACE(expected);
        m_sim->ClearCommandLog();
        comp.Switch()->click();
        const auto log = Commands(1);
        ASSERT_EQ(1u, log.size());
        EXPECT_TRUE(IsDsp(log[0], 13, 11));
        EXPECT_EQ(expected, LastDspValue(13, 11));
        EXPECT_EQ(expected == 0u, CompressorActive(kRecordVarIndex));
    }

    m_sim->ClearCommandLog();
    StepSliderTo(comp.Slider(Setting::Ratio), 40);
    const auto log = Commands(1);
    ASSERT_EQ(1u, log.size());
    ASSERT_TRUE(IsDsp(log[0], 13, 10));
    EXPECT_EQ(7, log[0][4]); // the whole record
    // The ratio changed; the other three settings are the recording output's own.
    ASSERT_EQ(1u, DspWrites(13, 10).size());
    const std::vector<uint8_t> record = DspWrites(13, 10).back();
    ASSERT_EQ(28u, record.size());
    const auto value = [&](int i) { return FloatFromBits(ReadBigEndian32(record.data() + 4 * i)); };
    EXPECT_EQ(0.0f, value(0));
    EXPECT_EQ(0.75f, value(2));
    EXPECT_NEAR(0.0206178, value(5), 1e-7);   // 1 ms
    EXPECT_NEAR(0.000208318, value(6), 1e-9); // 100 ms
    EXPECT_EQ(QStringLiteral("4.0:1"), comp.Value(Setting::Ratio)->text());
    EXPECT_DOUBLE_EQ(4.0, g_Compressor()[kRecordVarIndex].ratio);
    EXPECT_NEAR(30.0, g_Compressor()[0].ratio, 1e-3); // CH 1 untouched
}

TEST_F(RecordPageTest, StatusBarBypassAndResetActOnSet15) {
    Start();
    CDialogRec* page = Page();
    for (uint32_t expected : {1u, 0u}) {
        SCOPED_TRACE(expected);
        View()->OnCommand(ID_EQ_BYPASS);
        ASSERT_TRUE(WaitUntil([&] { return LastDspValue(13, 5) == expected; }));
        EXPECT_EQ(expected == 1u, page->EqBypassed());
        EXPECT_EQ(expected == 1u, page->Eq().Graph()->Bypass());
        EXPECT_EQ(expected == 1u, m_frame->StatusBar()->BypassBox()->isChecked());
    }

    SetEqBand(15, 1, EQ_HS, 3000, 6.0, 0.7);
    SetEqBand(15, 4, EQ_LP, 12000, 0.0, 0.9);
    Settle(4);
    page->Reload();
    Click(page->Eq().Graph(), page->Eq().Graph()->HandleCentre(1));
    ASSERT_TRUE(page->Eq().EditorShown());
    const ModalWatch watch =
        WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    View()->OnCommand(ID_EQ_RESET);
    const auto log = Commands(10);
    ASSERT_EQ(10u, log.size());
    const double reset[5] = {50, 100, 200, 400, 800};
    for (int b = 0; b < 5; ++b) {
        SCOPED_TRACE(b);
        EXPECT_TRUE(IsDsp(log[2 * b], 13, b));
        EXPECT_TRUE(IsPanelWrite(log[2 * b + 1], EqBandOffset(15, b)));
        const EqBandRecord band = SimBand(*m_sim, 15, b);
        EXPECT_EQ(reset[b], band.frequency);
        EXPECT_EQ(EQ_PEQ, band.type);
        EXPECT_EQ(0.0, band.gain);
        EXPECT_NEAR(1.41, band.q, 1e-9);
        EXPECT_EQ(QStringLiteral("%1Hz").arg(reset[b]), ListCell(b, CEqEditor::ColFreq));
    }
    EXPECT_EQ(-1, page->Eq().SelectedBand());
    EXPECT_FALSE(page->Eq().EditorShown());
    EXPECT_TRUE(page->Eq().BandList()->isVisible());
}

TEST_F(RecordPageTest, PasteTakesOnlyTheFirstFiveBandsOfATenBandSet) {
    Start();
    const EqBandRecord shaped[6] = {{0.0, 40, 0.7, EQ_HP},    {-4.5, 120, 1.4, EQ_PEQ},
                                    {3.0, 700, 2.0, EQ_PEQ},  {0.0, 900, 1.0, EQ_PEQ},
                                    {-2.0, 6000, 0.7, EQ_HS}, {5.0, 9000, 3.0, EQ_PEQ}};
    for (int b = 0; b < 6; ++b)
        SetEqBand(7, b, shaped[b].type, shaped[b].frequency, shaped[b].gain, shaped[b].q);
    Settle(12);
    const auto surroundBefore = m_sim->Memory();

    View()->ShowPage(PAGE_OUTPUT, 0);
    ASSERT_TRUE(WaitUntil([&] { return OutputPage() != nullptr; }));
    CopyPasteOnGraph(OutputPage()->Eq().Graph(), 0);
    EXPECT_EQ(7, g_EqClipboardSet);
    ShowRecording();
    CopyPasteOnGraph(Page()->Eq().Graph(), 1);
    // Five records copied, set 15 sent again.
    auto log = Commands(10);
    ASSERT_EQ(10u, log.size());
    auto memory = m_sim->Memory();
    EXPECT_TRUE(std::equal(memory.begin() + EqBandOffset(7, 0), memory.begin() + EqBandOffset(7, 5),
                           memory.begin() + EqBandOffset(15, 0)));
    // The sixth band would land on the surround levels right after set 15.
    EXPECT_TRUE(std::equal(surroundBefore.begin() + kSurroundLevelsOffset,
                           surroundBefore.begin() + kPanelSize,
                           memory.begin() + kSurroundLevelsOffset));
    EXPECT_EQ(EQ_HP, Page()->Eq().Graph()->Band(0).type); // reloaded
    EXPECT_EQ(QStringLiteral("6000Hz"), ListCell(4, CEqEditor::ColFreq));

    // And from set 15 into a ten-band set: five bands, the others stay.
    m_sim->ClearCommandLog();
    CopyPasteOnGraph(Page()->Eq().Graph(), 0);
    EXPECT_EQ(15, g_EqClipboardSet);
    View()->ShowPage(PAGE_OUTPUT, 4);
    ASSERT_TRUE(WaitUntil([&] { return OutputPage() != nullptr; }));
    CopyPasteOnGraph(OutputPage()->Eq().Graph(), 1);
    log = Commands(20);
    ASSERT_EQ(20u, log.size());
    memory = m_sim->Memory();
    EXPECT_TRUE(std::equal(memory.begin() + EqBandOffset(15, 0),
                           memory.begin() + EqBandOffset(15, 5),
                           memory.begin() + EqBandOffset(11, 0)));
    EXPECT_EQ(1000.0, SimBand(*m_sim, 11, 5).frequency);
    g_EqClipboardSet = -1;
}

TEST_F(RecordPageTest, BandEditsFromTheGraphListAndEditorWriteSet15) {
    Start();
    CDialogRec* page = Page();
    // The list: a gain typed into row 4.
    page->Eq().BandList()->SetCellText(3, CEqEditor::ColGain, QStringLiteral("+4.5"));
    emit page->Eq().BandList()->CellEdited(3, CEqEditor::ColGain, QStringLiteral("+4.5"));
    auto log = Commands(2);
    ASSERT_EQ(2u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 13, 3));
    EXPECT_TRUE(IsPanelWrite(log[1], EqBandOffset(15, 3)));
    EXPECT_DOUBLE_EQ(4.5, SimBand(*m_sim, 15, 3).gain);
    EXPECT_EQ(QStringLiteral("+4.5dB"), ListCell(3, CEqEditor::ColGain));

    // The graph selects band 3; the editor's HS radio writes it.
    m_sim->ClearCommandLog();
    Click(page->Eq().Graph(), page->Eq().Graph()->HandleCentre(2));
    ASSERT_TRUE(page->Eq().EditorShown());
    EXPECT_EQ(QStringLiteral("3"), Ctrl<QLabel>(page, IDC_EQ_BAND_NUMBER)->text());
    Ctrl<QRadioButton>(page, IDC_EQ_RADIO_HS)->click();
    log = Commands(2);
    ASSERT_EQ(2u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 13, 2));
    EXPECT_EQ(EQ_HS, SimBand(*m_sim, 15, 2).type);
    EXPECT_EQ(QString::fromUtf8("高架"), ListCell(2, CEqEditor::ColType));
}

TEST_F(RecordPageTest, LanguageSwitchRelabelsThePageAndRebuildsItsList) {
    Start();
    SetEqBand(15, 0, EQ_LS, 80, 3.0, 0.8);
    Settle(2);
    CDialogRec* page = Page();
    page->Reload();
    const QImage chinese = Ctrl<QLabel>(page, IDC_REC_PICTURE)->pixmap().toImage();

    View()->ToggleLanguage();
    const struct {
        int id;
        const char* english;
    } texts[] = {{1069, "CH 1"},    {1079, "CH 8"},      {1074, "Record"},
                 {1123, "Direct "}, {1132, "Rec Level"}, {1081, "Compressor Switch"},
                 {1002, "Ratio"},   {1204, "PEQ"}};
    for (const auto& t : texts) {
        QWidget* control = Ctrl<QWidget>(page, t.id);
        ASSERT_NE(nullptr, control) << t.id;
        const QString text = control->property("text").toString();
        EXPECT_EQ(QString::fromLatin1(t.english), text) << t.id;
    }
    CGridListCtrlEx* list = page->Eq().BandList();
    EXPECT_EQ(QStringLiteral("Type"), list->horizontalHeaderItem(CEqEditor::ColType)->text());
    EXPECT_EQ(QStringLiteral("LS"), ListCell(0, CEqEditor::ColType));
    EXPECT_EQ(QStringLiteral("80Hz"), ListCell(0, CEqEditor::ColFreq));
    EXPECT_EQ(QStringLiteral("PEQ"), ListCell(1, CEqEditor::ColType));
    EXPECT_EQ(5, list->rowCount());
    EXPECT_NE(chinese, Ctrl<QLabel>(page, IDC_REC_PICTURE)->pixmap().toImage());
    QStringList titles;
    for (const QGroupBox* group : page->findChildren<QGroupBox*>()) titles << group->title();
    EXPECT_TRUE(titles.contains(QStringLiteral("Recording levels")))
        << titles.join(',').toStdString();

    View()->ToggleLanguage();
    EXPECT_EQ(QString::fromUtf8("录音电平"), Ctrl<QLabel>(page, 1132)->text());
    EXPECT_EQ(QString::fromUtf8("低架"), ListCell(0, CEqEditor::ColType));
    EXPECT_EQ(QString::fromUtf8("类型"), list->horizontalHeaderItem(CEqEditor::ColType)->text());
    EXPECT_EQ(chinese, Ctrl<QLabel>(page, IDC_REC_PICTURE)->pixmap().toImage());
    Pump(50);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty()); // relabelling sends nothing
}

TEST_F(RecordPageTest, ARefreshDuringACellEditDropsTheEditAndSendsNothing) {
    Start();
    CGridListCtrlEx* list = Page()->Eq().BandList();
    ASSERT_TRUE(list->EditCell(0, CEqEditor::ColGain));
    auto* edit = list->findChild<QLineEdit*>();
    ASSERT_NE(nullptr, edit);
    edit->setText(QStringLiteral("9"));
    Page()->Reload(); // the list is built again under the open editor
    Pump(100);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty());
    EXPECT_EQ(QStringLiteral("+0.0dB"), ListCell(0, CEqEditor::ColGain));
    EXPECT_EQ(5, list->rowCount());
}

TEST_F(RecordPageTest, WheelGoesToTheFocusedRecordingLevelSlider) {
    Start();
    CDialogRec* page = Page();
    page->LevelSlider(4)->setFocus();
    SendWheel(page->Eq().Graph(), -120);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(13, 12) == PercentToStored(99); }));
    EXPECT_EQ(QStringLiteral("99%"), Ctrl<QLabel>(page, 1131)->text());
}

TEST_F(RecordPageTest, ShowsTheRecordingOutputAgainAfterAWholeImageRead) {
    Start();
    CDialogRec* page = Page();
    PrepareMemory([](SimProcessor::Image& memory) {
        WriteBigEndian32(memory.data() + DspRecordValueOffset(13, 7), PercentToStored(35));
        WriteBigEndian32(memory.data() + DspRecordValueOffset(13, 12), PercentToStored(60));
        WriteBigEndian32(memory.data() + DspRecordValueOffset(13, 5), 1);
        WriteBigEndian32(memory.data() + DspRecordValueOffset(13, 11), 0);
        const auto comp = EncodeCompressorRecord(-24, 3.5, 12, 240);
        for (int i = 0; i < kCompressorValueCount; ++i)
            WriteBigEndian32(memory.data() + DspRecordValueOffset(13, 10) + 4 * i, comp[i]);
        EncodeEqBandRecord({-6.0, 700, 2.0, EQ_PEQ}, memory.data() + EqBandOffset(15, 3));
    });
    StartDelayedRead();
    ASSERT_TRUE(WaitUntil([&] { return page->LevelSlider(1)->GetPos() == 35; }));
    EXPECT_EQ(page, Page());
    EXPECT_EQ(QStringLiteral("35%"), page->LevelValue(1)->text());
    EXPECT_EQ(60, page->LevelSlider(4)->GetPos());
    EXPECT_EQ(QStringLiteral("60%"), page->LevelValue(4)->text());
    CCompressorSection& comp = page->Compressor();
    EXPECT_TRUE(comp.Switch()->isChecked());
    const char* const shown[4] = {"-24dB", "3.5:1", "12ms", "240ms"};
    for (int s = 0; s < 4; ++s)
        EXPECT_EQ(QString::fromLatin1(shown[s]), comp.Value(Setting(s))->text()) << s;
    EXPECT_EQ(-24, comp.Slider(Setting::Threshold)->GetPos());
    EXPECT_TRUE(page->Eq().Graph()->Bypass());
    EXPECT_EQ(QStringLiteral("-6.0dB"), ListCell(3, CEqEditor::ColGain));
    EXPECT_EQ(QStringLiteral("700Hz"), ListCell(3, CEqEditor::ColFreq));
    EXPECT_FLOAT_EQ(700.0f, page->Eq().Graph()->Band(3).frequency);
}

} // namespace

// The recording EQ's band list wears the other EQ tables' colours.
TEST_F(RecordPageTest, TheBandListHasTheColoursOfTheOtherEqTables) {
    Start();
    const QColor text = Page()->Eq().BandList()->RowTextColor(0);
    const QColor background = Page()->Eq().BandList()->BackgroundColor();
    View()->ShowPage(PAGE_OUTPUT, 0);
    ASSERT_NE(nullptr, OutputPage());
    EXPECT_EQ(OutputPage()->Eq().BandList()->RowTextColor(0), text);
    EXPECT_EQ(OutputPage()->Eq().BandList()->BackgroundColor(), background);
}
