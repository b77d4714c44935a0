#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

// Synthetic input for widget tests, delivered straight to the widget.
namespace widget_events {

inline void Mouse(QWidget& w, QEvent::Type type, QPointF pos, Qt::MouseButton button,
                  Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, w.mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

inline void Press(QWidget& w, QPointF pos, Qt::MouseButton button = Qt::LeftButton) {
    Mouse(w, QEvent::MouseButtonPress, pos, button, button);
}

inline void Move(QWidget& w, QPointF pos, Qt::MouseButtons buttons = Qt::NoButton) {
    Mouse(w, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

inline void Release(QWidget& w, QPointF pos, Qt::MouseButton button = Qt::LeftButton) {
    Mouse(w, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

inline void Click(QWidget& w, QPointF pos, Qt::MouseButton button = Qt::LeftButton) {
    Press(w, pos, button);
    Release(w, pos, button);
}

// Returns whether the widget accepted the wheel message.
inline bool Wheel(QWidget& w, QPointF pos, int delta) {
    QWheelEvent event(pos, w.mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&w, &event);
    return event.isAccepted();
}

inline void Key(QWidget& w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                quint32 nativeVirtualKey = 0) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, 0, nativeVirtualKey, 0);
    QCoreApplication::sendEvent(&w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, 0, nativeVirtualKey, 0);
    QCoreApplication::sendEvent(&w, &release);
}

inline void KeyDown(QWidget& w, int key, Qt::KeyboardModifiers modifiers,
                    quint32 nativeVirtualKey) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, 0, nativeVirtualKey, 0);
    QCoreApplication::sendEvent(&w, &press);
}

} // namespace widget_events
