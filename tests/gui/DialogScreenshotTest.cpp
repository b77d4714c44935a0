#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "pages/CSetDlg.h"
#include "remote/CIrWaitDlg.h"
#include "remote/CRemoteDlg.h"
#include "shell/CHalvoxView.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"

#include <QDir>

// Pictures of the machine settings dialog, the remote learning dialog and
// its wait dialog with a learned code, in both languages, for the
// documentation. Only runs when FX_PAGE_SCREENSHOTS names the folder.
using DialogScreenshotTest = GuiFixture;

TEST_F(DialogScreenshotTest, ToolDialogsInBothLanguages) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    m_sim->SetMachineSettings({1, 1, 1, 35, 0, 80, 90, 0, 0, 0, 0, 2, 0x21, 0});
    m_sim->SetAutoKeyPress(-1);
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    auto save = [&](QWidget* widget, const QString& name) {
        Pump(150);
        ASSERT_TRUE(widget->grab().save(QDir(folder).filePath(name)));
    };
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        const QString suffix = language == 1 ? QStringLiteral("en") : QStringLiteral("zh");

        View()->OpenMachineSettings();
        save(View()->MachineSettingsDialog(), "machine-settings-" + suffix + ".png");
        View()->MachineSettingsDialog()->close();

        View()->OnCommand(ID_REMOTE_LEARN);
        CRemoteDlg* remote = View()->RemoteDialog();
        ASSERT_NE(nullptr, remote);
        save(remote, "remote-learning-" + suffix + ".png");
        remote->LearnKey(5);
        ASSERT_TRUE(m_sim->WaitForCommand(96, 5000));
        ASSERT_TRUE(m_sim->PressRemoteKey(0x0A));
        ASSERT_TRUE(WaitUntil([&] { return remote->WaitDialog()->Learned(); }, 5000));
        save(remote->WaitDialog(), "remote-wait-" + suffix + ".png");
        ASSERT_TRUE(WaitUntil([&] { return remote->WaitDialog() == nullptr; }, 5000));
        remote->close();
        Pump(50);
        m_sim->ClearCommandLog();
    }
}
