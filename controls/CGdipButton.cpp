#include "controls/CGdipButton.h"

#include <QPainter>

CGdipButton::CGdipButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover, true);
    setCursor(Qt::PointingHandCursor);
}

void CGdipButton::SetImages(const QString& normal, const QString& hovered, const QString& pressed,
                            const QString& disabled, bool toggledOn) {
    const QString paths[LookCount] = {normal, hovered, pressed, disabled};
    for (int i = 0; i < LookCount; ++i) {
        m_images[toggledOn ? 1 : 0][i] = paths[i].isEmpty() ? QPixmap() : QPixmap(paths[i]);
    }
    updateGeometry();
    update();
}

void CGdipButton::SetTextColor(const QColor& color) {
    m_textColor = color;
    update();
}

void CGdipButton::SetToggle(bool toggle) {
    setCheckable(toggle);
}

void CGdipButton::SetFaceColor(const QColor& color) {
    m_face = color;
    update();
}

CGdipButton::Look CGdipButton::CurrentLook() const {
    if (!isEnabled()) return Disabled;
    if (isDown()) return Pressed;
    if (m_hover) return Hovered;
    return Normal;
}

QSize CGdipButton::sizeHint() const {
    if (!m_images[0][Normal].isNull()) return m_images[0][Normal].deviceIndependentSize().toSize();
    const QSize textSize = fontMetrics().size(Qt::TextSingleLine, text());
    return QSize(textSize.width() + 24, std::max(textSize.height() + 12, 26));
}

void CGdipButton::enterEvent(QEnterEvent* event) {
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CGdipButton::leaveEvent(QEvent* event) {
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CGdipButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const Look look = CurrentLook();
    const int set = isCheckable() && isChecked() && !m_images[1][Normal].isNull() ? 1 : 0;
    const QPixmap& image =
        !m_images[set][look].isNull() ? m_images[set][look] : m_images[set][Normal];
    if (image.isNull()) {
        PaintDrawnLook(p, look);
    } else {
        p.drawPixmap(rect(), image);
    }
    if (!text().isEmpty()) {
        p.setPen(isEnabled() ? m_textColor : QColor(115, 115, 115));
        const QRect box = look == Pressed ? rect().translated(1, 1) : rect();
        p.drawText(box, Qt::AlignCenter, text());
    }
}

void CGdipButton::PaintDrawnLook(QPainter& p, Look look) {
    const bool on = isCheckable() && isChecked();
    QColor face = m_face;
    if (look == Disabled) {
        face = QColor(200, 200, 200);
    } else if (look == Pressed || on) {
        face = m_face.darker(150);
    } else if (look == Hovered) {
        face = m_face.lighter(130);
    }
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient shade(box.topLeft(), box.bottomLeft());
    const bool sunken = look == Pressed || on;
    shade.setColorAt(0, sunken ? face.darker(115) : face.lighter(125));
    shade.setColorAt(1, sunken ? face.lighter(110) : face.darker(120));
    p.setBrush(shade);
    p.setPen(QPen(on ? QColor(0, 255, 255) : face.darker(170), on ? 1.5 : 1));
    p.drawRoundedRect(box, 4, 4);
}
