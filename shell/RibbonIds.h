#pragma once

#include "pages/CModeCommands.h"

// Command identifiers of the ribbon, the status bar and the frame.
enum RibbonCommand : int {
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,

    ID_NOISEGATE_LABEL_IN = 32842,
    ID_NOISEGATE_LABEL_OUT = 32878,
    ID_NOISEGATE_IN = 32846,
    ID_NOISEGATE_OUT = 32879,
    ID_PITCH_IN = 32841,
    ID_PITCH_OUT = 32880,

    ID_MODE_LOAD_IN = 32815,
    ID_MODE_STORE_IN = 32819,
    ID_FILE_LOAD_IN = 32827,
    ID_FILE_SAVE_IN = 32828,
    ID_MODE_LOAD_OUT = 32900,
    ID_MODE_STORE_OUT = 32904,
    ID_FILE_LOAD_OUT = 32881,
    ID_FILE_SAVE_OUT = 32882,
    ID_MODE_LOAD_FIRST = CModeCommands::kLoadFirst,   // ..32913: load M1..M4
    ID_MODE_STORE_FIRST = CModeCommands::kStoreFirst, // ..32917: store into M1..M4

    ID_NET_CONNECT = 32938,
    ID_FEATURES = 32887,
    ID_INPUT_SOURCE = 32922,
    ID_MACHINE_RESET = CModeCommands::kResetProcessor,
    ID_REMOTE_LEARN = 32812,
    ID_LANGUAGE = 32805,

    ID_STATUS_LINK = 120,
    ID_STATUS_MODE = 121,
    ID_STATUS_CHANGED = 122,
    ID_EQ_BYPASS = 1121,
    ID_EQ_RESET = 1122,

    // "Compare with file…" of the application menu.
    ID_FILE_COMPARE = 40010,
    // "Machine settings…" of the application menu (F7 anywhere).
    ID_MACHINE_SETTINGS = 40011,
    // The Edit menu.
    ID_EDIT_UNDO = 40020,
    ID_EDIT_REDO = 40021,
    // Room correction in the Edit menu: it acts on the EQ the page shows.
    ID_ROOM_LOAD = 40030,
    ID_ROOM_FIT = 40031,
    ID_ROOM_EXPORT = 40032,

    // Demo menu (only with --demo).
    ID_DEMO_UNPLUG = 40001,
    ID_DEMO_REPLUG = 40002,
};

// The five level rows of the ribbon: DSP level and on-switch, and the
// label, slider and mute box of both categories (0 input, 1 output).
enum class LevelLimit { None, Microphone, Music };

struct MasterLevelRow {
    int block;
    int parameter;
    int onBlock;
    int onParameter;
    int label[2];
    int slider[2];
    int mute[2];
    const char* prefixChinese;
    const char* prefixEnglish;
    LevelLimit limit;
    bool muteNotice;
};

constexpr int kLevelRowCount = 5;
enum LevelRowIndex { ROW_MIC = 0, ROW_EFFECT, ROW_REVERB, ROW_ECHO, ROW_MUSIC };

inline constexpr MasterLevelRow kLevelRows[kLevelRowCount] = {
    {1,
     14,
     1,
     15,
     {32832, 32857},
     {32829, 32858},
     {32847, 32859},
     "话筒音量:",
     "Mic Vol:",
     LevelLimit::Microphone,
     true},
    {1,
     16,
     1,
     17,
     {32833, 32860},
     {32830, 32861},
     {32939, 32940},
     "效果总音量:",
     "Effect Vol:",
     LevelLimit::None,
     false},
    {3,
     24,
     3,
     25,
     {32920, 32921},
     {32918, 32919},
     {32848, 32862},
     "混响音量:",
     "Reverb Vol:",
     LevelLimit::None,
     true},
    {2,
     28,
     2,
     29,
     {32837, 32863},
     {32806, 32864},
     {32849, 32865},
     "回声音量:",
     "Echo Vol:",
     LevelLimit::None,
     true},
    {4,
     12,
     4,
     13,
     {32834, 32866},
     {32831, 32867},
     {32850, 32868},
     "音乐音量:",
     "Music Vol:",
     LevelLimit::Music,
     true},
};

constexpr int kNoiseGateBlock = 4, kNoiseGateParameter = 22;
constexpr int kPitchBlock = 4, kPitchParameter = 21;
constexpr int kPitchMin = -5, kPitchMax = 5;

// Panel order in each category.
enum RibbonPanelIndex {
    PANEL_MIC = 0,
    PANEL_EFFECT,
    PANEL_REVERB,
    PANEL_ECHO,
    PANEL_MUSIC,
    PANEL_PITCH,
    PANEL_LOAD,
    PANEL_SAVE,
    kPanelCount
};
