#pragma once

#include "shell/Localisation.h"

#include <QString>

#include <type_traits>

class CXBmpSlider;
class QComboBox;
class QGroupBox;
class QLabel;
class QWidget;

// Builders the pages share for their direct children: each carries its
// control identifier, so the page's language file finds and relabels it.
namespace fx {

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
// A right-aligned label showing a control's value in the value look.
QLabel* MakePageValue(QWidget* page, int id);
// A frame with a bold title; make frames before the controls they hold.
QGroupBox* MakePageGroup(QWidget* page);
// Makes the page artwork (":/pages/...") available; pages call it before
// their first picture. The artwork lives in a static library, which must
// register its resources itself.
void RegisterPageArtwork();

} // namespace fx
