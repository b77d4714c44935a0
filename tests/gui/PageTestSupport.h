#pragma once

// Synthetic input shared by the page tests.

#include "controls/CEqPanel.h"
#include "controls/CXBmpSlider.h"
#include "controls/Localisation.h"
#include "sim/SimProcessor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

// The page's child control with identifier id, of type T.
template <typename T> T* Ctrl(QWidget* page, int id) {
    for (QWidget* widget : page->findChildren<QWidget*>())
        if (CtrlId(widget) == id)
            if (T* typed = qobject_cast<T*>(widget)) return typed;
    return nullptr;
}

inline void SendMouse(QWidget* widget, QEvent::Type type, const QPointF& pos,
                      Qt::MouseButton button) {
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void Click(QWidget* widget, const QPointF& pos) {
    SendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton);
}

inline void Click(QWidget* widget) {
    Click(widget, QPointF(widget->width() / 2.0, widget->height() / 2.0));
}

// Right click on the graph's empty space; the menu picks entry `choice`
// (0 copy, 1 paste) without an event loop of its own.
inline void CopyPasteOnGraph(CEqPanel* graph, int choice) {
    graph->SetMenuRunner([choice](QMenu& menu, const QPoint&) {
        const auto actions = menu.actions();
        return choice < actions.size() ? actions[choice] : nullptr;
    });
    const QPointF empty(graph->PlotRect().right() - 3, graph->PlotRect().top() + 3);
    SendMouse(graph, QEvent::MouseButtonPress, empty, Qt::RightButton);
    SendMouse(graph, QEvent::MouseButtonRelease, empty, Qt::RightButton);
}

// Presses and releases a key on a widget (Return in an edit: returnPressed).
inline void PressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// A drag with the left button from one point of a widget to another.
inline void Drag(QWidget* widget, const QPointF& from, const QPointF& to) {
    SendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, to, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton);
}

// A wheel turn over the middle of a widget.
inline void SendWheel(QWidget* widget, int delta) {
    const QPointF pos(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

// A DSP write (command 9) to a block and parameter, as the simulator logged it.
inline bool IsDsp(const SimRecord& record, int block, int parameter) {
    return record.size() >= 5 && record[0] == 9 && record[2] == block && record[3] == parameter;
}

// A panel-area write (command 133) at an offset, as the simulator logged it.
inline bool IsPanelWrite(const SimRecord& record, int offset) {
    return record.size() >= 4 && record[0] == 133 && ((record[1] << 8) | record[2]) == offset;
}

// Moves a slider to a position by one key step, as the user would.
inline void StepSliderTo(CXBmpSlider* slider, int position) {
    const bool up = position > slider->Minimum();
    slider->SetPos(up ? position - 1 : position + 1);
    slider->setFocus();
    QKeyEvent key(QEvent::KeyPress, up ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(slider, &key);
}
