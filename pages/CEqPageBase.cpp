#include "pages/CEqPageBase.h"

#include "pages/CEqEditor.h"

namespace fx {

CEqPageBase::CEqPageBase(int pageId, QWidget* parent, fx::ParamStore& store)
    : CHalvoxPage(pageId, parent, store) {}

bool CEqPageBase::EqBypassed() const {
    return m_eq->Bypassed();
}

void CEqPageBase::ToggleEqBypass() {
    m_eq->ToggleBypass();
}

void CEqPageBase::ResetShownEq() {
    m_eq->Reset();
}

CRoomCorrection* CEqPageBase::RoomCorrection() const {
    return m_eq ? m_eq->RoomCorrection() : nullptr;
}

void CEqPageBase::resizeEvent(QResizeEvent* event) {
    CHalvoxPage::resizeEvent(event);
    Layout();
}

void CEqPageBase::FitHost(const QSize& standalone) {
    QWidget* host = parentWidget();
    resize(host ? host->size() : standalone);
}

CEqEditor* CEqPageBase::CreateEq() {
    m_eq = new CEqEditor(this, Store());
    return m_eq;
}

void CEqPageBase::RouteWheel(CWheelRouter::TargetFn isTarget, CWheelRouter::FallbackFn fallback) {
    m_wheel = new CWheelRouter(this, std::move(isTarget), std::move(fallback));
}

} // namespace fx
