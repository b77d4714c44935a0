#include "modefile/ModeFile.h"

#include "link/LinkState.h"
#include "state/DeviceIdentity.h"
#include "state/DeviceMirrors.h"
#include "state/DspParamTable.h"
#include "state/ImageValueCheck.h"
#include "state/JobUi.h"
#include "state/MachineModes.h"
#include "state/ParamImage.h"
#include "state/PresetDiff.h"
#include "state/SyncJobs.h"

#include <cstring>

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
    std::memcpy(header, &g_Identity(), kModeFileHeaderSize);
    PutLittleEndian32(header, g_Identity().commandSetVersion);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Image offset of the first DSP record head that is not where the image
// keeps it, -1 when every head stands in its place.
int FirstMisplacedRecordHead(const uint8_t* image) {
    for (const DspRecordDefault& record : DspRecordDefaults()) {
        const uint8_t* head = image + record.valueOffset - 3;
        if (head[0] != record.block || head[1] != record.parameter || head[2] != record.count)
            return record.valueOffset - 3;
    }
    return -1;
}

fx::ModeFileCheck Refused(fx::ModeFileProblem problem, std::string message) {
    fx::ModeFileCheck check;
    check.problem = problem;
    check.message = std::move(message);
    return check;
}

fx::ModeFileCheck NotAModeFile(const std::string& path, const std::string& why) {
    return Refused(fx::ModeFileProblem::NotAModeFile, path + ": not a mode file (" + why + ")");
}

std::string SizeText(long long size) {
    return std::to_string(size) + " bytes, " + std::to_string(kModeFileSize) + " expected";
}

void ShowCantWrite(const fx::FileWriteResult& failure) {
    JobUi().ShowMessageBox(failure.message, fx::kCantWriteCaption, MessageIcon::Warning);
}

} // namespace

namespace fx {

ModeFileCheck ReadModeFile(const std::string& path) {
    FileReadResult file = ReadRegularFile(path, kModeFileSize);
    if (!file.ok) {
        if (file.errorCode != 0) return Refused(ModeFileProblem::CannotRead, file.message);
        if (file.size >= 0) return NotAModeFile(path, SizeText(file.size));
        return NotAModeFile(path, file.reason);
    }
    return CheckModeFileBytes(std::move(file.bytes), path);
}

ModeFileCheck CheckModeFileBytes(std::vector<uint8_t> bytes, const std::string& name) {
    if (bytes.size() != static_cast<size_t>(kModeFileSize))
        return NotAModeFile(name, SizeText(static_cast<long long>(bytes.size())));
    const int version = GetLittleEndian32(bytes.data());
    if (version != kModeFileVersion)
        return Refused(ModeFileProblem::WrongVersion,
                       name + ": mode file version " + std::to_string(version) +
                           " not supported (" + std::to_string(kModeFileVersion) + " needed)");
    const int misplaced = FirstMisplacedRecordHead(bytes.data() + kModeFileHeaderSize);
    if (misplaced >= 0)
        return NotAModeFile(name, "its DSP records break off at image offset " +
                                      std::to_string(misplaced));
    const std::string impossible = FirstImpossibleValue(bytes.data() + kModeFileHeaderSize);
    if (!impossible.empty())
        return Refused(ModeFileProblem::OutOfRange, name + ": value out of range: " + impossible);
    ModeFileCheck check;
    check.ok = true;
    check.bytes = std::move(bytes);
    return check;
}

void ApplyModeFile(const ModeFileCheck& file) {
    if (!file.ok || file.bytes.size() != static_cast<size_t>(kModeFileSize)) return;
    std::memcpy(g_ParamImage(), file.bytes.data() + kModeFileHeaderSize, kImageSize);
    g_ParamImage()[kInputSourceOffset] = ClampInputSource(g_ParamImage()[kInputSourceOffset]);
    RefreshFromImage();
}

ModeFileCheck LoadModeFileChecked(const std::string& path) {
    ModeFileCheck check = ReadModeFile(path);
    ApplyModeFile(check);
    return check;
}

std::string ModeFileRefusalText(const ModeFileCheck& file) {
    if (file.problem == ModeFileProblem::WrongVersion) return "Mode file version not support!";
    return std::string(PickText("无法载入模式文件：", "Can't load the mode file:")) + "\n" +
           file.message;
}

FileWriteResult WriteModeFile(const std::string& path) {
    std::memcpy(g_ParamImage(), g_PanelImage(), kPanelSize);
    const std::vector<uint8_t> file = ModeFileBytes();
    return WriteFileAtomically(path, file.data(), file.size());
}

std::vector<uint8_t> ModeFileBytes() {
    std::vector<uint8_t> file(kModeFileSize);
    BuildFileHeader(file.data());
    const std::vector<uint8_t> image = EditedImage();
    std::memcpy(file.data() + kModeFileHeaderSize, image.data(), kImageSize);
    return file;
}

} // namespace fx

bool SaveModeFile(const std::string& path) {
    const fx::FileWriteResult result = fx::WriteModeFile(path);
    if (!result.ok) ShowCantWrite(result);
    return result.ok;
}

bool LoadModeFile(const std::string& path) {
    return fx::LoadModeFileChecked(path).ok;
}

int PendingStoreModeFromFileName(const std::string& path) {
    std::string name = BaseNameOf(path);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);
    if (name.size() < 2 || name[0] != 'm' || name[1] < '1' || name[1] > '4') return -1;
    return name[1] - '1';
}

bool RequireLinkForModeFile() {
    if (g_bConnected()) return true;
    ShowInfo(PickText("请先连接设备!", "Please connect device!"), kConnectNoticeMs);
    return false;
}

bool SaveParametersToModeFile(const std::string& path) {
    if (!RequireLinkForModeFile()) return false;
    // A target that will be refused costs nothing: the mode is not stored.
    const fx::FileWriteResult target = fx::CheckWriteTarget(path);
    if (!target.ok) {
        ShowCantWrite(target);
        return false;
    }
    StoreCurrentMode();
    return SaveModeFile(path);
}

bool WriteModeFileToProcessor(const std::string& path) {
    if (!RequireLinkForModeFile()) return false;
    // Only an accepted file sets the store into a machine mode that follows
    // the write; a refused one must not leave it pending for the next write.
    const fx::ModeFileCheck check = fx::LoadModeFileChecked(path);
    if (!check.ok) {
        JobUi().ShowMessageBox(fx::ModeFileRefusalText(check), "Info", MessageIcon::Information);
        return false;
    }
    g_PendingStoreMode() = PendingStoreModeFromFileName(path);
    StartWriteAll();
    ShowSyncDialog("");
    return true;
}
