// The output page: opening it, and switching it to another channel, each up
// to the moment it is ready to paint (built or reloaded, laid out, polished;
// goal: 16 ms each). The page reads the default image; nothing is connected.

#include "PageBenchSupport.h"
#include "link/LinkState.h"
#include "pages/CDialogOutput.h"
#include "state/ParamStore.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace {

void BM_OpenOutputPage(benchmark::State& state) {
    QWidget& host = PageHost();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto* page = new CDialogOutput(0, &host, fx::Store());
        page->show();
        QCoreApplication::sendPostedEvents();
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        delete page;
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_OpenOutputPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_SwitchOutputChannel(benchmark::State& state) {
    CDialogOutput page(0, &PageHost(), fx::Store());
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
    return RunPageBenchmarks(argc, argv);
}
