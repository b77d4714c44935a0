#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Remote files (".remo"): exactly the 18 bytes of the remote-key block, byte
// 0 first, with no header, no length and no checksum.

namespace fx {

constexpr const char* kRemoteFileExtension = "remo";

// The path with its extension made "remo": the part of the file name after
// its last dot is replaced; a name without a dot gets ".remo".
std::string WithRemoteExtension(const std::string& path);

enum class RemoteFileStatus {
    Ok,
    CannotOpen,  // missing, unreadable, or not a regular file
    WrongSize,   // empty, or longer than the block
    CannotWrite, // write-protected, a folder, no space...
};

struct RemoteFileResult {
    RemoteFileStatus status = RemoteFileStatus::Ok;
    int errorCode = 0; // errno of the failing call, 0 when none
    int bytes = 0;     // bytes read or written
    bool ok() const { return status == RemoteFileStatus::Ok; }
};

// Reads the file into block: up to 18 bytes, a shorter file leaving the rest
// of the block as it was. An empty file or one longer than the block is
// refused and the block left alone.
RemoteFileResult LoadRemoteFile(const std::string& path, uint8_t* block);
// Writes the 18 bytes through a temporary file renamed into place, so a
// failed save never leaves a truncated remote file.
RemoteFileResult SaveRemoteFile(const std::string& path, const uint8_t* block);

// The file access underneath. ReadRemoteFileBytes never blocks on a
// special file and reads at most maxBytes + 1 bytes, so an oversized file
// shows as longer than maxBytes. WriteRemoteFileBytes replaces the file
// whole, following a symbolic link to its target.
struct FileBytes {
    bool ok = false;
    int errorCode = 0;
    std::vector<uint8_t> bytes;
};
FileBytes ReadRemoteFileBytes(const std::string& path, size_t maxBytes);
int WriteRemoteFileBytes(const std::string& path, const uint8_t* bytes, size_t count);

// The warning of a failed save: "Errcode=%d,Can't write to file:\n%s\nProbaby
// it is write protected." and its caption "Can't write to file".
std::string CannotWriteText(int errorCode, const std::string& path);
constexpr const char* kCannotWriteCaption = "Can't write to file";

} // namespace fx
