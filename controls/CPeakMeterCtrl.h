#pragma once

#include "controls/CBackBuffer.h"

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <vector>

// LED level meter: one row (or column) of LEDs per channel, lit by level,
// with a held peak marker. Levels and peaks decay on a periodic timer that
// runs on the widget's own thread, so records and drawing never race.
class CPeakMeterCtrl : public QWidget {
    Q_OBJECT
public:
    struct Channel {
        double level = 0;
        double peak = 0;
        int hold = 0;
    };

    explicit CPeakMeterCtrl(QWidget* parent = nullptr);

    void Configure(int channels, int ledsPerChannel, int rangeMax, int greenLimit, int yellowLimit,
                   const QColor& background, int tickMs);
    void SetColors(const QColor& green, const QColor& yellow, const QColor& red);
    // Columns of LEDs rising upwards (the default follows the aspect ratio).
    void SetVertical(bool vertical);
    // New levels for channels first, first + 1, ..; values are limited to
    // 0..range maximum. Raises the peaks and (re)starts the decay timer.
    void SetData(const int* values, int first, int count);
    void SetData(const std::vector<int>& values, int first = 0);

    // One decay tick: what the timer does each period.
    void DecayTick();

    int ChannelCount() const { return int(m_channels.size()); }
    int LedCount() const { return m_leds; }
    const Channel& ChannelAt(int channel) const { return m_channels[channel]; }
    int HoldTicks() const { return m_holdTicks; }
    int TickMs() const { return m_tickMs; }
    bool DecayRunning() const { return m_timer.isActive(); }
    // LEDs lit by the level of a channel, and the LED of its peak (-1: none).
    int LitLeds(int channel) const;
    int PeakLed(int channel) const;
    // Colour of LED i when lit.
    QColor LedColor(int led) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double LevelStep() const;
    double PeakStep() const;
    bool Settled() const;

    std::vector<Channel> m_channels;
    int m_leds = 8;
    int m_rangeMax = 60;
    int m_greenLimit = 40;
    int m_yellowLimit = 50;
    int m_holdTicks = 10;
    int m_tickMs = 10;
    int m_orientation = -1; // -1 = by aspect ratio, 0 = rows, 1 = columns
    QColor m_green{0, 255, 0};
    QColor m_yellow{255, 255, 0};
    QColor m_red{255, 0, 0};
    QColor m_background;
    QTimer m_timer;
    CBackBuffer m_buffer;
};
