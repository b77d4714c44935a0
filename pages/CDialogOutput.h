#pragma once

#include "pages/CHalvoxPage.h"
#include "pages/COutputSidePageBase.h"
#include "pages/CPageNavigator.h"
#include "state/OutputChannels.h"

#include <array>
#include <vector>

class CXBmpSlider;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;

// Control identifiers of the output page (dialog 385) beyond the navigation
// row, the compressor section and the EQ part.
enum OutputPageCtrl : int {
    IDC_OUT_COMP_CAPTION = 1001, // 1001..1004: threshold, ratio, attack, release
    IDC_OUT_SPLIT_VALUE = 1008,
    IDC_OUT_SPLIT = 1014,
    IDC_OUT_COMP_THRESHOLD = 1015, // 1015..1018
    IDC_OUT_DELAY = 1019,
    IDC_OUT_DELAY_VALUE = 1038,
    IDC_OUT_LEVEL = 1041,      // 1041..1044: direct, reverb, echo, music
    IDC_OUT_MUTE_FIRST = 1045, // channel 0; channels 1..7 are 1047..1053
    IDC_OUT_PHASE = 1054,      // 1054..1061
    IDC_OUT_LINK_12 = 1062,
    IDC_OUT_LINK_34 = 1064,
    IDC_OUT_LINK_78 = 1068,
    IDC_OUT_COMP_SWITCH = 1081,
    IDC_OUT_LEVEL_CAPTION = 1123, // 1123..1126
    IDC_OUT_LEVEL_VALUE = 1127,   // 1127..1130
    IDC_OUT_DELAY_CAPTION = 1132,
    IDC_OUT_XOVER = 1134,
    IDC_OUT_HIGH_BAND = 1190,
    IDC_OUT_WHOLE_CHANNEL = 1191,
    IDC_OUT_XOVER_CAPTION = 1215,
    IDC_OUT_SOURCE = 1217,     // 1217..1224
    IDC_OUT_COMP_VALUE = 1225, // 1225..1228
    IDC_OUT_PICTURE = 1258,
    IDC_OUT_DELAY_SWITCH = 1293,
};

// The output page: one output channel at a time (chosen with the navigation
// row), with its levels, delay, compressor and EQ, the sources, mutes and
// phases of all eight channels and the three channel links. A change of the
// shown channel goes to every channel linked with it (state/ChannelLinks.h); CH 6's band 7 is the
// crossover band with its alignment.
class CDialogOutput : public fx::COutputSidePageBase {
    Q_OBJECT
public:
    static constexpr int kResource = 385;
    static constexpr int kDelayMin = 14; // tenths of a millisecond
    static constexpr int kDelayMax = 1000;

    CDialogOutput(int channel, QWidget* parent, fx::ParamStore& store,
                  CPageNavigator navigator = {});

    // The shown channel: SetChannel, as the navigation row asks through the view.
    void SelectSubPage(int channel) override;
    void SetChannel(int channel);
    int Channel() const { return m_subPage; }
    void Reload() override; // RefreshOutputPage
    void Relabel() override;
    bool EqBypassed() const override;
    void ToggleEqBypass() override;
    void ResetShownEq() override;

    // The shown channel and, when its pair is linked, its partner.
    std::array<bool, kOutputChannelCount> GetLinkedChannels() const;
    // Resource path of a channel's picture in a language.
    static QString ChannelPicture(int channel, int language);
    static int MuteId(int channel);

    QComboBox* CrossoverCombo() const { return m_xover; }
    QCheckBox* LinkBox(int pair) const { return m_links[pair]; }
    CXBmpSlider* SplitSlider() const { return m_splitSlider; }
    CXBmpSlider* DelaySlider() const { return m_delaySlider; }

private:
    void CreateChannelRows();
    void CreateDelay();
    void CreateEqWithCrossover();
    void Layout() override;
    void LayoutLeft();
    void LayoutDelay(const QRect& area);

    void OnMute(int channel, bool checked);
    void OnPhase(int channel, bool checked);
    void OnSource(int channel, int index);
    void OnLevel(int n, int position) override;
    void OnDelaySwitch(bool checked);
    void OnDelayMode(bool wholeChannel);
    void OnSplit(int row);
    void OnDelayTime(int position);
    void OnLink(int pair, bool checked);
    void OnCrossover(int alignment);
    void ShowCrossover();

    void RefreshOutputPage();
    void RefreshChannelRows();
    void RefreshDelay();
    void EnableDelay();
    void FillSources();

    QString PicturePath() const override;
    int OwnNavButton() const override;
    int LevelPercent(int n) const override;
    bool PageSliderTakesWheel(int id) const override;

    QGroupBox* m_channelGroup = nullptr;
    std::array<QLabel*, kOutputChannelCount> m_channelNames{};
    std::array<QComboBox*, kOutputChannelCount> m_sources{};
    std::array<QCheckBox*, kOutputChannelCount> m_mutes{};
    std::array<QCheckBox*, kOutputChannelCount> m_phases{};
    std::array<QCheckBox*, kLinkPairCount> m_links{};

    QGroupBox* m_delayGroup = nullptr;
    QCheckBox* m_delaySwitch = nullptr;
    QRadioButton* m_highBand = nullptr;
    QRadioButton* m_wholeChannel = nullptr;
    QLabel* m_splitCaption = nullptr;
    QLabel* m_splitValue = nullptr;
    CXBmpSlider* m_splitSlider = nullptr;
    QLabel* m_delayCaption = nullptr;
    QLabel* m_delayValue = nullptr;
    CXBmpSlider* m_delaySlider = nullptr;

    QLabel* m_xoverCaption = nullptr;
    QComboBox* m_xover = nullptr;
};
