#pragma once

#include "link/CommandFrames.h"
#include "link/LinkState.h"
#include "link/ViewNotifier.h"
#include "state/DeviceMirrors.h"
#include "state/DspParamTable.h"
#include "state/ImageValueCheck.h"
#include "state/JobUi.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include "RecordingSink.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

// Stand-ins for the view, the dialogs and the transport, recording what the
// device-state code does with them.

class RecordingView : public IViewNotifier {
public:
    RecordingView() { SetViewNotifier(this); }
    ~RecordingView() override { SetViewNotifier(nullptr); }

    void PostViewMessage(int message, intptr_t wParam, intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (message == WM_JOB_ENDED) {
            m_jobEnds.push_back(static_cast<int>(wParam));
            m_outcomes.push_back(static_cast<SyncOutcome>(lParam));
        }
        m_changed.notify_all();
    }
    void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) override {
        PostViewMessage(message, wParam, lParam);
    }
    void ShowErrorBox(const std::string&, const std::string&) override {}

    std::vector<int> JobEnds() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_jobEnds;
    }
    // How each ended job ended (the 1002 message's lParam).
    std::vector<SyncOutcome> Outcomes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_outcomes;
    }
    // Waits until count 1002 messages have come in all.
    bool WaitForJobEnds(size_t count, int timeoutMs = 20000) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_jobEnds.size() >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_jobEnds;
    std::vector<SyncOutcome> m_outcomes;
};

class RecordingJobUi : public IJobUi {
public:
    struct Question {
        std::string text, caption;
    };
    struct Info {
        std::string text;
        int milliseconds;
    };

    explicit RecordingJobUi(int language = 1, bool answerYes = true)
        : language(language), answerYes(answerYes) {
        SetJobUi(this);
    }
    ~RecordingJobUi() override { SetJobUi(nullptr); }

    int LanguageIndex() override { return language; }
    void ShowSyncDialog(const std::string& text) override { syncDialogs.push_back(text); }
    void ShowInfo(const std::string& text, int milliseconds) override {
        infos.push_back({text, milliseconds});
    }
    int AskThreeWay(const std::string&, const std::string&, const std::string&, void*) override {
        return 0;
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        questions.push_back({text, caption});
        return answerYes;
    }
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageIcon icon) override {
        messages.push_back({text, caption});
        lastIcon = icon;
    }

    int language;
    bool answerYes;
    std::vector<std::string> syncDialogs;
    std::vector<Info> infos;
    std::vector<Question> questions;
    std::vector<Question> messages;
    MessageIcon lastIcon = MessageIcon::Information;
};

class RecordingSettings : public IJobSettings {
public:
    RecordingSettings() { SetJobSettings(this); }
    ~RecordingSettings() override { SetJobSettings(nullptr); }
    void ResetChannelLinkFlags() override { ++resets; }
    void SaveChannelLinkFlags() override {}
    int resets = 0;
};

// Records every record the senders hand to the link (no processor behind it).
class RecordingTransport : public RecordingSink {
public:
    // Every record as the sender built it.
    std::vector<std::vector<uint8_t>> Records() const { return AllBytes(); }
};

// Puts a module name (cut to its field) and a command-set version into the identity.
inline void SetTestIdentity(const char* name, int version) {
    std::memset(g_Identity().moduleName, 0, sizeof g_Identity().moduleName);
    std::memcpy(g_Identity().moduleName, name, strnlen(name, sizeof g_Identity().moduleName));
    g_Identity().commandSetVersion = version;
}

// Puts the heads (block, parameter, count) of the DSP records where every
// image keeps them, so a patterned image is still a loadable mode file.
inline void PutDefaultRecordHeads(uint8_t* image) {
    for (const DspRecordDefault& record : DspRecordDefaults()) {
        uint8_t* head = image + record.valueOffset - 3;
        head[0] = static_cast<uint8_t>(record.block);
        head[1] = static_cast<uint8_t>(record.parameter);
        head[2] = static_cast<uint8_t>(record.count);
    }
}

// A patterned image that is still a loadable mode file: the pattern's byte
// wherever the image stays one the pages could give (fx::FirstImpossibleValue),
// the default byte elsewhere, the record heads in their places.
template <typename Image> Image PossibleImage(const Image& pattern) {
    const auto defaults = DefaultImageBytes();
    Image image;
    std::copy(defaults.begin(), defaults.end(), image.begin());
    for (int i = 0; i < kImageSize; ++i) {
        image[i] = pattern[i];
        PutDefaultRecordHeads(image.data());
        if (!fx::FirstImpossibleValue(image.data()).empty()) image[i] = defaults[i];
    }
    return image;
}

// The state every test starts from: defaults, no link, idle.
inline void ResetDeviceState() {
    JoinSyncJobs();
    ResetIdentityToDefaults();
    BuildDefaultImage();
    g_bConnected() = false;
    g_bNetMode() = false;
    g_bJobIdle() = true;
    g_bQueuedSend() = true;
    g_bParamsChanged() = false;
    g_CurrentMode() = 0;
}
