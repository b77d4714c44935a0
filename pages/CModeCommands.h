#pragma once

namespace fx {
class ParamStore;
}

class QObject;

namespace fx {
class SendWorker;
}

// The window's machine mode commands (load, store, factory reset of M1..M4,
// the processor reset): the questions and notices in the user's language
// around the link work of state/MachineModes. That work pauses between its
// steps, so it runs on the view's send thread, in the order it was asked for;
// the questions and notices stay on the window's thread.
class CModeCommands {
public:
    // The command ids: load and store of the ribbon, the factory reset of
    // each mode, the processor reset (the ribbon's ids are these).
    static constexpr int kLoadFirst = 32910;  // ..+3: M1..M4
    static constexpr int kStoreFirst = 32914; // ..+3
    static constexpr int kResetFirst = 32823; // ..32826
    static constexpr int kResetProcessor = 32811;
    static constexpr int kAfterStoreMs = 500;
    static constexpr int kSavingNoticeMs = 2500;
    static constexpr int kRestartNoticeMs = 10000;

    // context: the window object the delayed notices belong to (they are
    // dropped when it goes).
    CModeCommands(fx::SendWorker& sender, fx::ParamStore& store, QObject* context);

    // Runs a command of the table above; false when the id is none of them.
    bool Handle(int commandId);
    // Asks first when parameters changed, then switches the processor to the
    // mode and shows the synchronisation dialog; the read the processor's
    // reply starts closes it.
    void Load(int mode);
    // Asks, stores the current parameters into the mode and shows the saving
    // notice a moment later. True when the store was asked for.
    bool Store(int mode);
    // Factory reset of the mode (no question) with the synchronisation dialog.
    void ResetMode(int mode);
    // Asks, resets the processor and asks the user to restart it by hand.
    // True when the reset was sent.
    bool ResetProcessor();
    // After a mode file was written: its store into the mode (no question).
    void StoreWrittenFile(int mode);

private:
    fx::SendWorker& m_sender;
    fx::ParamStore& m_store;
    QObject* m_context;
};
