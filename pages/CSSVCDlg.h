#pragma once

#include "controls/CSSVolumePanel.h"
#include "pages/CHalvoxPage.h"
#include "pages/CPageNavigator.h"
#include "state/OutputChannels.h"
#include "state/SurroundVolume.h"

#include <array>

class CPageNavRow;
class CSpinButton;
class CXBmpSlider;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Control identifiers of the surround page (dialog 334).
enum SurroundPageCtrl : int {
    IDC_SSV_UNIT = 1005,
    IDC_SSV_ROOM_HEADING = 1007,
    IDC_SSV_SOURCES_HEADING = 1002,
    IDC_SSV_WIDTH_CAPTION = 1003,
    IDC_SSV_LENGTH_CAPTION = 1004,
    IDC_SSV_LISTENER_CAPTION = 1006,
    IDC_SSV_WIDTH = 1038,
    IDC_SSV_LENGTH = 1039,
    IDC_SSV_VOLUME = 1041,       // 1041..1048: surround volume of channel 0..7
    IDC_SSV_LISTENER_Y = 1049,   // the listener's x is 1230
    IDC_SSV_SPEAKER_X = 1050,    // 1050 + 2 (k - 1), y one higher
    IDC_SSV_ROW_LABEL = 1123,    // 1123..1130: "(source)"
    IDC_SSV_VOLUME_VALUE = 1131, // 1131..1138
    IDC_SSV_RESET = 1216,
    IDC_SSV_LISTENER_X = 1230,
    IDC_SSV_PLAN = 1237,
    IDC_SSV_CENTRE = 1238,
    IDC_SSV_MODIFY = 1239,
    IDC_SSV_WIDTH_SPIN = 1242,
    IDC_SSV_LENGTH_SPIN = 1243,
    IDC_SSV_LISTENER_SPIN = 1244, // x; y 1245; speaker k: 1244 + 2k, 1245 + 2k
};

// The surround page: on the left the eight output channels' surround
// volumes with their sources and locate boxes and the room size; in the
// middle the listener's and the speakers' coordinates; on the right the room
// plan. Moving the listener or a speaker (drag, edit and Enter, spin) sends
// the layout and the distance levels of the speakers it concerns.
class CSSVCDlg : public CHalvoxPage {
    Q_OBJECT
public:
    static constexpr int kResource = 334;
    static constexpr int kItemCount = CSSVolumePanel::kItemCount; // listener, speakers 1..8

    CSSVCDlg(QWidget* parent, fx::ParamStore& store, CPageNavigator navigator = {});

    void Reload() override;
    void Relabel() override;

    // The locate selection lives as long as the program: 0 none, 1..8 row.
    static int LocateSelection();
    static int LocateBoxId(int channel);
    static int SpeakerCaptionId(int speaker);
    // Edit and spin identifiers of an item's coordinate (axis 0 x, 1 y).
    static int CoordinateEditId(int item, int axis);
    static int CoordinateSpinId(int item, int axis);

    CSSVolumePanel* Plan() const { return m_plan; }
    CPageNavRow& NavRow() const { return *m_nav; }
    CXBmpSlider* VolumeSlider(int channel) const { return m_volumes[channel]; }
    QCheckBox* LocateBox(int channel) const { return m_locate[channel]; }
    QLineEdit* CoordinateEdit(int item, int axis) const { return m_coordinates[item].edit[axis]; }
    CSpinButton* CoordinateSpin(int item, int axis) const { return m_coordinates[item].spin[axis]; }
    QLineEdit* RoomEdit(int axis) const { return m_roomEdit[axis]; }
    CSpinButton* RoomSpin(int axis) const { return m_roomSpin[axis]; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Coordinate {
        QLabel* caption = nullptr;
        std::array<QLineEdit*, 2> edit{};
        std::array<CSpinButton*, 2> spin{};
    };

    void CreateVolumes();
    void CreateRoom();
    void CreateCoordinates();
    void Layout();
    void LayoutVolumes(const QRect& area);
    void LayoutRoom(const QRect& area);
    void LayoutCoordinates(const QRect& area);
    void PlacePlan();

    // The room and every place from the editor values: edits, spins, spin ranges, plan.
    void Refresh();
    void RefreshVolumes();
    void RefreshRowLabels();
    void RefreshSpeakerCaptions();
    void ShowLocateSelection();
    void ShowRoom();
    void ShowItem(int item);

    void OnVolume(int channel, int position);
    void OnLocate(int channel, bool checked);
    void OnRoomSpin(int axis, int position);
    void ApplyRoom();
    void OnCoordinateSpin(int item, int axis, int position);
    void OnCoordinateEnter(int item);
    void OnDrag(int item);
    void MoveItem(int item, double x, double y);

    CPageNavRow* m_nav = nullptr;
    CSSVolumePanel* m_plan = nullptr;
    QRect m_planArea;

    QGroupBox* m_volumeGroup = nullptr;
    std::array<QLabel*, kOutputChannelCount> m_channelNames{};
    std::array<QLabel*, kOutputChannelCount> m_rowLabels{};
    std::array<CXBmpSlider*, kOutputChannelCount> m_volumes{};
    std::array<QLabel*, kOutputChannelCount> m_volumeValues{};
    std::array<QCheckBox*, kOutputChannelCount> m_locate{};

    QGroupBox* m_roomGroup = nullptr; // its title is the heading 1007
    QLabel* m_unit = nullptr;
    std::array<QLabel*, 2> m_roomCaption{};
    std::array<QLineEdit*, 2> m_roomEdit{};
    std::array<CSpinButton*, 2> m_roomSpin{};
    QPushButton* m_modify = nullptr;
    QPushButton* m_reset = nullptr;

    QGroupBox* m_positionGroup = nullptr; // its title is the heading 1002
    std::array<QLabel*, 2> m_axisCaption{};
    std::array<Coordinate, kItemCount> m_coordinates;
    QPushButton* m_centre = nullptr;
};
