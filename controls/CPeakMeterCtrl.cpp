#include "controls/CPeakMeterCtrl.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

CPeakMeterCtrl::CPeakMeterCtrl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_background = palette().color(QPalette::Button);
    m_channels.resize(8);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(m_tickMs);
    connect(&m_timer, &QTimer::timeout, this, &CPeakMeterCtrl::DecayTick);
}

void CPeakMeterCtrl::Configure(int channels, int ledsPerChannel, int rangeMax, int greenLimit,
                               int yellowLimit, const QColor& background, int tickMs) {
    m_timer.stop();
    m_channels.assign(std::max(channels, 0), Channel{});
    m_leds = std::max(ledsPerChannel, 0);
    m_rangeMax = std::max(rangeMax, 1);
    m_greenLimit = greenLimit;
    m_yellowLimit = yellowLimit;
    m_background = background;
    m_tickMs = std::max(tickMs, 1);
    m_timer.setInterval(m_tickMs);
    update();
}

void CPeakMeterCtrl::SetColors(const QColor& green, const QColor& yellow, const QColor& red) {
    m_green = green;
    m_yellow = yellow;
    m_red = red;
    update();
}

void CPeakMeterCtrl::SetVertical(bool vertical) {
    m_orientation = vertical ? 1 : 0;
    update();
}

void CPeakMeterCtrl::SetData(const int* values, int first, int count) {
    m_timer.stop();
    for (int i = 0; i < count; ++i) {
        const int channel = first + i;
        if (channel < 0 || channel >= ChannelCount()) continue;
        Channel& c = m_channels[channel];
        c.level = std::clamp(values[i], 0, m_rangeMax);
        if (c.peak < c.level) {
            c.peak = c.level;
            c.hold = m_holdTicks;
        }
    }
    m_timer.start();
    update();
}

void CPeakMeterCtrl::SetData(const std::vector<int>& values, int first) {
    SetData(values.data(), first, int(values.size()));
}

double CPeakMeterCtrl::LevelStep() const {
    if (m_leds <= 1) return m_rangeMax * 10.0 / 100.0;
    return double(m_rangeMax) / m_leds;
}

double CPeakMeterCtrl::PeakStep() const {
    return m_leds <= 1 ? 5.0 : LevelStep() / 2.0;
}

void CPeakMeterCtrl::DecayTick() {
    for (Channel& c : m_channels) {
        c.level = std::max(0.0, c.level - LevelStep());
        if (c.hold <= 1 && c.peak > 0) c.peak = std::max(0.0, c.peak - PeakStep());
        if (c.hold > 0) --c.hold;
    }
    // The timer runs on until the peak markers have fallen too, so none is
    // left standing once the decay stops.
    if (Settled()) m_timer.stop();
    update();
}

bool CPeakMeterCtrl::Settled() const {
    return std::all_of(m_channels.begin(), m_channels.end(),
                       [](const Channel& c) { return c.level <= 0 && c.hold <= 0 && c.peak <= 0; });
}

int CPeakMeterCtrl::LitLeds(int channel) const {
    const double level = m_channels[channel].level;
    int lit = 0;
    for (int i = 0; i < m_leds; ++i) {
        if (i < m_leds * level / m_rangeMax) ++lit;
    }
    return lit;
}

int CPeakMeterCtrl::PeakLed(int channel) const {
    const double peak = m_channels[channel].peak;
    if (peak <= 0 || m_leds <= 0) return -1;
    const int led = int(std::ceil(m_leds * peak / m_rangeMax)) - 1;
    return std::clamp(led, 0, m_leds - 1);
}

QColor CPeakMeterCtrl::LedColor(int led) const {
    if (led < double(m_leds) * m_greenLimit / m_rangeMax) return m_green;
    if (led < double(m_leds) * m_yellowLimit / m_rangeMax) return m_yellow;
    return m_red;
}

void CPeakMeterCtrl::paintEvent(QPaintEvent*) {
    QImage& image = m_buffer.Prepare(*this);
    image.fill(m_background);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, true);
        const bool vertical = m_orientation < 0 ? height() > width() : m_orientation == 1;
        const int channels = std::max(ChannelCount(), 1);
        const double across = (vertical ? width() : height()) / double(channels);
        const double along = (vertical ? height() : width()) / double(std::max(m_leds, 1));
        const QColor slot = m_background.darker(115);
        for (int c = 0; c < ChannelCount(); ++c) {
            const int lit = LitLeds(c);
            const int peakLed = PeakLed(c);
            for (int i = 0; i < m_leds; ++i) {
                QRectF led = vertical
                                 ? QRectF(c * across, height() - (i + 1) * along, across, along)
                                 : QRectF(i * along, c * across, along, across);
                led.adjust(1, 1, -1, -1);
                const bool on = i < lit || i == peakLed;
                p.setPen(QPen(slot, 1));
                p.setBrush(on ? LedColor(i) : m_background);
                p.drawRoundedRect(led, 1.5, 1.5);
            }
        }
    }
    QPainter painter(this);
    m_buffer.CopyTo(painter);
}
