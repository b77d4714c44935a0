#include "state/JobUi.h"

#include "state/Processor.h"

#include <atomic>

namespace {
HeadlessJobUi g_headlessUi;
HeadlessJobSettings g_headlessSettings;
} // namespace

// Each processor's own front end: the editor's window for its processor, a
// command-line run's view for the processor it works with.
void SetJobUi(IJobUi* ui) {
    fx::CurrentProcessor().JobUiSlot().store(ui);
}

IJobUi& JobUi() {
    IJobUi* ui = fx::CurrentProcessor().JobUiSlot().load();
    return ui ? *ui : g_headlessUi;
}

void SetJobSettings(IJobSettings* settings) {
    fx::CurrentProcessor().JobSettingsSlot().store(settings);
}

IJobSettings& JobSettings() {
    IJobSettings* settings = fx::CurrentProcessor().JobSettingsSlot().load();
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
