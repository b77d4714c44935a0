#include "modefile/ModeFile.h"

#include "modefile/SafeFile.h"

#include "link/DeviceMirrors.h"
#include "link/LinkState.h"
#include "state/DeviceIdentity.h"
#include "state/JobUi.h"
#include "state/MachineModes.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The input source: last byte of the value of DSP block 4 parameter 23.
constexpr int kInputSourceOffset = 1849;
constexpr int kConnectNoticeMs = 1100;

void PutLittleEndian32(uint8_t* bytes, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetLittleEndian32(const uint8_t* bytes) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

// The identity record in its in-memory order, the version little-endian.
void BuildFileHeader(uint8_t* header) {
    std::memcpy(header, &g_Identity, kModeFileHeaderSize);
    PutLittleEndian32(header, g_Identity.commandSetVersion);
}

void ShowWriteError(int errorCode, const std::string& path) {
    char text[4200];
    std::snprintf(text, sizeof text,
                  "Errcode=%d,Can't write to file:\n%s\nProbaby it is write protected.", errorCode,
                  path.c_str());
    JobUi().ShowMessageBox(text, "Can't write to file", MessageIcon::Warning);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a fresh temporary file next to path; -1 with errno on failure.
int CreateTemporaryBeside(const std::string& path, std::string& temporaryPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = FolderOf(path) + "/." + BaseNameOf(path) + ".tmp" +
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
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Keeps the permissions of a file being replaced.
void CopyModeOfExisting(const std::string& path, int fd) {
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0) fchmod(fd, existing.st_mode & 07777);
}

// Writes the bytes into the temporary file and renames it over path only
// when every byte is on disk; the temporary file is removed otherwise.
bool FinishReplacement(int fd, const std::string& temporaryPath, const std::string& path,
                       const uint8_t* bytes, size_t size, int& errorCode) {
    CopyModeOfExisting(path, fd);
    bool ok = WriteAll(fd, bytes, size) && fsync(fd) == 0;
    if (!ok) errorCode = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        errorCode = errno;
    }
    if (ok && rename(temporaryPath.c_str(), path.c_str()) != 0) {
        ok = false;
        errorCode = errno;
    }
    if (!ok) unlink(temporaryPath.c_str());
    return ok;
}

// Reads up to size bytes; the count read, -1 when the file cannot be opened.
long ReadFilePrefix(const std::string& path, uint8_t* bytes, size_t size) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return -1;
    const size_t count = std::fread(bytes, 1, size, file);
    std::fclose(file);
    return static_cast<long>(count);
}

} // namespace

bool SaveModeFile(const std::string& path) {
    std::string temporaryPath;
    const int fd = CreateTemporaryBeside(path, temporaryPath);
    if (fd < 0) {
        ShowWriteError(errno, path);
        return false;
    }
    std::memcpy(g_ParamImage, g_PanelImage, kPanelSize);
    uint8_t file[kModeFileSize];
    BuildFileHeader(file);
    std::memcpy(file + kModeFileHeaderSize, g_ParamImage, kImageSize);
    int errorCode = 0;
    if (FinishReplacement(fd, temporaryPath, path, file, sizeof file, errorCode)) return true;
    ShowWriteError(errorCode, path);
    return false;
}

bool LoadModeFile(const std::string& path) {
    uint8_t file[kModeFileSize];
    if (ReadFilePrefix(path, file, sizeof file) != kModeFileSize) return false;
    if (GetLittleEndian32(file) != kModeFileVersion) return false;
    std::memcpy(g_ParamImage, file + kModeFileHeaderSize, kImageSize);
    g_ParamImage[kInputSourceOffset] = ClampInputSource(g_ParamImage[kInputSourceOffset]);
    RefreshFromImage();
    return true;
}

int PendingStoreModeFromFileName(const std::string& path) {
    std::string name = BaseNameOf(path);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);
    if (name.size() < 2 || name[0] != 'm' || name[1] < '1' || name[1] > '4') return -1;
    return name[1] - '1';
}

bool RequireLinkForModeFile() {
    if (g_bConnected) return true;
    ShowInfo(PickText("请先连接设备!", "Please connect device!"), kConnectNoticeMs);
    return false;
}

bool SaveParametersToModeFile(const std::string& path) {
    if (!RequireLinkForModeFile()) return false;
    StoreCurrentMode();
    return SaveModeFile(path);
}

bool WriteModeFileToProcessor(const std::string& path) {
    if (!RequireLinkForModeFile()) return false;
    g_PendingStoreMode = PendingStoreModeFromFileName(path);
    if (!LoadModeFile(path)) {
        JobUi().ShowMessageBox("Mode file version not support!", "Info", MessageIcon::Information);
        return false;
    }
    StartWriteAll();
    ShowSyncDialog("");
    return true;
}

fx::ModeFileImage fx::ReadModeFileImage(const std::string& path) {
    ModeFileImage result;
    const FileReadResult file = ReadRegularFile(path, kModeFileSize);
    if (!file.ok) {
        result.message = file.message;
        return result;
    }
    if (file.bytes.size() != static_cast<size_t>(kModeFileSize)) {
        result.message = path + ": not a mode file (" + std::to_string(file.bytes.size()) +
                         " bytes, " + std::to_string(kModeFileSize) + " expected)";
        return result;
    }
    const int version = GetLittleEndian32(file.bytes.data());
    if (version != kModeFileVersion) {
        result.message = path + ": mode file version " + std::to_string(version) +
                         " not supported (" + std::to_string(kModeFileVersion) + " needed)";
        return result;
    }
    result.ok = true;
    result.image.assign(file.bytes.begin() + kModeFileHeaderSize, file.bytes.end());
    return result;
}
