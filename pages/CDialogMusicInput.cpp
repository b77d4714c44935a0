#include "pages/CDialogMusicInput.h"

#include "controls/CXBmpSlider.h"
#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "pages/CWheelRouter.h"
#include "pages/DialogControls.h"
#include "state/DeviceIdentity.h"
#include "state/ParamImage.h"

#include <QLabel>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

using fx::MakeDialogSlider;
using fx::MakeValueLabel;
using fx::SetCheckedQuietly;
using fx::WithCtrlId;

namespace {

// Control identifiers of source k: its radio, slider and level text.
constexpr int kRadioIds[kMusicSourceCount] = {1243, 1244, 1245, 1246, 1247, 1248, 1249,
                                              1250, 1251, 1252, 1253, 1254, 1255, 1256};
constexpr int kSliderIds[kMusicSourceCount] = {1257, 1258, 1259, 1260, 1261, 1049, 1262,
                                               1263, 1264, 1265, 1054, 1052, 1266, 1053};
constexpr int kLevelIds[kMusicSourceCount] = {1267, 1268, 1269, 1270, 1271, 1272, 1273,
                                              1274, 1275, 1276, 1277, 1278, 1279, 1280};
constexpr int kLevelMax = 100;

constexpr int kWidth = 470;
constexpr int kRowHeight = 34;
constexpr int kTop = 16;

int Level(int source) {
    return static_cast<int>(
        std::lround(GetDspParam(kMusicSourceBlock, MusicSourceLevelParameter(source))));
}

QString FullName(int source) {
    return QString::fromUtf8(FindMusicSource(kUnlistedMusicInputDialog, source)->name);
}

} // namespace

CDialogMusicInput::CDialogMusicInput(int resource, QWidget* parent)
    : QDialog(parent), m_resource(resource) {
    setAttribute(Qt::WA_DeleteOnClose);
    ApplyPaleBackground(this);
    setWindowTitle(Tr("音源设置", "Music source setting"));
    CreateRows();
    LayOut();
    m_wheel = new CWheelRouter(this, [this](const QWidget* focus) {
        return std::any_of(m_rows.begin(), m_rows.end(),
                           [focus](const SourceRow& row) { return focus == row.slider; });
    });
    Relabel();
    Reload();
}

void CDialogMusicInput::CreateRows() {
    // Every source has its controls, named as in the full variant; the
    // variant shows only its own.
    for (int k = 0; k < kMusicSourceCount; ++k) {
        SourceRow& row = m_rows[k];
        row.radio = WithCtrlId(kRadioIds[k], new QRadioButton(FullName(k), this));
        row.radio->setAutoExclusive(false);
        row.radio->hide();
        connect(row.radio, &QRadioButton::clicked, this, [this, k] { OnRadio(k); });
        row.slider = MakeDialogSlider(this, kSliderIds[k]);
        row.slider->SetRange(0, kLevelMax);
        row.slider->hide();
        connect(row.slider, &CXBmpSlider::PositionChanging, this,
                [this, k](int, int position) { OnSlider(k, position); });
        row.level = MakeValueLabel(this, kLevelIds[k]);
        row.level->hide();
    }
}

void CDialogMusicInput::LayOut() {
    const auto& shown = MusicSourcesOf(m_resource);
    int y = kTop;
    for (const MusicSourceChoice& choice : shown) {
        SourceRow& row = m_rows[choice.source];
        row.radio->setText(QString::fromUtf8(choice.name));
        row.radio->setGeometry(20, y, 112, 26);
        row.slider->setGeometry(140, y, 240, 26);
        row.level->setGeometry(388, y, 56, 26);
        for (QWidget* widget : {static_cast<QWidget*>(row.radio), static_cast<QWidget*>(row.slider),
                                static_cast<QWidget*>(row.level)})
            widget->show();
        y += kRowHeight;
    }
    setFixedSize(kWidth, y + kTop - (kRowHeight - 26));
}

void CDialogMusicInput::Relabel() {
    LoadDialogTexts(this, kTextResource);
}

void CDialogMusicInput::Reload() {
    for (int k = 0; k < kMusicSourceCount; ++k) {
        const int level = Level(k);
        m_rows[k].slider->SetPos(level);
        ShowLevel(k, level);
    }
    ShowSelection();
}

void CDialogMusicInput::ShowLevel(int source, int level) {
    m_rows[source].level->setText(QString::asprintf("%d%%", level));
}

// The radio of the selected source is checked even when the variant hides
// it, so a source this model does not offer shows no visible radio checked.
void CDialogMusicInput::ShowSelection() {
    const int selected =
        static_cast<int>(std::lround(GetDspParam(kMusicSourceBlock, kMusicSourceParameter)));
    for (int k = 0; k < kMusicSourceCount; ++k) SetCheckedQuietly(m_rows[k].radio, k == selected);
}

void CDialogMusicInput::OnRadio(int source) {
    SetDspParam(kMusicSourceBlock, kMusicSourceParameter, source);
    ShowSelection();
}

void CDialogMusicInput::OnSlider(int source, int position) {
    SetDspParam(kMusicSourceBlock, MusicSourceLevelParameter(source), position);
    ShowLevel(source, position);
}

void CDialogMusicInput::reject() {
    QDialog::reject();
    close();
}
