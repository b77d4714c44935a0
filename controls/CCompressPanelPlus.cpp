#include "controls/CCompressPanelPlus.h"

#include "controls/ControlFonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
constexpr int kPlotLeft = 40;
constexpr int kPlotTop = 20;
constexpr int kRightGap = 20;  // client width - 60 = plot width: 40 left, 20 right
constexpr int kBottomGap = 25; // client height - 45 = plot height: 20 top, 25 below
constexpr double kAxisSpanDb = 96.0;
constexpr int kLabelPx = 12;
constexpr int kOffPx = 53; // 40 points
const QColor kGrid(0, 110, 0);
const QColor kLabel(255, 255, 0);
const QColor kCurve(0, 207, 255);
const QColor kThresholdDot(255, 0, 0, 200);
const QColor kRangeBand(120, 120, 120, 65);
const QColor kOff(0, 150, 255);

QString DbLabel(int db, bool signedPlus) {
    return signedPlus && db > 0 ? QStringLiteral("+%1dB").arg(db) : QStringLiteral("%1dB").arg(db);
}
} // namespace

CCompressPanelPlus::CCompressPanelPlus(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
}

void CCompressPanelPlus::SetThreshold(double db) {
    m_threshold = db;
    update();
}
void CCompressPanelPlus::SetLowerKnee(double db) {
    m_lowerKnee = db;
    update();
}
void CCompressPanelPlus::SetSlope(double slope) {
    m_slope = slope;
    update();
}
void CCompressPanelPlus::SetLowerSlope(double slope) {
    m_lowerSlope = slope;
    update();
}
void CCompressPanelPlus::SetEnabled(bool enabled) {
    if (m_enabled == enabled) return;
    m_enabled = enabled;
    update();
}

double CCompressPanelPlus::PlotWidth() const {
    return width() - kPlotLeft - kRightGap;
}
double CCompressPanelPlus::PlotHeight() const {
    return height() - kPlotTop - kBottomGap;
}

double CCompressPanelPlus::InputX(double db) const {
    return (db - kAxisLowDb) * PlotWidth() / kAxisSpanDb + kPlotLeft;
}

double CCompressPanelPlus::OutputY(double db) const {
    return std::abs(db - kAxisHighDb) * PlotHeight() / kAxisSpanDb + kPlotTop;
}

double CCompressPanelPlus::OutputDbAt(double y) const {
    return kAxisHighDb - (y - kPlotTop) * kAxisSpanDb / PlotHeight();
}

std::array<QPointF, 4> CCompressPanelPlus::CurvePoints() const {
    const double unit = PlotHeight() / kAxisSpanDb; // pixels per dB
    const QPointF knee(InputX(m_lowerKnee), OutputY(m_lowerKnee));
    const QPointF threshold(InputX(m_threshold), OutputY(m_threshold));
    const QPointF left(kPlotLeft,
                       knee.y() + std::abs(kAxisLowDb - m_lowerKnee) * unit * m_lowerSlope);
    const QPointF right(PlotWidth() + kPlotLeft,
                        threshold.y() - std::abs(kAxisHighDb - m_threshold) * unit * m_slope);
    return {left, knee, threshold, right};
}

void CCompressPanelPlus::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_background = QImage();
}

void CCompressPanelPlus::PaintBackground() {
    const qreal ratio = devicePixelRatioF();
    m_background = QImage((QSizeF(size()) * ratio).toSize().expandedTo(QSize(1, 1)),
                          QImage::Format_ARGB32_Premultiplied);
    m_background.setDevicePixelRatio(ratio);
    m_background.fill(Qt::black);
    QPainter p(&m_background);
    p.setPen(QPen(kGrid, 1));
    const double plotBottom = PlotHeight() + kPlotTop;
    for (int db = 6; db >= -90; db = db == 6 ? 0 : db - 10)
        p.drawLine(QPointF(kPlotLeft, OutputY(db)), QPointF(width() - kRightGap, OutputY(db)));
    constexpr int kInputLines[] = {-90, -70, -50, -30, -10, 6};
    for (int db : kInputLines)
        p.drawLine(QPointF(InputX(db), kPlotTop), QPointF(InputX(db), plotBottom));

    p.setFont(SongFont(kLabelPx));
    p.setPen(kLabel);
    for (const AxisLabel& label : AxisLabels()) p.drawText(label.box, label.alignment, label.text);
}

// Output levels left of the plot, input levels under it. The two -90 dB
// labels share the corner: the output one sits above its line and the
// input one starts at the plot's left edge, so they stay apart.
std::vector<CCompressPanelPlus::AxisLabel> CCompressPanelPlus::AxisLabels() const {
    constexpr int kInputLines[] = {-90, -70, -50, -30, -10, 6};
    const int rowHeight = kLabelPx + 4;
    std::vector<AxisLabel> labels;
    const QFontMetricsF metrics(SongFont(kLabelPx));
    const auto add = [&](const QRectF& box, int alignment, const QString& text) {
        labels.push_back({box, alignment, text, metrics.boundingRect(box, alignment, text)});
    };
    for (int db = 6; db >= -90; db = db == 6 ? 0 : db - 10) {
        const bool corner = db == int(kAxisLowDb);
        const double top = corner ? OutputY(db) - rowHeight : OutputY(db) - rowHeight / 2.0;
        add(QRectF(0, top, kPlotLeft - 2, rowHeight),
            Qt::AlignRight | (corner ? Qt::AlignBottom : Qt::AlignVCenter), DbLabel(db, true));
    }
    for (int db : kInputLines) {
        const bool corner = db == int(kAxisLowDb);
        const QRectF box = corner ? QRectF(InputX(db), height() - 23, 60, rowHeight)
                                  : QRectF(InputX(db) - 30, height() - 23, 60, rowHeight);
        add(box, (corner ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop, DbLabel(db, false));
    }
    return labels;
}

void CCompressPanelPlus::PaintCurve(QPainter& p) const {
    const auto points = CurvePoints();
    p.setRenderHint(QPainter::Antialiasing);
    // The output range the curve spans, behind it.
    const double top = points[3].y();
    const double bottom = points[0].y();
    p.fillRect(QRectF(kPlotLeft, top, PlotWidth(), bottom - top), kRangeBand);
    p.setPen(QPen(kCurve, 2));
    QPainterPath curve(points[0]);
    for (int i = 1; i < 4; ++i) curve.lineTo(points[i]);
    p.drawPath(curve);
    p.setPen(Qt::NoPen);
    p.setBrush(kThresholdDot);
    p.drawEllipse(points[2], 4.0, 4.0);
    if (!m_enabled) {
        p.setFont(HeiFont(kOffPx));
        p.setPen(kOff);
        p.drawText(rect(), Qt::AlignCenter, OffText(m_language));
    }
}

const QImage& CCompressPanelPlus::RenderFrame() {
    QImage& image = m_buffer.Prepare(*this);
    if (m_background.size() != image.size()) PaintBackground();
    QPainter p(&image);
    p.drawImage(QPointF(0, 0), m_background);
    PaintCurve(p);
    return image;
}

void CCompressPanelPlus::paintEvent(QPaintEvent*) {
    RenderFrame();
    QPainter p(this);
    m_buffer.CopyTo(p);
}

QString CCompressPanelPlus::OffText(int language) {
    return language == 1 ? QStringLiteral("OFF") : QStringLiteral("关闭");
}

void CCompressPanelPlus::SetLanguage(int language) {
    m_language = language;
    update();
}
