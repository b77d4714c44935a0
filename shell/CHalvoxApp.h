#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "shell/CSingleInstance.h"

#include <memory>

class CDemoMode;
class CJobUiQt;
class CMainFrame;

// The application object: the only editor of the user, the settings, the
// frame with its view and document, the F7 key, and the exit.
class CHalvoxApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool demo = false;
        bool demoNetwork = false;
        QString connectAddress; // --connect ADDRESS[:PORT]
        int connectPort = 0;
        QString documentPath; // a mode file to open
        QString instanceName; // empty: the per-user default
        bool showWindow = true;
        bool help = false;
        QString error;
    };

    static Options ParseCommandLine(const QStringList& arguments);
    static QString HelpText();

    CHalvoxApp();
    ~CHalvoxApp() override;

    // The start-up sequence; false ends the program at once (a start that
    // finds an editor running says so on standard error: SecondStartNotice).
    bool InitInstance(const Options& options);
    static const char* SecondStartNotice(CSingleInstance::Result result);
    // Shuts down what InitInstance started (the frame must be closed).
    void ExitInstance();

    CMainFrame* Frame() const { return m_frame; }
    CDemoMode* Demo() const { return m_demo.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectFromCommandLine(const Options& options);

    std::unique_ptr<CSingleInstance> m_instance;
    std::unique_ptr<CJobUiQt> m_jobUi;
    std::unique_ptr<CDemoMode> m_demo;
    CMainFrame* m_frame = nullptr;
    bool m_inF7 = false;
};
