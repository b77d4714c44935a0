#include "controls/CEqOverlay.h"

#include "controls/EqModel.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QColor kMeasurementColor(175, 175, 175);
const QColor kTargetColor(255, 200, 0);
const QColor kPredictedColor(90, 255, 120);
const QColor kPreviewColor(0, 200, 255);
// An EQ flatter than this over the measured span draws no curve of its own.
constexpr float kFlatDb = 0.05f;

double MedianOf(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    return values[middle];
}

double XOf(double frequency, const QRectF& plot) {
    return EqFreqToX(frequency, plot.left(), plot.width());
}

double YInPlot(double gainDb, const QRectF& plot) {
    return std::clamp(EqGainToY(gainDb, plot.top(), plot.height()), plot.top(), plot.bottom());
}

} // namespace

void CEqOverlay::SetMeasurement(const fx::Measurement& measurement) {
    m_raw = measurement;
    m_targetHz.clear();
    m_targetDb.clear();
    m_preview.clear();
    Rebuild();
    ++m_revision;
}

void CEqOverlay::Clear() {
    m_raw = {};
    m_targetHz.clear();
    m_targetDb.clear();
    m_preview.clear();
    Rebuild();
    ++m_revision;
}

void CEqOverlay::SetSmoothing(double fraction) {
    m_fraction = fraction;
    Rebuild();
    ++m_revision;
}

void CEqOverlay::SetTarget(const std::vector<double>& frequencies,
                           const std::vector<double>& levelsDb) {
    m_targetHz = frequencies;
    m_targetDb = levelsDb;
    m_targetDb.resize(m_targetHz.size());
    ++m_revision;
}

void CEqOverlay::SetPreview(const std::vector<float>& fitCurveDb) {
    m_preview = fitCurveDb;
    if (!m_preview.empty()) m_preview.resize(kEqPoints, 0.0f);
    ++m_revision;
}

// The smoothed measurement at the 512 evaluation frequencies it covers.
void CEqOverlay::Rebuild() {
    m_measured.fill(0.0f);
    m_first = 0;
    m_last = -1;
    if (!HasMeasurement()) return;
    const fx::Measurement smooth = fx::SmoothMeasurement(m_raw, m_fraction);
    const auto& f = EqEvalFrequencies();
    std::vector<double> levels;
    for (int i = 0; i < kEqPoints; ++i) {
        if (f[i] < smooth.frequencies.front() || f[i] > smooth.frequencies.back()) continue;
        if (m_last < 0) m_first = i;
        m_last = i;
        levels.push_back(smooth.LevelAt(f[i]));
    }
    m_referenceDb = MedianOf(levels);
    for (int i = m_first; i <= m_last; ++i)
        m_measured[i] = static_cast<float>(smooth.LevelAt(f[i]) - m_referenceDb);
}

// The measurement and the target change only with the overlay: the graph
// keeps them in its grid cache. The target is smooth and drawn through every
// fourth point; the curves are clamped into the plot.
void CEqOverlay::PaintStatic(QPainter& p, const QRectF& plot) const {
    if (!HasMeasurement() || m_last < m_first) return;
    const auto& f = EqEvalFrequencies();
    QPolygonF measured;
    measured.reserve(m_last - m_first + 1);
    for (int i = m_first; i <= m_last; ++i)
        measured << QPointF(XOf(f[i], plot), YInPlot(m_measured[i], plot));
    p.setPen(QPen(kMeasurementColor, 1.5));
    p.drawPolyline(measured);
    if (HasTarget()) {
        QPolygonF target;
        const size_t last = m_targetHz.size() - 1;
        for (size_t i = 0; i <= last; i = (i == last ? last + 1 : std::min(i + 4, last)))
            target << QPointF(XOf(m_targetHz[i], plot),
                              YInPlot(m_targetDb[i] - m_referenceDb, plot));
        p.setPen(QPen(kTargetColor, 1.5, Qt::DashLine));
        p.drawPolyline(target);
    }
}

bool CEqOverlay::PredictionShown(const float* setCurve) const {
    if (!HasMeasurement()) return false;
    for (int i = m_first; i <= m_last; ++i)
        if (std::fabs(setCurve[i]) > kFlatDb) return true;
    return false;
}

double CEqOverlay::CurveAt(const float* curve, double frequency) const {
    const auto& f = EqEvalFrequencies();
    const auto upper = std::upper_bound(f.begin(), f.end(), frequency);
    if (upper == f.begin()) return curve[0];
    if (upper == f.end()) return curve[kEqPoints - 1];
    const int i = static_cast<int>(upper - f.begin());
    const double t = std::log(frequency / f[i - 1]) / std::log(f[i] / f[i - 1]);
    return curve[i - 1] + t * (curve[i] - curve[i - 1]);
}

double CEqOverlay::PreviewAt(double frequency) const {
    return m_preview.empty() ? 0.0 : CurveAt(m_preview.data(), frequency);
}

QString CEqOverlay::FiguresText(const float* setCurve) const {
    if (!HasMeasurement() || !HasTarget()) return {};
    double before = 0.0, after = 0.0;
    for (size_t i = 0; i < m_targetHz.size(); ++i) {
        const double f = m_targetHz[i];
        const double deviation = m_raw.LevelAt(f) - m_targetDb[i];
        const double eq = CurveAt(setCurve, f) + PreviewAt(f);
        before += deviation * deviation;
        after += (deviation + eq) * (deviation + eq);
    }
    const double n = static_cast<double>(m_targetHz.size());
    return QStringLiteral("RMS %1 \u2192 %2 dB")
        .arg(std::sqrt(before / n), 0, 'f', 2)
        .arg(std::sqrt(after / n), 0, 'f', 2);
}

// Every frame: the measurement plus the set's curve as it is now, and the
// preview of a fit on top of it.
void CEqOverlay::PaintLive(QPainter& p, const QRectF& plot, const float* setCurve,
                           int language) const {
    if (!HasMeasurement() || m_last < m_first) return;
    const auto& f = EqEvalFrequencies();
    const auto curve = [&](const QColor& color, Qt::PenStyle style, bool withPreview) {
        QPolygonF points;
        points.reserve(m_last - m_first + 1);
        for (int i = m_first; i <= m_last; ++i)
            points << QPointF(
                XOf(f[i], plot),
                YInPlot(m_measured[i] + setCurve[i] + (withPreview ? m_preview[i] : 0.0f), plot));
        p.setPen(QPen(color, 2.0, style));
        p.drawPolyline(points);
    };
    if (PredictionShown(setCurve)) curve(kPredictedColor, Qt::SolidLine, false);
    if (HasPreview()) curve(kPreviewColor, Qt::SolidLine, true);
    PaintLegend(p, plot, setCurve, language);
}

// The legend names what is drawn, on a box of its own in the plot's lower
// left corner, and ends with the figures of the curve drawn last.
void CEqOverlay::PaintLegend(QPainter& p, const QRectF& plot, const float* setCurve,
                             int language) const {
    struct Entry {
        QColor color;
        const char* zh;
        const char* en;
        Qt::PenStyle style;
        bool shown;
    };
    const Entry entries[4] = {
        {kMeasurementColor, "测量", "measurement", Qt::SolidLine, true},
        {kTargetColor, "目标", "target", Qt::DashLine, HasTarget()},
        {kPredictedColor, "测量 + 均衡", "measurement + EQ", Qt::SolidLine,
         PredictionShown(setCurve)},
        {kPreviewColor, "预览：测量 + 拟合", "preview: measurement + fit", Qt::SolidLine,
         HasPreview()},
    };
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    p.setFont(font);
    const QFontMetricsF metrics(font);
    constexpr double kSwatch = 18.0, kPad = 6.0, kSpacing = 14.0;
    const QString figures = FiguresText(setCurve);
    double width = kPad;
    for (const Entry& e : entries)
        if (e.shown)
            width += kSwatch + 4.0 +
                     metrics.horizontalAdvance(QString::fromUtf8(language == 0 ? e.zh : e.en)) +
                     kSpacing;
    if (!figures.isEmpty()) width += metrics.horizontalAdvance(figures) + kPad;
    const double height = metrics.height() + 2 * kPad - 2.0;
    const QRectF box(plot.left() + 6.0, plot.bottom() - 6.0 - height,
                     std::min(width, plot.width() - 12.0), height);
    p.setPen(QPen(QColor(90, 90, 90), 1.0));
    p.setBrush(QColor(0, 0, 0, 200));
    p.drawRoundedRect(box, 3.0, 3.0);
    p.setBrush(Qt::NoBrush);
    double x = box.left() + kPad;
    const double baseline = box.center().y() + metrics.ascent() / 2.0 - 1.0;
    const double swatchY = box.center().y();
    for (const Entry& e : entries) {
        if (!e.shown) continue;
        p.setPen(QPen(e.color, 2.0, e.style));
        p.drawLine(QPointF(x, swatchY), QPointF(x + kSwatch, swatchY));
        const QString text = QString::fromUtf8(language == 0 ? e.zh : e.en);
        p.drawText(QPointF(x + kSwatch + 4.0, baseline), text);
        x += kSwatch + 4.0 + metrics.horizontalAdvance(text) + kSpacing;
    }
    if (figures.isEmpty()) return;
    p.setPen(QColor(220, 220, 220));
    p.drawText(QPointF(x, baseline), figures);
}
