#pragma once

#include "shell/CJobUiQt.h"
#include "shell/CMainFrame.h"
#include "sim/SimProcessor.h"
#include "sim/VirtualHidBackend.h"

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

// Processes events until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
// Processes events for the given time.
void Pump(int milliseconds);

// Runs handler on the first modal widget of type T that shows up within the
// time-out (checked every 20 ms from the event loop). The watch ends when the
// returned object goes, so the handler never outlives what it captured.
// (WhenModal and WatchModal are the same.)
using ModalWatch = std::unique_ptr<QObject>;
[[nodiscard]] ModalWatch WatchModalWidget(const std::function<bool(QWidget*)>& handler,
                                          int timeoutMs);

template <typename T> std::function<bool(QWidget*)> ModalHandler(std::function<void(T*)> handler) {
    return [handler](QWidget* widget) {
        if (T* typed = qobject_cast<T*>(widget)) {
            handler(typed);
            return true;
        }
        return false;
    };
}

template <typename T>
[[nodiscard]] ModalWatch WatchModal(std::function<void(T*)> handler, int timeoutMs = 10000) {
    return WatchModalWidget(ModalHandler<T>(std::move(handler)), timeoutMs);
}

template <typename T>
[[nodiscard]] ModalWatch WhenModal(std::function<void(T*)> handler, int timeoutMs = 10000) {
    return WatchModal<T>(std::move(handler), timeoutMs);
}

// Visible top-level widgets of a type.
template <typename T> std::vector<T*> VisibleWindows();

// The editor window against the simulated processor, plugged in as a
// virtual USB device. Every test starts from default settings (in a
// temporary folder), the default image and no link.
class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window; the start-up timer then opens the link when
    // the processor is plugged in.
    void StartEditor(bool plugged = true);
    // Waits for the start-up read to have run and the pages to be refreshed.
    bool WaitForRead(int timeoutMs = 15000);
    void CloseStrayWindows();

    CHalvoxView* View() const;
    CRibbonBar* Ribbon() const;

    // Starts the editor against the processor (its memory prepared first),
    // waits for the read and shows a page; the command log starts empty.
    void StartOnPage(int pageId, const std::function<void(SimProcessor::Image&)>& prepare = {});

    // Screenshots: the window at the smallest size (1040 x 700) and a large
    // one (1600 x 1000), each in Chinese and English; shoot gets the file
    // name suffix ("-zh-1040x700") once the window has settled.
    void ForEachScreenshotLayout(const std::function<void(const QString& suffix)>& shoot);
    // Switches the interface language and clears the status bar's notice,
    // which stays in the language it was shown in.
    void SwitchLanguageForScreenshot(int language);

    // Waits until the link's outbox wrote every record the window posted so
    // far: the window never waits for the processor, so a test does before it
    // looks at what the processor received.
    static void AllSent();

    // Changes the simulator's memory (before the editor reads it).
    void PrepareMemory(const std::function<void(SimProcessor::Image&)>& prepare);
    // Waits until the processor's log holds count commands and returns them
    // after a short quiet time (nothing more may come). Like the two below,
    // it first waits for AllSent.
    std::vector<SimRecord> Commands(size_t count) const;

    // The values of the DSP writes the processor received for a parameter.
    std::vector<std::vector<uint8_t>> DspWrites(int block, int parameter) const;
    // The last value written (first 4 bytes, big-endian), 0xFFFFFFFF when none.
    uint32_t LastDspValue(int block, int parameter) const;

    std::unique_ptr<SimProcessor> m_sim;
    std::unique_ptr<VirtualHidBackend> m_usb;
    std::unique_ptr<CJobUiQt> m_ui;
    CMainFrame* m_frame = nullptr;
};

template <typename T> std::vector<T*> VisibleWindows() {
    std::vector<T*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (T* typed = qobject_cast<T*>(widget); typed && typed->isVisible())
            windows.push_back(typed);
    return windows;
}
