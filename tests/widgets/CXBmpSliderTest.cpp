#include "controls/CXBmpSlider.h"

#include "WidgetEvents.h"

#include <gtest/gtest.h>

#include <vector>

using namespace widget_events;

namespace {

struct SliderNotice {
    int message;
    int position;
    bool operator==(const SliderNotice& o) const {
        return message == o.message && position == o.position;
    }
};

// A 0..100 slider 220 x 26 (thumb 11 wide, margins 3, 3, 3, 2: travel 203).
class XBmpSliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        slider.resize(220, 26);
        slider.SetControlId(1052);
        slider.SetRange(0, 100);
        QObject::connect(&slider, &CXBmpSlider::PositionChanging, [this](int id, int pos) {
            EXPECT_EQ(id, 1052);
            notices.push_back({WM_BMPSLIDER_MOVING, pos});
        });
        QObject::connect(&slider, &CXBmpSlider::PositionReleased, [this](int id, int pos) {
            EXPECT_EQ(id, 1052);
            notices.push_back({WM_BMPSLIDER_RELEASED, pos});
        });
        QObject::connect(&slider, &CXBmpSlider::FocusGained, [this](int) {
            notices.push_back({WM_BMPSLIDER_FOCUS, 0});
        });
    }

    QPointF ThumbCentre() const {
        return QRectF(slider.ThumbPosition(), slider.ThumbSize()).center();
    }

    CXBmpSlider slider;
    std::vector<SliderNotice> notices;
};

TEST_F(XBmpSliderTest, KeysAtTheEndsStayButStillNotify) {
    slider.SetPos(100);
    Key(slider, Qt::Key_Up);
    Key(slider, Qt::Key_Right);
    EXPECT_EQ(slider.GetPos(), 100);
    const std::vector<SliderNotice> both = {{WM_BMPSLIDER_MOVING, 100},
                                            {WM_BMPSLIDER_RELEASED, 100},
                                            {WM_BMPSLIDER_MOVING, 100},
                                            {WM_BMPSLIDER_RELEASED, 100}};
    EXPECT_EQ(notices, both);

    notices.clear();
    slider.SetPos(0);
    Key(slider, Qt::Key_Down);
    Key(slider, Qt::Key_Left);
    EXPECT_EQ(slider.GetPos(), 0);
    EXPECT_EQ(notices.size(), 4u);
}

TEST_F(XBmpSliderTest, KeysAndWheelStepByOne) {
    slider.SetPos(50);
    Key(slider, Qt::Key_Up);
    Key(slider, Qt::Key_Right);
    Key(slider, Qt::Key_Down);
    EXPECT_EQ(slider.GetPos(), 51);
    EXPECT_TRUE(Wheel(slider, ThumbCentre(), 360)); // one step per message, whatever the delta
    EXPECT_EQ(slider.GetPos(), 52);
    EXPECT_TRUE(Wheel(slider, ThumbCentre(), -120));
    EXPECT_EQ(slider.GetPos(), 51);
    EXPECT_EQ(notices.back(), (SliderNotice{WM_BMPSLIDER_RELEASED, 51}));
}

TEST_F(XBmpSliderTest, TrackClickMovesExactlyOneStepTowardsThePress) {
    slider.SetPos(50);
    Click(slider, QPointF(210, 13)); // far right of the thumb
    EXPECT_EQ(slider.GetPos(), 51);
    EXPECT_EQ(notices,
              (std::vector<SliderNotice>{{WM_BMPSLIDER_MOVING, 51}, {WM_BMPSLIDER_RELEASED, 51}}));
    Click(slider, QPointF(4, 13)); // far left
    EXPECT_EQ(slider.GetPos(), 50);
    EXPECT_FALSE(slider.Dragging());
}

TEST_F(XBmpSliderTest, VerticalTrackClickBelowTheThumbSteps) {
    slider.resize(28, 180);
    slider.SetVertical(true);
    slider.SetPos(50);
    Click(slider, QPointF(14, 175)); // below: towards the minimum
    EXPECT_EQ(slider.GetPos(), 49);
    Click(slider, QPointF(14, 4));
    Click(slider, QPointF(14, 4));
    EXPECT_EQ(slider.GetPos(), 51);
}

TEST_F(XBmpSliderTest, DragFollowsThePointerAndReleaseNotifies) {
    slider.SetPos(0);
    const QPointF grab = ThumbCentre();
    Press(slider, grab);
    EXPECT_TRUE(slider.Dragging());
    // Pointer minus half the thumb, minus the left margin, in steps of 203/100 px.
    const double pointer = 3 + 5.5 + 101.5;
    Move(slider, QPointF(pointer, 13), Qt::LeftButton);
    EXPECT_EQ(slider.GetPos(), 50);
    Move(slider, QPointF(500, 13), Qt::LeftButton);
    EXPECT_EQ(slider.GetPos(), 100);
    Release(slider, QPointF(500, 13));
    EXPECT_FALSE(slider.Dragging());
    EXPECT_EQ(notices.back(), (SliderNotice{WM_BMPSLIDER_RELEASED, 100}));
    EXPECT_EQ(notices.front(), (SliderNotice{WM_BMPSLIDER_MOVING, 0}));
}

TEST_F(XBmpSliderTest, GeometryFollowsTheFormulas) {
    slider.SetRange(20, 20000);
    slider.SetPos(20000);
    EXPECT_EQ(slider.ThumbPosition().x(), 3 + 203);
    slider.SetPos(-5);
    EXPECT_EQ(slider.GetPos(), 20);
    EXPECT_EQ(slider.ThumbPosition().x(), 3);
    EXPECT_EQ(slider.PositionFromPointer(3 + 101.5), 20 + 9990);
    slider.SetRange(0, 127);
    EXPECT_EQ(slider.PositionFromPointer(-40), 0);
}

TEST_F(XBmpSliderTest, DisabledSliderIgnoresInput) {
    slider.SetPos(10);
    slider.SetEnabled(false);
    Click(slider, QPointF(210, 13));
    Key(slider, Qt::Key_Up);
    Wheel(slider, ThumbCentre(), 120);
    EXPECT_EQ(slider.GetPos(), 10);
    EXPECT_TRUE(notices.empty());
}

TEST_F(XBmpSliderTest, FocusGainedNotifies) {
    slider.show();
    slider.activateWindow();
    slider.setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(slider.hasFocus());
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices.front(), (SliderNotice{WM_BMPSLIDER_FOCUS, 0}));
}

} // namespace
