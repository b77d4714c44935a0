#include "state/JobUi.h"

#include <atomic>

namespace {
HeadlessJobUi g_headlessUi;
HeadlessJobSettings g_headlessSettings;
std::atomic<IJobUi*> g_jobUi{nullptr};
std::atomic<IJobSettings*> g_jobSettings{nullptr};
} // namespace

void SetJobUi(IJobUi* ui) {
    g_jobUi.store(ui);
}

IJobUi& JobUi() {
    IJobUi* ui = g_jobUi.load();
    return ui ? *ui : g_headlessUi;
}

void SetJobSettings(IJobSettings* settings) {
    g_jobSettings.store(settings);
}

IJobSettings& JobSettings() {
    IJobSettings* settings = g_jobSettings.load();
    return settings ? *settings : g_headlessSettings;
}

void ShowSyncDialog(const std::string& text) {
    JobUi().ShowSyncDialog(text);
}

void ShowInfo(const std::string& text, int milliseconds) {
    JobUi().ShowInfo(text, milliseconds);
}

int AskThreeWay(const std::string& text, const std::string& firstButton,
                const std::string& secondButton, void* parent) {
    return JobUi().AskThreeWay(text, firstButton, secondButton, parent);
}

const char* PickText(const char* chinese, const char* english) {
    return JobUi().LanguageIndex() == 0 ? chinese : english;
}
