#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CPeakMeterCtrl.h"
#include "controls/CSmallEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "pages/CDialogMusic.h"
#include "pages/CEqEditor.h"
#include "pages/CPageNavigator.h"
#include "shell/CHalvoxView.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRadioButton>
#include <QWheelEvent>

#include <algorithm>
#include <cstring>

namespace {
uint32_t BigEndian(const uint8_t* bytes) {
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
           bytes[3];
}

class MusicPageTest : public GuiFixture {
protected:
    void Start(const std::function<void(SimProcessor::Image&)>& prepare = {}) {
        PrepareMemory(prepare);
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        m_sim->ClearCommandLog();
    }

    CDialogMusic* Page() const { return qobject_cast<CDialogMusic*>(View()->CurrentPage()); }

    void ShowSubPage(int subPage) {
        View()->ShowPage(PAGE_MUSIC, subPage);
        ASSERT_TRUE(WaitUntil([&] { return Page() && Page()->SubPage() == subPage; }));
    }

    uint32_t MemoryValue(int offset) const { return BigEndian(m_sim->Memory().data() + offset); }
};
} // namespace

TEST_F(MusicPageTest, ViewShowsTheMusicPageWithItsDefaults) {
    Start();
    CDialogMusic* page = Page();
    ASSERT_NE(nullptr, page);
    EXPECT_TRUE(Ctrl<CGdipButton>(page, 1068)->isChecked());
    EXPECT_FALSE(Ctrl<CGdipButton>(page, 1070)->isChecked());
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1190)->isChecked()); // input 1 on chain A
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1192)->isChecked()); // input 2 on chain A too
    EXPECT_FALSE(Ctrl<QRadioButton>(page, 1193)->isChecked());
    EXPECT_EQ(20, Ctrl<CXBmpSlider>(page, 1052)->GetPos());
    EXPECT_EQ(QStringLiteral("100"), Ctrl<QLabel>(page, 1160)->text());
    EXPECT_TRUE(Ctrl<QLabel>(page, 1187)->isHidden()); // inputs 3 and 4 are hidden
    EXPECT_EQ(QString::fromUtf8("话筒通道A"), Ctrl<CGdipButton>(page, 1068)->text());
    EXPECT_EQ(QString::fromUtf8("噪声门"), Ctrl<QLabel>(page, 1153)->text());
    CEqPanel* graph = page->Eq().Graph();
    EXPECT_EQ(0, graph->Set());
    EXPECT_EQ(15, graph->BandCount());
    EXPECT_FLOAT_EQ(998.0f, graph->Band(8).frequency); // as stored, not the graph's 1000
    CGridListCtrlEx* bands = page->Eq().BandList();
    EXPECT_EQ(15, bands->rowCount());
    EXPECT_EQ(QString::fromUtf8("参量"), bands->CellText(0, CEqEditor::ColType));
    EXPECT_EQ(QStringLiteral("+0.0dB"), bands->CellText(0, CEqEditor::ColGain));
    EXPECT_EQ(QStringLiteral("998Hz"), bands->CellText(8, CEqEditor::ColFreq));
    EXPECT_EQ(QStringLiteral("1.41"), bands->CellText(8, CEqEditor::ColQ));
    EXPECT_EQ(QColor(0, 200, 255), bands->RowTextColor(0));
    // Previews of chain A's reverb (set 4) and echo (set 2) EQs.
    EXPECT_EQ(QColor::fromRgba(0xFF00C8FF), page->ReverbPreview()->CurveColor());
    EXPECT_FLOAT_EQ(120.0f, page->ReverbPreview()->BandAt(0).frequency);
    EXPECT_EQ(3, page->ReverbPreview()->BandAt(0).type);
    EXPECT_EQ(1, page->EchoPreview()->BandAt(0).type); // the echo EQ's bands are PEQs...
    EXPECT_EQ(2, page->EchoPreview()->BandAt(6).type); // ...but its last, a low-pass at 5 kHz
    EXPECT_FLOAT_EQ(5000.0f, page->EchoPreview()->BandAt(6).frequency);
    EXPECT_EQ(QStringLiteral("12%"), page->EffectList()->CellText(0, 2));
    EXPECT_EQ(QStringLiteral("247ms"), page->EffectList()->CellText(5, 2));
    EXPECT_EQ(QStringLiteral("5Hz"), page->EffectList()->CellText(8, 2));
}

TEST_F(MusicPageTest, RoutingAnInputSendsBothSharesInOrder) {
    Start();
    CDialogMusic* page = Page();
    Ctrl<QRadioButton>(page, 1190 + 2 * 1 + 1)->click(); // input 2 "CH B"
    auto log = Commands(2);
    ASSERT_EQ(2u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 1, 35));
    EXPECT_EQ(0u, BigEndian(&log[0][5]));
    EXPECT_TRUE(IsDsp(log[1], 1, 62));
    EXPECT_EQ(0x3F800001u, BigEndian(&log[1][5])); // 100 %
    EXPECT_EQ(0u, MemoryValue(1369));
    EXPECT_EQ(0x3F800001u, MemoryValue(1473));

    m_sim->ClearCommandLog();
    Ctrl<QRadioButton>(page, 1190)->click(); // input 1 "CH A" (already there: sent anyway)
    log = Commands(2);
    ASSERT_EQ(2u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 1, 34));
    EXPECT_TRUE(IsDsp(log[1], 1, 61));
    EXPECT_EQ(0u, BigEndian(&log[1][5]));
}

TEST_F(MusicPageTest, NoiseGateAndVolumeSlidersSendAndShowTheirValue) {
    Start();
    CDialogMusic* page = Page();
    CXBmpSlider* gate = Ctrl<CXBmpSlider>(page, 1053);
    gate->setFocus();
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(gate, &up);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(1, 9) != 0xFFFFFFFFu; }));
    EXPECT_EQ(TenThousandthsToStored(21), LastDspValue(1, 9));
    EXPECT_EQ(QStringLiteral("21"), Ctrl<QLabel>(page, 1154)->text());
    // The wheel over another control goes to the focused slider.
    CXBmpSlider* volume = Ctrl<CXBmpSlider>(page, 1056);
    volume->setFocus();
    SendWheel(page->Eq().BandList()->viewport(), -120);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(1, 4) != 0xFFFFFFFFu; }));
    EXPECT_EQ(99, volume->GetPos());
    EXPECT_EQ(PercentToStored(99), LastDspValue(1, 4));
    EXPECT_EQ(QStringLiteral("99"), Ctrl<QLabel>(page, 1160)->text());
}

TEST_F(MusicPageTest, MusicSubPageDisablesEffectsAndEditsTheMusicEq) {
    Start();
    CDialogMusic* page = Page();
    Ctrl<CGdipButton>(page, 1070)->click();
    ASSERT_TRUE(WaitUntil([&] { return Page()->SubPage() == 2; }));
    EXPECT_EQ(page, Page()); // the same page, reloaded
    EXPECT_EQ(2, View()->LastMusicSubPage());
    EXPECT_TRUE(Ctrl<CGdipButton>(page, 1070)->isChecked());
    EXPECT_FALSE(Ctrl<CGdipButton>(page, 1068)->isChecked());
    for (int id : {1141, 1000, 1038, 1124, 1144, 1143, 1281, 1215})
        EXPECT_FALSE(Ctrl<QWidget>(page, id)->isEnabled()) << id;
    EXPECT_EQ(QColor::fromRgba(0xFF646464), page->ReverbPreview()->CurveColor());

    CEqPanel* graph = page->Eq().Graph();
    EXPECT_EQ(6, graph->Set());
    EXPECT_EQ(10, graph->BandCount());
    EXPECT_EQ(10, page->Eq().BandList()->rowCount());
    EXPECT_EQ(QColor(255, 200, 0), page->Eq().BandList()->RowTextColor(0));

    View()->OnCommand(ID_EQ_BYPASS);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(4, 11) == 1u; }));
    EXPECT_TRUE(graph->Bypass());
    EXPECT_TRUE(page->EqBypassed());
    EXPECT_EQ(1u, MemoryValue(1759));
    View()->OnCommand(ID_EQ_BYPASS);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(4, 11) == 0u; }));
    EXPECT_FALSE(graph->Bypass());
    EXPECT_TRUE(DspWrites(1, 33).empty());

    // An effect can not be changed from here.
    page->ApplyEffect(0, 50);
    Pump(30);
    EXPECT_TRUE(DspWrites(3, 8).empty());
}

TEST_F(MusicPageTest, EffectRowsShowTheirValueTexts) {
    Start();
    CDialogMusic* page = Page();
    struct Case {
        int row;
        int value;
        const char* text;
        int block;
        int parameter;
        uint32_t stored;
    };
    const Case cases[] = {
        {0, 30, "30%", 3, 8, PercentToStored(30)},
        {1, 5, "5ms", 3, 9, 240},
        {2, 0, "40ms", 3, 10, 0},
        {2, 100, "5000ms", 3, 11, PercentToStored(100)},
        {4, 200, "200ms", 2, 10, 9600},
        {5, 160, "160ms", 2, 11, 7680},
        {7, 90, "90%", 2, 13, PercentToStored(90)},
    };
    for (const Case& c : cases) {
        page->SelectEffectRow(c.row);
        page->ApplyEffect(c.row, c.value);
        ASSERT_TRUE(WaitUntil([&] { return LastDspValue(c.block, c.parameter) == c.stored; }))
            << c.text;
        EXPECT_EQ(QString::fromUtf8(c.text), page->EffectList()->CellText(c.row, 2));
        EXPECT_EQ(QString::fromUtf8(c.text), Ctrl<QLineEdit>(page, 1038)->text());
        EXPECT_EQ(c.value, page->EffectSlider()->GetPos());
    }
    // The reverb time is both parameters of the chain.
    EXPECT_EQ(PercentToStored(100), LastDspValue(3, 10));
    EXPECT_EQ(PercentToStored(100), LastDspValue(3, 11));
    EXPECT_EQ(QString::fromUtf8("回声衰减比例"), Ctrl<QLabel>(page, 1124)->text());
}

TEST_F(MusicPageTest, ShiftValueOneSwitchesOffAndOthersSendStepAndWindow) {
    Start();
    CDialogMusic* page = Page();
    page->SelectEffectRow(8);
    page->ApplyEffect(8, 1);
    auto log = Commands(1);
    ASSERT_EQ(1u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 1, 40));
    EXPECT_EQ(1u, BigEndian(&log[0][5]));
    EXPECT_EQ(QString::fromUtf8("关闭"), page->EffectList()->CellText(8, 2));

    m_sim->ClearCommandLog();
    page->ApplyEffect(8, 5);
    log = Commands(3);
    ASSERT_EQ(3u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 1, 40));
    EXPECT_EQ(0u, BigEndian(&log[0][5]));
    EXPECT_TRUE(IsDsp(log[1], 1, 38));
    EXPECT_EQ(0x3A2B92A6u, BigEndian(&log[1][5])); // 0.000654498
    EXPECT_TRUE(IsDsp(log[2], 1, 39));
    EXPECT_EQ(1200u, BigEndian(&log[2][5]));
    EXPECT_EQ(QStringLiteral("5Hz"), Ctrl<QLineEdit>(page, 1038)->text());
    EXPECT_EQ(1200u, MemoryValue(1397));

    // Chain B uses its own three parameters.
    ShowSubPage(1);
    m_sim->ClearCommandLog();
    page->ApplyEffect(8, 8);
    log = Commands(3);
    ASSERT_EQ(3u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 1, 67));
    EXPECT_TRUE(IsDsp(log[1], 1, 65));
    EXPECT_TRUE(IsDsp(log[2], 1, 66));
    EXPECT_EQ(300u, BigEndian(&log[2][5]));
}

TEST_F(MusicPageTest, SliderShowsADeviceValueOutsideItsRangeAtTheEndButTheTextKeepsIt) {
    Start([](SimProcessor::Image& memory) {
        WriteBigEndian32(memory.data() + 1591, MsToSamples(100)); // echo time A
        WriteBigEndian32(memory.data() + 1640, MsToSamples(300)); // echo time B
    });
    CDialogMusic* page = Page();
    page->SelectEffectRow(5);
    EXPECT_EQ(160, page->EffectSlider()->Minimum());
    EXPECT_EQ(260, page->EffectSlider()->Maximum());
    EXPECT_EQ(160, page->EffectSlider()->GetPos());
    EXPECT_EQ(QStringLiteral("100ms"), Ctrl<QLineEdit>(page, 1038)->text());
    EXPECT_EQ(QStringLiteral("100ms"), page->EffectList()->CellText(5, 2));

    ShowSubPage(1);
    EXPECT_EQ(5, page->SelectedEffectRow()); // the row stays selected
    EXPECT_EQ(260, page->EffectSlider()->GetPos());
    EXPECT_EQ(QStringLiteral("300ms"), Ctrl<QLineEdit>(page, 1038)->text());
    EXPECT_TRUE(m_sim->ReceivedCommands().empty());
}

TEST_F(MusicPageTest, KeysAndWheelOnTheEffectListStepTheSlider) {
    Start();
    CDialogMusic* page = Page();
    CGridListCtrlEx* list = page->EffectList();
    page->SelectEffectRow(3); // echo level 65
    list->setFocus();
    for (int key : {Qt::Key_Up, Qt::Key_Right}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(list, &press);
    }
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(2, 9) == PercentToStored(67); }));
    EXPECT_EQ(67, page->EffectSlider()->GetPos());
    EXPECT_EQ(3, list->SelectedRow()); // the arrows do not move the selection

    // The wheel anywhere over the page, while the list has the focus.
    SendWheel(page->Eq().Graph(), -120);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(2, 9) == PercentToStored(66); }));
    EXPECT_EQ(QStringLiteral("66%"), list->CellText(3, 2));

    page->SelectEffectRow(7); // echo decay 50, range 20..90
    page->ApplyEffect(7, 90);
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(list, &up);
    Pump(30);
    EXPECT_EQ(90, page->EffectSlider()->GetPos()); // limited to the range
}

TEST_F(MusicPageTest, EchoTypeRadiosFollowTheChain) {
    Start();
    CDialogMusic* page = Page();
    Ctrl<QRadioButton>(page, 1215)->click();
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(2, 8) == 1u; }));
    ShowSubPage(1);
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1281)->isChecked()); // chain B still mono
    Ctrl<QRadioButton>(page, 1215)->click();
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(2, 22) == 1u; }));
    ShowSubPage(0);
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1215)->isChecked());
    // The music sub-page has no echo: neither type stays checked.
    ShowSubPage(2);
    EXPECT_FALSE(Ctrl<QRadioButton>(page, 1281)->isChecked());
    EXPECT_FALSE(Ctrl<QRadioButton>(page, 1215)->isChecked());
    ShowSubPage(0);
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1215)->isChecked());
}

TEST_F(MusicPageTest, DraggingABandWritesItsCoefficientsAndRecord) {
    Start();
    CDialogMusic* page = Page();
    ShowSubPage(1); // set 1: block 1, coefficients from parameter 45
    CEqPanel* graph = page->Eq().Graph();
    const int band = 3;
    const QPointF handle = graph->HandleCentre(band);
    SendMouse(graph, QEvent::MouseButtonPress, handle, Qt::LeftButton);
    EXPECT_EQ(band, page->Eq().SelectedBand());
    EXPECT_TRUE(page->Eq().EditorShown());
    EXPECT_FALSE(page->Eq().BandList()->isVisible());
    EXPECT_EQ(QStringLiteral("4"), Ctrl<QLabel>(page, 1203)->text());
    const QPointF target = handle + QPointF(60, -40);
    SendMouse(graph, QEvent::MouseMove, target, Qt::LeftButton);
    SendMouse(graph, QEvent::MouseButtonRelease, target, Qt::LeftButton);

    const int offset = EqBandOffset(1, band);
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return std::equal(memory.begin() + offset, memory.begin() + offset + 7,
                          g_PanelImage() + offset);
    }));
    const EqBandRecord record = DecodeEqBandRecord(g_PanelImage() + offset);
    EXPECT_GT(record.frequency, 100.0);
    EXPECT_GT(record.gain, 0.0);
    EXPECT_EQ(1, record.type);
    bool coefficients = false;
    bool panelRecord = false;
    for (const SimRecord& r : m_sim->ReceivedCommands()) {
        if (IsDsp(r, 1, 45 + band) && r[4] == 5 && r.size() == 25) coefficients = true;
        if (r.size() == 11 && r[0] == 133 && r[1] * 256 + r[2] == offset && r[3] == 7)
            panelRecord = true;
    }
    EXPECT_TRUE(coefficients);
    EXPECT_TRUE(panelRecord);
    // The editor and the list show what was written.
    EXPECT_EQ(QString::asprintf("%.0fHz", double(int(graph->Band(band).frequency))),
              Ctrl<QLineEdit>(page, 1213)->text());
    EXPECT_EQ(QString::asprintf("%+-.1fdB", record.gain), Ctrl<QLineEdit>(page, 1212)->text());

    // A press on empty space brings the band list back.
    Click(graph, QPointF(graph->PlotRect().right() - 2, graph->PlotRect().bottom() - 2));
    EXPECT_EQ(-1, page->Eq().SelectedBand());
    EXPECT_TRUE(page->Eq().BandList()->isVisible());
    EXPECT_EQ(QString::asprintf("%+-.1fdB", record.gain),
              page->Eq().BandList()->CellText(band, CEqEditor::ColGain));
}

TEST_F(MusicPageTest, BandEditorTypesEditsAndQRange) {
    Start();
    CDialogMusic* page = Page();
    CEqPanel* graph = page->Eq().Graph();
    const int band = 5;
    Click(graph, graph->HandleCentre(band));
    ASSERT_EQ(band, page->Eq().SelectedBand());
    auto* qSlider = Ctrl<CXBmpSlider>(page, 1211);
    auto* gainSlider = Ctrl<CXBmpSlider>(page, 1209);
    EXPECT_EQ(3000, qSlider->Maximum());
    EXPECT_EQ(141, qSlider->GetPos());
    EXPECT_TRUE(gainSlider->isEnabled());
    EXPECT_TRUE(Ctrl<QRadioButton>(page, 1204)->isChecked());

    Ctrl<QRadioButton>(page, 1206)->click(); // HP
    const int offset = EqBandOffset(0, band);
    ASSERT_TRUE(WaitUntil([&] { return m_sim->Memory()[offset + 6] == 3; }));
    EXPECT_EQ(200, qSlider->Maximum());
    EXPECT_EQ(70, qSlider->GetPos());
    EXPECT_FALSE(gainSlider->isEnabled());
    EXPECT_FALSE(Ctrl<QLineEdit>(page, 1212)->isEnabled());
    EXPECT_EQ(QString::fromUtf8("高通"), page->Eq().BandList()->CellText(band, CEqEditor::ColType));

    Ctrl<QRadioButton>(page, 1207)->click(); // LS: gain again
    auto* freqEdit = Ctrl<QLineEdit>(page, 1213);
    freqEdit->setText(QStringLiteral("5")); // below the range
    Ctrl<QLineEdit>(page, 1212)->setText(QStringLiteral("+4.5dB"));
    Ctrl<QLineEdit>(page, 1214)->setText(QStringLiteral("9"));
    emit freqEdit->returnPressed();
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return DecodeEqBandRecord(memory.data() + offset).frequency == 20.0;
    }));
    const EqBandRecord record = DecodeEqBandRecord(m_sim->Memory().data() + offset);
    EXPECT_NEAR(4.5, record.gain, 0.01);
    EXPECT_NEAR(2.0, record.q, 0.001); // shelves stop at Q 2
    EXPECT_EQ(4, record.type);
    EXPECT_EQ(QStringLiteral("20Hz"), freqEdit->text());
}

TEST_F(MusicPageTest, BandListEditsWriteTheBand) {
    Start();
    CDialogMusic* page = Page();
    CGridListCtrlEx* list = page->Eq().BandList();
    list->SetCellText(2, CEqEditor::ColFreq, QStringLiteral("77"));
    list->SetCellText(2, CEqEditor::ColGain, QStringLiteral("-3.2"));
    emit list->CellEdited(2, CEqEditor::ColFreq, QStringLiteral("77"));
    const int offset = EqBandOffset(0, 2);
    ASSERT_TRUE(WaitUntil(
        [&] { return DecodeEqBandRecord(m_sim->Memory().data() + offset).frequency == 77.0; }));
    EXPECT_NEAR(-3.2, DecodeEqBandRecord(g_PanelImage() + offset).gain, 0.01);
    EXPECT_EQ(QStringLiteral("77Hz"), list->CellText(2, CEqEditor::ColFreq));
    EXPECT_EQ(QStringLiteral("-3.2dB"), list->CellText(2, CEqEditor::ColGain));

    // A type name of the current language; an unknown one changes nothing.
    emit list->CellEdited(2, CEqEditor::ColType, QString::fromUtf8("关闭"));
    ASSERT_TRUE(WaitUntil([&] { return m_sim->Memory()[offset + 6] == 0; }));
    m_sim->ClearCommandLog();
    emit list->CellEdited(2, CEqEditor::ColType, QStringLiteral("PEQ"));
    Pump(50);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty());
    EXPECT_EQ(QString::fromUtf8("关闭"), list->CellText(2, CEqEditor::ColType));
}

TEST_F(MusicPageTest, PastingTheMusicEqOntoMicAKeepsItsLastFiveBands) {
    Start();
    SetEqBand(6, 0, EQ_LS, 40, 3.0, 0.7);
    SetEqBand(0, 12, EQ_PEQ, 5000, 6.0, 2.0);
    std::array<uint8_t, 105> before{};
    std::memcpy(before.data(), g_PanelImage(), before.size());
    CDialogMusic* page = Page();
    ShowSubPage(2);
    CopyPasteOnGraph(page->Eq().Graph(), 0);
    EXPECT_EQ(6, g_EqClipboardSet);
    ShowSubPage(0);
    m_sim->ClearCommandLog();
    CopyPasteOnGraph(page->Eq().Graph(), 1);

    EXPECT_EQ(0, std::memcmp(g_PanelImage(), g_PanelImage() + 406, 70));
    EXPECT_EQ(0, std::memcmp(g_PanelImage() + 70, before.data() + 70, 35)); // bands 10..14
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return std::equal(memory.begin(), memory.begin() + 105, g_PanelImage());
    }));
    EXPECT_EQ(EQ_LS, page->Eq().Graph()->Band(0).type); // reloaded
    EXPECT_FLOAT_EQ(40.0f, page->Eq().Graph()->Band(0).frequency);
    EXPECT_EQ(QStringLiteral("5000Hz"), page->Eq().BandList()->CellText(12, CEqEditor::ColFreq));
    g_EqClipboardSet = -1;
}

TEST_F(MusicPageTest, ResetRestoresTheSetAfterTheQuestion) {
    Start();
    SetEqBand(1, 4, EQ_HS, 7000, -5.0, 0.7);
    CDialogMusic* page = Page();
    ShowSubPage(1);
    const ModalWatch watch =
        WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    View()->OnCommand(ID_EQ_RESET);
    const int offset = EqBandOffset(1, 4);
    ASSERT_TRUE(WaitUntil(
        [&] { return DecodeEqBandRecord(m_sim->Memory().data() + offset).frequency == 160.0; }));
    EXPECT_EQ(EQ_PEQ, page->Eq().Graph()->Band(4).type);
    EXPECT_EQ(QStringLiteral("1000Hz"), page->Eq().BandList()->CellText(8, CEqEditor::ColFreq));
}

TEST_F(MusicPageTest, MetersAndStreamFormatFollowTheStatusBlock) {
    Start();
    CDialogMusic* page = Page();
    std::memset(g_StatusBlock(), 0, kStatusBlockSize);
    g_StatusBlock()[1] = 45;
    g_StatusBlock()[5] = 200;
    g_StatusBlock()[7] = 0x32; // low bits 2: DTS
    page->UpdateMeters();
    EXPECT_EQ(45, Ctrl<CPeakMeterCtrl>(page, 1171)->ChannelAt(0).level);
    EXPECT_EQ(60, Ctrl<CPeakMeterCtrl>(page, 1169)->ChannelAt(0).level);
    EXPECT_EQ(QStringLiteral("DTS"), Ctrl<QLabel>(page, 1222)->text());
    g_StatusBlock()[7] = 0x0C; // no such format: the text stays
    page->UpdateMeters();
    EXPECT_EQ(QStringLiteral("DTS"), Ctrl<QLabel>(page, 1222)->text());
    g_StatusBlock()[7] = 0x08;
    page->UpdateMeters();
    EXPECT_EQ(QStringLiteral("LPCM MultiCh"), Ctrl<QLabel>(page, 1222)->text());
    std::memset(g_StatusBlock(), 0, kStatusBlockSize);
}

TEST_F(MusicPageTest, EnglishTextsAfterTheLanguageSwitch) {
    Start();
    View()->ToggleLanguage();
    CDialogMusic* page = Page();
    EXPECT_EQ(QStringLiteral("Mic CH A"), Ctrl<CGdipButton>(page, 1068)->text());
    EXPECT_EQ(QStringLiteral("CH B"), Ctrl<QRadioButton>(page, 1191)->text());
    EXPECT_EQ(QStringLiteral("Click to enter echo EQ"), Ctrl<QLabel>(page, 1189)->text());
    EXPECT_EQ(QStringLiteral("Reverb Level"), page->EffectList()->CellText(0, 1));
    EXPECT_EQ(QStringLiteral("PEQ"), page->Eq().BandList()->CellText(0, CEqEditor::ColType));
    EXPECT_EQ(QStringLiteral("Type"),
              page->Eq().BandList()->horizontalHeaderItem(CEqEditor::ColType)->text());
    EXPECT_EQ(1, page->Eq().Graph()->Language());
    View()->ToggleLanguage();
    EXPECT_EQ(QString::fromUtf8("话筒通道A"), Ctrl<CGdipButton>(page, 1068)->text());
}

TEST_F(MusicPageTest, StandalonePageAsksItsNavigatorForPages) {
    BuildDefaultImage();
    std::vector<std::pair<int, int>> requests;
    CPageNavigator navigator(
        [&](int pageId, int subPage) { requests.emplace_back(pageId, subPage); }, [] { return 0; });
    {
        CDialogMusic page(1, nullptr, fx::Store(), navigator);
        page.resize(1280, 640);
        EXPECT_EQ(1, page.Eq().Graph()->Set());
        const QPointF centre(page.EchoPreview()->width() / 2.0, page.EchoPreview()->height() / 2.0);
        SendMouse(page.EchoPreview(), QEvent::MouseButtonPress, centre, Qt::LeftButton);
        SendMouse(page.EchoPreview(), QEvent::MouseButtonRelease, centre, Qt::LeftButton);
        Ctrl<CGdipButton>(&page, 1070)->click();
        EXPECT_EQ(1, page.SubPage()); // the view decides
    }
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(std::make_pair(int(PAGE_EFFECTS), 3), requests[0]); // echo of chain B
    EXPECT_EQ(std::make_pair(int(PAGE_MUSIC), 2), requests[1]);

    // Without a navigator the buttons switch the page by themselves.
    CDialogMusic page(0, nullptr, fx::Store());
    Ctrl<CGdipButton>(&page, 1070)->click();
    EXPECT_EQ(2, page.SubPage());
    EXPECT_EQ(6, page.Eq().Graph()->Set());
}

// One truth for a band: after a drag between whole hertz, the graph, the band
// editor, the list, the image and the processor hold the words that were sent,
// and the coefficients sent are those of these words.
TEST_F(MusicPageTest, DraggedBandShowsTheWordsItWrote) {
    Start();
    CDialogMusic* page = Page();
    CEqPanel* graph = page->Eq().Graph();
    const int band = 3; // set 0: 100 Hz
    const QPointF handle = graph->HandleCentre(band);
    const QRectF plot = graph->PlotRect();
    // A pixel whose frequency lies in the upper half between two whole hertz,
    // where rounding and the record's whole hertz part would differ.
    QPointF target = handle + QPointF(3, -37);
    for (int dx = 3; dx < 40; ++dx) {
        const double raw = EqXToFreq(std::floor(handle.x()) + dx - plot.left(), plot.width());
        if (raw - std::floor(raw) > 0.55) {
            target = QPointF(std::floor(handle.x()) + dx + 0.25, handle.y() - 37.3);
            break;
        }
    }
    SendMouse(graph, QEvent::MouseButtonPress, handle, Qt::LeftButton);
    SendMouse(graph, QEvent::MouseMove, target, Qt::LeftButton);
    SendMouse(graph, QEvent::MouseButtonRelease, target, Qt::LeftButton);

    const int offset = EqBandOffset(0, band);
    AllSent();
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return std::equal(memory.begin() + offset, memory.begin() + offset + 7,
                          g_PanelImage() + offset);
    }));
    const EqBandRecord record = DecodeEqBandRecord(m_sim->Memory().data() + offset);
    ASSERT_NE(100.0, record.frequency) << "the drag moved the band";
    const EqBand& shown = graph->Band(band);
    EXPECT_EQ(float(record.frequency), shown.frequency);
    EXPECT_EQ(float(record.gain), shown.gain);
    EXPECT_EQ(float(record.q), shown.q);
    const QString frequencyText = QString::asprintf("%.0fHz", record.frequency);
    const QString gainText = QString::asprintf("%+-.1fdB", record.gain);
    EXPECT_EQ(frequencyText, Ctrl<QLineEdit>(page, 1213)->text());
    EXPECT_EQ(gainText, Ctrl<QLineEdit>(page, 1212)->text());
    EXPECT_EQ(int(record.frequency), Ctrl<CXBmpSlider>(page, 1210)->GetPos());

    // The coefficients the processor got are those of the record's words.
    const BiquadCoefficients c =
        ComputeBiquad(record.type, record.frequency, record.gain, record.q, 0.0, kEqSampleRate);
    const float expected[5] = {float(-c.a1), float(-c.a2), float(c.b0), float(c.b1), float(c.b2)};
    std::vector<uint8_t> coefficients;
    for (const SimRecord& r : m_sim->ReceivedCommands())
        if (IsDsp(r, EqSetBlock(0), EqSetFirstParameter(0) + band) && r.size() == 25)
            coefficients.assign(r.begin() + 5, r.end());
    ASSERT_EQ(20u, coefficients.size());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(FloatBits(expected[i]), BigEndian(&coefficients[4 * i])) << i;

    Click(graph, QPointF(plot.right() - 2, plot.bottom() - 2));
    CGridListCtrlEx* list = page->Eq().BandList();
    EXPECT_EQ(frequencyText, list->CellText(band, CEqEditor::ColFreq));
    EXPECT_EQ(gainText, list->CellText(band, CEqEditor::ColGain));
    EXPECT_EQ(QString::asprintf("%.2f", record.q), list->CellText(band, CEqEditor::ColQ));
}
