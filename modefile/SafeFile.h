#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reading and saving the editor's files without trusting the path: a read
// never blocks on a FIFO or a device and never takes more than it asked for;
// a save never leaves a partial file and never replaces something that is not
// a regular file or that the user may not write. Both return a result and
// show nothing; the caller decides what the user sees.
namespace fx {

struct FileReadResult {
    bool ok = false;
    int errorCode = 0;   // the system's error code, 0 when the file's kind or size is the reason
    std::string message; // one line naming the path and the reason; empty when ok
    std::string reason;  // the reason alone, e.g. "a FIFO, not a regular file"
    long long size = -1; // the file's size when it is a regular file, -1 otherwise
    std::vector<uint8_t> bytes;
};

// Reads a whole regular file of at most maxBytes bytes. Refuses a missing or
// unreadable path, a folder, a FIFO, a device or a socket, and a larger file.
// Opening is non-blocking, so a FIFO without a writer is refused at once.
FileReadResult ReadRegularFile(const std::string& path, size_t maxBytes);

// The caption and the text of the box that reports a failed save.
constexpr const char* kCantWriteCaption = "Can't write to file";
std::string CantWriteText(int errorCode, const std::string& path);

struct FileWriteResult {
    bool ok = false;
    int errorCode = 0;   // the system's error code of the failure
    std::string message; // CantWriteText(errorCode, path); empty when ok
    std::string reason; // one line on why, e.g. "Permission denied" or "a FIFO, not a regular file"
    std::string path;   // the path as given
    // The cause in words, to follow the path in one sentence: "it is a
    // folder, not a regular file", "it is write-protected", "the folder /x/no
    // does not exist", "the folder /x/ro is write-protected".
    std::string cause;
};

// Saves bytes at path so that the file afterwards holds either its old or
// its new contents, never a part: a symbolic link is followed to its target,
// the bytes go to a temporary file in the target's own folder, are flushed to
// disk and renamed over the target, which keeps its permissions. A target
// that exists but is not a regular file, that the user may not write, or that
// is write-protected (no write permission for anyone: refused for the
// superuser too, whom the system would let replace it), is refused and left
// as it was.
FileWriteResult WriteFileAtomically(const std::string& path, const uint8_t* bytes, size_t size);
// The checks of WriteFileAtomically without writing anything, so a caller
// can refuse a target before it starts work (or sends anything) for the save.
FileWriteResult CheckWriteTarget(const std::string& path);
inline FileWriteResult WriteFileAtomically(const std::string& path,
                                           const std::vector<uint8_t>& bytes) {
    return WriteFileAtomically(path, bytes.data(), bytes.size());
}

} // namespace fx
