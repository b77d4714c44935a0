#include "pages/CDialogEfx.h"

#include "controls/CGdipButton.h"
#include "controls/Localisation.h"
#include "pages/CEqEditor.h"
#include "pages/DialogControls.h"
#include "pages/PageRegistry.h"

#include <QLabel>
#include <QPixmap>

#include <algorithm>

namespace {
struct EfxSubPage {
    int set;
    EqBypassSwitch bypass;
    const char* picture;
    QRgb listColor; // the chain's colour, as on the music page
};

constexpr QRgb kChainAColor = 0xFF00C8FF;
constexpr QRgb kChainBColor = 0xFF00DC00;

const EfxSubPage kEfxSubPages[CDialogEfx::kSubPages] = {
    {4, {3, 7}, "reverb-a", kChainAColor},
    {5, {3, 19}, "reverb-b", kChainBColor},
    {2, {2, 7}, "echo-a", kChainAColor},
    {3, {2, 21}, "echo-b", kChainBColor},
};
constexpr int kMargin = 8;
constexpr int kTitleHeight = 52;
constexpr int kLeftWidth = 280;
} // namespace

CDialogEfx::CDialogEfx(int subPage, QWidget* parent, fx::ParamStore& store,
                       CPageNavigator navigator)
    : CEqPageBase(kResource, parent, store), m_navigator(std::move(navigator)) {
    fx::RegisterPageArtwork();
    m_subPage = std::clamp(subPage, 0, kSubPages - 1);

    m_title = new QLabel(this);
    SetCtrlId(m_title, IDC_EFX_TITLE);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_back = new CGdipButton(this);
    SetCtrlId(m_back, IDC_EFX_BACK);
    m_back->SetImages(QStringLiteral(":/pages/efx-back.png"),
                      QStringLiteral(":/pages/efx-back-hover.png"),
                      QStringLiteral(":/pages/efx-back-pressed.png"), QString());
    m_back->SetTextColor(Qt::white);
    connect(m_back, &QAbstractButton::clicked, this, [this] { m_navigator.BackToMusic(); });

    CreateEq();
    m_editorHint = new QLabel(this);
    m_editorHint->setWordWrap(true);
    m_editorHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_editorHint->setStyleSheet(QStringLiteral("color: rgb(96, 112, 128);"));
    connect(m_eq, &CEqEditor::SelectionChanged, this,
            [this](int band) { m_editorHint->setVisible(band < 0); });
    RouteWheel([this](const QWidget* focus) { return m_eq->IsWheelTarget(focus); });

    FitHost(QSize(1280, 640));
    Layout();
    ApplySubPage();
}

QString CDialogEfx::TitlePicture(int subPage, int language) {
    const int index = std::clamp(subPage, 0, kSubPages - 1);
    return QStringLiteral(":/pages/efx-title-%1-%2.png")
        .arg(QString::fromLatin1(kEfxSubPages[index].picture),
             language == 1 ? QStringLiteral("en") : QStringLiteral("zh"));
}

int CDialogEfx::SubPageSet(int subPage) {
    return kEfxSubPages[std::clamp(subPage, 0, kSubPages - 1)].set;
}

void CDialogEfx::SelectSubPage(int subPage) {
    CHalvoxPage::SelectSubPage(std::clamp(subPage, 0, kSubPages - 1));
    ApplySubPage();
}

void CDialogEfx::ApplySubPage() {
    const EfxSubPage& setup = kEfxSubPages[m_subPage];
    m_eq->SetSet(setup.set, setup.bypass, QColor::fromRgba(setup.listColor));
    Reload();
}

void CDialogEfx::Reload() {
    LoadDialogTexts(this, kResource);
    m_back->setText(Tr("返回", "Back"));
    m_editorHint->setText(Tr("在曲线上点选一个频点，即可在这里编辑它。",
                             "Pick a band on the graph to edit it here."));
    LoadTitle();
    m_eq->Relabel();
    m_eq->Load();
}

void CDialogEfx::LoadTitle() {
    m_title->setPixmap(QPixmap(TitlePicture(m_subPage, g_Language)));
    m_title->setToolTip(QString());
}

void CDialogEfx::Layout() {
    const int w = width();
    const int h = height();
    // The back button keeps to the top right corner; the graph grows with the
    // page. Both keep the left side's margin from the right edge.
    const QSize back(96, 36);
    m_back->setGeometry(w - kMargin - back.width(), 2, back.width(), back.height());
    m_title->setGeometry(kMargin, 6, std::max(0, w - back.width() - 3 * kMargin), kTitleHeight);
    const int top = kMargin + kTitleHeight + 6;
    // The band list with the band editor under it, so the column is used.
    const QRect list(kMargin, top, kLeftWidth, 7 * CEqEditor::kListRowHeight + 30);
    const QRect editor(kMargin, list.bottom() + 1 + 12, kLeftWidth, CEqEditor::kEditorHeight);
    m_eq->PlaceListArea(list);
    m_eq->PlaceEditorArea(editor);
    m_editorHint->setGeometry(editor.adjusted(4, 4, -4, 0));
    const int graphX = kMargin + kLeftWidth + 10;
    m_eq->PlaceGraph(
        QRect(graphX, top, std::max(0, w - graphX - kMargin), std::max(0, h - top - kMargin)));
}

FX_REGISTER_PAGE(PAGE_EFFECTS,
                 [](int subPage, QWidget* parent, const CPageNavigator& navigator,
                    fx::ParamStore& store) -> CHalvoxPage* {
                     return new CDialogEfx(subPage, parent, store, navigator);
                 });
