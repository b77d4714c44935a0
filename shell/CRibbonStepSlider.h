#pragma once

#include <QSlider>

// A ribbon slider whose channel click moves the position by exactly one step
// towards the click point and notifies at once; every other mouse action
// behaves as the standard slider. The wheel is left to the ribbon.
class CRibbonStepSlider : public QSlider {
    Q_OBJECT
public:
    CRibbonStepSlider(int commandId, int minimum, int maximum, int width, QWidget* parent);

    int CommandId() const { return m_commandId; }
    // Sets the position without notifying.
    void SetPositionQuietly(int value);

signals:
    // The user moved the slider (drag, channel click, keyboard).
    void positionChanged(int commandId);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_commandId;
};
