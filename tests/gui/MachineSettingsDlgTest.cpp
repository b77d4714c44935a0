#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CGdipButton.h"
#include "controls/CXBmpSlider.h"
#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "pages/CSetDlg.h"
#include "shell/CHalvoxView.h"
#include "shell/CInfoDlg.h"
#include "shell/CMasterControls.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStepSlider.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"
#include "state/MachineSettings.h"
#include "state/ParamImage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <array>

using fx::VolumeInput;

namespace {

using Record = std::array<uint8_t, kMachineSettingsSize>;

Record Settings(std::initializer_list<std::pair<int, uint8_t>> bytes) {
    Record record{};
    record[5] = 99;
    record[6] = 99;
    for (const auto& [index, value] : bytes) record[static_cast<size_t>(index)] = value;
    return record;
}

// The settings dialog against the simulated processor, which reports the
// given record in the start-up read.
class MachineSettingsDlgTest : public GuiFixture {
protected:
    CSetDlg* Open(const Record& processor, int language = 0) {
        m_sim->SetMachineSettings(processor);
        StartEditor();
        EXPECT_TRUE(WaitForRead());
        if (g_Language != language) View()->ToggleLanguage();
        m_sim->ClearCommandLog();
        View()->OpenMachineSettings();
        return View()->MachineSettingsDialog();
    }

    // Moves a slider by keys, one step at a time, as the user would.
    static void StepTo(CXBmpSlider* slider, int position) {
        slider->setFocus();
        while (slider->GetPos() != position) {
            QKeyEvent key(QEvent::KeyPress,
                          slider->GetPos() < position ? Qt::Key_Right : Qt::Key_Left,
                          Qt::NoModifier);
            QApplication::sendEvent(slider, &key);
        }
    }

    static Record Work() { return std::to_array(g_MachineSettingsWork()); }
    static Record Device() { return std::to_array(g_MachineSettingsDevice()); }

    std::vector<SimRecord> Sent(uint8_t code) const {
        std::vector<SimRecord> found;
        for (const SimRecord& record : m_sim->ReceivedCommands())
            if (!record.empty() && record[0] == code) found.push_back(record);
        return found;
    }
};

} // namespace

TEST_F(MachineSettingsDlgTest, LowerMaximumMovesThePowerOnVolumeAndSendsIt) {
    CSetDlg* dialog = Open(Settings({{3, 35}, {5, 40}}));
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(35, dialog->StartSlider(VolumeInput::Microphone)->GetPos());
    EXPECT_EQ(40, dialog->StartSlider(VolumeInput::Microphone)->Maximum());

    StepTo(dialog->MaxSlider(VolumeInput::Microphone), 30);

    EXPECT_EQ(30, dialog->StartSlider(VolumeInput::Microphone)->GetPos());
    EXPECT_EQ(30, dialog->StartSlider(VolumeInput::Microphone)->Maximum());
    EXPECT_EQ(30, Work()[3]);
    EXPECT_EQ(30, Work()[5]);
    EXPECT_EQ(QStringLiteral("30"), Ctrl<QLabel>(dialog, IDC_SET_MIC_START_VALUE)->text());
    ASSERT_TRUE(WaitUntil([&] { return !DspWrites(1, 14).empty(); }, 5000));
    EXPECT_EQ(PercentToStored(30), LastDspValue(1, 14));
    // Steps below 35 move the master volume, none above; waiting steps may
    // be superseded by the next one in the outbox.
    EXPECT_LE(DspWrites(1, 14).size(), 5u);
    for (const auto& value : DspWrites(1, 14))
        EXPECT_LE(ReadBigEndian32(value.data()), PercentToStored(34));
    EXPECT_EQ(30, GetDspParam(1, 14));
    EXPECT_EQ(Settings({{3, 35}, {5, 40}}), Device()) << "nothing applied yet";
}

TEST_F(MachineSettingsDlgTest, UncheckingTheMusicStartVolumeShowsInvalid) {
    CSetDlg* dialog = Open(Settings({{4, 20}}), 1);
    auto* enable = Ctrl<QCheckBox>(dialog, IDC_SET_MUSIC_ENABLE);
    ASSERT_TRUE(enable->isChecked());
    EXPECT_EQ(QStringLiteral("Enable"), enable->text());
    enable->click();
    EXPECT_EQ(0, Work()[4]);
    EXPECT_EQ(QStringLiteral("Invalid"), Ctrl<QLabel>(dialog, IDC_SET_MUSIC_START_VALUE)->text());
    EXPECT_FALSE(dialog->StartSlider(VolumeInput::Music)->isEnabled());
    EXPECT_FALSE(Ctrl<QLabel>(dialog, IDC_SET_MUSIC_START_LABEL)->isEnabled());

    // Checked again it takes the live music volume (16 by default).
    enable->click();
    EXPECT_EQ(16, Work()[4]);
    EXPECT_EQ(QStringLiteral("16"), Ctrl<QLabel>(dialog, IDC_SET_MUSIC_START_VALUE)->text());
}

TEST_F(MachineSettingsDlgTest, RoutingAndHdmiShareByteTwelve) {
    CSetDlg* dialog = Open(Settings({{12, 0x10}}));
    EXPECT_TRUE(Ctrl<QRadioButton>(dialog, IDC_SET_ROUTE_SBL)->isChecked());
    Ctrl<QRadioButton>(dialog, IDC_SET_ROUTE_BOTH)->click();
    Ctrl<QCheckBox>(dialog, IDC_SET_HDMI_MUTE)->click();
    EXPECT_EQ(0x21, Work()[12]);

    // A routing the editor does not know leaves the radios as they are.
    g_MachineSettingsDevice()[12] = 0x30;
    dialog->Reload();
    EXPECT_TRUE(Ctrl<QRadioButton>(dialog, IDC_SET_ROUTE_BOTH)->isChecked());
    EXPECT_FALSE(Ctrl<QRadioButton>(dialog, IDC_SET_ROUTE_SL)->isChecked());
    EXPECT_FALSE(Ctrl<QRadioButton>(dialog, IDC_SET_ROUTE_SBL)->isChecked());
    EXPECT_FALSE(Ctrl<QCheckBox>(dialog, IDC_SET_HDMI_MUTE)->isChecked());
}

TEST_F(MachineSettingsDlgTest, CancelKeepsWhatTheProcessorReported) {
    const Record reported = Settings({{0, 1}, {1, 1}, {2, 1}, {11, 2}});
    CSetDlg* dialog = Open(reported);
    EXPECT_TRUE(Ctrl<QRadioButton>(dialog, IDC_SET_BY_MODE)->isChecked());
    Ctrl<QRadioButton>(dialog, IDC_SET_BY_POWER)->click();
    EXPECT_EQ(0, Work()[0]);
    Ctrl<QPushButton>(dialog, IDC_SET_CANCEL)->click();
    ASSERT_TRUE(WaitUntil([this] { return View()->MachineSettingsDialog() == nullptr; }, 3000));
    EXPECT_EQ(reported, Work());
    EXPECT_EQ(reported, Device());
    EXPECT_TRUE(Sent(145).empty());
}

// However the processor acknowledges (reply 20, or the command's code), Apply
// is confirmed.
TEST_F(MachineSettingsDlgTest, ApplyIsConfirmedWhicheverWayTheProcessorAcknowledges) {
    CSetDlg* dialog = Open(Settings({{3, 35}}));
    for (SimAckStyle style : {SimAckStyle::Generic, SimAckStyle::Dsp, SimAckStyle::Echo}) {
        m_sim->SetAckStyle(style);
        Ctrl<QRadioButton>(dialog, IDC_SET_BY_MODE)->click();
        int answers = 0;
        bool confirmed = false;
        const auto connection = QObject::connect(dialog, &CSetDlg::applyFinished, [&](bool ok) {
            ++answers;
            confirmed = ok;
        });
        Ctrl<QPushButton>(dialog, IDC_SET_APPLY)->click();
        ASSERT_TRUE(WaitUntil([&] { return answers == 1; }, 5000));
        QObject::disconnect(connection);
        EXPECT_TRUE(confirmed) << static_cast<int>(style);
        ASSERT_NE(nullptr, CInfoDlg::Current());
        EXPECT_EQ(QString::fromUtf8("机器设置已生效!"), CInfoDlg::Current()->Text());
    }
}

TEST_F(MachineSettingsDlgTest, ApplySendsExactlyTheEditCopy) {
    CSetDlg* dialog = Open(Settings({{3, 35}}));
    Ctrl<QRadioButton>(dialog, IDC_SET_BY_MODE)->click();
    Ctrl<QRadioButton>(dialog, IDC_SET_ROUTE_BOTH)->click();
    StepTo(dialog->MaxSlider(VolumeInput::Music), 70);
    const Record edited = Work();
    EXPECT_EQ(Settings({{0, 1}, {1, 1}, {2, 1}, {3, 35}, {6, 70}, {12, 0x20}}), edited);

    bool confirmed = false;
    QObject::connect(dialog, &CSetDlg::applyFinished, [&](bool ok) { confirmed = ok; });
    Ctrl<QPushButton>(dialog, IDC_SET_APPLY)->click();
    ASSERT_TRUE(WaitUntil([&] { return confirmed; }, 5000));
    const std::vector<SimRecord> sent = Sent(145);
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(SimRecord(edited.begin(), edited.end()),
              SimRecord(sent[0].begin() + 1, sent[0].end()));
    EXPECT_EQ(edited, m_sim->MachineSettings());
    EXPECT_EQ(edited, Device());
    ASSERT_NE(nullptr, CInfoDlg::Current());
    EXPECT_EQ(QString::fromUtf8("机器设置已生效!"), CInfoDlg::Current()->Text());
    EXPECT_TRUE(dialog->isVisible()) << "Apply does not close the dialog";

    // The ribbon now refuses music volumes above the new maximum.
    Ribbon()->Slider(kLevelRows[ROW_MUSIC].slider[0])->setValue(90);
    EXPECT_EQ(70, GetDspParam(4, 12));
}

TEST_F(MachineSettingsDlgTest, UnansweredApplyIsNotReportedAsValid) {
    CSetDlg* dialog = Open(Settings({}));
    SimFaults faults;
    faults.ignoredCode = 145;
    m_sim->SetFaults(faults);
    bool finished = false, confirmed = true;
    QObject::connect(dialog, &CSetDlg::applyFinished, [&](bool ok) {
        finished = true;
        confirmed = ok;
    });
    Ctrl<QPushButton>(dialog, IDC_SET_APPLY)->click();
    ASSERT_TRUE(WaitUntil([&] { return finished; }, 8000));
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(QString::fromUtf8("机器未确认设置!"), CInfoDlg::Current()->Text());
}

TEST_F(MachineSettingsDlgTest, HdmiBoxHiddenForModelsWithoutHdmi) {
    for (const char* model : {"ARN41", "ARN63"}) {
        SimIdentity identity;
        identity.moduleName = model;
        m_sim->SetIdentity(identity);
        CSetDlg* dialog = Open(Settings({}));
        const bool shown = std::string(model) == "ARN63";
        EXPECT_EQ(shown, Ctrl<QGroupBox>(dialog, IDC_SET_HDMI_GROUP)->isVisible()) << model;
        EXPECT_EQ(shown, Ctrl<QCheckBox>(dialog, IDC_SET_HDMI_MUTE)->isVisible()) << model;
        TearDown();
        SetUp();
    }
}

TEST_F(MachineSettingsDlgTest, FactoryResetOfAModeReadsEverythingAgain) {
    CSetDlg* dialog = Open(Settings({}));
    auto* m3 = Ctrl<CGdipButton>(dialog, IDC_SET_RESET_MODE_FIRST + 2);
    ASSERT_TRUE(m3->isEnabled());
    m_sim->SetMachineSettings(Settings({{11, 4}}));
    m3->click();
    ASSERT_TRUE(WaitForRead());
    EXPECT_EQ((SimRecord{6, 2}), Sent(6).at(0));
    EXPECT_EQ(2, g_CurrentMode());
    EXPECT_TRUE(m3->isChecked());
    EXPECT_FALSE(Ctrl<CGdipButton>(dialog, IDC_SET_RESET_MODE_FIRST)->isChecked());
    EXPECT_EQ(4, Ctrl<QComboBox>(dialog, IDC_SET_POWER_ON_MODE)->currentIndex())
        << "the dialog shows what the read brought";

    View()->CloseLink();
    ASSERT_TRUE(WaitUntil([] { return !g_bConnected(); }, 3000));
    dialog->Reload();
    EXPECT_FALSE(m3->isEnabled()) << "no factory reset without a processor";
}
