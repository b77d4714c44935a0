#include "controls/CXBmpSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
enum Margin { kLeft = 0, kTop = 1, kRight = 2, kBottom = 3 };
}

CXBmpSlider::CXBmpSlider(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CXBmpSlider::SetRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
    repaint();
}

void CXBmpSlider::SetPos(int position) {
    m_position = std::clamp(position, m_minimum, m_maximum);
    repaint();
}

void CXBmpSlider::SetMark(int position) {
    m_mark = position;
    update();
}

void CXBmpSlider::SetFaint(bool faint) {
    if (m_faint == faint) return;
    m_faint = faint;
    update();
}

void CXBmpSlider::SetVertical(bool vertical) {
    m_vertical = vertical;
    if (m_thumb.isNull()) m_drawnThumb = vertical ? QSize(20, 11) : QSize(11, 20);
    update();
}

void CXBmpSlider::SetMargins(int left, int top, int right, int bottom) {
    m_margins[kLeft] = left;
    m_margins[kTop] = top;
    m_margins[kRight] = right;
    m_margins[kBottom] = bottom;
    update();
}

void CXBmpSlider::SetImages(const QString& channel, const QString& thumb,
                            const QString& thumbActive) {
    m_channel = channel.isEmpty() ? QPixmap() : QPixmap(channel);
    m_thumb = thumb.isEmpty() ? QPixmap() : QPixmap(thumb);
    m_thumbActive = thumbActive.isEmpty() ? QPixmap() : QPixmap(thumbActive);
    update();
}

void CXBmpSlider::SetThumbSize(const QSize& size) {
    m_drawnThumb = size;
    update();
}

QSize CXBmpSlider::ThumbSize() const {
    if (!m_thumb.isNull()) return m_thumb.deviceIndependentSize().toSize();
    return m_drawnThumb;
}

void CXBmpSlider::SetAccentColor(const QColor& color) {
    m_accent = color;
    update();
}

double CXBmpSlider::TravelLength() const {
    const QSize thumb = ThumbSize();
    if (m_vertical) return height() - thumb.height() - m_margins[kTop] - m_margins[kBottom];
    return width() - thumb.width() - m_margins[kLeft] - m_margins[kRight];
}

QPoint CXBmpSlider::ThumbPosition() const {
    const QSize thumb = ThumbSize();
    const int span = m_maximum - m_minimum;
    const double length = TravelLength();
    if (m_vertical) {
        const double along = span > 0 ? (m_maximum - m_position) * length / span : 0.0;
        return QPoint((width() - thumb.width()) / 2, int(m_margins[kTop] + along));
    }
    const double along = span > 0 ? (m_position - m_minimum) * length / span : 0.0;
    return QPoint(int(m_margins[kLeft] + along), (height() - thumb.height()) / 2);
}

int CXBmpSlider::PositionFromPointer(double pointer) const {
    const int span = m_maximum - m_minimum;
    const double length = TravelLength();
    if (span <= 0 || length <= 0) return m_minimum;
    const double perStep = length / span;
    int position;
    if (m_vertical) {
        position = m_maximum - int((pointer - m_margins[kTop]) / perStep);
    } else {
        position = m_minimum + int((pointer - m_margins[kLeft]) / perStep);
    }
    return std::clamp(position, m_minimum, m_maximum);
}

double CXBmpSlider::PointerAlongTravel(const QPointF& pos) const {
    const QSize thumb = ThumbSize();
    return m_vertical ? pos.y() - thumb.height() / 2.0 : pos.x() - thumb.width() / 2.0;
}

bool CXBmpSlider::OnThumb(const QPointF& pos) const {
    return QRectF(ThumbPosition(), ThumbSize()).contains(pos);
}

void CXBmpSlider::mousePressEvent(QMouseEvent* event) {
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressed = true;
    if (OnThumb(event->position())) {
        m_dragging = true;
    } else {
        const QPointF centre = QRectF(ThumbPosition(), ThumbSize()).center();
        int step;
        if (m_vertical) {
            step = event->position().y() > centre.y() ? -1 : 1;
        } else {
            step = event->position().x() < centre.x() ? -1 : 1;
        }
        m_position = std::clamp(m_position + step, m_minimum, m_maximum);
    }
    setFocus(Qt::MouseFocusReason);
    repaint();
    emit PositionChanging(m_controlId, m_position);
}

// A double click is a second press.
void CXBmpSlider::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void CXBmpSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    m_position = PositionFromPointer(PointerAlongTravel(event->position()));
    repaint();
    emit PositionChanging(m_controlId, m_position);
}

void CXBmpSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed) return;
    m_pressed = false;
    m_dragging = false;
    update();
    emit PositionReleased(m_controlId, m_position);
}

void CXBmpSlider::StepBy(int delta) {
    m_position = std::clamp(m_position + delta, m_minimum, m_maximum);
    repaint();
    // Sent even when the position stayed at an end of the range.
    emit PositionChanging(m_controlId, m_position);
    emit PositionReleased(m_controlId, m_position);
}

void CXBmpSlider::keyPressEvent(QKeyEvent* event) {
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        StepBy(1);
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        StepBy(-1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CXBmpSlider::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (!isEnabled() || delta == 0) {
        event->ignore();
        return;
    }
    StepBy(delta > 0 ? 1 : -1);
    event->accept();
}

void CXBmpSlider::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
    emit FocusGained(m_controlId);
}

void CXBmpSlider::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void CXBmpSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRectF thumb(ThumbPosition(), ThumbSize());
    PaintChannel(p, thumb);
    PaintMark(p);
    PaintThumb(p, thumb);
}

void CXBmpSlider::PaintMark(QPainter& p) const {
    if (m_mark == kNoMark || m_mark < m_minimum || m_mark > m_maximum || m_maximum == m_minimum ||
        m_vertical)
        return;
    const double along = double(m_mark - m_minimum) / (m_maximum - m_minimum) * TravelLength();
    const double x = m_margins[kLeft] + ThumbSize().width() / 2.0 + along;
    p.setPen(QPen(isEnabled() && !m_faint ? QColor(230, 120, 0) : QColor(150, 150, 150), 2));
    p.drawLine(QPointF(x, height() / 2.0 - 7), QPointF(x, height() / 2.0 + 7));
}

void CXBmpSlider::PaintChannel(QPainter& p, const QRectF& thumb) {
    const QSize thumbSize = ThumbSize();
    QRectF groove;
    if (m_vertical) {
        const double x = width() / 2.0 - 2.5;
        groove = QRectF(x, m_margins[kTop] + thumbSize.height() / 2.0, 5, TravelLength());
    } else {
        const double y = height() / 2.0 - 2.5;
        groove = QRectF(m_margins[kLeft] + thumbSize.width() / 2.0, y, TravelLength(), 5);
    }
    if (!m_channel.isNull()) {
        p.drawPixmap(rect(), m_channel);
        return;
    }
    p.setPen(QPen(QColor(70, 80, 90), 1));
    p.setBrush(QColor(25, 30, 36));
    p.drawRoundedRect(groove, 2.5, 2.5);
    QRectF lit = groove;
    if (m_vertical) {
        lit.setTop(thumb.center().y());
    } else {
        lit.setRight(thumb.center().x());
    }
    const QColor accent = isEnabled() && !m_faint ? m_accent : QColor(120, 120, 120);
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawRoundedRect(lit.adjusted(1, 1, -1, -1), 1.5, 1.5);
}

void CXBmpSlider::PaintThumb(QPainter& p, const QRectF& thumb) {
    const bool active = m_dragging || hasFocus();
    const QPixmap& image = active && !m_thumbActive.isNull() ? m_thumbActive : m_thumb;
    if (!image.isNull()) {
        p.drawPixmap(thumb.topLeft(), image);
        return;
    }
    QLinearGradient shade(thumb.topLeft(), m_vertical ? thumb.bottomLeft() : thumb.topRight());
    const bool drawnActive = isEnabled() && !m_faint;
    const QColor light = drawnActive ? QColor(235, 238, 242) : QColor(190, 190, 190);
    const QColor dark = drawnActive ? QColor(150, 158, 168) : QColor(140, 140, 140);
    shade.setColorAt(0, light);
    shade.setColorAt(1, dark);
    p.setPen(QPen(active ? QColor(0, 255, 255) : QColor(60, 66, 74), active ? 1.5 : 1));
    p.setBrush(shade);
    p.drawRoundedRect(thumb.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    // Grip line across the thumb.
    p.setPen(QPen(QColor(70, 76, 84), 1));
    const QPointF c = thumb.center();
    if (m_vertical) {
        p.drawLine(QPointF(thumb.left() + 3, c.y()), QPointF(thumb.right() - 3, c.y()));
    } else {
        p.drawLine(QPointF(c.x(), thumb.top() + 3), QPointF(c.x(), thumb.bottom() - 3));
    }
}
