#pragma once

#include "pages/CHalvoxPage.h"
#include "pages/CPageNavigator.h"

class CCompressPanelPlus;
class CCompressorSection;
class CPageNavRow;
class CWheelRouter;
class QComboBox;
class QLabel;

// Control identifiers of the compressor page (dialog 346).
enum CompPageCtrl : int {
    IDC_COMP_THRESHOLD_CAPTION = 1005, // 1005..1008: threshold, ratio, attack, release
    IDC_COMP_THRESHOLD = 1014,         // 1014..1017: their sliders
    IDC_COMP_THRESHOLD_VALUE = 1038,   // 1038..1041: their values
    IDC_COMP_SWITCH = 1045,
    IDC_COMP_CURVE = 1125,
    IDC_COMP_CHANNEL = 1134,
    IDC_COMP_CHANNEL_CAPTION = 1220,
};

// The compressor page: the compressor of one output channel, picked with the
// channel combo, with its transfer curve. It shows the channel's own
// settings whenever it opens, the channel changes or the image is read.
class CCompDlg : public CHalvoxPage {
    Q_OBJECT
public:
    static constexpr int kResource = 346;
    static constexpr double kLowerKneeDb = -90.0;

    CCompDlg(QWidget* parent, fx::ParamStore& store, CPageNavigator navigator = {});

    void Reload() override;
    void Relabel() override;

    int Channel() const { return m_channel; }
    void SelectChannel(int channel);

    CCompressorSection& Section() const { return *m_section; }
    CCompressPanelPlus* Curve() const { return m_curve; }
    QComboBox* ChannelCombo() const { return m_channelCombo; }
    CPageNavRow& NavRow() const { return *m_nav; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FillChannelCombo();
    void Layout();

    CPageNavRow* m_nav = nullptr;
    CCompressorSection* m_section = nullptr;
    CCompressPanelPlus* m_curve = nullptr;
    CWheelRouter* m_wheel = nullptr;
    QLabel* m_channelCaption = nullptr;
    QComboBox* m_channelCombo = nullptr;
    int m_channel = 0;
};
