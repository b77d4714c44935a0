#pragma once

#include <QDialog>

#include <vector>

namespace fx {
class ParamStore;
}

class CWheelRouter;
class CXBmpSlider;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

// Control identifiers of the features dialog (dialog 515).
enum FeaturesCtrl : int {
    IDC_FEAT_EXCITER_GROUP = 1005,
    IDC_FEAT_EQ_ON = 1041,
    IDC_FEAT_LOW_FREQ = 1043,
    IDC_FEAT_LOW_GAIN = 1049,
    IDC_FEAT_MID_FREQ = 1055,
    IDC_FEAT_MID_GAIN = 1056,
    IDC_FEAT_HIGH_FREQ = 1057,
    IDC_FEAT_HIGH_GAIN = 1058,
    IDC_FEAT_EXCITER_ON = 1040,
    IDC_FEAT_HARMONIC_GAIN = 1059,
    IDC_FEAT_HARMONIC_ORDER = 1060,
    IDC_FEAT_HARMONIC_MIX = 1061,
    IDC_FEAT_EXCITER_LEVEL = 1062,
    IDC_FEAT_MIC_MAX_BASS = 1045,
    IDC_FEAT_BASS_BOOST = 1063,
    IDC_FEAT_MUSIC_GROUP = 1007,
    IDC_FEAT_LPF_FREQ = 1046,
    IDC_FEAT_LPF_DELAY = 1047,
    IDC_FEAT_LPF_GAIN = 1048,
    IDC_FEAT_SUB_GROUP = 1013,
    IDC_FEAT_SUB_NOTE = 1021,
    IDC_FEAT_SUB_ON = 1042,
    IDC_FEAT_SUB_LEVEL = 1050,
    IDC_FEAT_LEVEL_GROUP = 1018,
    IDC_FEAT_LEVEL_ON = 1044,
    IDC_FEAT_LEVEL_THRESHOLD = 1051,
    IDC_FEAT_LEVEL_RATIO = 1052,
    IDC_FEAT_LEVEL_ATTACK = 1053,
    IDC_FEAT_LEVEL_RELEASE = 1054,
};

// The features dialog: the microphone exciter (three-band EQ and harmonic
// exciter), the microphone bass boost, the music max-bass path, automatic
// subwoofer ducking and the automatic music input level. Modeless, one at a
// time; every change is sent at once.
class CloudnessDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResource = 515;
    static constexpr int kCloseId = 2;

    CloudnessDlg(fx::ParamStore& store, QWidget* parent);

    void Relabel();
    // Every control from the image and the editor variables.
    void Reload();

    CXBmpSlider* Slider(int id) const;
    // The value text beside a slider.
    QLabel* ValueText(int sliderId) const;
    QCheckBox* CheckBox(int id) const;

protected:
    void reject() override;

private:
    struct SliderControls {
        int row; // index into the slider table
        QLabel* caption;
        CXBmpSlider* slider;
        QLabel* value;
    };
    struct CheckControls {
        int row; // index into the check box table
        QCheckBox* box;
    };

    void CreateControls();
    void LayOut();
    const SliderControls* FindSlider(int id) const;
    void ShowSlider(const SliderControls& controls, double value);
    void OnSlider(const SliderControls& controls, int position);
    void OnCheck(const CheckControls& controls, bool checked);

    std::vector<SliderControls> m_sliders;
    std::vector<CheckControls> m_checks;
    QLabel* m_subNote = nullptr;
    QPushButton* m_close = nullptr;
    fx::ParamStore& m_store;
    QGroupBox* m_bassFrame = nullptr;
    CWheelRouter* m_wheel = nullptr;
};
