#include "pages/PageWidgets.h"

#include "controls/CXBmpSlider.h"
#include "shell/DialogStyle.h"

#include <QGroupBox>
#include <QLabel>

static void InitPageArtwork() {
    Q_INIT_RESOURCE(pages);
}

namespace fx {

CXBmpSlider* MakePageSlider(QWidget* page, int id, int minimum, int maximum) {
    auto* slider = new CXBmpSlider(page);
    slider->SetControlId(id);
    SetCtrlId(slider, id);
    slider->SetRange(minimum, maximum);
    slider->SetMargins(3, 3, 3, 2);
    return slider;
}

QLabel* MakePageValue(QWidget* page, int id) {
    auto* value = MakePageCtrl<QLabel>(page, id);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ApplyValueStyle(value);
    return value;
}

QGroupBox* MakePageGroup(QWidget* page) {
    auto* group = new QGroupBox(page);
    QFont bold = group->font();
    bold.setBold(true);
    group->setFont(bold);
    return group;
}

void RegisterPageArtwork() {
    static const bool registered = (InitPageArtwork(), true);
    (void)registered;
}

} // namespace fx
