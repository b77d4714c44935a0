#pragma once

#include "controls/Localisation.h"

#include <QString>

#include <type_traits>

class CXBmpSlider;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QWidget;

// Small builders the tool dialogs and pages share: children that carry their
// control identifier (so the dialog texts find them), group frames behind
// them, and bitmap sliders that take the keyboard focus (and with it the wheel).
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
// Checks one button of an exclusive group, or none (nullptr): an exclusive
// group on its own ignores unchecking its checked button.
void CheckInGroup(QButtonGroup* group, QAbstractButton* checked);
// A setting of a switched-off section: still editable, its text drawn in the
// colours of a disabled control (false: the ordinary colours again).
void ShowFaint(QWidget* widget, bool faint);
bool ShownFaint(const QWidget* widget);
// The folder the file dialogs of measurements and filter texts start in:
// that of the last such file opened or saved in this run (the home folder
// at first).
QString LastFileFolder();
// Remembers the folder of a file just opened or saved.
void RememberFileFolder(const QString& path);
// The leading decimal number of a text ("+3.5dB" is 3.5); 0 when there is none.
double ParseNumber(const QString& text);

// ---------------------------------------------------------------- pages

// The geometry the output-side pages share: their margin, the navigation row
// along the top, where the controls start under it, the gap between frames,
// the height of a page picture and of a frame's title.
namespace page {
constexpr int kMargin = 8;
constexpr int kNavHeight = 28;
constexpr int kTop = kMargin + kNavHeight + 8;
constexpr int kGap = 10;
constexpr int kPictureHeight = 40;
constexpr int kGroupTitle = 20;
} // namespace page

// A child of type T with identifier id (0: none) and, for a text control,
// its text of the dialog template.
template <typename T> T* MakePageCtrl(QWidget* page, int id, const char* text = nullptr) {
    auto* widget = new T(page);
    if (id != 0) SetCtrlId(widget, id);
    if constexpr (!std::is_same_v<T, QComboBox>) {
        if (text) widget->setText(QString::fromUtf8(text));
    }
    return widget;
}

// A bitmap slider over minimum..maximum that reports with its identifier.
CXBmpSlider* MakePageSlider(QWidget* page, int id, int minimum, int maximum);
// A frame with a bold title; make frames before the controls they hold.
QGroupBox* MakePageGroup(QWidget* page);
// Makes the page artwork (":/pages/...") available; pages call it before
// their first picture. The artwork lives in a static library, which must
// register its resources itself.
void RegisterPageArtwork();

} // namespace fx
