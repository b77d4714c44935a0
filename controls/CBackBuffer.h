#pragma once

#include <QImage>

class QPainter;
class QWidget;

// Off-screen image a control draws into before copying it to the screen in
// one step. Sized in device pixels, so drawing stays sharp on HiDPI screens.
class CBackBuffer {
public:
    // Makes the image match the widget's size and device pixel ratio and
    // returns it; the contents are undefined after a size change.
    QImage& Prepare(const QWidget& widget);
    QImage& Image() { return m_image; }
    // Prepares the image and begins painting on it: the widget's window
    // colour everywhere, anti-aliased lines and text.
    void BeginFrame(QPainter& painter, const QWidget& widget);
    void CopyTo(QPainter& painter) const;

private:
    QImage m_image;
};
