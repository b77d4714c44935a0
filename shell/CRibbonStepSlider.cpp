#include "shell/CRibbonStepSlider.h"

#include "controls/Localisation.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

CRibbonStepSlider::CRibbonStepSlider(int commandId, int minimum, int maximum, int width,
                                     QWidget* parent)
    : QSlider(Qt::Horizontal, parent), m_commandId(commandId) {
    SetCtrlId(this, commandId);
    setRange(minimum, maximum);
    setSingleStep(1);
    setPageStep(1);
    setFixedWidth(width);
    // Reached with Tab (the arrow keys then move it); a click leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QSlider::valueChanged, this, [this] { emit positionChanged(m_commandId); });
}

void CRibbonStepSlider::SetPositionQuietly(int value) {
    const QSignalBlocker blocker(this);
    setValue(value);
}

void CRibbonStepSlider::mousePressEvent(QMouseEvent* event) {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    if (event->button() != Qt::LeftButton || handle.contains(event->position().toPoint())) {
        QSlider::mousePressEvent(event);
        return;
    }
    // A click on the channel: one step towards the click point.
    const int clickX = event->position().toPoint().x();
    const int step = clickX < handle.center().x() ? -singleStep() : singleStep();
    setValue(value() + step);
    event->accept();
}

void CRibbonStepSlider::wheelEvent(QWheelEvent* event) {
    // The ribbon moves both copies of a row on the wheel; the slider itself
    // passes the event on.
    event->ignore();
}
