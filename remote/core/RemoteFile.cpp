#include "remote/core/RemoteFile.h"

#include "link/DeviceMirrors.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fx {
namespace {

constexpr mode_t kNewFileMode = 0666;

// Closes a descriptor when it goes.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

bool WriteAll(int fd, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

// Where the bytes really go: a symbolic link is followed to its target, so
// the link stays a link.
std::string ResolvedTarget(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

// The mode the new file gets: the old file's, or the usual one for a new file.
mode_t ModeFor(const struct stat* existing) {
    if (existing) return existing->st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return kNewFileMode & ~mask;
}

} // namespace

std::string WithRemoteExtension(const std::string& path) {
    const size_t nameStart =
        path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return path + "." + kRemoteFileExtension;
    return path.substr(0, dot + 1) + kRemoteFileExtension;
}

FileBytes ReadRemoteFileBytes(const std::string& path, size_t maxBytes) {
    FileBytes result;
    Fd file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
        result.errorCode = errno;
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.errorCode = EINVAL;
        return result;
    }
    result.bytes.resize(maxBytes + 1);
    size_t filled = 0;
    while (filled < result.bytes.size()) {
        const ssize_t got =
            ::read(file.fd, result.bytes.data() + filled, result.bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            result.errorCode = errno;
            result.bytes.clear();
            return result;
        }
        if (got == 0) break;
        filled += static_cast<size_t>(got);
    }
    result.bytes.resize(filled);
    result.ok = true;
    return result;
}

int WriteRemoteFileBytes(const std::string& path, const uint8_t* bytes, size_t count) {
    const std::string target = ResolvedTarget(path);
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    // A write-protected file stays as it is, even where the folder would let
    // a rename replace it.
    if (exists && ::access(target.c_str(), W_OK) != 0) return errno;

    std::string temporary = target + ".XXXXXX";
    Fd file{::mkstemp(temporary.data())};
    if (file.fd < 0) return errno;
    int error = 0;
    if (::fchmod(file.fd, ModeFor(exists ? &info : nullptr)) != 0 ||
        !WriteAll(file.fd, bytes, count) || ::fsync(file.fd) != 0)
        error = errno ? errno : EIO;
    if (::close(file.fd) != 0 && !error) error = errno;
    file.fd = -1;
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error) ::unlink(temporary.c_str());
    return error;
}

RemoteFileResult LoadRemoteFile(const std::string& path, uint8_t* block) {
    RemoteFileResult result;
    const FileBytes file = ReadRemoteFileBytes(path, kRemoteKeyBlockSize);
    if (!file.ok) {
        result.status = RemoteFileStatus::CannotOpen;
        result.errorCode = file.errorCode;
        return result;
    }
    result.bytes = static_cast<int>(file.bytes.size());
    if (file.bytes.empty() || file.bytes.size() > static_cast<size_t>(kRemoteKeyBlockSize)) {
        result.status = RemoteFileStatus::WrongSize;
        return result;
    }
    std::memcpy(block, file.bytes.data(), file.bytes.size());
    return result;
}

RemoteFileResult SaveRemoteFile(const std::string& path, const uint8_t* block) {
    RemoteFileResult result;
    result.errorCode = WriteRemoteFileBytes(path, block, kRemoteKeyBlockSize);
    if (result.errorCode != 0) {
        result.status = RemoteFileStatus::CannotWrite;
        return result;
    }
    result.bytes = kRemoteKeyBlockSize;
    return result;
}

std::string CannotWriteText(int errorCode, const std::string& path) {
    char text[PATH_MAX + 128];
    std::snprintf(text, sizeof text,
                  "Errcode=%d,Can't write to file:\n%s\nProbaby it is write protected.", errorCode,
                  path.c_str());
    return text;
}

} // namespace fx
