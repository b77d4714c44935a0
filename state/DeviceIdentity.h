#pragma once

#include "state/DeviceMirrors.h"

#include <cstdint>
#include <string>

// The processor family's models and the compatibility rule. The identity
// record itself is g_Identity (link/DeviceMirrors.h), filled by replies 126..129.

constexpr int kSupportedCommandSetVersion = 19;
constexpr int kUnlistedMusicInputDialog = 512;

// Exact, case-sensitive comparison with the whole module name.
bool IsKnownModel(const char* moduleName);
bool IsKnownModel(); // of g_Identity
// A known model with command-set version 19.
bool IsCompatible(const IdentityRecord& identity);
bool IsCompatible(); // of g_Identity

// Brings a loaded mode file's input-source byte into the current model's
// range; an unlisted model keeps every value.
uint8_t ClampInputSource(uint8_t inputSource, const char* moduleName);
uint8_t ClampInputSource(uint8_t inputSource); // for g_Identity's model

// The music-input dialog resource of the model (512 for an unlisted one).
int MusicInputDialogFor(const char* moduleName);
int MusicInputDialogFor();

// The module name of g_Identity as text (never past its 32 bytes).
std::string ModuleNameText();

// About-box lines for g_Identity: "MCU Ver:%s CMD Ver:%02d", "DSP Ver:%s",
// "Module:%s".
std::string AboutMcuText();
std::string AboutDspText();
std::string AboutModuleText();
