#include "modefile/SafeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fx {

namespace {

// Symbolic links followed at most, as the system does.
constexpr int kMaxLinkHops = 40;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }
    // Closes now and reports the error a delayed write may only show here.
    int Close() {
        const int result = close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

std::string NotRegularReason(mode_t mode) {
    return std::string(KindOf(mode)) + ", not a regular file";
}

// errorCode 0: the file's kind or size is the reason.
FileReadResult ReadFailure(const char* what, const std::string& path, int errorCode,
                           std::string reason, long long size = -1) {
    FileReadResult result;
    result.errorCode = errorCode;
    result.message =
        errorCode != 0 ? std::string(what) + " " + path + ": " + reason : path + ": " + reason;
    result.reason = std::move(reason);
    result.size = size;
    return result;
}

FileReadResult SystemFailure(const char* what, const std::string& path, int errorCode,
                             long long size = -1) {
    return ReadFailure(what, path, errorCode, std::strerror(errorCode), size);
}

FileReadResult NotRegular(const std::string& path, mode_t mode) {
    return ReadFailure("", path, 0, NotRegularReason(mode));
}

FileReadResult TooLarge(const std::string& path, long long size, size_t maxBytes) {
    return ReadFailure(
        "", path, 0, std::to_string(size) + " bytes, more than " + std::to_string(maxBytes), size);
}

// The system's text as the end of a sentence: "no space left on device".
std::string LowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

FileWriteResult WriteFailure(int errorCode, const std::string& path, std::string reason,
                             std::string cause) {
    FileWriteResult result;
    result.errorCode = errorCode;
    result.message = CantWriteText(errorCode, path);
    result.reason = std::move(reason);
    result.path = path;
    result.cause = std::move(cause);
    return result;
}

FileWriteResult WriteFailure(int errorCode, const std::string& path) {
    return WriteFailure(errorCode, path, std::strerror(errorCode),
                        LowerFirst(std::strerror(errorCode)));
}

// The file itself may not be written.
FileWriteResult FileRefused(int errorCode, const std::string& path) {
    const bool readOnlyDisk = errorCode == EROFS;
    const bool denied = errorCode == EACCES || errorCode == EPERM;
    return WriteFailure(errorCode, path, std::strerror(errorCode),
                        readOnlyDisk ? "it is on a read-only file system"
                        : denied     ? "it is write-protected"
                                     : LowerFirst(std::strerror(errorCode)));
}

// The folder the file goes into may not be written (or is none).
FileWriteResult FolderRefused(int errorCode, const std::string& path, const std::string& folder) {
    std::string cause = "the folder " + folder + ": " + LowerFirst(std::strerror(errorCode));
    if (errorCode == ENOENT) cause = "the folder " + folder + " does not exist";
    if (errorCode == EACCES || errorCode == EPERM)
        cause = "the folder " + folder + " is write-protected";
    if (errorCode == EROFS) cause = "the folder " + folder + " is on a read-only file system";
    if (errorCode == ENOTDIR) cause = folder + " is not a folder";
    return WriteFailure(errorCode, path, std::strerror(errorCode), cause);
}

// The path a save really replaces: the end of its chain of symbolic links
// (which may not exist yet). A relative link is relative to its own folder.
bool FollowLinks(const std::string& path, std::string& target, int& errorCode) {
    target = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        char buffer[PATH_MAX];
        const ssize_t length = readlink(target.c_str(), buffer, sizeof buffer);
        if (length < 0 || length >= static_cast<ssize_t>(sizeof buffer)) {
            errorCode = length < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        std::string next(buffer, static_cast<size_t>(length));
        target = !next.empty() && next.front() == '/' ? next : FolderOf(target) + "/" + next;
    }
    errorCode = ELOOP;
    return false;
}

// Creates a fresh temporary file next to target; -1 with errno on failure.
int CreateTemporaryBeside(const std::string& target, std::string& temporaryPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = FolderOf(target) + "/." + BaseNameOf(target) + ".tmp" +
                        std::to_string(getpid()) + "_" + std::to_string(counter++);
        const int fd = open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The replacement keeps the owner (where the system lets us) and the
// permissions of the file it replaces.
void TakeOverOwnerAndMode(int fd, const struct stat& existing) {
    struct stat mine {};
    if (fstat(fd, &mine) == 0 && (mine.st_uid != existing.st_uid || mine.st_gid != existing.st_gid))
        (void)fchown(fd, existing.st_uid, existing.st_gid);
    (void)fchmod(fd, existing.st_mode & 07777);
}

// A rename is only durable once its folder is on disk too.
void SyncFolder(const std::string& folder) {
    const FileDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) (void)fsync(fd.Get());
}

// Writes, flushes and renames the temporary file over target. Returns 0, or
// the error code of the step that failed.
int ReplaceWith(int rawFd, const std::string& temporaryPath, const std::string& target,
                const struct stat* existing, const uint8_t* bytes, size_t size) {
    FileDescriptor fd(rawFd);
    if (existing != nullptr) TakeOverOwnerAndMode(fd.Get(), *existing);
    if (!WriteAll(fd.Get(), bytes, size) || fsync(fd.Get()) != 0 || fd.Close() != 0) return errno;
    if (rename(temporaryPath.c_str(), target.c_str()) != 0) return errno;
    SyncFolder(FolderOf(target));
    return 0;
}

// The file a save replaces, as found before the save.
struct SaveTarget {
    std::string path; // the end of the chain of links
    bool exists = false;
    struct stat existing {};
};

// Refuses what a save must not replace or cannot write: a target that is
// not a regular file, that the user may not write, or whose folder he may not
// write into.
FileWriteResult Examine(const std::string& path, SaveTarget& target) {
    if (path.empty())
        return WriteFailure(ENOENT, path, std::strerror(ENOENT), "no file name was given");
    int errorCode = 0;
    if (!FollowLinks(path, target.path, errorCode)) {
        if (errorCode != ELOOP) return WriteFailure(errorCode, path);
        return WriteFailure(errorCode, path, std::strerror(errorCode),
                            "its symbolic links lead round in a circle");
    }
    target.exists = lstat(target.path.c_str(), &target.existing) == 0;
    if (!target.exists && errno != ENOENT) return FolderRefused(errno, path, FolderOf(target.path));
    const mode_t mode = target.existing.st_mode;
    if (target.exists && !S_ISREG(mode))
        return WriteFailure(S_ISDIR(mode) ? EISDIR : EINVAL, path, NotRegularReason(mode),
                            "it is " + NotRegularReason(mode));
    // Renaming needs only the folder's permission; the file's own counts too,
    // also for the superuser, whom the system lets write anything: a file no
    // one may write is one its owner protected on purpose.
    if (target.exists && (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return FileRefused(EACCES, path);
    if (target.exists && faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0)
        return FileRefused(errno, path);
    if (faccessat(AT_FDCWD, FolderOf(target.path).c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return FolderRefused(errno, path, FolderOf(target.path));
    FileWriteResult result;
    result.ok = true;
    return result;
}

} // namespace

FileReadResult ReadRegularFile(const std::string& path, size_t maxBytes) {
    const FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0) {
        const int errorCode = errno;
        // A socket cannot be opened at all; say what it is rather than "no such device".
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
            return NotRegular(path, info.st_mode);
        return SystemFailure("cannot open", path, errorCode);
    }
    struct stat info {};
    if (fstat(fd.Get(), &info) != 0) return SystemFailure("cannot read", path, errno);
    if (!S_ISREG(info.st_mode)) return NotRegular(path, info.st_mode);
    const long long size = info.st_size;
    if (size < 0 || static_cast<unsigned long long>(size) > maxBytes)
        return TooLarge(path, size, maxBytes);

    // Reading one byte more than allowed shows a file that grew after fstat.
    const size_t limit = maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
    std::vector<uint8_t> bytes(std::min(static_cast<size_t>(size) + 1, limit));
    size_t count = 0;
    while (true) {
        if (count == bytes.size()) {
            if (count == limit) break;
            bytes.resize(std::min(limit, 2 * count));
        }
        const ssize_t got = read(fd.Get(), bytes.data() + count, bytes.size() - count);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return SystemFailure("cannot read", path, errno, size);
        if (got == 0) break;
        count += static_cast<size_t>(got);
    }
    if (count > maxBytes) return TooLarge(path, static_cast<long long>(count), maxBytes);
    bytes.resize(count);
    FileReadResult result;
    result.ok = true;
    result.size = static_cast<long long>(count);
    result.bytes = std::move(bytes);
    return result;
}

std::string CantWriteText(int errorCode, const std::string& path) {
    return "Errcode=" + std::to_string(errorCode) + ",Can't write to file:\n" + path +
           "\nProbaby it is write protected.";
}

FileWriteResult CheckWriteTarget(const std::string& path) {
    SaveTarget target;
    return Examine(path, target);
}

FileWriteResult WriteFileAtomically(const std::string& path, const uint8_t* bytes, size_t size) {
    SaveTarget target;
    FileWriteResult result = Examine(path, target);
    if (!result.ok) return result;
    std::string temporaryPath;
    const int fd = CreateTemporaryBeside(target.path, temporaryPath);
    if (fd < 0) return WriteFailure(errno, path);
    const int failure = ReplaceWith(fd, temporaryPath, target.path,
                                    target.exists ? &target.existing : nullptr, bytes, size);
    if (failure != 0) {
        unlink(temporaryPath.c_str());
        return WriteFailure(failure, path);
    }
    return result;
}

} // namespace fx
