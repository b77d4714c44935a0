#pragma once

#include "shell/Localisation.h"

class CXBmpSlider;
class QAbstractButton;
class QGroupBox;
class QLabel;
class QWidget;

// Small builders the tool dialogs share: children that carry their control
// identifier (so the dialog texts find them), group frames behind them, and
// bitmap sliders that take the keyboard focus (and with it the wheel).
namespace fx {

template <typename T> T* WithCtrlId(int id, T* widget) {
    SetCtrlId(widget, id);
    return widget;
}

QLabel* MakeDialogLabel(QWidget* parent, int id, const char* text);
// A frame behind the controls, which are the dialog's own children (id 0:
// a frame without text of its own).
QGroupBox* MakeDialogGroup(QWidget* parent, int id, const char* title);
CXBmpSlider* MakeDialogSlider(QWidget* parent, int id);
// A label that shows a control's value, drawn in the value colour.
QLabel* MakeValueLabel(QWidget* parent, int id = 0);
// Checks or clears a box or radio without reporting it as the user's click.
void SetCheckedQuietly(QAbstractButton* button, bool checked);

} // namespace fx
