#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/CRibbonStepSlider.h"

#include <QDir>
#include <QLabel>
#include <QMessageBox>

// Pictures for the documentation of editing without a processor: the
// status bar's offline notice after an edit, and the question once a
// processor has been read, in both languages. Only runs when
// FX_PAGE_SCREENSHOTS names the folder to write them to.
namespace {
constexpr int kMicSliderIn = 32829; // microphone level
} // namespace

using OfflineScreenshotTest = GuiFixture;

TEST_F(OfflineScreenshotTest, NoticeAndQuestionInBothLanguages) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    for (int language : {0, 1}) {
        const QString suffix = language == 1 ? QStringLiteral("en") : QStringLiteral("zh");
        StartEditor(false);
        m_frame->resize(1040, 700);
        if (g_Language != language) View()->ToggleLanguage();
        Ribbon()->Slider(kMicSliderIn)->setValue(63);
        Pump(150);
        ASSERT_FALSE(m_frame->StatusBar()->OfflineNotice()->isHidden());
        ASSERT_TRUE(
            m_frame->grab().save(QDir(folder).filePath("offline-notice-" + suffix + ".png")));

        m_usb->Plug();
        ASSERT_TRUE(WaitForRead());
        ASSERT_TRUE(WaitUntil([&] { return View()->OfflineQuestion() != nullptr; }));
        QMessageBox* question = View()->OfflineQuestion();
        Pump(150);
        ASSERT_TRUE(
            question->grab().save(QDir(folder).filePath("offline-question-" + suffix + ".png")));
        question->reject();
        TearDown();
        SetUp();
    }
}
