#pragma once

// What the page benchmarks share: a stand-in for the view's page area and a
// main that runs them offscreen on the default image, with nothing connected.

#include "controls/Localisation.h"
#include "state/ParamImage.h"

#include <QApplication>
#include <QWidget>

#include <benchmark/benchmark.h>

// The view's page area at the smallest window size.
inline QWidget& PageHost() {
    static QWidget host;
    if (!host.isVisible()) {
        host.resize(1040, 555);
        host.show();
    }
    return host;
}

inline int RunPageBenchmarks(int argc, char** argv) {
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
