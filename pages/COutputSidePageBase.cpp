#include "pages/COutputSidePageBase.h"

#include "controls/CXBmpSlider.h"
#include "pages/CCompressorSection.h"
#include "pages/CEqEditor.h"
#include "pages/CPageNavRow.h"
#include "pages/DialogControls.h"

#include <QGroupBox>
#include <QLabel>
#include <QPixmap>

namespace fx {

namespace {
constexpr int kLevelCaptionId = 1123;
constexpr int kLevelValueId = 1127;
constexpr int kWheelIdsFrom = 1046;

const CompressorSectionIds kCompIds = {
    1081, {1015, 1016, 1017, 1018}, {1225, 1226, 1227, 1228}, {1001, 1002, 1003, 1004}};
const char* const kMixCaptions[] = {"直达声音量", "混响音量", "回声音量", "音乐音量"};
const QColor kMixAccent(0, 200, 80);
} // namespace

COutputSidePageBase::COutputSidePageBase(int pageId, QWidget* parent, fx::ParamStore& store)
    : CEqPageBase(pageId, parent, store) {
    RegisterPageArtwork();
}

std::vector<LevelRowSpec> COutputSidePageBase::MixLevelRows() {
    std::vector<LevelRowSpec> rows;
    for (int n = 0; n < int(std::size(kMixCaptions)); ++n)
        rows.push_back({kFirstLevelId + n, kLevelCaptionId + n, kLevelValueId + n, kMixCaptions[n],
                        kMixAccent});
    return rows;
}

void COutputSidePageBase::CreateLevels(const std::vector<LevelRowSpec>& rows) {
    m_levels = new CLevelRows(this, rows);
    connect(m_levels, &CLevelRows::LevelMoved, this,
            [this](int n, int position) { OnLevel(n, position); });
}

void COutputSidePageBase::CreateHeader(CPageNavigator navigator) {
    m_compGroup = MakePageGroup(this);
    m_nav = new CPageNavRow(this, std::move(navigator));
    m_picture = MakePageCtrl<QLabel>(this, kPictureId);
    m_picture->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void COutputSidePageBase::CreateCompressor() {
    m_comp = new CCompressorSection(this, kCompIds);
}

CXBmpSlider* COutputSidePageBase::LevelSlider(int n) const {
    return m_levels->Slider(n);
}

QLabel* COutputSidePageBase::LevelValue(int n) const {
    return m_levels->Value(n);
}

void COutputSidePageBase::RelabelHeader(const QString& levelsTitle) {
    LoadDialogTexts(this, PageId());
    m_nav->Relabel();
    m_levels->SetTitle(levelsTitle);
    m_compGroup->setTitle(Tr("压限", "Compressor"));
}

void COutputSidePageBase::RefreshHeader() {
    m_picture->setPixmap(QPixmap(PicturePath()));
    for (int n = 0; n < m_levels->Count(); ++n) m_levels->Show(n, LevelPercent(n));
    m_comp->Load();
    m_nav->SetCurrent(OwnNavButton());
}

bool COutputSidePageBase::TakesWheel(const QWidget* focus) const {
    int id = 0;
    for (const QWidget* w = focus; w && w != this && id == 0; w = w->parentWidget()) id = CtrlId(w);
    if (id == 0) return false;
    return id >= kWheelIdsFrom || id == IDC_EQ_GRAPH ||
           (id >= kFirstLevelId && id < kFirstLevelId + m_levels->Count()) ||
           PageSliderTakesWheel(id);
}

} // namespace fx
