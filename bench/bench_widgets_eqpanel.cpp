// CEqPanel figures: one full repaint of a 15-band set at 1280 x 600, and one
// left-drag step (the band's response recomputed and the graph repainted).

#include "controls/CEqPanel.h"

#include <QApplication>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

namespace {

void LoadVocalCurve(CEqPanel& panel) {
    panel.ShowEqSet(0);
    const float gains[15] = {0, -2, -3.5f, 1.5f, 0, 0, -1, 0, 6, 2.5f, 0, 3, 0, -4, 0};
    for (int b = 0; b < 15; ++b) panel.ApplyBandGain(b, gains[b]);
    panel.ApplyBandType(0, EQ_HP);
    panel.ApplyBandType(14, EQ_HS);
}

void SendMouse(CEqPanel& panel, QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, panel.mapToGlobal(pos),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&panel, &event);
}

void BM_EqPanelPaint15Bands(benchmark::State& state) {
    CEqPanel panel;
    panel.resize(1280, 600);
    panel.show();
    LoadVocalCurve(panel);
    SendMouse(panel, QEvent::MouseButtonPress, panel.HandleCentre(8), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, panel.HandleCentre(8), Qt::NoButton);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        panel.repaint();
    }
}
BENCHMARK(BM_EqPanelPaint15Bands)->Unit(benchmark::kMillisecond);

void BM_EqPanelDragStep(benchmark::State& state) {
    CEqPanel panel;
    panel.resize(1280, 600);
    panel.show();
    LoadVocalCurve(panel);
    QCoreApplication::processEvents();
    const QPointF start = panel.HandleCentre(8);
    SendMouse(panel, QEvent::MouseButtonPress, start, Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        // Back and forth over 40 pixels: every step changes frequency and gain.
        const int offset = (step++ % 40) - 20;
        SendMouse(panel, QEvent::MouseMove, start + QPointF(offset * 3, offset), Qt::LeftButton);
    }
    SendMouse(panel, QEvent::MouseButtonRelease, start, Qt::NoButton);
}
BENCHMARK(BM_EqPanelDragStep)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
