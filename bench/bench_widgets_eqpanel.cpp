// CEqPanel figures: one full repaint of a 15-band set at 1280 x 600, and one
// left-drag step (the band's response recomputed and the graph repainted);
// both again with a room measurement, its target and "measurement + EQ" drawn.

#include "controls/CEqPanel.h"
#include "state/AutoEqFit.h"

#include <QApplication>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

void LoadVocalCurve(CEqPanel& panel) {
    panel.ShowEqSet(0);
    const float gains[15] = {0, -2, -3.5f, 1.5f, 0, 0, -1, 0, 6, 2.5f, 0, 3, 0, -4, 0};
    for (int b = 0; b < 15; ++b) panel.ApplyBandGain(b, gains[b]);
    panel.ApplyBandType(0, EQ_HP);
    panel.ApplyBandType(14, EQ_HS);
}

// A measured room like the shared ones: 1/48 octave from 10 Hz to 24 kHz,
// a few modes over 75 dB, and the target of a 20..500 Hz fit.
void LoadRoom(CEqPanel& panel) {
    const std::vector<EqBandRecord> modes = {
        {7.0, 45, 6.0, EQ_PEQ}, {-8.0, 68, 4.0, EQ_PEQ}, {6.0, 115, 5.0, EQ_PEQ}};
    fx::Measurement room;
    for (double f = 10.0; f < 24000.0; f *= std::pow(2.0, 1.0 / 48.0)) {
        room.frequencies.push_back(f);
        room.levels.push_back(75.0 + fx::BandsResponseDb(modes, f) + 0.3 * std::sin(f));
    }
    panel.Overlay().SetMeasurement(room);
    fx::AutoEqRequest request;
    request.measurement = room;
    std::vector<double> grid;
    for (double f = 20.0; f <= 500.0; f *= std::pow(2.0, 1.0 / 48.0)) grid.push_back(f);
    panel.Overlay().SetTarget(grid, fx::TargetLevels(request, grid));
}

void SendMouse(CEqPanel& panel, QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, panel.mapToGlobal(pos),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&panel, &event);
}

// A shown 1280 x 600 graph of the vocal curve, with the room when asked.
void Prepare(CEqPanel& panel, bool withRoom) {
    panel.resize(1280, 600);
    panel.show();
    LoadVocalCurve(panel);
    if (withRoom) LoadRoom(panel);
    QCoreApplication::processEvents();
}

void Repaint(benchmark::State& state, CEqPanel& panel) {
    for (auto _ : state) panel.repaint();
}

// Back and forth over 40 pixels with the band's handle: every step changes
// frequency and gain.
void DragSteps(benchmark::State& state, CEqPanel& panel, int band) {
    const QPointF start = panel.HandleCentre(band);
    SendMouse(panel, QEvent::MouseButtonPress, start, Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        const int offset = (step++ % 40) - 20;
        SendMouse(panel, QEvent::MouseMove, start + QPointF(offset * 3, offset), Qt::LeftButton);
    }
    SendMouse(panel, QEvent::MouseButtonRelease, start, Qt::NoButton);
}

void BM_EqPanelPaint15Bands(benchmark::State& state) {
    CEqPanel panel;
    Prepare(panel, false);
    // With a band selected, as while editing.
    SendMouse(panel, QEvent::MouseButtonPress, panel.HandleCentre(8), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, panel.HandleCentre(8), Qt::NoButton);
    QCoreApplication::processEvents();
    Repaint(state, panel);
}
BENCHMARK(BM_EqPanelPaint15Bands)->Unit(benchmark::kMillisecond);

void BM_EqPanelDragStep(benchmark::State& state) {
    CEqPanel panel;
    Prepare(panel, false);
    DragSteps(state, panel, 8);
}
BENCHMARK(BM_EqPanelDragStep)->Unit(benchmark::kMillisecond);

void BM_EqPanelPaintWithMeasurement(benchmark::State& state) {
    CEqPanel panel;
    Prepare(panel, true);
    Repaint(state, panel);
}
BENCHMARK(BM_EqPanelPaintWithMeasurement)->Unit(benchmark::kMillisecond);

void BM_EqPanelDragStepWithMeasurement(benchmark::State& state) {
    CEqPanel panel;
    Prepare(panel, true);
    DragSteps(state, panel, 3);
}
BENCHMARK(BM_EqPanelDragStepWithMeasurement)->Unit(benchmark::kMillisecond);

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
