#include "controls/CPeakMeterCtrl.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

// Defaults: 8 LEDs, range 60 (step 7.5), green to 40, yellow to 50, hold 10.
class PeakMeterTest : public ::testing::Test {
protected:
    void SetUp() override { meter.Configure(1, 8, 60, 40, 50, QColor(240, 250, 255), 10); }
    CPeakMeterCtrl meter;
};

TEST_F(PeakMeterTest, OverRangeLightsAllLedsAndPeakHoldsThenFallsHalfAStep) {
    meter.SetData({200});
    EXPECT_EQ(meter.ChannelAt(0).level, 60);
    EXPECT_EQ(meter.LitLeds(0), 8);
    EXPECT_EQ(meter.PeakLed(0), 7);
    // The hold count is 10: the peak stands through nine ticks and starts
    // falling on the tick that finds the count at 1.
    for (int tick = 1; tick <= 9; ++tick) {
        meter.DecayTick();
        EXPECT_EQ(meter.ChannelAt(0).peak, 60) << "tick " << tick;
    }
    EXPECT_EQ(meter.ChannelAt(0).level, 0); // 8 ticks of 7.5
    meter.DecayTick();
    EXPECT_DOUBLE_EQ(meter.ChannelAt(0).peak, 60 - 3.75);
    meter.DecayTick();
    EXPECT_DOUBLE_EQ(meter.ChannelAt(0).peak, 60 - 7.5);
    EXPECT_EQ(meter.ChannelAt(0).hold, 0);
}

TEST_F(PeakMeterTest, NegativeValueSetsLevelZero) {
    meter.SetData({30});
    meter.SetData({-5});
    EXPECT_EQ(meter.ChannelAt(0).level, 0);
    EXPECT_EQ(meter.LitLeds(0), 0);
    EXPECT_EQ(meter.ChannelAt(0).peak, 30); // a lower value leaves the peak alone
}

TEST_F(PeakMeterTest, LedColoursFollowTheLimits) {
    // 8 LEDs: green below 8*40/60 = 5.33, yellow below 6.67, red above.
    for (int led = 0; led < 6; ++led) EXPECT_EQ(meter.LedColor(led), QColor(0, 255, 0)) << led;
    EXPECT_EQ(meter.LedColor(6), QColor(255, 255, 0));
    EXPECT_EQ(meter.LedColor(7), QColor(255, 0, 0));
    meter.SetData({31});
    EXPECT_EQ(meter.LitLeds(0), 5); // i < 8 * 31 / 60 = 4.13
}

TEST_F(PeakMeterTest, ChannelsBeyondTheCountAreIgnored) {
    meter.Configure(2, 15, 60, 40, 50, Qt::white, 50);
    const int values[3] = {60, 30, 45};
    meter.SetData(values, 1, 3);
    EXPECT_EQ(meter.ChannelAt(0).level, 0);
    EXPECT_EQ(meter.ChannelAt(1).level, 60);
    EXPECT_EQ(meter.LitLeds(1), 15);
}

TEST_F(PeakMeterTest, SingleLedUsesTenthStepsAndPeakFallsByFive) {
    meter.Configure(1, 1, 60, 40, 50, Qt::white, 10);
    meter.SetData({60});
    for (int tick = 0; tick < 10; ++tick) meter.DecayTick();
    EXPECT_EQ(meter.ChannelAt(0).level, 0); // 60 - 10 * 6
    EXPECT_EQ(meter.ChannelAt(0).peak, 55);
}

TEST_F(PeakMeterTest, DecayTimerRunsUntilEverythingHasFallen) {
    EXPECT_FALSE(meter.DecayRunning());
    meter.SetData({60});
    EXPECT_TRUE(meter.DecayRunning());
    // Level 8 ticks, hold 10 ticks, then the peak 16 half steps: 25 ticks.
    for (int tick = 0; tick < 24; ++tick) meter.DecayTick();
    EXPECT_TRUE(meter.DecayRunning());
    EXPECT_GT(meter.ChannelAt(0).peak, 0);
    meter.DecayTick();
    EXPECT_EQ(meter.ChannelAt(0).peak, 0);
    EXPECT_FALSE(meter.DecayRunning());
    EXPECT_EQ(meter.PeakLed(0), -1);
}

TEST_F(PeakMeterTest, TimerDecaysOnTheGuiThread) {
    meter.SetData({60});
    QElapsedTimer clock;
    clock.start();
    while (meter.DecayRunning() && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_FALSE(meter.DecayRunning());
    EXPECT_EQ(meter.ChannelAt(0).level, 0);
    EXPECT_EQ(meter.ChannelAt(0).peak, 0);
}

} // namespace
