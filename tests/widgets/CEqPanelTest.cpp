#include "controls/CEqPanel.h"
#include "controls/ControlFonts.h"

#include "WidgetEvents.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace widget_events;

namespace {

struct Notice {
    int message;
    int band;
    bool operator==(const Notice& other) const {
        return message == other.message && band == other.band;
    }
};

// A graph of set 0 (15 bands) at 800 x 400 that records its notices and
// answers its menus from a script instead of a blocking event loop.
class EqPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel.resize(800, 400);
        panel.SetLanguage(1);
        panel.ShowEqSet(0);
        QObject::connect(&panel, &CEqPanel::BandChanged, [this](EqBand*, int i) {
            notices.push_back({WM_EQ_BAND_CHANGED, i});
        });
        QObject::connect(&panel, &CEqPanel::BandSelected, [this](EqBand*, int i) {
            notices.push_back({WM_EQ_BAND_SELECTED, i});
        });
        QObject::connect(&panel, &CEqPanel::SelectionCleared, [this] {
            notices.push_back({WM_EQ_SELECTION_CLEARED, 0});
        });
        QObject::connect(&panel, &CEqPanel::CopyPaste, [this](int operation, int set) {
            notices.push_back({WM_EQ_COPY_PASTE, operation * 100 + set});
        });
        panel.SetMenuRunner([this](QMenu& menu, const QPoint&) -> QAction* {
            QStringList texts;
            for (QAction* action : menu.actions()) {
                texts << action->text() + (action->isEnabled() ? "" : " (disabled)");
            }
            menus.push_back(texts);
            for (QAction* action : menu.actions()) {
                if (action->text() == menuChoice) return action;
            }
            return nullptr;
        });
    }

    QPointF Centre(int band) const { return panel.HandleCentre(band); }

    void SelectBand(int band) {
        Click(panel, Centre(band));
        ASSERT_EQ(panel.SelectedBand(), band);
        notices.clear();
    }

    CEqPanel panel;
    std::vector<Notice> notices;
    std::vector<QStringList> menus;
    QString menuChoice;
};

constexpr int kBand1k = 8; // set 0, band 9: 1000 Hz

TEST_F(EqPanelTest, HitRadiiDifferForLeftAndRightPress) {
    const QPointF c = Centre(kBand1k);
    const struct {
        Qt::MouseButton button;
        double dx;
        bool hits;
    } cases[] = {
        {Qt::LeftButton, 9, true},   {Qt::LeftButton, 12, false},  {Qt::LeftButton, -12, false},
        {Qt::RightButton, 12, true}, {Qt::RightButton, -15, true}, {Qt::RightButton, 17, false},
    };
    for (const auto& c0 : cases) {
        SCOPED_TRACE(testing::Message() << "button " << c0.button << " dx " << c0.dx);
        Press(panel, c + QPointF(c0.dx, 0), c0.button);
        EXPECT_EQ(panel.SelectedBand(), c0.hits ? kBand1k : -1);
        // A right release opens a menu; the script dismisses it.
        Release(panel, c + QPointF(c0.dx, 0), c0.button);
    }
}

TEST_F(EqPanelTest, LeftPressAt12PixelsClearsButRightPressSelectsAndNotifies) {
    const QPointF beside = Centre(kBand1k) + QPointF(0, 12);
    Click(panel, beside);
    EXPECT_EQ(notices, (std::vector<Notice>{{WM_EQ_SELECTION_CLEARED, 0}}));
    notices.clear();
    Press(panel, beside, Qt::RightButton);
    EXPECT_EQ(notices, (std::vector<Notice>{{WM_EQ_BAND_CHANGED, kBand1k}}));
}

TEST_F(EqPanelTest, ClickWithoutMovingOnlySelectsAndJitterSendsNothingMore) {
    const QPointF c = Centre(kBand1k);
    const float frequency = panel.Band(kBand1k).frequency;
    Press(panel, c);
    Move(panel, c + QPointF(1, -1), Qt::LeftButton);
    Release(panel, c + QPointF(1, -1));
    EXPECT_EQ(notices, (std::vector<Notice>{{WM_EQ_BAND_SELECTED, kBand1k}}));
    EXPECT_EQ(panel.Band(kBand1k).frequency, frequency);

    // Two pixels is a drag: a change per step and one at the release.
    notices.clear();
    Press(panel, c);
    Move(panel, c + QPointF(2, 0), Qt::LeftButton);
    Release(panel, c + QPointF(2, 0));
    EXPECT_EQ(notices, (std::vector<Notice>{{WM_EQ_BAND_SELECTED, kBand1k},
                                            {WM_EQ_BAND_CHANGED, kBand1k},
                                            {WM_EQ_BAND_CHANGED, kBand1k}}));
    EXPECT_GT(panel.Band(kBand1k).frequency, frequency);
}

TEST_F(EqPanelTest, LeftDragSetsFrequencyFromPointerAndGainInTenths) {
    const QPointF c = Centre(kBand1k);
    const QRectF plot = panel.PlotRect();
    Press(panel, c + QPointF(3, 2)); // the grab offset applies to the gain only
    const QPointF to(plot.left() + plot.width() / 2, plot.top() + plot.height() / 4 + 2);
    Move(panel, to, Qt::LeftButton);
    Release(panel, to);
    const EqBand& band = panel.Band(kBand1k);
    const double dx = std::floor(to.x()) - plot.left();
    EXPECT_NEAR(band.frequency, 18.0 * std::pow(10.0, std::log10(23000.0 / 18) * dx / plot.width()),
                0.01);
    EXPECT_FLOAT_EQ(band.gain, 7.5f);
    EXPECT_FLOAT_EQ(band.gain * 10, std::round(band.gain * 10));
}

TEST_F(EqPanelTest, DraggingLowPassBandKeepsGainZero) {
    panel.ApplyBandType(kBand1k, EQ_LP);
    const QPointF c = Centre(kBand1k);
    Press(panel, c);
    Move(panel, c + QPointF(40, -80), Qt::LeftButton);
    Move(panel, c + QPointF(60, -120), Qt::LeftButton);
    Release(panel, c + QPointF(60, -120));
    EXPECT_EQ(panel.Band(kBand1k).gain, 0.0f);
    EXPECT_GT(panel.Band(kBand1k).frequency, 1000.0f);
}

TEST_F(EqPanelTest, DragLimitsFrequencyAndGain) {
    const QPointF c = Centre(0);
    Press(panel, c);
    Move(panel, QPointF(2, -50), Qt::LeftButton); // left of the plot, above it
    const EqBand& band = panel.Band(0);
    EXPECT_EQ(band.frequency, 20.0f);
    EXPECT_EQ(band.gain, 15.0f);
    Release(panel, QPointF(2, -50));
}

TEST_F(EqPanelTest, RightClickOpensTypeMenuAndChoiceChangesType) {
    menuChoice = "LP";
    panel.ApplyBandGain(kBand1k, 4.0f);
    Click(panel, Centre(kBand1k), Qt::RightButton);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0], (QStringList{"PEQ", "LP", "HP", "LS", "HS"}));
    const EqBand& band = panel.Band(kBand1k);
    EXPECT_EQ(band.type, EQ_LP);
    EXPECT_EQ(band.gain, 0.0f);
    EXPECT_FLOAT_EQ(band.q, 0.7f);
    // Press, release, then the menu command.
    EXPECT_EQ(notices, (std::vector<Notice>{{WM_EQ_BAND_CHANGED, kBand1k},
                                            {WM_EQ_BAND_CHANGED, kBand1k},
                                            {WM_EQ_BAND_CHANGED, kBand1k}}));
}

TEST_F(EqPanelTest, TypeMenuSpeaksThePageLanguage) {
    panel.SetLanguage(0);
    Click(panel, Centre(kBand1k), Qt::RightButton);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0], (QStringList{"参量(PEQ)", "低通(LP)", "高通(HP)", "低架(LS)", "高架(HS)"}));
    EXPECT_EQ(panel.Band(kBand1k).type, EQ_PEQ); // dismissed
}

TEST_F(EqPanelTest, RightDragChangesOnlyQAndOpensNoMenu) {
    const QPointF c = Centre(kBand1k);
    const EqBand before = panel.Band(kBand1k);
    Press(panel, c, Qt::RightButton);
    Move(panel, c + QPointF(24, 30), Qt::RightButton);
    Release(panel, c + QPointF(24, 30), Qt::RightButton);
    const EqBand& band = panel.Band(kBand1k);
    EXPECT_TRUE(menus.empty());
    EXPECT_NEAR(band.q, before.q + 24.0f / 12.0f, 1e-5);
    EXPECT_EQ(band.frequency, before.frequency);
    EXPECT_EQ(band.gain, before.gain);
    EXPECT_EQ(band.type, before.type);
}

TEST_F(EqPanelTest, RightDragOfShelfUsesDivisor80AndLimit2) {
    panel.ApplyBandType(kBand1k, EQ_LS); // Q 0.7
    const QPointF c = Centre(kBand1k);
    Press(panel, c, Qt::RightButton);
    Move(panel, c + QPointF(40, 0), Qt::RightButton);
    EXPECT_NEAR(panel.Band(kBand1k).q, 0.7f + 0.5f, 1e-5);
    Move(panel, c + QPointF(400, 0), Qt::RightButton);
    EXPECT_FLOAT_EQ(panel.Band(kBand1k).q, 2.0f);
    Move(panel, c + QPointF(-600, 0), Qt::RightButton);
    EXPECT_FLOAT_EQ(panel.Band(kBand1k).q, 0.1f);
    Release(panel, c, Qt::RightButton);
}

TEST_F(EqPanelTest, RightDragStopsAtTheQLimitOfTheBandsType) {
    // The model's limit of the type: a drag never shows a Q the band cannot keep.
    struct Case {
        int type;
        float highest;
    };
    for (const Case& c : {Case{EQ_PEQ, 30.0f}, Case{EQ_OFF, 2.0f}, Case{8, 2.0f}}) {
        panel.ApplyBandType(kBand1k, c.type);
        const QPointF centre = Centre(kBand1k);
        Press(panel, centre, Qt::RightButton);
        Move(panel, centre + QPointF(600, 0), Qt::RightButton);
        EXPECT_FLOAT_EQ(c.highest, panel.Band(kBand1k).q) << c.type;
        EXPECT_FLOAT_EQ(float(EqLimitsOf(c.type).qHigh), panel.Band(kBand1k).q) << c.type;
        Move(panel, centre + QPointF(-900, 0), Qt::RightButton);
        EXPECT_FLOAT_EQ(0.1f, panel.Band(kBand1k).q) << c.type;
        Release(panel, centre, Qt::RightButton);
    }
}

TEST_F(EqPanelTest, CopyPasteMenuOnEmptySpaceFollowsTheClipboard) {
    const QPointF empty(60, 30);
    int clipboardSet = -1;
    panel.SetPasteAvailable([&clipboardSet] { return clipboardSet != -1; });
    menuChoice = "Copy EQ";
    Click(panel, empty, Qt::RightButton);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0], (QStringList{"Copy EQ", "Paste EQ (disabled)"}));
    EXPECT_EQ(notices, (std::vector<Notice>{{WM_EQ_COPY_PASTE, 0 * 100 + 0}}));

    notices.clear();
    panel.ShowEqSet(6);
    clipboardSet = 2;
    menuChoice = "Paste EQ";
    Click(panel, empty, Qt::RightButton);
    EXPECT_EQ(notices, (std::vector<Notice>{{WM_EQ_COPY_PASTE, 1 * 100 + 6}}));
}

// Every press moves the selection the page's band editor follows: onto
// the band under a left or right press, and to none on empty space (the
// copy-paste menu then acts on the set, never on a band left selected).
TEST_F(EqPanelTest, EveryPressMovesTheSelectionTheEditorFollows) {
    std::vector<int> moves;
    QObject::connect(&panel, &CEqPanel::SelectionMoved, [&](int i) { moves.push_back(i); });
    constexpr int kEmpty = -1;
    const struct {
        const char* name;
        int from;
        Qt::MouseButton button;
        int at;
        std::vector<int> moves;
    } cases[] = {
        {"left on a band", -1, Qt::LeftButton, 3, {3}},
        {"left on the same band", 3, Qt::LeftButton, 3, {}},
        {"left on another band", 3, Qt::LeftButton, kBand1k, {kBand1k}},
        {"right on another band", 3, Qt::RightButton, kBand1k, {kBand1k}},
        {"right on a band, none selected", -1, Qt::RightButton, 5, {5}},
        {"left on empty space", 3, Qt::LeftButton, kEmpty, {kEmpty}},
        {"right on empty space", 3, Qt::RightButton, kEmpty, {kEmpty}},
        {"empty space, none selected", -1, Qt::RightButton, kEmpty, {}},
    };
    const QPointF empty(panel.PlotRect().right() - 3, panel.PlotRect().top() + 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        panel.SelectBand(c.from);
        moves.clear();
        Click(panel, c.at == kEmpty ? empty : Centre(c.at), c.button); // menus dismissed
        EXPECT_EQ(moves, c.moves);
        EXPECT_EQ(panel.SelectedBand(), c.at);
    }
}

// Tab and Shift+Tab on the focused graph step through every band with a
// row (an OFF one too, so the keyboard can turn it on), and leave the graph
// past either end. The hidden sections of set 12 are never reached.
TEST_F(EqPanelTest, TabAndShiftTabStepThroughTheBandsAndLeavePastTheEnds) {
    QWidget window;
    auto* graph = new CEqPanel(&window);
    graph->setGeometry(0, 0, 800, 400);
    auto* after = new QLineEdit(&window);
    after->setGeometry(0, 410, 100, 24);
    std::vector<int> moves;
    QObject::connect(graph, &CEqPanel::SelectionMoved, [&](int i) { moves.push_back(i); });
    int selectedNotices = 0;
    QObject::connect(graph, &CEqPanel::BandSelected, [&](EqBand*, int) { ++selectedNotices; });
    window.show();
    window.activateWindow();
    QCoreApplication::processEvents();
    const auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        ASSERT_NE(nullptr, QApplication::focusWidget());
        Key(*QApplication::focusWidget(), key, modifiers);
    };

    const struct {
        int set;
        int off;
        int from;
        int key;
        Qt::KeyboardModifiers modifiers;
        int selected; // afterwards
        bool leaves;
    } cases[] = {
        {0, -1, -1, Qt::Key_Tab, Qt::NoModifier, 0, false},
        {0, -1, 3, Qt::Key_Tab, Qt::NoModifier, 4, false},
        {0, 4, 3, Qt::Key_Tab, Qt::NoModifier, 4, false},
        {0, -1, 3, Qt::Key_Backtab, Qt::ShiftModifier, 2, false},
        {0, -1, 3, Qt::Key_Tab, Qt::ShiftModifier, 2, false},
        {0, -1, -1, Qt::Key_Backtab, Qt::ShiftModifier, 14, false},
        {0, -1, 14, Qt::Key_Tab, Qt::NoModifier, 14, true},
        {0, -1, 0, Qt::Key_Backtab, Qt::ShiftModifier, 0, true},
        {12, -1, 5, Qt::Key_Tab, Qt::NoModifier, 6, false},
        {12, -1, 6, Qt::Key_Tab, Qt::NoModifier, 6, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "set " << c.set << " from " << c.from << " key " << c.key
                                        << " modifiers " << int(c.modifiers));
        graph->ShowEqSet(c.set);
        if (c.off >= 0) graph->ApplyBandType(c.off, EQ_OFF);
        graph->SelectBand(c.from);
        graph->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(graph->hasFocus());
        moves.clear();
        selectedNotices = 0;
        press(c.key, c.modifiers);
        EXPECT_EQ(graph->SelectedBand(), c.selected);
        EXPECT_EQ(graph->hasFocus(), !c.leaves);
        EXPECT_EQ(moves, c.leaves ? std::vector<int>{} : std::vector<int>{c.selected});
        EXPECT_EQ(selectedNotices, c.leaves ? 0 : 1);
    }
}

struct KeyCase {
    const char* name;
    int type;
    float frequency;
    float gain;
    int key;
    bool ctrl;
    float expectFrequency;
    float expectGain;
    float expectQ;
};

class EqPanelKeyTest : public EqPanelTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(EqPanelKeyTest, KeyEditsBandAndNotifies) {
    const KeyCase& k = GetParam();
    // Only the band under test can be picked, wherever it stands.
    for (int b = 0; b < panel.BandCount(); ++b) panel.ApplyBandType(b, EQ_OFF);
    panel.ApplyBandType(kBand1k, k.type);
    panel.Band(kBand1k).frequency = k.frequency;
    panel.ApplyBandGain(kBand1k, k.gain);
    panel.ApplyBandQ(kBand1k, 1.0f);
    SelectBand(kBand1k);
    Key(panel, k.key, k.ctrl ? Qt::ControlModifier : Qt::NoModifier);
    const EqBand& band = panel.Band(kBand1k);
    EXPECT_FLOAT_EQ(band.frequency, k.expectFrequency);
    EXPECT_NEAR(band.gain, k.expectGain, 1e-5);
    EXPECT_NEAR(band.q, k.expectQ, 1e-5);
    EXPECT_EQ(notices, (std::vector<Notice>{{WM_EQ_BAND_CHANGED, kBand1k}}));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, EqPanelKeyTest,
    ::testing::Values(
        KeyCase{"LeftAbove10k", EQ_PEQ, 10050, 0, Qt::Key_Left, false, 9950, 0, 1},
        KeyCase{"LeftAbove10kCtrl", EQ_PEQ, 10050, 0, Qt::Key_Left, true, 9949, 0, 1},
        KeyCase{"LeftAt20Stays", EQ_PEQ, 20, 0, Qt::Key_Left, false, 20, 0, 1},
        KeyCase{"RightAt10kUses10", EQ_PEQ, 10000, 0, Qt::Key_Right, false, 10010, 0, 1},
        KeyCase{"RightAt20kStays", EQ_PEQ, 20000, 0, Qt::Key_Right, false, 20000, 0, 1},
        KeyCase{"RightAt150", EQ_PEQ, 150, 0, Qt::Key_Right, true, 156, 0, 1},
        KeyCase{"RightAt100", EQ_PEQ, 100, 0, Qt::Key_Right, false, 102, 0, 1},
        KeyCase{"UpPeq", EQ_PEQ, 1000, 3, Qt::Key_Up, false, 1000, 3.2f, 1},
        KeyCase{"UpPeqCtrl", EQ_PEQ, 1000, 3, Qt::Key_Up, true, 1000, 3.1f, 1},
        KeyCase{"DownLsAtLimit", EQ_LS, 1000, -15, Qt::Key_Down, false, 1000, -15, 1},
        KeyCase{"UpHpKeepsGain", EQ_HP, 1000, 0, Qt::Key_Up, false, 1000, 0, 1},
        KeyCase{"PlusQ", EQ_PEQ, 1000, 0, Qt::Key_Plus, false, 1000, 0, 1.1f},
        KeyCase{"EqualQCtrl", EQ_PEQ, 1000, 0, Qt::Key_Equal, true, 1000, 0, 1.01f},
        KeyCase{"MinusQ", EQ_HS, 1000, 0, Qt::Key_Minus, false, 1000, 0, 0.9f}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST_F(EqPanelTest, RightCtrlGivesNoFineStep) {
    panel.Band(kBand1k).frequency = 10050;
    SelectBand(kBand1k);
    constexpr quint32 kControlR = 0xffe4;
    KeyDown(panel, Qt::Key_Control, Qt::ControlModifier, kControlR);
    Key(panel, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(panel.Band(kBand1k).frequency, 9950);
}

TEST_F(EqPanelTest, RepeatedStepsStayOnTheImageGrid) {
    SelectBand(kBand1k);
    for (int i = 0; i < 13; ++i) Key(panel, Qt::Key_Up);             // 13 x 0.2 dB
    for (int i = 0; i < 7; ++i) Wheel(panel, Centre(kBand1k), -120); // 7 x -0.1 dB
    EXPECT_EQ(panel.Band(kBand1k).gain, 1.9f);
    for (int i = 0; i < 9; ++i) Key(panel, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(panel.Band(kBand1k).q, 1.5f);
}

TEST_F(EqPanelTest, KeysWithoutSelectionDoNothing) {
    const EqBand before = panel.Band(kBand1k);
    Key(panel, Qt::Key_Left);
    Key(panel, Qt::Key_Up);
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(panel.Band(kBand1k).frequency, before.frequency);
}

TEST_F(EqPanelTest, WheelChangesGainOfGainBandsOnly) {
    SelectBand(kBand1k);
    EXPECT_TRUE(Wheel(panel, Centre(kBand1k), 120));
    EXPECT_NEAR(panel.Band(kBand1k).gain, 0.1f, 1e-6);
    EXPECT_TRUE(Wheel(panel, Centre(kBand1k), -120));
    EXPECT_TRUE(Wheel(panel, Centre(kBand1k), -120));
    EXPECT_NEAR(panel.Band(kBand1k).gain, -0.1f, 1e-6);
    EXPECT_EQ(notices.size(), 3u);

    notices.clear();
    panel.ApplyBandType(kBand1k, EQ_HP);
    EXPECT_FALSE(Wheel(panel, Centre(kBand1k), 120));
    EXPECT_TRUE(notices.empty());
}

TEST_F(EqPanelTest, LabelsGoBelowAtMinusZeroAndAboveAtMinusTenth) {
    EXPECT_EQ(CEqPanel::LabelRowOffsets(-0.0f), (std::array<int, 3>{18, 27, 36}));
    EXPECT_EQ(CEqPanel::LabelRowOffsets(-0.01f), (std::array<int, 3>{18, 27, 36}));
    EXPECT_EQ(CEqPanel::LabelRowOffsets(-0.1f), (std::array<int, 3>{-42, -33, -24}));

    // And on screen: the green values of the selected band's labels.
    const auto greenRows = [this](float gain) {
        panel.ApplyBandGain(kBand1k, gain);
        const QPointF c = Centre(kBand1k);
        const QImage frame = panel.RenderFrame().copy();
        int above = 0, below = 0;
        for (int y = int(c.y()) - 50; y < int(c.y()) + 45; ++y) {
            for (int x = int(c.x()) - 20; x < int(c.x()) + 60; ++x) {
                const QColor px = frame.pixelColor(x, y);
                if (px.green() > 200 && px.red() < 100 && px.blue() < 100) {
                    (y < c.y() ? above : below)++;
                }
            }
        }
        return std::pair<int, int>(above, below);
    };
    SelectBand(kBand1k);
    const auto atMinusZero = greenRows(-0.0f);
    EXPECT_EQ(atMinusZero.first, 0);
    EXPECT_GT(atMinusZero.second, 20);
    const auto atMinusTenth = greenRows(-0.1f);
    EXPECT_GT(atMinusTenth.first, 20);
    EXPECT_EQ(atMinusTenth.second, 0);
}

// The rows stand one font height apart (at least the template's 9 pixels)
// with whatever font is installed, so they never overlap, and still clear
// the handle on either side.
TEST_F(EqPanelTest, LabelRowsStandAFontHeightApart) {
    const int height = CEqPanel::LabelRowHeight();
    EXPECT_GE(height, QFontMetrics(ArialFont(11)).height());
    EXPECT_GE(height, 9);
    for (float gain : {0.0f, -3.0f}) {
        const std::array<int, 3> rows = CEqPanel::LabelRowOffsets(gain, height);
        EXPECT_EQ(height, rows[1] - rows[0]);
        EXPECT_EQ(height, rows[2] - rows[1]);
        // Rows are measured from 4 pixels above the centre; the ring reaches 9 around it.
        if (gain < 0)
            EXPECT_LE(rows[2] + height - 4, -9);
        else
            EXPECT_GE(rows[0] - 4, 9);
    }
}

// Every gain label fits left of the plot, its sign included.
TEST_F(EqPanelTest, GainLabelsKeepTheirSign) {
    const QFontMetricsF metrics(ArialFont(11));
    for (int gain = -15; gain <= 15; gain += 3)
        EXPECT_LE(metrics.horizontalAdvance(QString::asprintf("%+-.0fdB", double(gain))),
                  panel.PlotRect().left() - 3)
            << gain;
}

// A sum above +15 dB stays inside the plot (nothing of the curve in the
// title strip) and is marked in red along the plot's top edge.
TEST_F(EqPanelTest, CurveIsClippedToThePlotAndASumAboveItIsMarked) {
    const auto count = [this](int top, int bottom, auto matches) {
        const QImage frame = panel.RenderFrame().copy();
        int found = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = int(panel.PlotRect().left()); x < int(panel.PlotRect().right()); ++x)
                found += matches(frame.pixelColor(x, y));
        return found;
    };
    const auto curveBlue = [](const QColor& c) {
        return c.blue() > 180 && c.red() < 80 && c.green() > 120;
    };
    const auto markRed = [](const QColor& c) {
        return c.red() > 200 && c.green() < 110 && c.blue() < 110;
    };
    const int plotTop = int(panel.PlotRect().top());
    EXPECT_FALSE(panel.SumAboveRange());
    EXPECT_EQ(0, count(plotTop, plotTop + 3, markRed));

    for (int band : {7, 8, 9}) {
        panel.ApplyBandFrequency(band, 1000.0f);
        panel.ApplyBandGain(band, 15.0f);
    }
    EXPECT_NEAR(45.0f, panel.CurvePeak(), 0.5f);
    EXPECT_TRUE(panel.SumAboveRange());
    EXPECT_EQ(0, count(0, plotTop, curveBlue));
    EXPECT_GT(count(plotTop, plotTop + 3, markRed), 20);
}

TEST_F(EqPanelTest, Set12SectionsAreSummedButNeverHit) {
    panel.ShowEqSet(12);
    ASSERT_EQ(panel.BandCount(), 10);
    EXPECT_EQ(panel.Band(6).sectionCount, 3);
    // Lift a hidden section well away from its band's handle.
    panel.ApplyBandGain(8, 12.0f);
    panel.RecomputeBand(6);
    const QPointF section = Centre(8);
    ASSERT_GT(std::abs(section.y() - Centre(6).y()), 40);

    Click(panel, section);
    EXPECT_EQ(panel.SelectedBand(), -1);
    Press(panel, section, Qt::RightButton);
    EXPECT_EQ(panel.SelectedBand(), -1);
    Release(panel, section, Qt::RightButton);
    Move(panel, section);
    EXPECT_EQ(panel.HoveredBand(), -1);
    for (const Notice& n : notices) EXPECT_NE(n.message, WM_EQ_BAND_SELECTED);

    // The section's lift is part of the set curve.
    std::array<float, kEqPoints> curve{};
    ComputeSetCurve(&panel.Band(0), panel.BandCount(), curve.data());
    const int at = int(std::log10(panel.Band(6).frequency / 18.0) / std::log10(23000.0 / 18) * 512);
    EXPECT_GT(curve[at], 6.0f);

    Click(panel, Centre(6));
    EXPECT_EQ(panel.SelectedBand(), 6);
}

TEST_F(EqPanelTest, TypeMenuOnCompoundBandSetsTheSectionTypes) {
    panel.ShowEqSet(12);
    panel.ApplyBandGain(6, 5.0f);
    menuChoice = "LP";
    Click(panel, Centre(6), Qt::RightButton);
    EXPECT_EQ(panel.Band(6).type, 18);
    EXPECT_EQ(panel.Band(7).type, 20);
    EXPECT_EQ(panel.Band(8).type, EQ_PEQ);
    EXPECT_EQ(panel.Band(6).gain, 0.0f);
    // Dragging the group moves every section with it.
    const QPointF c = Centre(6);
    Press(panel, c);
    Move(panel, c + QPointF(30, 0), Qt::LeftButton);
    Release(panel, c + QPointF(30, 0));
    for (int s = 7; s <= 9; ++s) EXPECT_EQ(panel.Band(s).frequency, panel.Band(6).frequency);
    EXPECT_EQ(notices.back(), (Notice{WM_EQ_BAND_CHANGED, 6}));
}

TEST_F(EqPanelTest, HoverFindsLastBandOfOtherTypeThanOff) {
    panel.Band(kBand1k + 1).frequency = panel.Band(kBand1k).frequency;
    panel.RecomputeBand(kBand1k + 1);
    Move(panel, Centre(kBand1k) + QPointF(14, 0));
    EXPECT_EQ(panel.HoveredBand(), kBand1k + 1);
    panel.ApplyBandType(kBand1k + 1, EQ_OFF);
    Move(panel, Centre(kBand1k) + QPointF(14, 1));
    EXPECT_EQ(panel.HoveredBand(), kBand1k);
}

TEST_F(EqPanelTest, BypassBannerCoversCurvesAndEditingStillWorks) {
    const auto whitePixels = [this] {
        const QImage frame = panel.RenderFrame().copy();
        int count = 0;
        for (int y = 150; y < 250; ++y) {
            for (int x = 250; x < 550; ++x) count += frame.pixel(x, y) == qRgb(255, 255, 255);
        }
        return count;
    };
    EXPECT_EQ(whitePixels(), 0);
    panel.SetBypass(true);
    EXPECT_GT(whitePixels(), 500);
    SelectBand(kBand1k);
    Key(panel, Qt::Key_Up);
    EXPECT_NEAR(panel.Band(kBand1k).gain, 0.2f, 1e-6);
}

TEST_F(EqPanelTest, TitleFollowsSetAndLanguage) {
    EXPECT_EQ(CEqPanel::SetTitle(0, 0), "话筒A均衡");
    EXPECT_EQ(CEqPanel::SetTitle(12, 1), "CH6 EQ");
    EXPECT_EQ(CEqPanel::SetTitle(15, 1), "Record EQ");
    EXPECT_EQ(CEqPanel::SetTitle(16, 1), "");
}

TEST_F(EqPanelTest, ShowEqSetInitialisesBands) {
    panel.ApplyBandType(2, EQ_HS);
    panel.ShowEqSet(15);
    EXPECT_EQ(panel.BandCount(), 5);
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(panel.Band(b).type, EQ_PEQ);
        EXPECT_FLOAT_EQ(panel.Band(b).q, 1.41f);
        EXPECT_EQ(panel.Band(b).gain, 0.0f);
        EXPECT_EQ(panel.Band(b).shown, 1);
    }
    EXPECT_EQ(panel.Band(4).frequency, 800.0f);
}

} // namespace
