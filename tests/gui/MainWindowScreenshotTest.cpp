#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "shell/CHalvoxView.h"
#include "shell/CMainFrame.h"
#include "shell/CRibbonStatusBar.h"

#include <QDir>

// The editor as it opens on the microphone page against the simulated
// processor, in both languages, for the top of the README. Only runs when
// FX_PAGE_SCREENSHOTS names the folder.
using MainWindowScreenshotTest = GuiFixture;

TEST_F(MainWindowScreenshotTest, MainWindowInBothLanguages) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    m_frame->resize(1280, 800);
    // The connect notice was made in the language of the moment.
    m_frame->StatusBar()->ShowNotice(QString(), 0);
    for (int language : {1, 0}) {
        if (g_Language != language) View()->ToggleLanguage();
        Pump(200);
        const QString name = QStringLiteral("main-window-%1.png").arg(language == 1 ? "en" : "zh");
        ASSERT_TRUE(m_frame->grab().save(QDir(folder).filePath(name)));
    }
}
