#include "controls/CBackBuffer.h"

#include <QPainter>
#include <QWidget>

QImage& CBackBuffer::Prepare(const QWidget& widget) {
    const qreal ratio = widget.devicePixelRatioF();
    const QSize devicePixels = (QSizeF(widget.size()) * ratio).toSize().expandedTo(QSize(1, 1));
    if (m_image.size() != devicePixels || m_image.devicePixelRatio() != ratio) {
        m_image = QImage(devicePixels, QImage::Format_ARGB32_Premultiplied);
        m_image.setDevicePixelRatio(ratio);
    }
    return m_image;
}

void CBackBuffer::BeginFrame(QPainter& painter, const QWidget& widget) {
    painter.begin(&Prepare(widget));
    painter.fillRect(widget.rect(), widget.palette().window());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
}

void CBackBuffer::CopyTo(QPainter& painter) const {
    painter.drawImage(QPointF(0, 0), m_image);
}
