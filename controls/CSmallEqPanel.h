#pragma once

#include "controls/CBackBuffer.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <array>

// Read-only preview of a seven-band EQ set: a dark grid and the summed
// response, "PASS" while the set is bypassed, a cyan frame while the pointer
// rests on it. A click is reported to the owner, which opens the set's page.
class CSmallEqPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBands = 7;
    static constexpr int kPoints = 56;

    struct Band {
        int type = 1;
        float frequency = 1000.0f;
        float gain = 0.0f;
        float q = 1.414f;
        float handleX = 0, handleY = 0;      // client pixels
        std::array<float, kPoints> pointY{}; // response as client pixel y
    };

    explicit CSmallEqPanel(QWidget* parent = nullptr);

    void SetControlId(int id) { m_controlId = id; }
    int ControlId() const { return m_controlId; }

    // Limited to -15..+15 dB.
    void SetBandGain(int band, float gain);
    // 0 is ignored; otherwise limited to 20..20000 Hz.
    void SetBandFrequency(int band, float frequency);
    // Type and Q are stored as given (the owner's business), then recomputed.
    void SetBandType(int band, int type);
    void SetBandQ(int band, float q);
    // Loads one band from its stored record: type (PEQ gets Q 1.41, LP and HP
    // gain 0 and Q 0.7), then frequency and gain, then the stored Q unless 0.
    void LoadBand(int band, int type, float frequency, float gain, float q);
    const Band& BandAt(int band) const { return m_bands[band]; }

    void SetCurveColor(const QColor& color);
    QColor CurveColor() const { return m_curveColor; }
    void SetBypass(bool on);
    bool Bypass() const { return m_bypass; }
    bool Hovered() const { return m_hover; }

    // Summed curve in dB at point u, after the per-band rounding to 0.1 dB.
    double CurveDb(int u) const;
    const std::array<QPointF, kPoints>& CurvePoints() const { return m_curve; }
    QRectF PlotRect() const;
    // Client x of curve point u and the frequency evaluated there.
    int PointX(int u) const;
    int PointFrequency(int u) const;

    const QImage& RenderFrame();

signals:
    void Clicked(int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void ComputeBand(int band);
    void ComputeAll();
    void SumCurve();
    double GainToY(double gain) const;
    double YToGain(double y) const;
    double FrequencyToX(double frequency) const;
    void PaintGridCache();

    std::array<Band, kBands> m_bands{};
    std::array<QPointF, kPoints> m_curve{};
    QColor m_curveColor = QColor::fromRgba(0xFF00C8FF);
    bool m_bypass = false;
    bool m_hover = false;
    bool m_pressed = false;
    int m_controlId = 0;
    CBackBuffer m_buffer;
    QImage m_gridCache;
    QSize m_computedSize;
};
