#include "controls/CSpinButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>

namespace {
const QColor kFace(228, 238, 246);
const QColor kFacePressed(170, 200, 228);
const QColor kBorder(140, 160, 180);
const QColor kArrow(40, 80, 130);
const QColor kArrowDisabled(170, 180, 190);
} // namespace

CSpinButton::CSpinButton(QWidget* parent) : QWidget(parent) {
    // The edit beside it keeps the keyboard focus.
    setFocusPolicy(Qt::NoFocus);
    connect(&m_repeat, &QTimer::timeout, this, [this] {
        m_repeat.setInterval(kRepeatPeriodMs);
        Step(m_held);
    });
}

void CSpinButton::SetRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
    update();
}

void CSpinButton::SetPos(int position) {
    m_position = std::clamp(position, m_minimum, m_maximum);
}

void CSpinButton::Step(int direction) {
    if (direction == 0 || !isEnabled()) return;
    m_position = std::clamp(m_position + (direction > 0 ? 1 : -1), m_minimum, m_maximum);
    emit Stepped(m_position);
}

void CSpinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_held = event->position().y() < height() / 2.0 ? 1 : -1;
    update();
    Step(m_held);
    m_repeat.start(kRepeatDelayMs);
}

void CSpinButton::mouseReleaseEvent(QMouseEvent*) {
    m_repeat.stop();
    m_held = 0;
    update();
}

void CSpinButton::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta != 0) Step(delta);
    event->accept();
}

void CSpinButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_repeat.stop();
        m_held = 0;
    }
    QWidget::changeEvent(event);
}

void CSpinButton::PaintHalf(QPainter& p, const QRectF& half, bool up) const {
    const bool pressed = m_held == (up ? 1 : -1);
    p.setPen(QPen(kBorder, 1));
    p.setBrush(pressed ? kFacePressed : kFace);
    p.drawRoundedRect(half.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    const double w = std::min(half.width() * 0.5, 8.0);
    const double h = std::min(half.height() * 0.4, w * 0.6);
    const QPointF c = half.center();
    QPainterPath arrow;
    arrow.moveTo(c.x() - w / 2, up ? c.y() + h / 2 : c.y() - h / 2);
    arrow.lineTo(c.x() + w / 2, up ? c.y() + h / 2 : c.y() - h / 2);
    arrow.lineTo(c.x(), up ? c.y() - h / 2 : c.y() + h / 2);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(isEnabled() ? kArrow : kArrowDisabled);
    p.drawPath(arrow);
}

void CSpinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double half = height() / 2.0;
    PaintHalf(p, QRectF(0, 0, width(), half), true);
    PaintHalf(p, QRectF(0, half, width(), height() - half), false);
}
