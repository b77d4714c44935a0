#include "controls/CSmallEqPanel.h"

#include "controls/ControlFonts.h"
#include "controls/EqModel.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 2;
constexpr double kDecades = 3.4;
constexpr double kSampleRate = 48000.0;
constexpr double kPi = 3.14159265358979323846;
const float kInitialFrequencies[CSmallEqPanel::kBands] = {31, 62, 125, 250, 500, 1000, 2000};

// Magnitude in dB of a biquad at frequency f, in the sin² form.
double MagnitudeDb(const BiquadCoefficients& c, double f) {
    const double phi = std::pow(std::sin(kPi * f / kSampleRate), 2.0);
    const double n = std::pow(c.b0 + c.b1 + c.b2, 2.0) -
                     4.0 * (c.b0 * c.b1 + 4.0 * c.b0 * c.b2 + c.b1 * c.b2) * phi +
                     16.0 * c.b0 * c.b2 * phi * phi;
    const double m = std::pow(1.0 + c.a1 + c.a2, 2.0) -
                     4.0 * (c.a1 + 4.0 * c.a2 + c.a1 * c.a2) * phi + 16.0 * c.a2 * phi * phi;
    return 10.0 * std::log10(n) - 10.0 * std::log10(m);
}

} // namespace

CSmallEqPanel::CSmallEqPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    for (int b = 0; b < kBands; ++b) m_bands[b].frequency = kInitialFrequencies[b];
    ComputeAll();
}

QRectF CSmallEqPanel::PlotRect() const {
    return QRectF(kMargin, kMargin, std::max(1, width() - 2 * kMargin),
                  std::max(1, height() - 2 * kMargin));
}

double CSmallEqPanel::GainToY(double gain) const {
    const QRectF plot = PlotRect();
    return plot.top() + plot.height() / 2.0 - gain * plot.height() / 30.0;
}

double CSmallEqPanel::YToGain(double y) const {
    const QRectF plot = PlotRect();
    return (plot.height() / 2.0 - (y - plot.top())) / (plot.height() / 30.0);
}

double CSmallEqPanel::FrequencyToX(double frequency) const {
    const QRectF plot = PlotRect();
    return plot.left() + (std::log10(frequency) - 1.0) * plot.width() / kDecades;
}

int CSmallEqPanel::PointX(int u) const {
    const QRectF plot = PlotRect();
    return int(plot.left() + (plot.width() / kPoints) * u);
}

int CSmallEqPanel::PointFrequency(int u) const {
    const QRectF plot = PlotRect();
    return int(10.0 * std::pow(10.0, kDecades * (PointX(u) - plot.left()) / plot.width()));
}

void CSmallEqPanel::SetBandGain(int band, float gain) {
    m_bands[band].gain = std::clamp(gain, -15.0f, 15.0f);
    ComputeBand(band);
    SumCurve();
    update();
}

void CSmallEqPanel::SetBandFrequency(int band, float frequency) {
    if (std::fabs(frequency) < 0.0000001f) return;
    m_bands[band].frequency = std::clamp(frequency, 20.0f, 20000.0f);
    ComputeBand(band);
    SumCurve();
    update();
}

void CSmallEqPanel::SetBandType(int band, int type) {
    m_bands[band].type = type;
    ComputeBand(band);
    SumCurve();
    update();
}

void CSmallEqPanel::SetBandQ(int band, float q) {
    m_bands[band].q = q;
    ComputeBand(band);
    SumCurve();
    update();
}

void CSmallEqPanel::LoadBand(int band, int type, float frequency, float gain, float q) {
    Band& b = m_bands[band];
    b.type = type;
    if (type == EQ_PEQ) {
        b.q = 1.41f;
    } else if (type == EQ_LP || type == EQ_HP) {
        b.gain = 0.0f;
        b.q = 0.7f;
    }
    SetBandFrequency(band, frequency);
    SetBandGain(band, gain);
    if (q != 0.0f) SetBandQ(band, q);
}

void CSmallEqPanel::SetCurveColor(const QColor& color) {
    m_curveColor = color;
    update();
}

void CSmallEqPanel::SetBypass(bool on) {
    m_bypass = on;
    update();
}

void CSmallEqPanel::ComputeBand(int index) {
    Band& band = m_bands[index];
    band.handleX = float(FrequencyToX(band.frequency));
    band.handleY = float(GainToY(band.gain));
    const bool drawable = band.type >= EQ_PEQ && band.type <= EQ_HS;
    BiquadCoefficients c;
    if (drawable) c = ComputeBiquad(band.type, band.frequency, band.gain, band.q, 0.0, kSampleRate);
    for (int u = 0; u < kPoints; ++u) {
        const double db = drawable ? MagnitudeDb(c, PointFrequency(u)) : 0.0;
        band.pointY[u] = float(GainToY(db));
    }
}

void CSmallEqPanel::ComputeAll() {
    m_computedSize = size();
    for (int b = 0; b < kBands; ++b) ComputeBand(b);
    SumCurve();
}

double CSmallEqPanel::CurveDb(int u) const {
    return YToGain(m_curve[u].y());
}

void CSmallEqPanel::SumCurve() {
    for (int u = 0; u < kPoints; ++u) {
        double sum = 0.0;
        for (const Band& band : m_bands) {
            // Each band counts with its value rounded to 0.1 dB.
            const double db = YToGain(band.pointY[u]);
            sum += std::trunc(db * 10.0 + 0.5) / 10.0;
        }
        m_curve[u] = QPointF(PointX(u), GainToY(sum));
    }
}

void CSmallEqPanel::resizeEvent(QResizeEvent* event) {
    ComputeAll();
    m_gridCache = QImage();
    QWidget::resizeEvent(event);
    update();
}

void CSmallEqPanel::PaintGridCache() {
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels = (QSizeF(size()) * ratio).toSize().expandedTo(QSize(1, 1));
    if (m_gridCache.size() == devicePixels && m_gridCache.devicePixelRatio() == ratio) return;
    m_gridCache = QImage(devicePixels, QImage::Format_ARGB32_Premultiplied);
    m_gridCache.setDevicePixelRatio(ratio);
    m_gridCache.fill(Qt::black);
    QPainter p(&m_gridCache);
    const QRectF plot = PlotRect();
    auto horizontal = [&](double gain, QRgb color) {
        p.setPen(QPen(QColor::fromRgba(color), 1));
        const double y = std::round(GainToY(gain));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    };
    for (int g = -15; g <= 15; ++g) horizontal(g, 0xFF171717);
    for (int g = -15; g <= 15; g += 3) horizontal(g, std::abs(g) == 15 ? 0xFF808080 : 0xFF404040);
    p.setPen(QPen(QColor::fromRgba(0xFF404040), 1));
    for (double decade = 10; decade <= 10000; decade *= 10) {
        const int last = decade == 10000 ? 1 : 9;
        for (int m = 1; m <= last; ++m) {
            const double x = std::round(FrequencyToX(decade * m));
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        }
    }
    const double x20k = std::round(FrequencyToX(20000));
    p.drawLine(QPointF(x20k, plot.top()), QPointF(x20k, plot.bottom()));
}

const QImage& CSmallEqPanel::RenderFrame() {
    QImage& image = m_buffer.Prepare(*this);
    // A hidden control gets its resize event only when shown.
    if (m_computedSize != size()) ComputeAll();
    PaintGridCache();
    QPainter p(&image);
    p.drawImage(QPointF(0, 0), m_gridCache);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(m_curveColor, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(m_curve.data(), kPoints);
    if (m_bypass) {
        p.setFont(HeiFont(32));
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("PASS"));
    }
    if (m_hover) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(0, 255, 255), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0, 0, width() - 1, height() - 1));
    }
    return image;
}

void CSmallEqPanel::paintEvent(QPaintEvent*) {
    RenderFrame();
    QPainter painter(this);
    m_buffer.CopyTo(painter);
}

void CSmallEqPanel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void CSmallEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click) emit Clicked(m_controlId);
}

void CSmallEqPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_hover && rect().contains(event->position().toPoint())) {
        m_hover = true;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void CSmallEqPanel::enterEvent(QEnterEvent* event) {
    m_hover = true;
    update();
    QWidget::enterEvent(event);
}

void CSmallEqPanel::leaveEvent(QEvent* event) {
    m_hover = false;
    update();
    QWidget::leaveEvent(event);
}
