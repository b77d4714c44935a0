#pragma once

#include "pages/CEqPageBase.h"
#include "pages/CHalvoxPage.h"
#include "pages/CPageNavigator.h"

#include <QColor>
#include <QTimer>

class CGdipButton;
class CGridListCtrlEx;
class CPeakMeterCtrl;
class CSmallEqPanel;
class CXBmpSlider;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// Control identifiers of the music page (dialog 313).
enum MusicPageCtrl : int {
    IDC_MUSIC_SUBPAGE_A = 1068, // 1068..1070: Mic CH A, Mic CH B, Music
    IDC_MUSIC_EFFECT_SLIDER = 1000,
    IDC_MUSIC_EFFECT_EDIT = 1038,
    IDC_MUSIC_NOISE_GATE = 1052, // 1052..1055, inputs 1..4
    IDC_MUSIC_VOLUME = 1056,     // 1056..1059
    IDC_MUSIC_EFFECT_NAME = 1124,
    IDC_MUSIC_REVERB_CAPTION = 1132,
    IDC_MUSIC_EFFECT_LIST = 1141,
    IDC_MUSIC_PEAK_GROUP = 1142,
    IDC_MUSIC_ECHO_PREVIEW = 1143,
    IDC_MUSIC_REVERB_PREVIEW = 1144,
    IDC_MUSIC_ECHO_CAPTION = 1145,
    IDC_MUSIC_REVERB_HINT = 1146,
    IDC_MUSIC_GATE_VALUE = 1152,   // 1152 + 2i; the caption is 1153 + 2i
    IDC_MUSIC_VOLUME_VALUE = 1160, // 1160 + 2i; the caption is 1161 + 2i
    IDC_MUSIC_MUSIC_METER = 1168,  // 1168, 1169
    IDC_MUSIC_INPUT_METER = 1170,  // 1170..1173
    IDC_MUSIC_INPUT_LABEL = 1185,  // 1185..1188
    IDC_MUSIC_ECHO_HINT = 1189,
    IDC_MUSIC_ROUTE_A = 1190, // 1190 + 2i "CH A", 1191 + 2i "CH B"
    IDC_MUSIC_ECHO_STEREO = 1215,
    IDC_MUSIC_STREAM_FORMAT = 1222,
    IDC_MUSIC_ECHO_MONO = 1281,
    IDC_MUSIC_ECHO_TYPE_CAPTION = 1282,
};

// The microphone and music input page: routing, noise gate and volume of the
// microphone inputs, their level meters and the stream format, the EQ of the
// sub-page (Mic CH A, Mic CH B, Music), the effects of the microphone chain
// and the previews of its reverb and echo EQs, which open the effects page.
class CDialogMusic : public fx::CEqPageBase {
    Q_OBJECT
public:
    static constexpr int kResource = 313;
    static constexpr int kInputs = 4;
    static constexpr int kEffectRows = 9;
    static constexpr int kMeterPeriodMs = 300;

    CDialogMusic(int subPage, QWidget* parent, fx::ParamStore& store,
                 CPageNavigator navigator = {});

    void SelectSubPage(int subPage) override;
    void Reload() override;

    // One tick of the meter timer: meters and stream format from the status block.
    void UpdateMeters();
    // Applies value v to effect row r of the current chain, as slider 1000 does.
    void ApplyEffect(int row, int value);
    void SelectEffectRow(int row);
    int SelectedEffectRow() const { return m_effectRow; }
    // The row's value as the slider and the text show it.
    int EffectValue(int row) const;
    QString EffectValueText(int row) const;
    static QString EffectName(int row);

    CXBmpSlider* EffectSlider() const { return m_effectSlider; }
    CGridListCtrlEx* EffectList() const { return m_effectList; }
    CSmallEqPanel* ReverbPreview() const { return m_reverbPreview; }
    CSmallEqPanel* EchoPreview() const { return m_echoPreview; }

private:
    int Chain() const { return m_subPage == 1 ? 1 : 0; }
    bool EffectsEnabled() const { return m_subPage != 2; }

    void CreateSubPageButtons();
    void CreateInputs();
    void CreateEffects();
    void CreatePreviews();
    void Layout() override;
    void PlacePreviewsSideBySide(const QRect& area);
    void PlacePreviewsStacked(const QRect& area);
    void PlaceEchoType(const QRect& area);

    void OnSubPageButton(int subPage);
    void OnRoute(int input, bool chainA);
    void OnInputSlider(int controlId, int position);
    void OnEffectSlider(int position);
    void StepEffect(int direction);
    void OnEchoType(int stereo);
    void OnPreviewClicked(int controlId);
    void ApplyShift(int chain, int value);

    void LoadTexts();
    void RefreshInputs();
    void RefreshEffects();
    void RefreshPreviews();
    void LoadPreview(CSmallEqPanel* preview, int set);
    void ShowEffectRow();

    CPageNavigator m_navigator;
    CGdipButton* m_subPageButtons[3] = {};
    QLabel* m_inputLabels[kInputs] = {};
    QRadioButton* m_routeA[kInputs] = {};
    QRadioButton* m_routeB[kInputs] = {};
    CXBmpSlider* m_gate[kInputs] = {};
    CXBmpSlider* m_volume[kInputs] = {};
    QLabel* m_gateCaption[kInputs] = {};
    QLabel* m_volumeCaption[kInputs] = {};
    QLabel* m_gateValue[kInputs] = {};
    QLabel* m_volumeValue[kInputs] = {};
    CPeakMeterCtrl* m_inputMeters[kInputs] = {};
    QGroupBox* m_peakGroup = nullptr;
    CPeakMeterCtrl* m_musicMeters[2] = {};
    QLabel* m_streamFormat = nullptr;

    CGridListCtrlEx* m_effectList = nullptr;
    CXBmpSlider* m_effectSlider = nullptr;
    QLabel* m_effectName = nullptr;
    QLineEdit* m_effectEdit = nullptr;
    int m_effectRow = 0;

    QLabel* m_reverbCaption = nullptr;
    QLabel* m_echoCaption = nullptr;
    QLabel* m_reverbHint = nullptr;
    QLabel* m_echoHint = nullptr;
    CSmallEqPanel* m_reverbPreview = nullptr;
    CSmallEqPanel* m_echoPreview = nullptr;
    QLabel* m_echoTypeCaption = nullptr;
    QRadioButton* m_echoMono = nullptr;
    QRadioButton* m_echoStereo = nullptr;

    QTimer m_meterTimer;
};
