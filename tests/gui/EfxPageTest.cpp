#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CSmallEqPanel.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "pages/CDialogEfx.h"
#include "pages/CDialogMusic.h"
#include "pages/CEqEditor.h"
#include "shell/CHalvoxView.h"
#include "shell/RibbonIds.h"
#include "state/ParamImage.h"

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
class EfxPageTest : public GuiFixture {
protected:
    void Start() {
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        m_sim->ClearCommandLog();
    }

    CDialogMusic* Music() const { return qobject_cast<CDialogMusic*>(View()->CurrentPage()); }
    CDialogEfx* Efx() const { return qobject_cast<CDialogEfx*>(View()->CurrentPage()); }

    void ShowMusic(int subPage) {
        View()->ShowPage(PAGE_MUSIC, subPage);
        ASSERT_TRUE(WaitUntil([&] { return Music() && Music()->SubPage() == subPage; }));
    }

    // Clicks a preview of the music page and waits for the effects page.
    CDialogEfx* OpenFromPreview(int previewId) {
        Click(Ctrl<CSmallEqPanel>(Music(), previewId));
        EXPECT_TRUE(WaitUntil([&] { return Efx() != nullptr; }));
        return Efx();
    }
};
} // namespace

TEST_F(EfxPageTest, PreviewsOpenTheEffectsPageOfTheirChain) {
    Start();
    struct Case {
        int musicSubPage;
        int preview;
        int subPage;
        int set;
        EqBypassSwitch bypass;
    };
    const Case cases[] = {
        {1, 1144, 1, 5, {3, 19}}, // reverb box on "Mic CH B"
        {0, 1143, 2, 2, {2, 7}},  // echo box on "Mic CH A"
        {0, 1144, 0, 4, {3, 7}},
        {1, 1143, 3, 3, {2, 21}},
    };
    for (const Case& c : cases) {
        ShowMusic(c.musicSubPage);
        auto* music = qobject_cast<CDialogMusic*>(View()->CurrentPage());
        ASSERT_NE(nullptr, music);
        const QColor chainColour = music->Eq().BandList()->RowTextColor(0);
        CDialogEfx* efx = OpenFromPreview(c.preview);
        ASSERT_NE(nullptr, efx);
        EXPECT_EQ(c.subPage, efx->SubPage());
        EXPECT_EQ(c.set, efx->Eq().Graph()->Set());
        EXPECT_EQ(7, efx->Eq().Graph()->BandCount());
        EXPECT_EQ(7, efx->Eq().BandList()->rowCount());
        EXPECT_EQ(c.bypass.block, efx->Eq().BypassSwitch().block);
        EXPECT_EQ(c.bypass.parameter, efx->Eq().BypassSwitch().parameter);
        EXPECT_FALSE(efx->Title()->pixmap().isNull());
        // The band list is in its chain's colour, as on the music page.
        EXPECT_EQ(chainColour, efx->Eq().BandList()->RowTextColor(0)) << c.subPage;
    }
}

TEST_F(EfxPageTest, BypassOfTheSubPageSwitchFromTheStatusBar) {
    Start();
    ShowMusic(1);
    CDialogEfx* efx = OpenFromPreview(1144);
    ASSERT_NE(nullptr, efx);
    View()->OnCommand(ID_EQ_BYPASS);
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(3, 19) == 1u; }));
    EXPECT_TRUE(efx->Eq().Graph()->Bypass());
    EXPECT_EQ(1u, uint32_t(m_sim->Memory()[1713])); // low byte of the value at 1710
    EXPECT_TRUE(DspWrites(3, 7).empty());
    // The music page's preview shows the reverb EQ of chain B bypassed.
    Click(efx->BackButton());
    ASSERT_TRUE(WaitUntil([&] { return Music() != nullptr; }));
    EXPECT_TRUE(Music()->ReverbPreview()->Bypass());
    EXPECT_FALSE(Music()->EchoPreview()->Bypass());
}

TEST_F(EfxPageTest, BackReturnsToTheLastMusicSubPage) {
    Start();
    ShowMusic(1);
    CDialogEfx* efx = OpenFromPreview(1143);
    ASSERT_NE(nullptr, efx);
    EXPECT_EQ(3, efx->SubPage());
    // The view asking for page 421 again switches the same page in place.
    View()->ShowPage(PAGE_EFFECTS, 0);
    EXPECT_EQ(efx, Efx());
    EXPECT_EQ(4, efx->Eq().Graph()->Set());
    Click(efx->BackButton());
    ASSERT_TRUE(WaitUntil([&] { return Music() != nullptr; }));
    EXPECT_EQ(1, Music()->SubPage());
    EXPECT_EQ(1, Music()->Eq().Graph()->Set());
    EXPECT_TRUE(Ctrl<CGdipButton>(Music(), 1069)->isChecked());
}

TEST_F(EfxPageTest, PastingSetZeroOntoAReverbEqCopiesSevenBands) {
    Start();
    SetEqBand(0, 0, EQ_HP, 90, 0.0, 0.7);
    SetEqBand(0, 7, EQ_PEQ, 700, -4.0, 3.0);
    std::array<uint8_t, 49> setFive{};
    std::memcpy(setFive.data(), g_PanelImage() + 357, setFive.size());
    g_EqClipboardSet = 0;
    CDialogEfx* efx = OpenFromPreview(1144);
    ASSERT_NE(nullptr, efx);
    m_sim->ClearCommandLog();
    CopyPasteOnGraph(efx->Eq().Graph(), 1);

    EXPECT_EQ(0, std::memcmp(g_PanelImage() + 308, g_PanelImage(), 49));
    EXPECT_EQ(0, std::memcmp(g_PanelImage() + 357, setFive.data(), setFive.size()));
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return std::equal(memory.begin() + 308, memory.begin() + 357, g_PanelImage() + 308);
    }));
    int records = 0;
    for (const SimRecord& r : m_sim->ReceivedCommands())
        if (r.size() == 11 && r[0] == 133) ++records;
    EXPECT_EQ(7, records);
    EXPECT_EQ(EQ_HP, efx->Eq().Graph()->Band(0).type);
    // Band 7 of set 0 (700 Hz) stays behind: the reverb EQ has 7 bands.
    EXPECT_EQ(QStringLiteral("400Hz"), efx->Eq().BandList()->CellText(6, CEqEditor::ColFreq));
    g_EqClipboardSet = -1;
}

TEST_F(EfxPageTest, ResetGivesTheSevenResetBands) {
    Start();
    CDialogEfx* efx = OpenFromPreview(1143); // echo A, set 2
    ASSERT_NE(nullptr, efx);
    Click(efx->Eq().Graph()); // nothing there: the list stays
    const ModalWatch watch =
        WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    View()->OnCommand(ID_EQ_RESET);
    const float expected[7] = {50, 100, 200, 400, 800, 1600, 3200};
    ASSERT_TRUE(WaitUntil([&] {
        return DecodeEqBandRecord(m_sim->Memory().data() + EqBandOffset(2, 6)).frequency == 3200;
    }));
    for (int b = 0; b < 7; ++b) {
        const EqBandRecord record = DecodeEqBandRecord(g_PanelImage() + EqBandOffset(2, b));
        EXPECT_EQ(expected[b], record.frequency);
        EXPECT_EQ(EQ_PEQ, record.type);
        EXPECT_NEAR(1.41, record.q, 0.001);
        EXPECT_FLOAT_EQ(expected[b], efx->Eq().Graph()->Band(b).frequency);
    }
    EXPECT_TRUE(efx->Eq().BandList()->isVisible());
}

TEST_F(EfxPageTest, DraggingABandWritesTheSetsBlock) {
    Start();
    ShowMusic(1);
    CDialogEfx* efx = OpenFromPreview(1143); // echo B, set 3: block 2 from parameter 14
    ASSERT_NE(nullptr, efx);
    CEqPanel* graph = efx->Eq().Graph();
    const int band = 2;
    const QPointF handle = graph->HandleCentre(band);
    SendMouse(graph, QEvent::MouseButtonPress, handle, Qt::LeftButton);
    ASSERT_EQ(band, efx->Eq().SelectedBand());
    EXPECT_EQ(QStringLiteral("3"), Ctrl<QLabel>(efx, 1203)->text());
    SendMouse(graph, QEvent::MouseMove, handle + QPointF(-30, 25), Qt::LeftButton);
    SendMouse(graph, QEvent::MouseButtonRelease, handle + QPointF(-30, 25), Qt::LeftButton);
    const int offset = EqBandOffset(3, band);
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return std::equal(memory.begin() + offset, memory.begin() + offset + 7,
                          g_PanelImage() + offset);
    }));
    EXPECT_LT(DecodeEqBandRecord(g_PanelImage() + offset).gain, 0.0);
    EXPECT_FALSE(DspWrites(2, 14 + band).empty());
    EXPECT_EQ(5u, DspWrites(2, 14 + band).back().size() / 4);
}

TEST_F(EfxPageTest, LayoutKeepsTheBackButtonAtTheCornerAndGrowsTheGraph) {
    Start();
    CDialogEfx* efx = OpenFromPreview(1144);
    ASSERT_NE(nullptr, efx);
    for (const QSize size : {QSize(1100, 600), QSize(1400, 760)}) {
        m_frame->resize(size + QSize(0, 200));
        Pump(30);
        const QRect page = efx->rect();
        // The right side keeps the margin the band list keeps on the left.
        const int margin = efx->Eq().BandList()->mapTo(efx, QPoint(0, 0)).x();
        EXPECT_EQ(8, margin);
        EXPECT_EQ(page.width() - margin, efx->BackButton()->geometry().right() + 1);
        EXPECT_EQ(2, efx->BackButton()->geometry().top());
        const QRect graph = efx->Eq().Graph()->geometry();
        EXPECT_EQ(page.width() - margin, graph.right() + 1);
        EXPECT_EQ(page.height() - margin, graph.bottom() + 1);
    }
    // The band editor stands under the band list, which stays shown; the
    // hint in its place goes while a band is selected.
    CEqPanel* graph = efx->Eq().Graph();
    EXPECT_FALSE(efx->EditorHint()->isHidden());
    Click(graph, graph->HandleCentre(2));
    ASSERT_EQ(2, efx->Eq().SelectedBand());
    EXPECT_TRUE(efx->Eq().BandList()->isVisible());
    auto* gain = Ctrl<QLineEdit>(efx, IDC_EQ_EDIT_GAIN);
    EXPECT_TRUE(gain->isVisible());
    EXPECT_GT(gain->geometry().top(), efx->Eq().BandList()->geometry().bottom());
    EXPECT_TRUE(efx->EditorHint()->isHidden());
    Click(graph, QPointF(graph->PlotRect().right() - 3, graph->PlotRect().top() + 3));
    EXPECT_FALSE(gain->isVisible());
    EXPECT_FALSE(efx->EditorHint()->isHidden());
}

TEST_F(EfxPageTest, LanguageSwitchRelabelsTheEditorAndTheTitle) {
    Start();
    CDialogEfx* efx = OpenFromPreview(1144);
    ASSERT_NE(nullptr, efx);
    const auto shown = [efx] {
        return efx->Title()->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const QImage chinese = shown();
    View()->ToggleLanguage();
    EXPECT_EQ(QStringLiteral("EQ Type"), Ctrl<QLabel>(efx, 1199)->text());
    EXPECT_EQ(QStringLiteral("HS"), Ctrl<QRadioButton>(efx, 1208)->text());
    EXPECT_EQ(QStringLiteral("Back"), efx->BackButton()->text());
    EXPECT_NE(chinese, shown());
    EXPECT_EQ(QImage(CDialogEfx::TitlePicture(0, 1)).convertToFormat(QImage::Format_ARGB32),
              shown());
    View()->ToggleLanguage();
    EXPECT_EQ(QString::fromUtf8("类型"), Ctrl<QLabel>(efx, 1199)->text());
}

TEST_F(EfxPageTest, WheelOverThePageGoesToTheFocusedGraph) {
    Start();
    CDialogEfx* efx = OpenFromPreview(1144); // reverb A, set 4
    ASSERT_NE(nullptr, efx);
    CEqPanel* graph = efx->Eq().Graph();
    const int band = 4; // PEQ at 1000 Hz
    SendMouse(graph, QEvent::MouseButtonPress, graph->HandleCentre(band), Qt::LeftButton);
    SendMouse(graph, QEvent::MouseButtonRelease, graph->HandleCentre(band), Qt::LeftButton);
    graph->setFocus();
    QLabel* title = efx->Title();
    const QPointF pos(10, 10);
    QWheelEvent wheel(pos, title->mapToGlobal(pos), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(title, &wheel);
    const int offset = EqBandOffset(4, band);
    ASSERT_TRUE(
        WaitUntil([&] { return DecodeEqBandRecord(m_sim->Memory().data() + offset).gain > 0.05; }));
    EXPECT_NEAR(0.1, DecodeEqBandRecord(g_PanelImage() + offset).gain, 0.001);
    EXPECT_EQ(QStringLiteral("+0.1dB"), Ctrl<QLineEdit>(efx, 1212)->text());
}
