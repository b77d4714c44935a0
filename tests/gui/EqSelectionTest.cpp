#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/EqModel.h"
#include "pages/CEqEditor.h"
#include "pages/CHalvoxPage.h"
#include "shell/CHalvoxView.h"
#include "state/ParamImage.h"

#include <QLabel>
#include <QLineEdit>

#include <vector>

// The band editor always edits the graph's selected band, and the band
// list's selected row is that band, however the selection moved: a press of
// either button on a band or on empty space, Tab and Shift+Tab on the graph,
// or a row picked in the list. Keys then act on the band the editor shows.
namespace {
enum class Gesture { LeftOnBand, RightOnBand, LeftOnEmpty, RightOnEmpty, Tab, ShiftTab };

class EqSelectionTest : public GuiFixture {
protected:
    void Start() {
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        m_frame->activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return m_frame->isActiveWindow(); }));
    }

    CEqEditor* ShowEqPage(int page, int subPage) {
        View()->ShowPage(page, subPage);
        Pump(30);
        CEqEditor* eq = View()->CurrentPage()->findChild<CEqEditor*>();
        if (eq) eq->Graph()->SetMenuRunner([](QMenu&, const QPoint&) { return nullptr; });
        return eq;
    }

    static QPointF Empty(const CEqPanel* graph) {
        return {graph->PlotRect().right() - 3, graph->PlotRect().top() + 3};
    }

    static void Perform(CEqPanel* graph, Gesture gesture, int band) {
        switch (gesture) {
        case Gesture::LeftOnBand:
            Click(graph, graph->HandleCentre(band));
            break;
        case Gesture::RightOnBand:
            SendMouse(graph, QEvent::MouseButtonPress, graph->HandleCentre(band), Qt::RightButton);
            SendMouse(graph, QEvent::MouseButtonRelease, graph->HandleCentre(band),
                      Qt::RightButton);
            break;
        case Gesture::LeftOnEmpty:
            Click(graph, Empty(graph));
            break;
        case Gesture::RightOnEmpty:
            SendMouse(graph, QEvent::MouseButtonPress, Empty(graph), Qt::RightButton);
            SendMouse(graph, QEvent::MouseButtonRelease, Empty(graph), Qt::RightButton);
            break;
        case Gesture::Tab:
        case Gesture::ShiftTab: {
            graph->setFocus(Qt::OtherFocusReason);
            const bool back = gesture == Gesture::ShiftTab;
            QKeyEvent key(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab,
                          back ? Qt::ShiftModifier : Qt::NoModifier);
            QApplication::sendEvent(graph, &key);
            break;
        }
        }
    }

    static void ClickRow(CGridListCtrlEx* list, int row) {
        const QRect cell = list->visualRect(list->model()->index(row, CEqEditor::ColNumber));
        Click(list->viewport(), cell.center());
    }

    static double ImageGain(int set, int band) {
        return DecodeEqBandRecord(g_PanelImage() + EqBandOffset(set, band)).gain;
    }

    // Up on the graph raises the selected band only, and the editor and the
    // list show the band's new gain.
    void ExpectKeysActOnTheEditorsBand(CEqEditor* eq, int band) {
        const int set = eq->Set();
        const int other = band == 0 ? 1 : 0;
        const double before = ImageGain(set, band);
        const double otherBefore = ImageGain(set, other);
        QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
        QApplication::sendEvent(eq->Graph(), &up);
        EXPECT_NEAR(before + 0.2, ImageGain(set, band), 0.01);
        EXPECT_EQ(otherBefore, ImageGain(set, other));
        const QString shown = QString::asprintf("%+-.1fdB", ImageGain(set, band));
        EXPECT_EQ(shown, eq->BandList()->CellText(band, CEqEditor::ColGain));
        auto* gainEdit = Ctrl<QLineEdit>(View()->CurrentPage(), IDC_EQ_EDIT_GAIN);
        ASSERT_NE(nullptr, gainEdit);
        EXPECT_EQ(shown, gainEdit->text());
    }
};
} // namespace

TEST_F(EqSelectionTest, TheEditorFollowsEveryMoveOfTheGraphsSelection) {
    Start();
    CEqEditor* eq = ShowEqPage(PAGE_MUSIC, 0);
    ASSERT_NE(nullptr, eq);
    CEqPanel* graph = eq->Graph();
    auto* number = Ctrl<QLabel>(View()->CurrentPage(), IDC_EQ_BAND_NUMBER);
    const struct {
        const char* name;
        int from; // selected by a left click first, -1 for none
        Gesture gesture;
        int band; // the band the gesture points at
        int expected;
    } cases[] = {
        {"right press on another band", 2, Gesture::RightOnBand, 7, 7},
        {"right press with none selected", -1, Gesture::RightOnBand, 4, 4},
        {"right press on empty space", 2, Gesture::RightOnEmpty, -1, -1},
        {"left press on another band", 2, Gesture::LeftOnBand, 9, 9},
        {"left press on empty space", 2, Gesture::LeftOnEmpty, -1, -1},
        {"Tab", 2, Gesture::Tab, -1, 3},
        {"Tab with none selected", -1, Gesture::Tab, -1, 0},
        {"Shift+Tab", 2, Gesture::ShiftTab, -1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Perform(graph, Gesture::LeftOnEmpty, -1);
        if (c.from >= 0) Perform(graph, Gesture::LeftOnBand, c.from);
        ASSERT_EQ(c.from, eq->SelectedBand());
        Perform(graph, c.gesture, c.band);
        EXPECT_EQ(c.expected, graph->SelectedBand());
        EXPECT_EQ(c.expected, eq->SelectedBand());
        EXPECT_EQ(c.expected, eq->BandList()->SelectedRow());
        EXPECT_EQ(c.expected >= 0, eq->EditorShown());
        EXPECT_EQ(c.expected < 0, eq->BandList()->isVisible());
        if (c.expected < 0) continue;
        EXPECT_EQ(QString::number(c.expected + 1), number->text());
        ExpectKeysActOnTheEditorsBand(eq, c.expected);
    }
}

// A row picked in the list selects its band on the graph; a band picked on
// the graph selects its row, and none clears it, so the same row picked
// again selects again. Where the editor has a place of its own (the effects
// page) it shows the picked band; where it shares the list's, the list stays.
TEST_F(EqSelectionTest, ListRowsAndGraphBandsSelectEachOther) {
    Start();
    const struct {
        const char* name;
        int page;
        bool editorBesideList;
    } cases[] = {
        {"music page", PAGE_MUSIC, false},
        {"effects page", PAGE_EFFECTS, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CEqEditor* eq = ShowEqPage(c.page, 0);
        ASSERT_NE(nullptr, eq);
        CEqPanel* graph = eq->Graph();
        CGridListCtrlEx* list = eq->BandList();
        ASSERT_TRUE(list->isVisible());

        ClickRow(list, 4);
        EXPECT_EQ(4, graph->SelectedBand());
        EXPECT_EQ(4, eq->SelectedBand());
        EXPECT_TRUE(list->isVisible());
        EXPECT_EQ(c.editorBesideList, eq->EditorShown());
        ExpectKeysActOnTheEditorsBand(eq, 4);

        Click(graph, graph->HandleCentre(6));
        EXPECT_EQ(6, list->SelectedRow());
        Click(graph, Empty(graph));
        EXPECT_EQ(-1, list->SelectedRow());
        EXPECT_EQ(-1, graph->SelectedBand());
        ClickRow(list, 6);
        EXPECT_EQ(6, graph->SelectedBand());
        EXPECT_EQ(6, eq->SelectedBand());
    }
}
