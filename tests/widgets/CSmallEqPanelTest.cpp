#include "controls/CSmallEqPanel.h"

#include "controls/EqModel.h"

#include "WidgetEvents.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace widget_events;

namespace {

class SmallEqPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel.resize(234, 124); // plot 230 x 120
        panel.show();           // delivers the resize
        panel.SetControlId(1144);
    }
    // Flat set: every band PEQ at 0 dB.
    void Flatten() {
        for (int b = 0; b < CSmallEqPanel::kBands; ++b) panel.SetBandGain(b, 0.0f);
    }
    CSmallEqPanel panel;
};

TEST_F(SmallEqPanelTest, InitialBandsAndAxes) {
    const float frequencies[7] = {31, 62, 125, 250, 500, 1000, 2000};
    for (int b = 0; b < 7; ++b) {
        EXPECT_EQ(panel.BandAt(b).type, 1);
        EXPECT_EQ(panel.BandAt(b).frequency, frequencies[b]);
        EXPECT_FLOAT_EQ(panel.BandAt(b).q, 1.414f);
    }
    EXPECT_EQ(panel.CurveColor(), QColor::fromRgba(0xFF00C8FF));
    EXPECT_EQ(panel.PointFrequency(0), 10);
    EXPECT_EQ(panel.PointX(55), 2 + int(230.0 / 56 * 55));
    // Handle of the 1000 Hz band: 2 decades of 3.4 along the plot.
    EXPECT_NEAR(panel.BandAt(5).handleX, 2 + 2.0 * 230 / 3.4, 1e-3);
}

TEST_F(SmallEqPanelTest, BandsRoundedToTenthsBeforeSumming) {
    // Low shelves at 20 kHz lift the bottom end (10 Hz, point 0) by their gain.
    ASSERT_EQ(panel.PointFrequency(0), 10);
    const struct {
        float gain;
        double shown;
    } cases[] = {
        {0.04f, 0.0}, // 7 x 0.04 = 0.28 unrounded; each band rounds to 0
        {0.06f, 0.7}, // 7 x 0.06 = 0.42 unrounded; each band rounds to 0.1
        {0.5f, 3.5},
    };
    for (const auto& c : cases) {
        for (int b = 0; b < 7; ++b) panel.LoadBand(b, EQ_LS, 20000, c.gain, 0.7f);
        EXPECT_NEAR(panel.CurveDb(0), c.shown, 1e-4) << c.gain;
    }
}

TEST_F(SmallEqPanelTest, PeakHasNoPinning) {
    Flatten();
    panel.SetBandGain(5, 6.0f);
    double highest = -100;
    for (int u = 0; u < CSmallEqPanel::kPoints; ++u) highest = std::max(highest, panel.CurveDb(u));
    EXPECT_LE(highest, 6.0 + 1e-9);
    EXPECT_GT(highest, 4.0);
}

TEST_F(SmallEqPanelTest, LoadBandRules) {
    panel.LoadBand(2, 2, 800, 5.0f, 0.0f); // LP: Q 0.7; the stored Q 0 is not applied
    EXPECT_EQ(panel.BandAt(2).type, 2);
    EXPECT_FLOAT_EQ(panel.BandAt(2).q, 0.7f);
    EXPECT_EQ(panel.BandAt(2).frequency, 800.0f);
    panel.LoadBand(3, 1, 0, 20.0f, 2.5f); // frequency 0 ignored, gain limited
    EXPECT_EQ(panel.BandAt(3).frequency, 250.0f);
    EXPECT_EQ(panel.BandAt(3).gain, 15.0f);
    EXPECT_FLOAT_EQ(panel.BandAt(3).q, 2.5f);
    panel.SetBandFrequency(4, 5.0f);
    EXPECT_EQ(panel.BandAt(4).frequency, 20.0f);
}

TEST_F(SmallEqPanelTest, PassCoversTheCurveWhichIsStillDrawn) {
    Flatten();
    panel.SetCurveColor(QColor(0, 220, 0));
    const auto count = [this](auto match) {
        const QImage frame = panel.RenderFrame().copy();
        int n = 0;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) n += match(frame.pixelColor(x, y));
        }
        return n;
    };
    const auto curve = [](const QColor& c) {
        return c.green() > 120 && c.red() < 60 && c.blue() < 60;
    };
    const auto white = [](const QColor& c) { return c.rgb() == qRgb(255, 255, 255); };
    const int curveBefore = count(curve);
    EXPECT_GT(curveBefore, 200);
    EXPECT_EQ(count(white), 0);
    panel.SetBypass(true);
    EXPECT_GT(count(white), 100);
    EXPECT_GT(count(curve), curveBefore / 2);
}

TEST_F(SmallEqPanelTest, ClickNotifiesAndHoverFramesInCyan) {
    int clicked = -1;
    QObject::connect(&panel, &CSmallEqPanel::Clicked, [&](int id) { clicked = id; });
    Move(panel, QPointF(50, 50));
    EXPECT_TRUE(panel.Hovered());
    const QImage frame = panel.RenderFrame().copy();
    EXPECT_EQ(frame.pixel(0, 60), qRgb(0, 255, 255));
    Click(panel, QPointF(50, 50));
    EXPECT_EQ(clicked, 1144);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&panel, &leave);
    EXPECT_FALSE(panel.Hovered());
    EXPECT_NE(panel.RenderFrame().pixel(0, 60), qRgb(0, 255, 255));
}

} // namespace
