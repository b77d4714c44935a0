#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Mode files (".mode"): the identity record (60 bytes, version little-endian)
// followed by the 3350-byte parameter image.

constexpr int kModeFileVersion = 19;
constexpr int kModeFileHeaderSize = 60;
constexpr int kModeFileSize = 3410;
constexpr const char* kModeFileFilter = "Mode Files (*.mode)|*.mode||";

// Copies the panel working copy into the image and writes the file. The
// bytes go to a temporary file in the same folder that replaces the target
// only once complete, so a failed save leaves an existing file as it was.
// On failure shows "Can't write to file" and returns false.
bool SaveModeFile(const std::string& path);

// Loads a file of version 19 into the image, brings its input source into
// the current model's range and refreshes the editor values. A file that
// cannot be read, has another version or is shorter than 3410 bytes is
// refused and the image is left untouched.
bool LoadModeFile(const std::string& path);

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
// "Mode file version not support!".
bool WriteModeFileToProcessor(const std::string& path);

namespace fx {

// The parameter image a mode file holds, read without touching the editor's
// image (to compare it with another): refused, with one line naming the
// path and the reason, when the file is not a readable regular file of 3410
// bytes with version 19.
struct ModeFileImage {
    bool ok = false;
    std::string message;
    std::vector<uint8_t> image; // kImageSize bytes when ok
};
ModeFileImage ReadModeFileImage(const std::string& path);

} // namespace fx
