#pragma once

#include <string>

// What the device-state code (jobs, machine modes, mode files) needs of the
// user interface. The editor's shell implements it with its windows; without
// one installed a headless implementation is used that shows nothing and
// answers every question with its safe default (No / cancel).
// Texts are UTF-8 and already chosen by the language index.

enum class MessageIcon { Information, Question, Warning, Error };

class IJobUi {
public:
    virtual ~IJobUi() = default;
    // Language of texts made in code: 0 Chinese, 1 English.
    virtual int LanguageIndex() = 0;
    // The modal synchronisation dialog (empty text = its default text). The
    // caller has started the job already; the view closes the dialog on
    // message 1002. Only brought to view when it is already shown.
    virtual void ShowSyncDialog(const std::string& text) = 0;
    // The self-closing information window, shown for the given time.
    virtual void ShowInfo(const std::string& text, int milliseconds) = 0;
    // The three-choice box: 1 first button, 2 second button, 0 cancel or closed.
    // parent is the shell's window (opaque here), may be null.
    virtual int AskThreeWay(const std::string& text, const std::string& firstButton,
                            const std::string& secondButton, void* parent) = 0;
    // A Yes/No question box with the question icon; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // A plain message box with one OK button.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption,
                                MessageIcon icon) = 0;
};

// The per-user settings the device state changes.
class IJobSettings {
public:
    virtual ~IJobSettings() = default;
    // Resets the channel link flags "QtOption" to 01 01 01 00 00 00 00 00, in
    // memory and in the settings store.
    virtual void ResetChannelLinkFlags() = 0;
    // Stores the channel link flags as they are in memory (the user linked or
    // unlinked a pair of output channels).
    virtual void SaveChannelLinkFlags() = 0;
};

// The headless implementations: nothing shown, language English, questions
// answered No, three-way answered 0, settings left alone.
class HeadlessJobUi : public IJobUi {
public:
    int LanguageIndex() override { return 1; }
    void ShowSyncDialog(const std::string&) override {}
    void ShowInfo(const std::string&, int) override {}
    int AskThreeWay(const std::string&, const std::string&, const std::string&, void*) override {
        return 0;
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void ShowMessageBox(const std::string&, const std::string&, MessageIcon) override {}
};

class HeadlessJobSettings : public IJobSettings {
public:
    void ResetChannelLinkFlags() override {}
    void SaveChannelLinkFlags() override {}
};

// Install the shell's implementations (nullptr restores the headless ones).
// Install before any job runs; the installed object must outlive its use.
void SetJobUi(IJobUi* ui);
IJobUi& JobUi();
void SetJobSettings(IJobSettings* settings);
IJobSettings& JobSettings();

// Shorthands for the installed implementation.
void ShowSyncDialog(const std::string& text);
void ShowInfo(const std::string& text, int milliseconds);
int AskThreeWay(const std::string& text, const std::string& firstButton,
                const std::string& secondButton, void* parent = nullptr);
// Picks the Chinese or the English text by the installed UI's language.
const char* PickText(const char* chinese, const char* english);
