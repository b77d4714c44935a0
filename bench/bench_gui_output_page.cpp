// The output page: opening it, and switching it to another channel, each up
// to the moment it is ready to paint (built or reloaded, laid out, polished;
// goal: 16 ms each). The page reads the default image; nothing is connected.

#include "link/LinkState.h"
#include "pages/CDialogOutput.h"
#include "shell/Localisation.h"
#include "state/ParamImage.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace {

// A stand-in for the view's page area at the smallest window size.
QWidget& Host() {
    static QWidget host;
    if (!host.isVisible()) {
        host.resize(1040, 555);
        host.show();
    }
    return host;
}

void BM_OpenOutputPage(benchmark::State& state) {
    QWidget& host = Host();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto* page = new CDialogOutput(0, &host);
        page->show();
        QCoreApplication::sendPostedEvents();
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        delete page;
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_OpenOutputPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_SwitchOutputChannel(benchmark::State& state) {
    CDialogOutput page(0, &Host());
    page.show();
    QCoreApplication::processEvents();
    int channel = 0;
    for (auto _ : state) {
        // CH 6 (with its crossover band and shorter list) comes round every eighth switch.
        channel = (channel + 1) % 8;
        page.SetChannel(channel);
        QCoreApplication::sendPostedEvents();
    }
}
BENCHMARK(BM_SwitchOutputChannel)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LoadCurrentLanguageFile();
    BuildDefaultImage();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
