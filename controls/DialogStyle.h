#pragma once

#include <QColor>

class QWidget;

// The pale background every page and dialog shares (0xFFFAF0 as BGR).
inline QColor PaleBackground() {
    return QColor(240, 250, 255);
}

// Gives a dialog the pale background; its static texts draw transparently.
void ApplyPaleBackground(QWidget* widget);

// The look of a label that shows a control's value: bold blue, grey while disabled.
void ApplyValueStyle(QWidget* label);

// A tool dialog's frame: a title bar with the title and a close button,
// whatever the window manager would otherwise pick for a fixed-size window.
void ApplyToolWindowFrame(QWidget* dialog);
