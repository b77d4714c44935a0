// The room-correction overlay of the EQ graph: the measurement sits on the
// 0 dB line, smoothing is the eye's, and "measurement + EQ" follows the bands.
#include "controls/CEqPanel.h"
#include "state/AutoEqFit.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>

namespace {

// A +6 dB, Q 5 mode at 100 Hz over 75 dB, 1/48 octave.
fx::Measurement RoomWithMode() {
    fx::Measurement m;
    for (double f = 10.0; f < 24000.0; f *= std::pow(2.0, 1.0 / 48.0)) {
        m.frequencies.push_back(f);
        m.levels.push_back(75.0 + fx::BandsResponseDb({{6.0, 100, 5.0, EQ_PEQ}}, f));
    }
    return m;
}

bool Near(QRgb pixel, const QColor& color) {
    return std::abs(qRed(pixel) - color.red()) < 40 &&
           std::abs(qGreen(pixel) - color.green()) < 40 &&
           std::abs(qBlue(pixel) - color.blue()) < 40;
}

// Whether the colour is drawn within 2 pixels of (x, y).
bool DrawnNear(const QImage& image, double x, double y, const QColor& color) {
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy)
            if (Near(image.pixel(int(x) + dx, int(y) + dy), color)) return true;
    return false;
}

class CEqOverlayTest : public testing::Test {
protected:
    void SetUp() override {
        panel.resize(1280, 600);
        panel.ShowEqSet(0); // band 3 at 100 Hz
        panel.Overlay().SetMeasurement(RoomWithMode());
        panel.Overlay().SetSmoothing(0);
    }
    double X(double f) const {
        return EqFreqToX(f, panel.PlotRect().left(), panel.PlotRect().width());
    }
    double Y(double db) const {
        return EqGainToY(db, panel.PlotRect().top(), panel.PlotRect().height());
    }

    CEqPanel panel;
    const QColor predicted{90, 255, 120};
    const QColor measured{175, 175, 175};
};

TEST_F(CEqOverlayTest, MeasurementSitsOnTheZeroLineAndSmoothingLowersAMode) {
    EXPECT_NEAR(75.0, panel.Overlay().ReferenceDb(), 0.05);
    const auto& f = EqEvalFrequencies();
    int at100 = 0;
    while (f[at100 + 1] <= 100.0) ++at100;
    EXPECT_NEAR(6.0, panel.Overlay().MeasuredAt(at100), 0.2);
    EXPECT_NEAR(0.0, panel.Overlay().MeasuredAt(kEqPoints - 60), 0.05);
    panel.Overlay().SetSmoothing(3);
    EXPECT_LT(panel.Overlay().MeasuredAt(at100), 5.0) << "1/3 octave spreads a Q 5 mode";
}

TEST_F(CEqOverlayTest, MeasurementPlusEqFollowsTheBands) {
    // A flat EQ draws no second curve on top of the room (nor lists one).
    const QImage flat = panel.RenderFrame().copy();
    EXPECT_TRUE(DrawnNear(flat, X(100), Y(6.0), measured));
    EXPECT_FALSE(DrawnNear(flat, X(100), Y(6.0), predicted));
    const std::array<float, kEqPoints> none{};
    EXPECT_FALSE(panel.Overlay().PredictionShown(none.data()));

    // The band a drag would leave: -6 dB, Q 5 at 100 Hz cancels the mode.
    panel.ApplyBandQ(3, 5.0f);
    panel.ApplyBandGain(3, -6.0f);
    const QImage corrected = panel.RenderFrame().copy();
    EXPECT_TRUE(DrawnNear(corrected, X(100), Y(6.0), measured)) << "the room is still drawn";
    EXPECT_FALSE(DrawnNear(corrected, X(100), Y(6.0), predicted));
    EXPECT_TRUE(DrawnNear(corrected, X(70), Y(0.0), predicted));

    panel.Overlay().Clear();
    EXPECT_FALSE(DrawnNear(panel.RenderFrame(), X(100), Y(6.0), measured));
}

// The figures are those of the curves drawn: the measurement and
// measurement + EQ as the set is now (after an undo, during a drag), or the
// preview of a fit; nothing without a target.
TEST_F(CEqOverlayTest, TheFiguresAreThoseOfWhatIsDrawn) {
    std::array<float, kEqPoints> flat{}, cut{};
    const auto& f = EqEvalFrequencies();
    for (int i = 0; i < kEqPoints; ++i)
        cut[i] = float(fx::BandsResponseDb({{-6.0, 100, 5.0, EQ_PEQ}}, f[i]));
    CEqOverlay& overlay = panel.Overlay();
    EXPECT_TRUE(overlay.FiguresText(flat.data()).isEmpty()) << "no target, no figures";

    std::vector<double> grid, target;
    for (double hz = 40.0; hz <= 250.0; hz *= std::pow(2.0, 1.0 / 48.0)) {
        grid.push_back(hz);
        target.push_back(75.0);
    }
    overlay.SetTarget(grid, target);
    const QString unchanged = overlay.FiguresText(flat.data());
    const QString corrected = overlay.FiguresText(cut.data());
    EXPECT_TRUE(unchanged.startsWith("RMS ")) << unchanged.toStdString();
    const QStringList before = unchanged.split(' '), after = corrected.split(' ');
    EXPECT_EQ(before[1], before[3]) << "a flat EQ changes nothing";
    EXPECT_EQ(before[1], after[1]) << "the room's own figure stays";
    EXPECT_LT(after[3].toDouble(), 0.1) << corrected.toStdString();

    // A preview of the same cut on a flat set reads as the cut itself.
    overlay.SetPreview(std::vector<float>(cut.begin(), cut.end()));
    EXPECT_EQ(corrected, overlay.FiguresText(flat.data()));
    overlay.SetPreview({});
    EXPECT_EQ(unchanged, overlay.FiguresText(flat.data()));
}

// A measurement belongs to the set it was loaded on: another set of the same
// graph (another channel of the output page) shows none.
TEST_F(CEqOverlayTest, AMeasurementBelongsToTheSetItWasLoadedOn) {
    ASSERT_TRUE(panel.Overlay().HasMeasurement());
    panel.ShowEqSet(7);
    EXPECT_FALSE(panel.Overlay().HasMeasurement());
    EXPECT_FALSE(DrawnNear(panel.RenderFrame(), X(100), Y(6.0), measured));
    panel.ShowEqSet(0);
    EXPECT_TRUE(panel.Overlay().HasMeasurement());
}

} // namespace
