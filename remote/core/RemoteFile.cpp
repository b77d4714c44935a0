#include "remote/core/RemoteFile.h"

#include "modefile/SafeFile.h"
#include "state/DeviceMirrors.h"

#include <cstring>

namespace fx {

std::string WithRemoteExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return path + "." + kRemoteFileExtension;
    return path.substr(0, dot + 1) + kRemoteFileExtension;
}

RemoteFileResult LoadRemoteFile(const std::string& path, uint8_t* block) {
    RemoteFileResult result;
    const FileReadResult file = ReadRegularFile(path, kRemoteKeyBlockSize);
    if (!file.ok) {
        const bool tooLong = file.errorCode == 0 && file.size > kRemoteKeyBlockSize;
        result.status = tooLong ? RemoteFileStatus::WrongSize : RemoteFileStatus::CannotOpen;
        result.errorCode = file.errorCode;
        result.message = file.message;
        result.bytes = static_cast<int>(std::min<long long>(file.size, 1 << 30));
        return result;
    }
    result.bytes = static_cast<int>(file.bytes.size());
    if (file.bytes.empty()) {
        result.status = RemoteFileStatus::WrongSize;
        result.message = path + ": empty file";
        return result;
    }
    std::memcpy(block, file.bytes.data(), file.bytes.size());
    return result;
}

RemoteFileResult SaveRemoteFile(const std::string& path, const uint8_t* block) {
    RemoteFileResult result;
    const FileWriteResult written = WriteFileAtomically(path, block, kRemoteKeyBlockSize);
    if (!written.ok) {
        result.status = RemoteFileStatus::CannotWrite;
        result.errorCode = written.errorCode;
        result.message = written.message;
        return result;
    }
    result.bytes = kRemoteKeyBlockSize;
    return result;
}

} // namespace fx
