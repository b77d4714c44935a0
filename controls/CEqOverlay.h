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
    // A line after the legend (the last fit's residual); empty for none.
    void SetFitNote(const QString& note);
    // Counts the changes, so a cached drawing knows when it is stale.
    int Revision() const { return m_revision; }

    // The level the curves are drawn against (the graph's 0 dB).
    double ReferenceDb() const { return m_referenceDb; }
    // The drawn measurement at evaluation point i, relative to the reference.
    float MeasuredAt(int i) const { return m_measured[i]; }

    // Measurement, target and legend: what changes only with the overlay.
    void PaintStatic(QPainter& p, const QRectF& plot, int language) const;
    // Measurement + the set's curve (its 512 points in dB).
    void PaintPrediction(QPainter& p, const QRectF& plot, const float* setCurve) const;

private:
    void Rebuild();
    void PaintLegend(QPainter& p, const QRectF& plot, int language) const;

    fx::Measurement m_raw;
    double m_fraction = 6.0;
    double m_referenceDb = 0.0;
    int m_first = 0, m_last = -1; // evaluation points inside the measured span
    std::array<float, kEqPoints> m_measured{};
    std::vector<double> m_targetHz, m_targetDb;
    QString m_fitNote;
    int m_revision = 0;
};
