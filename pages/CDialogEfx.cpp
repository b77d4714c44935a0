#include "pages/CDialogEfx.h"

#include "controls/CGdipButton.h"
#include "pages/CEqEditor.h"
#include "pages/CWheelRouter.h"
#include "pages/DialogControls.h"
#include "shell/Localisation.h"

#include <QLabel>
#include <QPixmap>

#include <algorithm>

namespace {
struct EfxSubPage {
    int set;
    EqBypassSwitch bypass;
    const char* picture;
};

const EfxSubPage kEfxSubPages[CDialogEfx::kSubPages] = {
    {4, {3, 7}, "reverb-a"},
    {5, {3, 19}, "reverb-b"},
    {2, {2, 7}, "echo-a"},
    {3, {2, 21}, "echo-b"},
};

const QColor kListColor(0, 200, 255);
constexpr int kMargin = 8;
constexpr int kTitleHeight = 52;
constexpr int kLeftWidth = 280;
} // namespace

CDialogEfx::CDialogEfx(int subPage, QWidget* parent, CPageNavigator navigator)
    : CHalvoxPage(kResource, parent), m_navigator(std::move(navigator)) {
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

    m_eq = new CEqEditor(this);
    m_wheel =
        new CWheelRouter(this, [this](const QWidget* focus) { return m_eq->IsWheelTarget(focus); });

    resize(parent ? parent->size() : QSize(1280, 640));
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
    m_eq->SetSet(setup.set, setup.bypass, kListColor);
    Reload();
}

void CDialogEfx::Reload() {
    LoadDialogTexts(this, kResource);
    m_back->setText(Tr("返回", "Back"));
    LoadTitle();
    m_eq->Relabel();
    m_eq->Load();
}

void CDialogEfx::Relabel() {
    Reload();
}

void CDialogEfx::LoadTitle() {
    m_title->setPixmap(QPixmap(TitlePicture(m_subPage, g_Language)));
    m_title->setToolTip(QString());
}

void CDialogEfx::resizeEvent(QResizeEvent* event) {
    CHalvoxPage::resizeEvent(event);
    Layout();
}

void CDialogEfx::Layout() {
    const int w = width();
    const int h = height();
    // The back button keeps to the top right corner; the graph grows with the page.
    const QSize back(96, 36);
    m_back->setGeometry(w - 2 - back.width(), 2, back.width(), back.height());
    m_title->setGeometry(kMargin, 6, std::max(0, w - back.width() - 3 * kMargin), kTitleHeight);
    const int top = kMargin + kTitleHeight + 6;
    m_eq->PlaceListArea(QRect(kMargin, top, kLeftWidth, 7 * 18 + 30));
    const int graphX = kMargin + kLeftWidth + 10;
    m_eq->PlaceGraph(QRect(graphX, top, std::max(0, w - graphX - 2), std::max(0, h - top - 2)));
}

bool CDialogEfx::EqBypassed() const {
    return m_eq->Bypassed();
}

void CDialogEfx::ToggleEqBypass() {
    m_eq->ToggleBypass();
}

void CDialogEfx::ResetShownEq() {
    m_eq->Reset();
}
