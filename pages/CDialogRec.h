#pragma once

#include "pages/CEqEditor.h"
#include "pages/CHalvoxPage.h"
#include "pages/COutputSidePageBase.h"
#include "pages/CPageNavigator.h"
#include "state/RecordingOutput.h"

// Control identifiers of the recording page (dialog 522) beyond the
// navigation row, the compressor section and the EQ part.
enum RecordPageCtrl : int {
    IDC_REC_COMP_CAPTION = 1001,   // 1001..1004: threshold, ratio, attack, release
    IDC_REC_COMP_THRESHOLD = 1015, // 1015..1018
    IDC_REC_LEVEL = 1041,          // 1041..1044: direct, reverb, echo, music
    IDC_REC_RECORD_LEVEL = 1045,
    IDC_REC_COMP_SWITCH = 1081,
    IDC_REC_LEVEL_CAPTION = 1123, // 1123..1126
    IDC_REC_LEVEL_VALUE = 1127,   // 1127..1130
    IDC_REC_RECORD_LEVEL_VALUE = 1131,
    IDC_REC_RECORD_LEVEL_CAPTION = 1132,
    IDC_REC_COMP_VALUE = 1225, // 1225..1228
    IDC_REC_PICTURE = 1258,
};

// The recording page: what goes to the recording output (block 13) — the
// direct, reverb, echo and music levels, the recording level, the compressor
// (index 8) and the five-band EQ of set 15. It shares the output page's
// navigation row, compressor section and EQ part; every change goes through
// the image operations. Its level rows are 0..3 direct, reverb, echo, music
// and 4 the recording level.
class CDialogRec : public fx::COutputSidePageBase {
    Q_OBJECT
public:
    static constexpr int kResource = 522;
    static constexpr int kLevelCount =
        kRecordMixLevelCount + 1; // the four mixes, then the record level
    static constexpr int kBandRows = 5;
    static constexpr CEqEditor::ColumnWidths kListColumnWidths = {30, 60, 60, 60, 50};

    explicit CDialogRec(QWidget* parent, fx::ParamStore& store, CPageNavigator navigator = {});

    void Reload() override; // RefreshRecordPage
    void Relabel() override;

    // The band list built afresh: its columns in the page's language and
    // five placeholder rows, which the EQ load then fills.
    void BuildRecordBandList();
    // Reloads every control from the editor variables and the panel area.
    void RefreshRecordPage();

    // Resource path of the page picture in a language.
    static QString Picture(int language);

private:
    void Layout() override;
    QString PicturePath() const override;
    int OwnNavButton() const override;
    int LevelPercent(int n) const override;
    void OnLevel(int n, int position) override;
    bool PageSliderTakesWheel(int id) const override;
};
