#include "pages/CCompressorSection.h"

#include "controls/CCompressPanelPlus.h"
#include "controls/CXBmpSlider.h"
#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "state/ChannelLinks.h"
#include "state/Compressor.h"
#include "state/ParamImage.h"

#include <QCheckBox>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace {
// Slider ranges: dB, tenths of the ratio, milliseconds, milliseconds.
constexpr int kSliderMin[4] = {int(kCompThresholdMinDb), int(kCompRatioMin * 10),
                               int(kCompAttackMinMs), int(kCompReleaseMinMs)};
constexpr int kSliderMax[4] = {int(kCompThresholdMaxDb), int(kCompRatioMax * 10),
                               int(kCompAttackMaxMs), int(kCompReleaseMaxMs)};
const char* const kCaptions[4] = {"阈值", "衰减比例", "启动时间", "释放时间"};
constexpr int kValueWidth = 54;
} // namespace

CCompressorSection::CCompressorSection(QWidget* page, const CompressorSectionIds& ids)
    : QObject(page) {
    m_switch = new QCheckBox(QString::fromUtf8("压限启用"), page);
    SetCtrlId(m_switch, ids.switchId);
    connect(m_switch, &QCheckBox::clicked, this, &CCompressorSection::OnSwitch);
    for (int s = 0; s < SettingCount; ++s) {
        const auto setting = Setting(s);
        auto* slider = new CXBmpSlider(page);
        slider->SetControlId(ids.sliders[s]);
        SetCtrlId(slider, ids.sliders[s]);
        slider->SetRange(kSliderMin[s], kSliderMax[s]);
        slider->SetMargins(3, 3, 3, 2);
        slider->SetAccentColor(QColor(0, 170, 120));
        connect(slider, &CXBmpSlider::PositionChanging, this,
                [this, setting](int, int position) { OnSlider(setting, position); });
        m_sliders[s] = slider;
        m_captions[s] = new QLabel(QString::fromUtf8(kCaptions[s]), page);
        SetCtrlId(m_captions[s], ids.captions[s]);
        m_values[s] = new QLabel(page);
        SetCtrlId(m_values[s], ids.values[s]);
        m_values[s]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ApplyValueStyle(m_values[s]);
    }
}

void CCompressorSection::SetIndex(int index) {
    m_index = std::clamp(index, 0, kCompressorCount - 1);
}

void CCompressorSection::SetCurve(CCompressPanelPlus* curve) {
    m_curve = curve;
}

QString CCompressorSection::ValueText(Setting setting, double value) {
    switch (setting) {
    case Threshold:
        return QString::asprintf("%.0fdB", value);
    case Ratio:
        return QString::asprintf("%.1f:1", value);
    default:
        return QString::asprintf("%.0fms", value);
    }
}

int CCompressorSection::PositionOf(Setting setting, double value) {
    const double position = setting == Ratio ? value * 10.0 : value;
    return int(std::lround(
        std::clamp(position, double(kSliderMin[setting]), double(kSliderMax[setting]))));
}

double CCompressorSection::ValueOf(Setting setting, int position) {
    return setting == Ratio ? position / 10.0 : double(position);
}

void CCompressorSection::Load() {
    const CompressorValues& values = g_Compressor()[m_index];
    const double shown[SettingCount] = {values.thresholdDb, values.ratio, values.attackMs,
                                        values.releaseMs};
    for (int s = 0; s < SettingCount; ++s) {
        m_sliders[s]->SetPos(PositionOf(Setting(s), shown[s]));
        m_values[s]->setText(ValueText(Setting(s), shown[s]));
    }
    m_switch->setChecked(CompressorActive(m_index));
    ShowSwitchedOn(CompressorActive(m_index));
    ShowCurve();
}

void CCompressorSection::ShowCurve() {
    if (!m_curve) return;
    const CompressorValues& values = g_Compressor()[m_index];
    m_curve->SetThreshold(values.thresholdDb);
    m_curve->SetSlope(1.0 / values.ratio);
    m_curve->SetEnabled(CompressorActive(m_index));
}

void CCompressorSection::OnSlider(Setting setting, int position) {
    const double value = ValueOf(setting, position);
    m_values[setting]->setText(ValueText(setting, value));
    // The setting moved; the other three are the shown compressor's.
    const CompressorValues& shown = g_Compressor()[m_index];
    double settings[SettingCount] = {shown.thresholdDb, shown.ratio, shown.attackMs,
                                     shown.releaseMs};
    settings[setting] = value;
    fx::SetLinkedCompressor(m_index, settings[Threshold], settings[Ratio], settings[Attack],
                            settings[Release]);
    if (m_curve && setting == Threshold) m_curve->SetThreshold(value);
    if (m_curve && setting == Ratio) m_curve->SetSlope(1.0 / value);
}

void CCompressorSection::OnSwitch(bool checked) {
    fx::SetLinkedCompressorSwitch(m_index, checked);
    if (m_curve) m_curve->SetEnabled(checked);
    ShowSwitchedOn(checked);
}

// A switched-off section is drawn grey, its sliders still movable, so its
// settings can be made before it is switched on (as the delay's are).
void CCompressorSection::ShowSwitchedOn(bool on) {
    for (int s = 0; s < SettingCount; ++s) {
        m_sliders[s]->SetFaint(!on);
        m_values[s]->setEnabled(on);
        m_captions[s]->setEnabled(on);
    }
}

void CCompressorSection::Place(const QRect& area, int rowHeight, bool stacked) {
    m_switch->setGeometry(area.left(), area.top(), area.width(), rowHeight);
    int captionWidth = 0;
    for (QLabel* caption : m_captions)
        captionWidth =
            std::max(captionWidth, caption->fontMetrics().horizontalAdvance(caption->text()));
    captionWidth += 6;
    int y = area.top() + rowHeight;
    for (int s = 0; s < SettingCount; ++s) {
        if (stacked) {
            m_captions[s]->setGeometry(area.left(), y, area.width() - kValueWidth, rowHeight - 4);
            m_values[s]->setGeometry(area.right() + 1 - kValueWidth, y, kValueWidth, rowHeight - 4);
            m_sliders[s]->setGeometry(area.left(), y + rowHeight - 4, area.width(), rowHeight - 4);
            y += 2 * rowHeight - 6;
            continue;
        }
        const int sliderX = area.left() + captionWidth;
        const int sliderWidth = std::max(40, area.width() - captionWidth - kValueWidth - 4);
        m_captions[s]->setGeometry(area.left(), y, captionWidth, rowHeight);
        m_sliders[s]->setGeometry(sliderX, y + 1, sliderWidth, rowHeight - 2);
        m_values[s]->setGeometry(area.right() + 1 - kValueWidth, y, kValueWidth, rowHeight);
        y += rowHeight;
    }
}

bool CCompressorSection::IsWheelTarget(const QWidget* widget) const {
    return std::find(m_sliders.begin(), m_sliders.end(), widget) != m_sliders.end();
}

void CCompressorSection::SetEnabled(bool enabled) {
    m_switch->setEnabled(enabled);
    for (int s = 0; s < SettingCount; ++s) {
        m_sliders[s]->setEnabled(enabled);
        m_values[s]->setEnabled(enabled);
        m_captions[s]->setEnabled(enabled);
    }
}
