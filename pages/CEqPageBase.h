#pragma once

#include "pages/CHalvoxPage.h"
#include "pages/CWheelRouter.h"

#include <QSize>

class CEqEditor;

namespace fx {

// A page around one EQ part (graph, band list, band editor): it owns the
// editor and the page's wheel routing, answers the view's EQ commands through
// the editor and lays itself out again on every resize. Texts made in code
// come back with the page's reload unless the page relabels on its own.
class CEqPageBase : public CHalvoxPage {
    Q_OBJECT
public:
    CEqPageBase(int pageId, QWidget* parent, fx::ParamStore& store);

    void Relabel() override { Reload(); }
    bool HasEqualiser() const override { return true; }
    bool EqBypassed() const override;
    void ToggleEqBypass() override;
    void ResetShownEq() override;
    CRoomCorrection* RoomCorrection() const override;

    CEqEditor& Eq() const { return *m_eq; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    virtual void Layout() = 0;

    // The page fills its host, or takes this size on its own.
    void FitHost(const QSize& standalone);
    // Pages make the EQ part where its controls belong in the focus order.
    CEqEditor* CreateEq();
    // The wheel over the page goes to the focused control when isTarget says so.
    void RouteWheel(CWheelRouter::TargetFn isTarget, CWheelRouter::FallbackFn fallback = {});

    CEqEditor* m_eq = nullptr;

private:
    CWheelRouter* m_wheel = nullptr;
};

} // namespace fx
