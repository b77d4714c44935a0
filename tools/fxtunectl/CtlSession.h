#pragma once

#include "CtlOptions.h"
#include "CtlResult.h"
#include "CtlView.h"

#include "state/ParamStore.h"
#include "state/SyncJobs.h"

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
    // Waits for the read that a mode load or reset triggers.
    // previousCount: reads ended before the command was sent.
    CtlResult WaitForModeSwitchRead(int previousCount);
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
