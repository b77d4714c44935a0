#pragma once

#include "state/EqMath.h"
#include "state/Measurement.h"

#include <QRectF>
#include <QString>

#include <array>
#include <vector>

class QPainter;

// What the EQ graph draws behind its bands for room correction: a measured
// response smoothed for the eye, the target of a fit and "measurement + EQ",
// the measurement with the set's curve added point by point. Levels are drawn
// relative to the measurement's median, so the room sits on the 0 dB line.
class CEqOverlay {
public:
    void SetMeasurement(const fx::Measurement& measurement);
    void Clear();
    bool HasMeasurement() const { return m_raw.size() > 0; }
    const fx::Measurement& Measurement() const { return m_raw; }

    // 1/fraction octave (3, 6, 12, 24); 0 draws the measurement as it is.
    void SetSmoothing(double fraction);
    double Smoothing() const { return m_fraction; }

    // The fit's target in absolute levels at the given frequencies; empty
    // frequencies remove it.
    void SetTarget(const std::vector<double>& frequencies, const std::vector<double>& levelsDb);
    bool HasTarget() const { return !m_targetHz.empty(); }
    // A fit not yet applied: its bands' response at the 512 evaluation
    // points, drawn on top of what the set does now; empty removes it.
    void SetPreview(const std::vector<float>& fitCurveDb);
    bool HasPreview() const { return !m_preview.empty(); }
    // Counts the changes, so a cached drawing knows when it is stale.
    int Revision() const { return m_revision; }

    // The level the curves are drawn against (the graph's 0 dB).
    double ReferenceDb() const { return m_referenceDb; }
    // The drawn measurement at evaluation point i, relative to the reference.
    float MeasuredAt(int i) const { return m_measured[i]; }

    // Measurement and target: what changes only with the overlay.
    void PaintStatic(QPainter& p, const QRectF& plot) const;
    // What follows the set's curve (its 512 points in dB), every frame:
    // measurement + EQ (when the EQ is not flat over the measurement, so
    // that it is a curve of its own), the preview of a fit, and the legend
    // of what is drawn with the figures of what is drawn.
    void PaintLive(QPainter& p, const QRectF& plot, const float* setCurve, int language) const;

    // Whether "measurement + EQ" is drawn for this curve.
    bool PredictionShown(const float* setCurve) const;
    // The RMS deviation from the target over the fit's range of the
    // measurement and of the curve drawn last (measurement + EQ, or the
    // preview): "RMS 3.11 → 1.62 dB"; empty without a target.
    QString FiguresText(const float* setCurve) const;

private:
    void Rebuild();
    void PaintLegend(QPainter& p, const QRectF& plot, const float* setCurve, int language) const;
    // The set's curve (and the preview) at a frequency, between the evaluation points.
    double CurveAt(const float* curve, double frequency) const;
    double PreviewAt(double frequency) const;

    fx::Measurement m_raw;
    double m_fraction = 6.0;
    double m_referenceDb = 0.0;
    int m_first = 0, m_last = -1; // evaluation points inside the measured span
    std::array<float, kEqPoints> m_measured{};
    std::vector<double> m_targetHz, m_targetDb;
    std::vector<float> m_preview;
    int m_revision = 0;
};
