#include "controls/CEqOverlay.h"

#include "controls/EqModel.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

const QColor kMeasurementColor(175, 175, 175);
const QColor kTargetColor(255, 200, 0);
const QColor kPredictedColor(90, 255, 120);

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
    m_fitNote.clear();
    Rebuild();
    ++m_revision;
}

void CEqOverlay::Clear() {
    m_raw = {};
    m_targetHz.clear();
    m_targetDb.clear();
    m_fitNote.clear();
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

void CEqOverlay::SetFitNote(const QString& note) {
    m_fitNote = note;
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

// The measurement, the target and the legend change only with the overlay:
// the graph keeps them in its grid cache. The target is smooth and drawn
// through every fourth point; the curves are clamped into the plot.
void CEqOverlay::PaintStatic(QPainter& p, const QRectF& plot, int language) const {
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
    PaintLegend(p, plot, language);
}

// Every frame: the measurement plus the set's curve as it is now.
void CEqOverlay::PaintPrediction(QPainter& p, const QRectF& plot, const float* setCurve) const {
    if (!HasMeasurement() || m_last < m_first) return;
    const auto& f = EqEvalFrequencies();
    QPolygonF predicted;
    predicted.reserve(m_last - m_first + 1);
    for (int i = m_first; i <= m_last; ++i)
        predicted << QPointF(XOf(f[i], plot), YInPlot(m_measured[i] + setCurve[i], plot));
    p.setPen(QPen(kPredictedColor, 2.0));
    p.drawPolyline(predicted);
}

void CEqOverlay::PaintLegend(QPainter& p, const QRectF& plot, int language) const {
    struct Entry {
        QColor color;
        const char* zh;
        const char* en;
        Qt::PenStyle style;
    };
    const Entry entries[3] = {
        {kMeasurementColor, "测量", "measurement", Qt::SolidLine},
        {kTargetColor, "目标", "target", Qt::DashLine},
        {kPredictedColor, "测量 + 均衡", "measurement + EQ", Qt::SolidLine},
    };
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    p.setFont(font);
    const QFontMetricsF metrics(font);
    double x = plot.left() + 8.0;
    const double y = plot.bottom() - 8.0;
    for (const Entry& e : entries) {
        if (e.style == Qt::DashLine && !HasTarget()) continue;
        p.setPen(QPen(e.color, 2.0, e.style));
        p.drawLine(QPointF(x, y - 4.0), QPointF(x + 18.0, y - 4.0));
        const QString text = QString::fromUtf8(language == 0 ? e.zh : e.en);
        p.drawText(QPointF(x + 22.0, y), text);
        x += 22.0 + metrics.horizontalAdvance(text) + 14.0;
    }
    if (m_fitNote.isEmpty()) return;
    p.setPen(QColor(220, 220, 220));
    p.drawText(QPointF(x, y), m_fitNote);
}
