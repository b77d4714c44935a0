#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "pages/CDelayDlg.h"
#include "pages/CSSVCDlg.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/SurroundVolume.h"

#include <QDir>

// Pictures of the speaker delay page and of the room plan (with the
// listener off-centre), in both languages, at the smallest window size and a
// large one. Only runs when FX_PAGE_SCREENSHOTS names the folder to write
// them to.
namespace {
void ShapeDelays() {
    const double times[kOutputChannelCount] = {12.5, 12.5, 24.0, 24.0, 6.5, 3.0, 18.5, 18.5};
    const bool on[kOutputChannelCount] = {true, true, true, true, true, false, true, true};
    for (int ch = 0; ch < kOutputChannelCount; ++ch) {
        SetDspParam(OutputBlock(ch), OUT_DELAY_TIME, times[ch]);
        SetDspParam(OutputBlock(ch), OUT_DELAY_BYPASS, on[ch] ? 0 : 1);
    }
    SetDelayMode(2, false);
    SetDelayMode(3, false);
    SetDelaySplit(2, 8);
    SetDelaySplit(3, 8);
}

void ShapeRoom() {
    SetDspParam(OutputBlock(1), OUT_SOURCE, 1); // CH 2 carries the front right
    SetSurroundRoom(5, 4);
    MoveSpeaker(7, -2.0, 0.3);
    MoveSpeaker(8, 2.0, 0.3);
    MoveListener(-1.3, 0.2); // beside Side L, whose tag keeps clear of it
    SetSurroundVolume(kCrossoverChannel, 250);
    SetSurroundVolume(2, 80);
    SetSurroundVolume(3, 80);
}
} // namespace

using SpeakerScreenshotTest = GuiFixture;

TEST_F(SpeakerScreenshotTest, PagesInBothLanguagesAndTwoSizes) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    ShapeDelays();
    ShapeRoom();
    ForEachScreenshotLayout([&](const QString& suffix) {
        const auto save = [&](const QString& name) {
            Pump(150);
            ASSERT_TRUE(m_frame->grab().save(QDir(folder).filePath(name + suffix + ".png")));
        };
        Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
        View()->ShowPage(PAGE_DELAY, 0);
        ASSERT_NE(nullptr, qobject_cast<CDelayDlg*>(View()->CurrentPage()));
        save(QStringLiteral("page-delay"));
        View()->ShowPage(PAGE_SURROUND, 0);
        ASSERT_NE(nullptr, qobject_cast<CSSVCDlg*>(View()->CurrentPage()));
        save(QStringLiteral("page-surround"));
    });
}
