#include "pages/CDialogRec.h"

#include "controls/CEqPanel.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CXBmpSlider.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "pages/CCompressorSection.h"
#include "pages/CLevelRows.h"
#include "pages/CPageNavRow.h"
#include "pages/CWheelRouter.h"
#include "pages/DialogControls.h"
#include "pages/PageRegistry.h"
#include "state/Compressor.h"

#include <QGroupBox>
#include <QLabel>
#include <QPixmap>

#include <algorithm>

using fx::MakePageCtrl;
using fx::MakePageGroup;

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

const CompressorSectionIds kRecordCompIds = {IDC_REC_COMP_SWITCH,
                                             {1015, 1016, 1017, 1018},
                                             {1225, 1226, 1227, 1228},
                                             {1001, 1002, 1003, 1004}};
const char* const kLevelCaptions[CDialogRec::kLevelCount] = {"直达声音量", "混响音量", "回声音量",
                                                             "音乐音量", "录音电平"};
// Light enough on the list's black to read at a glance (8:1).
const QColor kListColor(255, 125, 135);
const QColor kMixAccent(0, 200, 80);
const QColor kRecordAccent(230, 60, 70);
} // namespace

CDialogRec::CDialogRec(QWidget* parent, CPageNavigator navigator) : CHalvoxPage(kResource, parent) {
    fx::RegisterPageArtwork();
    // Frames first, so the controls they hold lie above them.
    CreateLevels();
    m_compGroup = MakePageGroup(this);

    m_nav = new CPageNavRow(this, std::move(navigator));
    m_picture = MakePageCtrl<QLabel>(this, IDC_REC_PICTURE);
    m_picture->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_comp = new CCompressorSection(this, kRecordCompIds);
    m_comp->SetIndex(kRecordVarIndex);
    m_eq = new CEqEditor(this);
    m_eq->SetSet(kRecordEqSet, {kRecordBlock, REC_EQ_BYPASS}, kListColor);

    m_wheel = new CWheelRouter(this, [this](const QWidget* focus) { return TakesWheel(focus); });
    resize(parent ? parent->size() : QSize(1040, 560));
    Relabel();
}

void CDialogRec::CreateLevels() {
    std::vector<LevelRowSpec> rows;
    for (int n = 0; n < kRecordMixLevelCount; ++n)
        rows.push_back({IDC_REC_LEVEL + n, IDC_REC_LEVEL_CAPTION + n, IDC_REC_LEVEL_VALUE + n,
                        kLevelCaptions[n], kMixAccent});
    rows.push_back({IDC_REC_RECORD_LEVEL, IDC_REC_RECORD_LEVEL_CAPTION, IDC_REC_RECORD_LEVEL_VALUE,
                    kLevelCaptions[kRecordMixLevelCount], kRecordAccent});
    m_levels = new CLevelRows(this, rows);
    connect(m_levels, &CLevelRows::LevelMoved, this, &CDialogRec::OnLevel);
}

CXBmpSlider* CDialogRec::LevelSlider(int n) const {
    return m_levels->Slider(n);
}

QLabel* CDialogRec::LevelValue(int n) const {
    return m_levels->Value(n);
}

QString CDialogRec::Picture(int language) {
    return language == 1 ? QStringLiteral(":/pages/rec-title-en.png")
                         : QStringLiteral(":/pages/rec-title-zh.png");
}

// ------------------------------------------------------------------ layout

void CDialogRec::resizeEvent(QResizeEvent* event) {
    CHalvoxPage::resizeEvent(event);
    Layout();
}

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
        const EqBandRecord band = DecodeEqBandRecord(&g_PanelImage[EqBandOffset(kRecordEqSet, b)]);
        list->SetCellText(b, CEqEditor::ColNumber, QString::number(b + 1));
        list->SetCellText(b, CEqEditor::ColType, peq);
        list->SetCellText(b, CEqEditor::ColGain, QStringLiteral("0.0dB"));
        list->SetCellText(b, CEqEditor::ColFreq, QString::asprintf("%dHz", int(band.frequency)));
        list->SetCellText(b, CEqEditor::ColQ, QStringLiteral("1.414"));
    }
}

void CDialogRec::RefreshRecordPage() {
    m_picture->setPixmap(QPixmap(Picture(g_Language)));
    BuildRecordBandList();
    for (int n = 0; n < kLevelCount; ++n)
        m_levels->Show(n, int(GetDspParam(kRecordBlock, RecordLevelParameter(n))));
    m_eq->Load();
    m_comp->Load();
    m_nav->SetCurrent(IDC_NAV_RECORD);
    Layout(); // the band list back at its first height
}

void CDialogRec::Relabel() {
    LoadDialogTexts(this, kResource);
    m_nav->Relabel();
    m_levels->SetTitle(Tr("录音音量", "Recording levels"));
    m_compGroup->setTitle(Tr("压限", "Compressor"));
    RefreshRecordPage();
}

// ------------------------------------------------------------------ actions

void CDialogRec::OnLevel(int n, int position) {
    SetDspParam(kRecordBlock, RecordLevelParameter(n), position);
}

bool CDialogRec::EqBypassed() const {
    return m_eq->Bypassed();
}

void CDialogRec::ToggleEqBypass() {
    m_eq->ToggleBypass();
}

void CDialogRec::ResetShownEq() {
    m_eq->Reset();
}

// ------------------------------------------------------------------ wheel

// The focused control takes the wheel when it is a slider (the five levels,
// the compressor's four, the band editor's), the graph, or any control
// numbered from 1046 on.
bool CDialogRec::TakesWheel(const QWidget* focus) const {
    int id = 0;
    for (const QWidget* w = focus; w && w != this && id == 0; w = w->parentWidget()) id = CtrlId(w);
    if (id == 0) return false;
    return id >= 1046 || id == IDC_EQ_GRAPH ||
           (id >= IDC_REC_LEVEL && id <= IDC_REC_RECORD_LEVEL) ||
           (id >= IDC_REC_COMP_THRESHOLD && id <= IDC_REC_COMP_THRESHOLD + 3);
}

FX_REGISTER_PAGE(PAGE_RECORDING,
                 [](int, QWidget* parent, const CPageNavigator& navigator) -> CHalvoxPage* {
                     return new CDialogRec(parent, navigator);
                 });
