#pragma once

#include "modefile/SafeFile.h"

#include <cstdint>
#include <string>
#include <vector>

// Mode files (".mode"): the identity record (60 bytes, version little-endian)
// followed by the 3350-byte parameter image.

constexpr int kModeFileVersion = 19;
constexpr int kModeFileHeaderSize = 60;
constexpr int kModeFileSize = 3410;
constexpr const char* kModeFileFilter = "Mode Files (*.mode)|*.mode||";

// Copies the panel working copy into the image and writes the file with
// fx::WriteFileAtomically (a failed save leaves an existing file as it was; a
// write-protected or non-regular target is refused). On failure shows
// "Can't write to file" and returns false.
bool SaveModeFile(const std::string& path);

// Loads a mode file (see fx::ReadModeFile) into the image, brings its input
// source into the current model's range and refreshes the editor values. A
// refused file leaves the image untouched.
bool LoadModeFile(const std::string& path);

namespace fx {

enum class ModeFileProblem {
    None,
    CannotRead,   // missing or unreadable
    NotAModeFile, // not a regular file, the wrong size, or DSP records out of place
    WrongVersion, // a command-set version other than 19
    OutOfRange,   // a value no page could have given (fx::FirstImpossibleValue)
};

struct ModeFileCheck {
    bool ok = false;
    ModeFileProblem problem = ModeFileProblem::None;
    std::string message;        // one line naming the path and the reason; empty when ok
    std::vector<uint8_t> bytes; // the whole file when ok
};

// Reads and checks a mode file without touching the image: a regular file of
// exactly 3410 bytes, version 19, whose DSP record heads (block, parameter,
// count) stand where the image keeps them and whose values lie within what
// the pages allow (the first one outside is named). Never blocks on a FIFO or
// device.
ModeFileCheck ReadModeFile(const std::string& path);
// The same checks of a file's bytes received otherwise (name: what the
// messages call it).
ModeFileCheck CheckModeFileBytes(std::vector<uint8_t> bytes, const std::string& name);
// Puts a checked file into the image as LoadModeFile does.
void ApplyModeFile(const ModeFileCheck& file);
// LoadModeFile that says why a file was refused.
ModeFileCheck LoadModeFileChecked(const std::string& path);
// The text of the box that reports a refused file: "Mode file version not
// support!" for another version, else the reason under a heading.
std::string ModeFileRefusalText(const ModeFileCheck& file);

// SaveModeFile without the box.
FileWriteResult WriteModeFile(const std::string& path);
// The bytes SaveModeFile writes, without touching the image.
std::vector<uint8_t> ModeFileBytes();

} // namespace fx

// The machine mode a file's name asks to be stored into after it was
// written: "m1".."m4" (lower-case m) at the start of the name without its
// folder and extension give 0..3, anything else -1.
int PendingStoreModeFromFileName(const std::string& path);

// The user-interface flows around the two (the file dialogs are the shell's).
// Without an open link shows "Please connect device!" and returns false.
bool RequireLinkForModeFile();
// Stores into the current machine mode, then saves the file.
bool SaveParametersToModeFile(const std::string& path);
// Sets the pending store mode from the name, loads the file and starts the
// whole-image write with the synchronisation dialog; on refusal shows
// fx::ModeFileRefusalText.
bool WriteModeFileToProcessor(const std::string& path);
