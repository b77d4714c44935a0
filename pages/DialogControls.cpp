#include "pages/DialogControls.h"

#include <cstdlib>

#include "controls/CXBmpSlider.h"
#include "controls/DialogStyle.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>

static void InitPageArtwork() {
    Q_INIT_RESOURCE(pages);
}

namespace fx {

void ShowFaint(QWidget* widget, bool faint) {
    if (ShownFaint(widget) == faint) return;
    widget->setProperty("faint", faint);
    if (!faint) {
        widget->setPalette(QPalette()); // inherited again
        return;
    }
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, role, palette.color(QPalette::Disabled, role));
    widget->setPalette(palette);
}

bool ShownFaint(const QWidget* widget) {
    return widget->property("faint").toBool();
}

namespace {
QString& FileFolder() {
    static QString folder = QDir::homePath();
    return folder;
}
} // namespace

QString LastFileFolder() {
    return FileFolder();
}

void RememberFileFolder(const QString& path) {
    if (!path.isEmpty()) FileFolder() = QFileInfo(path).absolutePath();
}

QLabel* MakeDialogLabel(QWidget* parent, int id, const char* text) {
    return WithCtrlId(id, new QLabel(QString::fromUtf8(text), parent));
}

QGroupBox* MakeDialogGroup(QWidget* parent, int id, const char* title) {
    auto* group = new QGroupBox(QString::fromUtf8(title), parent);
    if (id != 0) SetCtrlId(group, id);
    group->lower();
    return group;
}

CXBmpSlider* MakeDialogSlider(QWidget* parent, int id) {
    auto* slider = WithCtrlId(id, new CXBmpSlider(parent));
    slider->SetControlId(id);
    slider->SetThumbSize(QSize(11, 20));
    slider->setFocusPolicy(Qt::StrongFocus);
    return slider;
}

QLabel* MakeValueLabel(QWidget* parent, int id) {
    auto* label = new QLabel(parent);
    if (id != 0) SetCtrlId(label, id);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ApplyValueStyle(label);
    return label;
}

void SetCheckedQuietly(QAbstractButton* button, bool checked) {
    const bool blocked = button->blockSignals(true);
    button->setChecked(checked);
    button->blockSignals(blocked);
}

void CheckInGroup(QButtonGroup* group, QAbstractButton* checked) {
    const bool exclusive = group->exclusive();
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) button->setChecked(button == checked);
    group->setExclusive(exclusive);
}

CXBmpSlider* MakePageSlider(QWidget* page, int id, int minimum, int maximum) {
    auto* slider = new CXBmpSlider(page);
    slider->SetControlId(id);
    SetCtrlId(slider, id);
    slider->SetRange(minimum, maximum);
    slider->SetMargins(3, 3, 3, 2);
    return slider;
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

double ParseNumber(const QString& text) {
    const QByteArray bytes = text.trimmed().toLatin1();
    return std::strtod(bytes.constData(), nullptr);
}

} // namespace fx
