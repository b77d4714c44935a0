#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"
#include "CtlView.h"

#include "link/ReplyWatch.h"
#include "state/ParamStore.h"
#include "state/SyncJobs.h"

#include <functional>
#include <string>

// One connection to the processor for one command: opens the link, runs the
// whole-image jobs and waits for their end, checks the processor, and lets
// go of it when done.
class CtlSession {
public:
    // The session reads the processor into store and changes it there.
    CtlSession(const CtlOptions& options, fx::ParamStore& store);
    ~CtlSession();

    CtlResult Connect();
    // The full read (identity, mode, image, settings, remote keys) and the
    // compatibility check. With requireCompatible false an unsupported
    // processor is not an error (info reports it).
    CtlResult ReadAll(bool requireCompatible = true);
    // Writes the whole image to the processor.
    CtlResult WriteAll();
    // A mode load or factory reset (what names it): switchMode sends it and
    // waits up to the given link time for the processor's answer; then the
    // read the switch starts is waited for. A refusal ends it at once, and
    // the processor is let go whatever happened.
    CtlResult SwitchMode(const std::string& what,
                         const std::function<fx::Confirmation(int timeoutMs)>& switchMode);
    CtlResult CheckCompatible() const;
    CtlView& View() { return m_view; }
    fx::ParamStore& Store() const { return m_store; }
    void Disconnect();

private:
    CtlResult WaitForJob(bool write, int previousCount, const char* what);
    // How the last read went, as this command's result.
    CtlResult ReadOutcome(bool requireCompatible, const char* what);
    CtlResult JobFailure(const SyncResult& result, const char* what);
    CtlResult LinkFailure(const char* what);

    CtlOptions m_options;
    fx::ParamStore& m_store;
    CtlView m_view;
    bool m_connected = false;
    bool m_progress = false;
    bool m_letGo = true; // cleared when the processor let a job run out of time
};
