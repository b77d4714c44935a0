#pragma once

#include <QObject>
#include <QRect>

#include <array>
#include <functional>
#include <vector>

class CCompressPanelPlus;
class CXBmpSlider;
class QCheckBox;
class QLabel;
class QWidget;

// Identifiers of a page's compressor controls.
struct CompressorSectionIds {
    int switchId;
    std::array<int, 4> sliders;  // threshold, ratio, attack, release
    std::array<int, 4> values;   // their value labels
    std::array<int, 4> captions; // their captions
};

// The compressor controls of a page: the on-switch and the threshold, ratio,
// attack and release sliders with their captions and values, and optionally
// the transfer curve. They show the compressor of one index (output channel
// 0..7, recording output 8) from its editor variables; a change goes to it and
// the channels linked with it (state/ChannelLinks.h). The controls are direct children of the page,
// so its language file labels them.
class CCompressorSection : public QObject {
    Q_OBJECT
public:
    enum Setting { Threshold = 0, Ratio, Attack, Release, SettingCount };

    CCompressorSection(QWidget* page, const CompressorSectionIds& ids);

    // The compressor shown; Load shows it.
    void SetIndex(int index);
    int Index() const { return m_index; }
    // A curve that follows the shown settings and the switch.
    void SetCurve(CCompressPanelPlus* curve);

    // Switch, sliders, values and curve from the editor variables.
    void Load();
    // Switch on the first row, then one row per setting: caption, slider and
    // value side by side, or (stacked) caption and value over the slider.
    void Place(const QRect& area, int rowHeight, bool stacked = false);
    bool IsWheelTarget(const QWidget* widget) const;
    void SetEnabled(bool enabled);
    // Captions and values grey, sliders faint while the compressor is off.
    void ShowSwitchedOn(bool on);

    QCheckBox* Switch() const { return m_switch; }
    CXBmpSlider* Slider(Setting setting) const { return m_sliders[setting]; }
    QLabel* Value(Setting setting) const { return m_values[setting]; }
    QLabel* Caption(Setting setting) const { return m_captions[setting]; }

    // A setting as its value label shows it ("-20dB", "4.0:1", "10ms").
    static QString ValueText(Setting setting, double value);
    // Slider position of a setting's value, and the value of a position.
    static int PositionOf(Setting setting, double value);
    static double ValueOf(Setting setting, int position);

private:
    void OnSlider(Setting setting, int position);
    void OnSwitch(bool checked);
    void ShowCurve();

    QCheckBox* m_switch = nullptr;
    std::array<CXBmpSlider*, SettingCount> m_sliders{};
    std::array<QLabel*, SettingCount> m_values{};
    std::array<QLabel*, SettingCount> m_captions{};
    CCompressPanelPlus* m_curve = nullptr;
    int m_index = 0;
};
