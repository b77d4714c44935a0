#pragma once

#include "controls/CBackBuffer.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <array>

// What the chart tells its page while a handle is dragged.
constexpr int WM_DELAY_CHANGED = 0x10F9;

// The speaker delay chart: one row per output channel, each with a handle
// on a millisecond scale that can be dragged. The handle's left edge marks
// the value (the handle picture hangs right of it like a flag on its pole).
// Draws the values it is given and reports drags; the page writes them.
class CDelayPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowCount = 8;
    static constexpr double kScaleMinMs = 0.0;
    static constexpr double kScaleMaxMs = 106.0;
    static constexpr double kTickMs = 20.0;
    static constexpr int kHitDistance = 15;
    // The plot area inside the client rectangle.
    static constexpr int kPlotLeft = 78;
    static constexpr int kPlotRightGap = 18;
    static constexpr int kPlotTop = 5;
    static constexpr int kPlotBottomGap = 20;

    struct Row {
        int index = 0;
        int handleX = 0; // value position, pixels
        int handleY = 0; // top of the row, pixels
        double value = 0.0;
        double low = 0.0;
        double high = 0.0;
        bool active = true; // drawn faint when not
    };

    explicit CDelayPanel(QWidget* parent = nullptr);

    // The range every row's value is held in (the processor's delay limits,
    // given by the page); the whole scale until then.
    void SetLimits(double lowMs, double highMs);
    // The handle picture; a null image keeps the drawn handle.
    void SetHandleImage(const QImage& image);
    QSize HandleSize() const;

    // A value limited to the row's limits (when they differ): stored, the
    // handle moved, repainted. Rows past the last are ignored.
    void SetRowValue(int row, double ms);
    // A stored value shown as it is; the handle stops at the nearest limit.
    void ShowRowValue(int row, double ms);
    void SetRowActive(int row, bool active);
    const Row& RowAt(int row) const { return m_rows[row]; }
    double Value(int row) const { return m_rows[row].value; }
    static QColor RowColour(int row);

    QRect PlotRect() const;
    int HandleX(double ms) const;
    int HandleY(int row) const;
    // Where a pointer grabs a row's handle.
    QPoint GrabPoint(int row) const;
    // The row whose handle is under the pointer, -1 when none.
    int HitTest(const QPoint& pos) const;
    int DraggedRow() const { return m_dragging ? m_dragRow : -1; }

    // Draws the chart into the back buffer (what a repaint shows).
    const QImage& RenderFrame();
    // A row's title in a language (0 Chinese "通道3", 1 English "CH 3"),
    // and the language the chart draws in.
    static QString RowTitle(int row, int language);
    void SetLanguage(int language);
    int Language() const { return m_language; }

signals:
    // WM_DELAY_CHANGED: a drag moved the row's handle to a new value.
    void DelayChanged(int row, double ms);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double PixelsPerMs() const;
    double RowHeight() const;
    double Limited(const Row& row, double ms) const;
    void PlaceRow(Row& row);
    void PaintGrid(QPainter& p) const;
    void PaintRow(QPainter& p, const Row& row) const;
    void PaintHandle(QPainter& p, const Row& row, const QRectF& box) const;

    std::array<Row, kRowCount> m_rows;
    QImage m_handle;
    int m_language = 0;
    int m_dragRow = -1;
    bool m_dragging = false;
    CBackBuffer m_buffer;
};
