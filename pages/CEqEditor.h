#pragma once

#include "state/ParamImage.h"

#include <QColor>
#include <QObject>
#include <QRect>
#include <QStringList>

#include <array>
#include <functional>
#include <vector>

class CEqPanel;
class CGridListCtrlEx;
class CRoomCorrection;
class CXBmpSlider;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;
struct EqBand;

namespace fx {
class ParamStore;
}

// Control identifiers of the EQ part every EQ page shares.
enum EqEditorCtrl : int {
    IDC_EQ_GRAPH = 1040,
    IDC_EQ_BAND_LIST = 1139,
    IDC_EQ_CAPTION_TYPE = 1199,
    IDC_EQ_CAPTION_FREQ = 1200,
    IDC_EQ_CAPTION_GAIN = 1201,
    IDC_EQ_CAPTION_Q = 1202,
    IDC_EQ_BAND_NUMBER = 1203,
    IDC_EQ_RADIO_PEQ = 1204, // 1204..1208: PEQ, LP, HP, LS, HS
    IDC_EQ_RADIO_HS = 1208,
    IDC_EQ_SLIDER_GAIN = 1209,
    IDC_EQ_SLIDER_FREQ = 1210,
    IDC_EQ_SLIDER_Q = 1211,
    IDC_EQ_EDIT_GAIN = 1212,
    IDC_EQ_EDIT_FREQ = 1213,
    IDC_EQ_EDIT_Q = 1214,
};

// The DSP parameter that bypasses the EQ set a page shows (LowByte, 1 = bypassed).
struct EqBypassSwitch {
    int block = 0;
    int parameter = 0;
};

// The EQ part of a page: the graph, the band list shown while no band is
// selected and the band editor shown while one is. Its controls are direct
// children of the page, so the page's language file relabels them. Every
// change from the graph, the list or the editor is written at once with
// SetEqBand (a compound band with its three sections) to the shown set and
// every set a channel link ties to it; the panel area is the truth the part
// reloads from.
class CEqEditor : public QObject {
    Q_OBJECT
public:
    // List columns: number, type, gain, frequency, Q.
    enum Column { ColNumber = 0, ColType, ColGain, ColFreq, ColQ };

    using ColumnWidths = std::array<int, 5>;
    static constexpr ColumnWidths kDefaultColumnWidths = {30, 55, 60, 60, 50};
    static constexpr int kListRowHeight = 18;
    // Height the band editor needs (number, type radios, three slider rows).
    static constexpr int kEditorHeight = 178;

    CEqEditor(QWidget* page, fx::ParamStore& store);

    // The set shown, its bypass switch and the band list's text colour; Load
    // makes it visible.
    void SetSet(int set, EqBypassSwitch bypass, const QColor& listColor);
    int Set() const { return m_set; }
    EqBypassSwitch BypassSwitch() const { return m_bypass; }
    // The sets a band change, a paste, a reset, an import and a fit are
    // written to: the shown one and those the channel links tie to it
    // (state/ChannelLinks.h).
    std::vector<int> TargetSets() const;

    // Clears the selection, shows the band list and loads the set from the
    // panel area into the graph and the list.
    void Load();
    // Clears the band list (rows and columns) and builds its five columns
    // again, headed and with the type names in the current language.
    void BuildList(const ColumnWidths& widths);
    // Headers, type names and the graph's language in the current language.
    void Relabel();
    void SetEnabled(bool enabled);

    // The graph fills graphArea; the band list and the band editor share
    // listArea (the list only its top listHeight pixels when that is given).
    void PlaceGraph(const QRect& graphArea);
    void PlaceListArea(const QRect& listArea, int listHeight = -1);
    // Gives the band editor an area of its own: the band list then stays
    // shown while a band is selected.
    void PlaceEditorArea(const QRect& editorArea);

    // The view's EQ commands.
    bool Bypassed() const;
    void ToggleBypass();
    // Copies the bypass switch into the graph's flag (repaints when it changed).
    void SyncBypassFlag();
    void Reset();

    // New types for a compound band and its sections (a crossover
    // alignment): shown, then written like any band change.
    void ApplyCompoundTypes(int index, const std::array<int, 4>& types);

    int SelectedBand() const { return m_selected; }
    bool EditorShown() const;
    // The graph and the editor sliders take the wheel while they have the focus.
    bool IsWheelTarget(const QWidget* widget) const;

    // Replaces the file dialogs of the filter import and export (tests):
    // called with true for the export; an empty result is a cancelled dialog.
    void SetFileChooser(std::function<QString(bool save)> chooser);

    CEqPanel* Graph() const { return m_graph; }
    // Measurement, fit and export of "measurement + EQ" for the shown set.
    CRoomCorrection* RoomCorrection() const { return m_room; }
    CGridListCtrlEx* BandList() const { return m_list; }

    // Type names of the list (OFF, PEQ, LP, HP, LS, HS) in the current language.
    static QStringList TypeTexts();
    // The type a band shows: a compound band's by its sections (LP or HP for
    // an alignment, PEQ, LS or HS for their plain forms).
    static int DisplayType(const EqBand& band);

signals:
    // The selected band changed (-1: none).
    void SelectionChanged(int band);
    // A band (and its sections) was written to the target sets.
    void BandWritten(int band);

private:
    void CreateEditor(QWidget* page);
    void OnBandChanged(int index);
    void OnBandSelected(int index);
    void OnSelectionCleared();
    void OnListRowSelected(int row);
    void FollowGraphSelection(int index);
    // The band list's selected row shows the selected band.
    void ShowSelectedRow();
    void OnCopyPaste(int operation, int set);
    // The filter text of measurement programs into and out of the set.
    void ImportFilters();
    void ExportFilters();
    QString ChooseFilterFile(bool save);
    void ShowFilterError(const QString& text);
    void OnCellEdited(int row, int column, const QString& text);
    void OnTypeRadio(int type);
    void OnEditorSlider(int controlId, int position);
    void ApplyEditor();

    // An edit of a band: into the store and onto the wire, then shown as written.
    void WriteBand(int index);
    std::vector<EqBandWrite> BandWrites(const EqBand& band) const;
    std::vector<EqBandRecord> StoreBand(const std::vector<EqBandWrite>& writes);
    void ShowWritten(int index, const std::vector<EqBandRecord>& written);
    void FillRow(int index);
    void FillEditor();
    void ShowEditor(bool shown);
    void PlaceEditor(const QRect& area);

    fx::ParamStore& m_store;
    QWidget* m_page;
    CEqPanel* m_graph = nullptr;
    CRoomCorrection* m_room = nullptr;
    CGridListCtrlEx* m_list = nullptr;
    QLabel* m_number = nullptr;
    QLabel* m_captions[4] = {}; // 1199..1202
    QRadioButton* m_typeRadios[5] = {};
    QButtonGroup* m_typeGroup = nullptr;
    CXBmpSlider* m_gainSlider = nullptr;
    CXBmpSlider* m_freqSlider = nullptr;
    CXBmpSlider* m_qSlider = nullptr;
    QLineEdit* m_gainEdit = nullptr;
    QLineEdit* m_freqEdit = nullptr;
    QLineEdit* m_qEdit = nullptr;

    int m_set = 0;
    EqBypassSwitch m_bypass;
    QColor m_listColor{0, 200, 255};
    int m_selected = -1;
    bool m_editorShown = false;
    bool m_editorAreaOwn = false;
    std::function<QString(bool)> m_chooser;
};
