// Start-up of the editor window to its first paint, start-up to the
// processor's image on screen in demo mode (the read done and the page
// painted with it; goal 300 ms), and resident memory after the demo read
// (80 MB).

#include "link/HidDevice.h"
#include "link/LinkState.h"
#include "link/UsbLink.h"
#include "pages/CHalvoxPage.h"
#include "shell/CHalvoxView.h"
#include "shell/CJobUiQt.h"
#include "shell/CMainFrame.h"
#include "shell/CSynDlg.h"
#include "sim/SimProcessor.h"
#include "sim/VirtualHidBackend.h"
#include "state/JobUi.h"
#include "state/ParamStore.h"
#include "state/SyncJobs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {
class NoHidBackend : public IHidBackend {
public:
    std::vector<HidInterfaceInfo> Enumerate() override { return {}; }
    std::unique_ptr<IHidDevice> Open(const std::string&) override { return nullptr; }
};

// Sets its flag at the first paint of the page the window shows (the
// last thing the window paints).
class PaintWatcher : public QObject {
public:
    QWidget* page = nullptr;
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched == page) painted = true;
        return false;
    }
};

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void BM_StartupToFirstPaint(benchmark::State& state) {
    NoHidBackend noHid;
    SetHidBackend(&noHid);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto* frame = new CMainFrame(fx::Store());
        PaintWatcher watcher;
        watcher.page = frame->View()->CurrentPage();
        qApp->installEventFilter(&watcher);
        frame->show();
        WaitUntil([&] { return watcher.painted; }, 5000);
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        qApp->removeEventFilter(&watcher);
        delete frame;
        QCoreApplication::processEvents();
    }
    SetHidBackend(nullptr);
}
BENCHMARK(BM_StartupToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The demo processor (the simulator as a virtual USB device) is plugged in
// before the window is made; the time runs until the page has been painted
// with what the read brought.
void BM_StartToProcessorImageOnScreen(benchmark::State& state) {
    for (auto _ : state) {
        SimProcessor processor;
        VirtualHidBackend usb(processor);
        SetHidBackend(&usb);
        QElapsedTimer clock;
        clock.start();
        auto* frame = new CMainFrame(fx::Store());
        frame->show();
        const bool read = WaitUntil(
            [&] {
                return g_bConnected() && g_bJobIdle() && !CSynDlg::IsShown() &&
                       !frame->View()->IsFreshLink();
            },
            20000);
        PaintWatcher watcher;
        watcher.page = frame->View()->CurrentPage();
        qApp->installEventFilter(&watcher);
        watcher.page->update();
        WaitUntil([&] { return watcher.painted; }, 5000);
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        qApp->removeEventFilter(&watcher);
        state.counters["read_ok"] = read ? 1 : 0;
        frame->View()->CloseLink();
        JoinSyncJobs();
        delete frame;
        QCoreApplication::processEvents();
        SetHidBackend(nullptr);
    }
}
BENCHMARK(BM_StartToProcessorImageOnScreen)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_ResidentMemoryAfterDemoRead(benchmark::State& state) {
    for (auto _ : state) {
        SimProcessor processor;
        VirtualHidBackend usb(processor);
        SetHidBackend(&usb);
        QElapsedTimer clock;
        clock.start();
        auto* frame = new CMainFrame(fx::Store());
        frame->show();
        const bool read = WaitUntil(
            [&] {
                return g_bConnected() && g_bJobIdle() && !CSynDlg::IsShown() &&
                       !frame->View()->IsFreshLink();
            },
            20000);
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        state.counters["read_ok"] = read ? 1 : 0;
        state.counters["rss_MB"] = ResidentMegabytes();
        frame->View()->CloseLink();
        JoinSyncJobs();
        delete frame;
        QCoreApplication::processEvents();
        SetHidBackend(nullptr);
    }
}
BENCHMARK(BM_ResidentMemoryAfterDemoRead)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    CJobUiQt ui;
    SetJobUi(&ui);
    SetJobSettings(&ui);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetJobUi(nullptr);
    SetJobSettings(nullptr);
    return 0;
}
