#include "pages/CDialogRec.h"

#include "controls/CEqPanel.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CXBmpSlider.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "pages/CCompressorSection.h"
#include "pages/CLevelRows.h"
#include "pages/CPageNavRow.h"
#include "pages/DialogControls.h"
#include "pages/PageRegistry.h"
#include "state/Compressor.h"
#include "state/ParamStore.h"

#include <algorithm>

using namespace fx::page;

namespace {
constexpr int kCompRow = 24;
// The left column and the compressor frame at the smallest window; both
// share what a wider window adds.
constexpr int kLevelsWidth = 336;
constexpr int kCompWidth = 300;
constexpr int kWideGroupWidth = 520;
constexpr int kListWidth = 266;
constexpr int kListHeight =
    CDialogRec::kBandRows * CEqEditor::kListRowHeight + 22; // and the header
constexpr int kEditorHeight = 180;
// Title, switch and four stacked settings of two rows each.
constexpr int kCompHeight = kGroupTitle + kCompRow + 4 * (2 * kCompRow - 6) + 8;
constexpr int kLevelsHeight = kGroupTitle + CDialogRec::kLevelCount * 25 + 6;
constexpr int kStripHeight =
    std::max({kCompHeight, kEditorHeight, kPictureHeight + 6 + kLevelsHeight});

// The band list in the colours of the other EQ pages' lists (the output page's).
const QColor kListColor(0, 200, 255);
const QColor kRecordAccent(230, 60, 70);
} // namespace

CDialogRec::CDialogRec(QWidget* parent, fx::ParamStore& store, CPageNavigator navigator)
    : COutputSidePageBase(kResource, parent, store) {
    // Frames first, so the controls they hold lie above them.
    std::vector<LevelRowSpec> levels = MixLevelRows();
    levels.push_back({IDC_REC_RECORD_LEVEL, IDC_REC_RECORD_LEVEL_CAPTION,
                      IDC_REC_RECORD_LEVEL_VALUE, "录音电平", kRecordAccent});
    CreateLevels(levels);
    CreateHeader(std::move(navigator));
    CreateCompressor();
    m_comp->SetIndex(kRecordVarIndex);
    CreateEq();
    m_eq->SetSet(kRecordEqSet, {kRecordBlock, REC_EQ_BYPASS}, kListColor);

    RouteWheel([this](const QWidget* focus) { return TakesWheel(focus); });
    FitHost(QSize(1040, 560));
    Relabel();
}

QString CDialogRec::Picture(int language) {
    return language == 1 ? QStringLiteral(":/pages/rec-title-en.png")
                         : QStringLiteral(":/pages/rec-title-zh.png");
}

QString CDialogRec::PicturePath() const {
    return Picture(g_Language);
}

int CDialogRec::OwnNavButton() const {
    return IDC_NAV_RECORD;
}

int CDialogRec::LevelPercent(int n) const {
    return int(GetDspParam(kRecordBlock, RecordLevelParameter(n)));
}

// ------------------------------------------------------------------ layout

// Top strip: picture and levels, the band list (or editor), the compressor;
// the graph takes the rest of the page below.
void CDialogRec::Layout() {
    const int w = width();
    const int h = height();
    m_nav->Place(QRect(kMargin, kMargin, w - 2 * kMargin, kNavHeight));

    // A wider window widens the levels and the compressor up to a point; the
    // compressor keeps to the right edge and the band list sits between.
    const int extra =
        std::max(0, w - 2 * kMargin - kLevelsWidth - kListWidth - kCompWidth - 2 * kGap);
    const int levelsWidth = std::min(kLevelsWidth + extra / 2, kWideGroupWidth);
    const int compWidth = std::min(kCompWidth + extra - extra / 2, kWideGroupWidth);
    const int compX =
        std::max(kMargin + levelsWidth + kListWidth + 2 * kGap, w - kMargin - compWidth);
    const int listX = (kMargin + levelsWidth + compX - kListWidth) / 2;

    m_picture->setGeometry(kMargin, kTop, levelsWidth, kPictureHeight);
    m_levels->Place(
        QRect(kMargin, kTop + kPictureHeight + 6, levelsWidth, kStripHeight - kPictureHeight - 6));

    m_eq->PlaceListArea(QRect(listX, kTop, kListWidth, kEditorHeight), kListHeight);

    const QRect comp(compX, kTop - 6, compWidth, kStripHeight + 6);
    m_compGroup->setGeometry(comp);
    m_comp->Place(comp.adjusted(8, kGroupTitle, -8, -6), kCompRow, true);

    const int graphTop = kTop + kStripHeight + 8;
    m_eq->PlaceGraph(
        QRect(kMargin, graphTop, std::max(0, w - 2 * kMargin), std::max(0, h - graphTop - 4)));
}

// ------------------------------------------------------------------ refresh

void CDialogRec::Reload() {
    RefreshRecordPage();
}

void CDialogRec::BuildRecordBandList() {
    m_eq->BuildList(kListColumnWidths);
    CGridListCtrlEx* list = m_eq->BandList();
    list->SetRowCount(kBandRows);
    const QString peq = CEqEditor::TypeTexts().at(EQ_PEQ);
    for (int b = 0; b < kBandRows; ++b) {
        const EqBandRecord band =
            DecodeEqBandRecord(&Store().Panel()[EqBandOffset(kRecordEqSet, b)]);
        list->SetCellText(b, CEqEditor::ColNumber, QString::number(b + 1));
        list->SetCellText(b, CEqEditor::ColType, peq);
        list->SetCellText(b, CEqEditor::ColGain, QStringLiteral("0.0dB"));
        list->SetCellText(b, CEqEditor::ColFreq, QString::asprintf("%dHz", int(band.frequency)));
        list->SetCellText(b, CEqEditor::ColQ, QStringLiteral("1.414"));
    }
}

void CDialogRec::RefreshRecordPage() {
    RefreshHeader();
    BuildRecordBandList();
    m_eq->Load();
    Layout(); // the band list back at its first height
}

void CDialogRec::Relabel() {
    RelabelHeader(Tr("录音音量", "Recording levels"));
    RefreshRecordPage();
}

// ------------------------------------------------------------------ actions

void CDialogRec::OnLevel(int n, int position) {
    SetDspParam(kRecordBlock, RecordLevelParameter(n), position);
}

// ------------------------------------------------------------------ wheel

// Besides the shared ones, the compressor's four sliders.
bool CDialogRec::PageSliderTakesWheel(int id) const {
    return id >= IDC_REC_COMP_THRESHOLD && id <= IDC_REC_COMP_THRESHOLD + 3;
}

FX_REGISTER_PAGE(PAGE_RECORDING,
                 [](int, QWidget* parent, const CPageNavigator& navigator, fx::ParamStore& store)
                     -> CHalvoxPage* { return new CDialogRec(parent, store, navigator); });
