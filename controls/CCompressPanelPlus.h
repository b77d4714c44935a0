#pragma once

#include "controls/CBackBuffer.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <array>
#include <vector>

// The compressor's transfer curve: output level over input level, both from
// -90 dB to +6 dB, with the threshold point, the grey band of the output
// range and "OFF" while the compressor is switched off. Draws only; the page
// sets its fields.
class CCompressPanelPlus : public QWidget {
    Q_OBJECT
public:
    static constexpr double kAxisLowDb = -90.0;
    static constexpr double kAxisHighDb = 6.0;

    explicit CCompressPanelPlus(QWidget* parent = nullptr);

    void SetThreshold(double db);
    void SetLowerKnee(double db);
    // Slope above the threshold: 1 / ratio.
    void SetSlope(double slope);
    void SetLowerSlope(double slope);
    void SetEnabled(bool enabled);

    double Threshold() const { return m_threshold; }
    double LowerKnee() const { return m_lowerKnee; }
    double Slope() const { return m_slope; }
    double LowerSlope() const { return m_lowerSlope; }
    bool CurveEnabled() const { return m_enabled; }

    // The curve's four corners in client pixels: left end, lower knee,
    // threshold, right end.
    std::array<QPointF, 4> CurvePoints() const;
    // Pixel position of an input level and an output level, and back.
    double InputX(double db) const;
    double OutputY(double db) const;
    double OutputDbAt(double y) const;

    // The scale's labels where they are drawn: the box each is laid out in,
    // its alignment in the box, its text and the rectangle its ink covers.
    struct AxisLabel {
        QRectF box;
        int alignment;
        QString text;
        QRectF ink;
    };
    std::vector<AxisLabel> AxisLabels() const;

    // Draws the control into the back buffer (what a repaint shows).
    const QImage& RenderFrame();
    // What the curve says while the compressor is off, in a language (0
    // Chinese, 1 English), and the language the curve draws in.
    static QString OffText(int language);
    void SetLanguage(int language);
    int Language() const { return m_language; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double PlotWidth() const;
    double PlotHeight() const;
    void PaintBackground();
    void PaintCurve(QPainter& p) const;

    double m_threshold = -15.0;
    double m_lowerKnee = -5.0;
    double m_slope = 1.0;
    double m_lowerSlope = 1.0;
    bool m_enabled = false;
    int m_language = 0;
    CBackBuffer m_buffer;
    QImage m_background; // grid and labels, drawn again after a resize
};
