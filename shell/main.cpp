// fxtune: the effects processor tuning editor.

#include "shell/CHalvoxApp.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("fxtune"));
    // The desktop finds the editor's entry and icon by this name (fxtune.desktop).
    QApplication::setDesktopFileName(QStringLiteral("fxtune"));

    const CHalvoxApp::Options options = CHalvoxApp::ParseCommandLine(application.arguments());
    if (options.help) {
        std::fputs(CHalvoxApp::HelpText().toUtf8().constData(), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "fxtune: %s\n%s", options.error.toUtf8().constData(),
                     CHalvoxApp::HelpText().toUtf8().constData());
        return 2;
    }

    CHalvoxApp app;
    if (!app.InitInstance(options)) return 0;
    const int result = QApplication::exec();
    app.ExitInstance();
    return result;
}
