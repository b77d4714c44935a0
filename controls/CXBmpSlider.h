#pragma once

#include <QPixmap>
#include <QWidget>

#include <limits>

// Notifications of the bitmap slider to its page, carried by the signals below.
constexpr int WM_BMPSLIDER_MOVING = 0xBD1;   // press, drag step, key or wheel step
constexpr int WM_BMPSLIDER_FOCUS = 0xBD2;    // the slider got the keyboard focus
constexpr int WM_BMPSLIDER_RELEASED = 0xBD3; // button released; after each key or wheel step

// The slider every level, time and frequency setting uses: an integer range,
// a channel and a thumb (drawn in code, or PNG images when the page sets
// them), one step per track click, key or wheel message.
class CXBmpSlider : public QWidget {
    Q_OBJECT
public:
    explicit CXBmpSlider(QWidget* parent = nullptr);

    void SetControlId(int id) { m_controlId = id; }
    int ControlId() const { return m_controlId; }

    void SetRange(int minimum, int maximum);
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    void SetPos(int position);
    int GetPos() const { return m_position; }
    void SetVertical(bool vertical);
    bool Vertical() const { return m_vertical; }
    void SetMargins(int left, int top, int right, int bottom);
    void SetEnabled(bool enabled) { setEnabled(enabled); }
    // Drawn grey, as a disabled slider is, while it still takes the mouse and
    // the keys: the setting of a section that is switched off.
    void SetFaint(bool faint);
    bool Faint() const { return m_faint; }
    // A tick across the channel at a position (kNoMark for none): where a
    // scale that runs past the usual end has its usual end (100 % of 0..500 %).
    static constexpr int kNoMark = std::numeric_limits<int>::min();
    void SetMark(int position);
    int Mark() const { return m_mark; }
    // Channel and thumb images (resource paths such as ":/art/x.png"); an
    // empty path keeps the drawn look for that part.
    void SetImages(const QString& channel, const QString& thumb, const QString& thumbActive);
    // Thumb size of the drawn look (ignored while a thumb image is set).
    void SetThumbSize(const QSize& size);
    QSize ThumbSize() const;
    // Accent of the drawn channel's filled part.
    void SetAccentColor(const QColor& color);

    bool Dragging() const { return m_dragging; }
    // Thumb's top-left corner in client pixels for the current position.
    QPoint ThumbPosition() const;
    // Position a pointer coordinate (along the travel) stands for.
    int PositionFromPointer(double pointer) const;

signals:
    void PositionChanging(int controlId, int position); // 0xBD1
    void FocusGained(int controlId);                    // 0xBD2
    void PositionReleased(int controlId, int position); // 0xBD3

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    double TravelLength() const;
    double PointerAlongTravel(const QPointF& pos) const;
    bool OnThumb(const QPointF& pos) const;
    void StepBy(int delta);
    void PaintChannel(QPainter& p, const QRectF& thumb);
    void PaintMark(QPainter& p) const;
    void PaintThumb(QPainter& p, const QRectF& thumb);

    int m_minimum = 0;
    int m_maximum = 127;
    int m_position = 0;
    bool m_vertical = false;
    bool m_dragging = false;
    bool m_pressed = false;
    int m_margins[4] = {3, 3, 3, 2};
    int m_controlId = 0;
    QSize m_drawnThumb{11, 20};
    QColor m_accent{0, 200, 255};
    bool m_faint = false;
    int m_mark = kNoMark;
    QPixmap m_channel, m_thumb, m_thumbActive;
};
