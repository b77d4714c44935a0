#include "controls/CGdipButton.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CReportCtrl.h"
#include "controls/CTabWnd.h"
#include "controls/ColorContrast.h"

#include "WidgetEvents.h"

#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace widget_events;

namespace {

TEST(TabWndTest, SetActiveSwitchesChildrenAndRejectsIndicesOutOfRange) {
    CTabWnd tabs;
    tabs.resize(300, 200);
    tabs.show();
    QWidget* pages[3] = {new QWidget, new QWidget, new QWidget};
    for (QWidget* page : pages) tabs.AddChild(page);
    EXPECT_TRUE(pages[0]->isVisible());
    EXPECT_FALSE(pages[1]->isVisible());

    EXPECT_EQ(tabs.SetActive(2), 0);
    EXPECT_TRUE(pages[2]->isVisible());
    EXPECT_FALSE(pages[0]->isVisible());
    EXPECT_EQ(tabs.SetActive(3), -1); // equal to the count
    EXPECT_EQ(tabs.SetActive(-1), -1);
    EXPECT_EQ(tabs.Active(), 2);
    EXPECT_TRUE(pages[2]->isVisible());

    // A resize fills every child with the client area and keeps the shown one.
    tabs.resize(500, 320);
    QCoreApplication::processEvents();
    for (QWidget* page : pages) EXPECT_EQ(page->geometry(), QRect(0, 0, 500, 320));
    EXPECT_TRUE(pages[2]->isVisible());
    EXPECT_EQ(tabs.SetActive(1), 2);
}

TEST(TabWndTest, HoldsAFixedNumberOfChildren) {
    CTabWnd tabs;
    for (int i = 0; i < CTabWnd::kMaxChildren; ++i) EXPECT_EQ(tabs.AddChild(new QWidget), i);
    QWidget extra;
    EXPECT_EQ(tabs.AddChild(&extra), -1);
    EXPECT_EQ(tabs.Count(), CTabWnd::kMaxChildren);
}

// The band list of an EQ page: number, type (drop-down), gain, frequency, Q.
class GridListTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.AddColumn("", 30);
        list.AddColumn("Type", 55, CGridListCtrlEx::Editor::Combo, types);
        list.AddColumn("Gain", 60, CGridListCtrlEx::Editor::Text);
        list.AddColumn("Freq", 60, CGridListCtrlEx::Editor::Text);
        list.AddColumn("Q", 50, CGridListCtrlEx::Editor::Text);
        list.SetRowCount(15);
        for (int row = 0; row < 15; ++row) {
            list.SetCellText(row, 0, QString::number(row + 1));
            list.SetCellText(row, 1, "PEQ");
            list.SetCellText(row, 2, "+0.0dB");
        }
        list.resize(300, 400);
        list.show();
        QObject::connect(&list, &CGridListCtrlEx::CellEdited,
                         [this](int row, int column, const QString& text) {
                             edits.emplace_back(row, column, text);
                         });
    }
    template <typename Editor> Editor* OpenEditor(int row, int column) {
        EXPECT_TRUE(list.EditCell(row, column));
        return list.findChild<Editor*>();
    }

    const QStringList types{"OFF", "PEQ", "LP", "HP", "LS", "HS"};
    CGridListCtrlEx list;
    std::vector<std::tuple<int, int, QString>> edits;
};

TEST_F(GridListTest, FixedColumnsAndRowColours) {
    EXPECT_EQ(list.columnCount(), 5);
    EXPECT_EQ(list.columnWidth(1), 55);
    EXPECT_EQ(list.horizontalHeaderItem(3)->text(), "Freq");
    list.SetTextColor(QColor(0, 200, 255));
    list.SetRowTextColor(4, QColor(255, 200, 0));
    EXPECT_EQ(list.item(3, 2)->foreground().color(), QColor(0, 200, 255));
    EXPECT_EQ(list.item(4, 2)->foreground().color(), QColor(255, 200, 0));
    list.SetRowCount(16); // a new row takes the list's colour
    EXPECT_EQ(list.item(15, 0)->foreground().color(), QColor(0, 200, 255));
}

// The EQ lists' colours (yellow, cyan, green, the recording red) read on the
// list's background at 4.5:1 or better, as does dark text; on white the
// light ones do not.
TEST_F(GridListTest, ListBackgroundLetsItsTextColourRead) {
    EXPECT_NEAR(21.0, ContrastRatio(Qt::black, Qt::white), 1e-9);
    EXPECT_NEAR(1.0, ContrastRatio(QColor(0, 200, 255), QColor(0, 200, 255)), 1e-9);
    const struct {
        QColor text;
        bool readsOnWhite;
    } cases[] = {{QColor(255, 200, 0), false}, {QColor(0, 200, 255), false},
                 {QColor(0, 220, 0), false},   {QColor(230, 70, 90), false},
                 {QColor(20, 40, 90), true},   {QColor(0, 0, 0), true}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.readsOnWhite, ContrastRatio(c.text, Qt::white) >= 4.5)
            << c.text.name().toStdString();
        list.SetTextColor(c.text);
        EXPECT_GE(ContrastRatio(c.text, list.BackgroundColor()), 4.5)
            << c.text.name().toStdString();
        // What is drawn: the empty part of the list below its rows.
        list.SetRowCount(2);
        const QImage drawn = list.grab().toImage();
        EXPECT_EQ(list.BackgroundColor(), drawn.pixelColor(list.width() / 2, list.height() - 6))
            << c.text.name().toStdString();
    }
}

TEST_F(GridListTest, SelectingARowNotifiesOnce) {
    std::vector<int> selected;
    QObject::connect(&list, &CGridListCtrlEx::RowSelected,
                     [&](int row) { selected.push_back(row); });
    list.SelectRow(3);
    list.SelectRow(3);
    const QRect cell = list.visualItemRect(list.item(6, 0));
    Click(*list.viewport(), cell.center());
    EXPECT_EQ(selected, (std::vector<int>{3, 6}));
    EXPECT_EQ(list.SelectedRow(), 6);
}

TEST_F(GridListTest, TextEditEndsWithRowColumnAndText) {
    auto* edit = OpenEditor<QLineEdit>(2, 3);
    ASSERT_NE(edit, nullptr);
    edit->setText("2500");
    Key(*edit, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits on a queued call
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0], std::make_tuple(2, 3, QString("2500")));
    EXPECT_EQ(list.CellText(2, 3), "2500");
}

TEST_F(GridListTest, EscapeCancelsWithoutNotice) {
    auto* edit = OpenEditor<QLineEdit>(2, 4);
    ASSERT_NE(edit, nullptr);
    edit->setText("9");
    Key(*edit, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_TRUE(edits.empty());
    EXPECT_EQ(list.CellText(2, 4), "");
}

TEST_F(GridListTest, TypeDropDownOffersTheNamesAndEndsOnPick) {
    auto* combo = OpenEditor<QComboBox>(5, 1);
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 6);
    EXPECT_EQ(combo->currentText(), "PEQ");
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    QCoreApplication::processEvents();
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0], std::make_tuple(5, 1, QString("LP")));
    EXPECT_EQ(list.CellText(5, 1), "LP");
}

TEST_F(GridListTest, NumberColumnIsReadOnly) {
    EXPECT_FALSE(list.EditCell(0, 0));
    EXPECT_EQ(list.findChild<QLineEdit*>(), nullptr);
}

TEST_F(GridListTest, ArrowKeysAndWheelCanGoToTheOwner) {
    list.SelectRow(4);
    std::vector<int> keys, wheel;
    QObject::connect(&list, &CGridListCtrlEx::ArrowKey, [&](int key) { keys.push_back(key); });
    QObject::connect(&list, &CGridListCtrlEx::WheelStep, [&](int d) { wheel.push_back(d); });
    Key(list, Qt::Key_Down);
    EXPECT_EQ(list.SelectedRow(), 5); // ordinary list navigation
    list.SetInputToOwner(true);
    Key(list, Qt::Key_Down);
    Key(list, Qt::Key_Left);
    Wheel(*list.viewport(), QPointF(20, 20), -120);
    EXPECT_EQ(list.SelectedRow(), 5);
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Down, Qt::Key_Left}));
    EXPECT_EQ(wheel, (std::vector<int>{-1}));
}

TEST(ReportCtrlTest, CellsCarryTheirColoursAndClicksSelectRows) {
    CReportCtrl report;
    report.InsertColumn("", 50);
    report.InsertColumn("Parameter name", 130);
    report.InsertColumn("Value", 80);
    for (int row = 0; row < 9; ++row) {
        report.InsertItem(row, QString::number(row + 1));
        report.SetItemText(row, 2, QString("%1%").arg(row * 10));
    }
    report.SetItemColors(2, 1, QColor(255, 0, 0), QColor(240, 250, 255));
    report.resize(300, 260);
    report.show();
    EXPECT_EQ(report.GetItemText(3, 2), "30%");
    EXPECT_EQ(report.GetItemText(3, 1), "");
    EXPECT_EQ(report.item(2, 1)->foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(report.item(2, 1)->background().color(), QColor(240, 250, 255));
    EXPECT_EQ(report.GetSelectedRow(), -1);

    int clicked = -1;
    QObject::connect(&report, &CReportCtrl::RowClicked, [&](int row) { clicked = row; });
    const QRect cell = report.visualItemRect(report.item(4, 2));
    Click(*report.viewport(), cell.center());
    EXPECT_EQ(clicked, 4);
    EXPECT_EQ(report.GetSelectedRow(), 4);
    EXPECT_EQ(report.editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST(GdipButtonTest, LooksFollowHoverPressAndToggle) {
    CGdipButton button;
    button.setText("Mute");
    button.resize(100, 30);
    button.show();
    EXPECT_EQ(button.CurrentLook(), CGdipButton::Normal);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.CurrentLook(), CGdipButton::Hovered);
    Press(button, QPointF(50, 15));
    EXPECT_EQ(button.CurrentLook(), CGdipButton::Pressed);
    Release(button, QPointF(50, 15));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.CurrentLook(), CGdipButton::Normal);

    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    button.SetToggle(true);
    Click(button, QPointF(50, 15));
    EXPECT_TRUE(button.isChecked());
    // A double click counts as a second click.
    Mouse(button, QEvent::MouseButtonDblClick, QPointF(50, 15), Qt::LeftButton, Qt::LeftButton);
    Release(button, QPointF(50, 15));
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(button.isChecked());
    button.setEnabled(false);
    EXPECT_EQ(button.CurrentLook(), CGdipButton::Disabled);
    button.SetTooltip("Mute all outputs");
    EXPECT_EQ(button.toolTip(), "Mute all outputs");
}

} // namespace
