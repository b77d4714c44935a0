#include "controls/CCompressPanelPlus.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

class CompressPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        curve.resize(540, 525); // plot 480 x 480: 5 pixels per dB
        curve.show();
        curve.SetLowerKnee(-90.0); // as the compressor page sets it
        curve.SetLowerSlope(1.0);
    }

    // How many pixels of a colour the frame holds inside a rectangle.
    int CountColour(const QRect& area, QRgb colour, int tolerance = 40) {
        const QImage image = curve.RenderFrame().convertToFormat(QImage::Format_RGB32);
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (std::abs(qRed(p) - qRed(colour)) + std::abs(qGreen(p) - qGreen(colour)) +
                        std::abs(qBlue(p) - qBlue(colour)) <=
                    tolerance)
                    ++count;
            }
        return count;
    }

    CCompressPanelPlus curve;
};

TEST_F(CompressPanelTest, CurveCornersFollowThresholdAndRatio) {
    const struct {
        double threshold;
        double ratio;
        double rightEndDb;
    } cases[] = {
        {-60, 30.0, -57.8}, // -60 + 66 / 30
        {-20, 4.0, -13.5},
        {-30, 1.0, 6.0}, // ratio 1: slope 1 above the threshold
        {0, 30.0, 0.2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.threshold);
        curve.SetThreshold(c.threshold);
        curve.SetSlope(1.0 / c.ratio);
        const auto points = curve.CurvePoints();
        EXPECT_NEAR(c.rightEndDb, curve.OutputDbAt(points[3].y()), 1e-9);
        EXPECT_DOUBLE_EQ(520.0, points[3].x()); // W + 40
        EXPECT_DOUBLE_EQ(curve.InputX(c.threshold), points[2].x());
        EXPECT_NEAR(c.threshold, curve.OutputDbAt(points[2].y()), 1e-9);
        // Below the threshold the output follows the input from -90 dB.
        EXPECT_DOUBLE_EQ(40.0, points[0].x());
        EXPECT_NEAR(-90.0, curve.OutputDbAt(points[0].y()), 1e-9);
        EXPECT_NEAR(-90.0, curve.OutputDbAt(points[1].y()), 1e-9);
    }
    EXPECT_DOUBLE_EQ(20.0, curve.OutputY(6.0));
    EXPECT_DOUBLE_EQ(500.0, curve.OutputY(-90.0));
    EXPECT_DOUBLE_EQ(40.0 + 5 * 60, curve.InputX(-30.0));
}

TEST_F(CompressPanelTest, OffShowsOnlyWhileSwitchedOff) {
    const QRect middle(curve.width() / 2 - 60, curve.height() / 2 - 25, 120, 50);
    const QRgb offBlue = qRgb(0, 150, 255);
    EXPECT_FALSE(curve.CurveEnabled()); // as constructed
    EXPECT_GT(CountColour(middle, offBlue, 10), 100);
    curve.SetEnabled(true);
    EXPECT_EQ(0, CountColour(middle, offBlue, 10));
}

TEST_F(CompressPanelTest, ThresholdDotGridAndLabels) {
    curve.SetEnabled(true);
    curve.SetThreshold(-40);
    curve.SetSlope(1.0 / 4.0);
    const QPoint dot = curve.CurvePoints()[2].toPoint();
    EXPECT_GT(CountColour(QRect(dot - QPoint(2, 2), QSize(5, 5)), qRgb(255, 0, 0), 90), 5);
    // The grid line at output 0 dB lies above the output range (its grey band).
    EXPECT_GT(CountColour(QRect(300, int(curve.OutputY(0)), 100, 1), qRgb(0, 110, 0), 10), 90);
    const QRgb grey = qRgb(120 * 65 / 255, 120 * 65 / 255, 120 * 65 / 255);
    EXPECT_GT(CountColour(QRect(60, int(curve.OutputY(-80)) + 2, 10, 1), grey, 6), 5);
    EXPECT_EQ(0, CountColour(QRect(60, int(curve.OutputY(-20)) + 2, 10, 1), grey, 6));
    EXPECT_GT(CountColour(QRect(0, 10, 38, 480), qRgb(255, 255, 0), 60), 100);
}

} // namespace
