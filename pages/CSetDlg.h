#pragma once

#include <QDialog>
#include <cstdint>

#include <array>

namespace fx {
class ParamStore;
}

class CGdipButton;
class CWheelRouter;
class CXBmpSlider;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace fx {
class SendWorker;
enum class VolumeInput;
} // namespace fx

// Control identifiers of the machine settings dialog (dialog 335).
enum SetDlgCtrl : int {
    IDC_SET_START_GROUP = 1197,
    IDC_SET_MIC_START = 1014,
    IDC_SET_MIC_START_LABEL = 1005,
    IDC_SET_MIC_START_VALUE = 1145,
    IDC_SET_MIC_ENABLE = 1039,
    IDC_SET_MUSIC_START = 1015,
    IDC_SET_MUSIC_START_LABEL = 1002,
    IDC_SET_MUSIC_START_VALUE = 1146,
    IDC_SET_MUSIC_ENABLE = 1040,
    IDC_SET_MIC_MAX = 1016,
    IDC_SET_MIC_MAX_LABEL = 1006,
    IDC_SET_MIC_MAX_VALUE = 1147,
    IDC_SET_MUSIC_MAX = 1019,
    IDC_SET_MUSIC_MAX_LABEL = 1131,
    IDC_SET_MUSIC_MAX_VALUE = 1150,
    IDC_SET_SAVE_GROUP = 1201,
    IDC_SET_BY_POWER = 1190,
    IDC_SET_BY_MODE = 1191,
    IDC_SET_SAVE_LABEL = 1239,
    IDC_SET_POWER_ON_GROUP = 1202,
    IDC_SET_POWER_ON_MODE = 1134,
    IDC_SET_POWER_ON_LABEL = 1238,
    IDC_SET_HDMI_GROUP = 1186,
    IDC_SET_HDMI_MUTE = 1049,
    IDC_SET_ROUTE_GROUP = 1187,
    IDC_SET_ROUTE_SL = 1192,
    IDC_SET_ROUTE_SBL = 1195,
    IDC_SET_ROUTE_BOTH = 1199,
    IDC_SET_DEFAULT_MODE_GROUP = 1183,
    IDC_SET_RESET_MODE_FIRST = 32823, // ..32826, M1..M4
    IDC_SET_APPLY = 1073,
    IDC_SET_CANCEL = 2,
    IDC_SET_PANEL_LOCK = 1046,
    IDC_SET_VOLUME_LOCK = 1047,
    IDC_SET_MODE_LOCK = 1048,
};

// The machine settings dialog: modeless, at most one. It edits the edit copy
// of the machine settings record (the power-on volumes move the live master
// volumes as well), applies it with command 145, and resets the machine
// modes to their factory contents.
class CSetDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResource = 335;

    CSetDlg(fx::SendWorker& sender, fx::ParamStore& store, QWidget* parent);

    void Relabel();
    // Both copies from the device copy and every control from them (opening,
    // and after a read brought a new record).
    void Reload();

    CXBmpSlider* StartSlider(fx::VolumeInput input) const;
    CXBmpSlider* MaxSlider(fx::VolumeInput input) const;

signals:
    // A power-on volume was sent as the live master volume.
    void masterVolumeSent();
    // The answer to an Apply came (or did not); after the notice was shown.
    void applyFinished(bool confirmed);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    struct VolumeRow {
        QLabel* startLabel;
        CXBmpSlider* start;
        QLabel* startValue;
        QCheckBox* enable;
        QLabel* maxLabel;
        CXBmpSlider* max;
        QLabel* maxValue;
    };

    void CreateControls();
    void CreateVolumeRows();
    void CreateModeControls();
    void CreateButtons();
    void LayOut();
    void ShowRecord();
    void ShowVolumeRow(fx::VolumeInput input);
    void ShowLocks();
    void ShowModeButtons();
    VolumeRow& Row(fx::VolumeInput input);
    const VolumeRow& Row(fx::VolumeInput input) const;

    void OnStartMoved(fx::VolumeInput input, int position);
    void OnMaxMoved(fx::VolumeInput input, int position);
    void OnEnableToggled(fx::VolumeInput input, bool checked);
    void SendMasterVolume(fx::VolumeInput input);
    void OnResetMode(int mode);
    void OnApply();

    // The settings record the dialog edits.
    uint8_t* Edit() const;

    fx::SendWorker& m_sender;
    fx::ParamStore& m_store;
    std::array<VolumeRow, 2> m_rows{};
    QGroupBox* m_startGroup = nullptr;
    QGroupBox* m_saveGroup = nullptr;
    QGroupBox* m_powerOnGroup = nullptr;
    QGroupBox* m_hdmiGroup = nullptr;
    QGroupBox* m_routeGroup = nullptr;
    QGroupBox* m_modeGroup = nullptr;
    QLabel* m_saveLabel = nullptr;
    QLabel* m_powerOnLabel = nullptr;
    QRadioButton* m_byPower = nullptr;
    QRadioButton* m_byMode = nullptr;
    QButtonGroup* m_saveButtons = nullptr;
    QComboBox* m_powerOnMode = nullptr;
    QCheckBox* m_hdmiMute = nullptr;
    std::array<QRadioButton*, 3> m_routes{};
    QButtonGroup* m_routeButtons = nullptr;
    std::array<CGdipButton*, 4> m_modeButtons{};
    QCheckBox* m_panelLock = nullptr;
    QCheckBox* m_volumeLock = nullptr;
    QCheckBox* m_modeLock = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_cancel = nullptr;
    CWheelRouter* m_wheel = nullptr;
};
