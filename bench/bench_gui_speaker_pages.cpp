// One step of a drag on the speaker pages, from the mouse move to the
// repainted control (goal: 4 ms each): on the room plan the listener moves,
// so the layout and all eight distance levels are computed and written; on
// the delay chart a handle moves and its time is written. Nothing is
// connected: the cost is the page's and the image's, not the wire's.

#include "PageBenchSupport.h"
#include "controls/CDelayPanel.h"
#include "controls/CSSVolumePanel.h"
#include "link/LinkState.h"
#include "pages/CDelayDlg.h"
#include "pages/CSSVCDlg.h"
#include "state/ParamStore.h"

#include <QApplication>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

namespace {

void Mouse(QWidget* widget, QEvent::Type type, const QPointF& pos) {
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Two places a step apart (more than a tenth of a metre or a millisecond),
// so every step changes what is written.
template <typename Step>
void Drag(benchmark::State& state, QWidget* control, QPoint grab, int stride, Step repaint) {
    Mouse(control, QEvent::MouseButtonPress, grab);
    int step = 0;
    for (auto _ : state) {
        const QPointF to(grab.x() + ((++step % 2) ? stride : 0), grab.y());
        Mouse(control, QEvent::MouseMove, to);
        benchmark::DoNotOptimize(repaint().constBits());
    }
    Mouse(control, QEvent::MouseButtonRelease, grab);
}

void BM_RoomPlanDragStep(benchmark::State& state) {
    CSSVCDlg page(&PageHost(), fx::Store());
    page.show();
    QCoreApplication::processEvents();
    CSSVolumePanel* plan = page.Plan();
    Drag(state, plan, plan->ItemPixel(CSSVolumePanel::kListener), 24,
         [plan]() -> const QImage& { return plan->RenderFrame(); });
}
BENCHMARK(BM_RoomPlanDragStep)->Unit(benchmark::kMillisecond);

void BM_DelayChartDragStep(benchmark::State& state) {
    CDelayDlg page(&PageHost(), fx::Store());
    page.show();
    QCoreApplication::processEvents();
    CDelayPanel* chart = page.Chart();
    Drag(state, chart, chart->GrabPoint(0), 40,
         [chart]() -> const QImage& { return chart->RenderFrame(); });
}
BENCHMARK(BM_DelayChartDragStep)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunPageBenchmarks(argc, argv);
}
