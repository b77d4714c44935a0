#pragma once

#include <cstdint>
#include <string>

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
    CannotWrite, // write-protected, not a regular file, no space...
};

struct RemoteFileResult {
    RemoteFileStatus status = RemoteFileStatus::Ok;
    int errorCode = 0;   // the system's error code, 0 when none (or the file's kind is the reason)
    std::string message; // one line naming the path and the reason; empty when ok
    int bytes = 0;       // bytes read or written (for a file too long: more than the block)
    bool ok() const { return status == RemoteFileStatus::Ok; }
};

// Reads the file into block: up to 18 bytes, a shorter file leaving the rest
// of the block as it was. An empty file or one longer than the block is
// refused and the block left alone. Never blocks on a FIFO or a device.
RemoteFileResult LoadRemoteFile(const std::string& path, uint8_t* block);
// Writes the 18 bytes through a temporary file renamed into place, so a
// failed save never leaves a truncated remote file.
RemoteFileResult SaveRemoteFile(const std::string& path, const uint8_t* block);

} // namespace fx
