// The changes the image operations report, and putting them back: after an
// edit, its undo and its redo the processor holds what the editor holds, and
// a redo sends the frames the edit sent.
#include "state/ImageEdits.h"
#include "controls/EqModel.h"
#include "sim/SimProcessor.h"
#include "state/Compressor.h"
#include "state/DeviceMirrors.h"
#include "state/EqFilterText.h"
#include "state/Features.h"
#include "state/MachineSettings.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/PresetDiff.h"
#include "state/SurroundVolume.h"

#include "RecordingSink.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class EditLog : public fx::IImageEditObserver {
public:
    EditLog() { fx::SetImageEditObserver(this); }
    ~EditLog() override { fx::SetImageEditObserver(nullptr); }
    EditLog(const EditLog&) = delete;
    EditLog& operator=(const EditLog&) = delete;

    void ImageEdited(const fx::ImageEdit& edit) override { edits.push_back(edit); }
    void ImageReplaced() override { ++replaced; }

    std::vector<fx::ImageEdit> edits;
    int replaced = 0;
};

class ImageEditsTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildDefaultImage();
        m_sim.SetMemory(SimProcessor::DefaultImage());
    }

    // Hands every record sent since the last call to the processor and
    // returns them.
    std::vector<Bytes> Deliver() {
        std::vector<Bytes> sent = m_sink.AllBytes();
        m_sink.Clear();
        for (const Bytes& record : sent)
            m_sim.HandleCommand(record.data(), static_cast<int>(record.size()));
        return sent;
    }
    Bytes ProcessorMemory() const {
        const SimProcessor::Image memory = m_sim.Memory();
        return Bytes(memory.begin(), memory.end());
    }

    RecordingSink m_sink;
    SimProcessor m_sim;
};

struct EditCase {
    const char* name;
    std::function<void()> prepare; // unrecorded set-up
    std::function<void()> edit;
    fx::ImageEditKind kind;
    int eqSet;
    // Redo sends the edit's frames again; an operation that also rewrote
    // values it left as they were sends only what changed.
    bool sameFrames = true;
};

const EditCase kCases[] = {
    {"level slider", [] {}, [] { SetDspParam(1, 14, 72); }, fx::ImageEditKind::Change, -1},
    {"EQ band", [] {}, [] { SetEqBand(0, 4, EQ_PEQ, 220, 3.0, 2.0); }, fx::ImageEditKind::Change,
     -1},
    {"EQ reset", [] { SetEqBand(7, 2, EQ_LS, 140, -6.0, 0.9); }, [] { ResetEqSet(7); },
     fx::ImageEditKind::EqReset, 7},
    {"EQ paste", [] { SetEqBand(0, 9, EQ_HS, 5000, 4.0, 0.7); }, [] { CopyEqSet(0, 1); },
     fx::ImageEditKind::EqPaste, 1},
    {"filter import", [] {},
     [] {
         fx::ApplyImportedBands(15, {{0, true, true, {-3.0, 100, 1.41, EQ_PEQ}},
                                     {1, true, true, {2.5, 900, 0.707, EQ_HS}}});
     },
     fx::ImageEditKind::EqImport, 15},
    {"compressor", [] {}, [] { SetCompressor(2, -12.0, 4.0, 10.0, 200.0); },
     fx::ImageEditKind::Change, -1},
    {"delay mode", [] {}, [] { SetDelayMode(3, false); }, fx::ImageEditKind::Change, -1},
    {"surround layout", [] {},
     [] {
         g_SurroundLayout().points[3] = -0.5f;
         SendSurroundLayout();
     },
     fx::ImageEditKind::Change, -1},
    {"bass boost", [] {}, [] { SetBassBoost(-12.0); }, fx::ImageEditKind::Change, -1},
    {"speaker moved", [] {}, [] { MoveSpeaker(4, 0.5, -1.5); }, fx::ImageEditKind::Change, -1},
    {"surround reset", [] { MoveListener(0.5, 0.5); }, [] { ResetSurround(); },
     fx::ImageEditKind::Change, -1, false},
};

TEST_F(ImageEditsTest, UndoAndRedoLeaveTheProcessorHoldingTheEditorsImage) {
    for (const EditCase& c : kCases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.prepare();
        Deliver();
        const Bytes before = fx::EditedImage();
        EditLog log;
        c.edit();
        const std::vector<Bytes> editFrames = Deliver();
        const Bytes after = fx::EditedImage();
        ASSERT_NE(before, after);
        EXPECT_EQ(after, ProcessorMemory());

        // One edit per operation, made of the changes the image saw.
        ASSERT_EQ(1u, log.edits.size());
        const fx::ImageEdit edit = log.edits[0];
        EXPECT_EQ(c.kind, edit.kind);
        EXPECT_EQ(c.eqSet, edit.eqSet);
        for (const fx::ImageBytes& change : edit.changes) {
            EXPECT_NE(change.before, change.after);
            EXPECT_EQ(Bytes(after.begin() + change.address,
                            after.begin() + change.address + change.after.size()),
                      change.after);
        }

        fx::RevertImageChanges(edit.changes);
        Deliver();
        EXPECT_EQ(before, fx::EditedImage());
        EXPECT_EQ(before, ProcessorMemory());

        fx::ReapplyImageChanges(edit.changes);
        const std::vector<Bytes> redoFrames = Deliver();
        if (c.sameFrames) {
            EXPECT_EQ(editFrames, redoFrames);
        }
        EXPECT_EQ(after, fx::EditedImage());
        EXPECT_EQ(after, ProcessorMemory());

        // Putting bytes back is no new edit.
        EXPECT_EQ(1u, log.edits.size());
    }
}

TEST_F(ImageEditsTest, UndoRestoresTheEditorValuesThePagesShow) {
    EditLog log;
    SetDspParam(1, 14, 72);
    SetCompressor(8, -20.0, 8.0, 5.0, 500.0);
    SetDelayMode(0, false);
    SetBassBoost(-6.0);
    ASSERT_EQ(4u, log.edits.size());
    for (auto edit = log.edits.rbegin(); edit != log.edits.rend(); ++edit)
        fx::RevertImageChanges(edit->changes);
    EXPECT_EQ(50.0, GetDspParam(1, 14));
    EXPECT_NEAR(0.0, g_Compressor()[kRecordVarIndex].thresholdDb, 1e-6);
    EXPECT_TRUE(g_WholeChannelDelay()[0]);
    EXPECT_EQ(0.0f, g_PanelLevel());
}

TEST_F(ImageEditsTest, MachineSettingsGoBackWithTheirCommand) {
    fx::ResetMachineSettingsMirrors();
    fx::RevertMachineSettingsEdit();
    const Bytes before(g_MachineSettingsDevice(), g_MachineSettingsDevice() + kMachineSettingsSize);
    EditLog log;
    fx::SetPowerOnMode(g_MachineSettingsWork(), 3);
    fx::SetHdmiMuted(g_MachineSettingsWork(), true);
    fx::CommitMachineSettingsEdit(); // Apply
    const Bytes after(g_MachineSettingsDevice(), g_MachineSettingsDevice() + kMachineSettingsSize);
    ASSERT_EQ(1u, log.edits.size());
    ASSERT_NE(before, after);

    fx::RevertImageChanges(log.edits[0].changes);
    EXPECT_EQ(before,
              Bytes(g_MachineSettingsDevice(), g_MachineSettingsDevice() + kMachineSettingsSize));
    EXPECT_EQ(before,
              Bytes(g_MachineSettingsWork(), g_MachineSettingsWork() + kMachineSettingsSize));
    Deliver();
    const auto held = m_sim.MachineSettings();
    EXPECT_EQ(before, Bytes(held.begin(), held.end()));

    fx::ReapplyImageChanges(log.edits[0].changes);
    Deliver();
    const auto again = m_sim.MachineSettings();
    EXPECT_EQ(after, Bytes(again.begin(), again.end()));
    EXPECT_EQ(1u, log.edits.size());
}

TEST_F(ImageEditsTest, NothingChangedIsNoEditAndAWholeImageIsAReplacement) {
    SetDspParam(1, 14, 72);
    SetEqBand(0, 0, EQ_PEQ, 25, 0.0, 1.414);
    EditLog log;
    SetDspParam(1, 14, 72);
    SetEqBand(0, 0, EQ_PEQ, 25, 0.0, 1.414);
    EXPECT_TRUE(log.edits.empty());
    RefreshFromImage();
    BuildDefaultImage();
    EXPECT_EQ(2, log.replaced);
    EXPECT_TRUE(log.edits.empty());
}

TEST(ParamCountTest, ChangedParametersAreCountedOncePerParameter) {
    BuildDefaultImage();
    const Bytes base = fx::EditedImage();
    SetEqBand(3, 2, EQ_PEQ, 300, 2.0, 1.0); // three fields of one band
    SetDspParam(1, 14, 20);
    SetCompressor(0, -10.0, 3.0, 20.0, 100.0); // one record, four values that change
    const Bytes now = fx::EditedImage();
    EXPECT_EQ(static_cast<int>(fx::DiffImages(base.data(), now.data(), 1).size()),
              fx::CountDifferences(base.data(), now.data()));
    EXPECT_EQ(0, fx::CountDifferences(base.data(), base.data()));
}

} // namespace
