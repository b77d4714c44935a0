#pragma once

#include <QTimer>
#include <QWidget>

// The up and down arrows beside an edit: a position within a range that a
// click on either half (repeating while the button is held) or a wheel step
// moves by one, limited to the range. It reports each step; the page shows
// the value in its edit.
class CSpinButton : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRepeatDelayMs = 400;
    static constexpr int kRepeatPeriodMs = 70;

    explicit CSpinButton(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    void SetPos(int position);
    int GetPos() const { return m_position; }
    // One step up (+1) or down (-1), as a click on that half.
    void Step(int direction);

    QSize sizeHint() const override { return {18, 24}; }

signals:
    // After every step, also one that the range stopped.
    void Stepped(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void PaintHalf(class QPainter& p, const QRectF& half, bool up) const;

    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    int m_held = 0; // +1 or -1 while a half is pressed
    QTimer m_repeat;
};
