#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "pages/CDialogRec.h"
#include "pages/CEqEditor.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "state/Compressor.h"
#include "state/ParamImage.h"
#include "state/RecordingOutput.h"

#include <QDir>

// Pictures of the recording page in both languages, at the smallest window
// size and a large one, and at the smallest with a band in the editor. Only runs when
// FX_PAGE_SCREENSHOTS names the folder to write them to.
namespace {
void ShapeRecording() {
    const int levels[CDialogRec::kLevelCount] = {80, 65, 35, 90, 75};
    for (int n = 0; n < CDialogRec::kLevelCount; ++n)
        SetDspParam(kRecordBlock, RecordLevelParameter(n), levels[n]);
    SetCompressor(kRecordVarIndex, -18, 4.0, 10, 200);
    SetDspParam(kRecordBlock, REC_COMPRESSOR_BYPASS, 0);
    SetEqBand(kRecordEqSet, 0, EQ_HP, 60, 0.0, 0.7);
    SetEqBand(kRecordEqSet, 1, EQ_PEQ, 250, -3.0, 1.4);
    SetEqBand(kRecordEqSet, 2, EQ_PEQ, 1200, 2.5, 1.2);
    SetEqBand(kRecordEqSet, 3, EQ_PEQ, 3500, 4.0, 2.0);
    SetEqBand(kRecordEqSet, 4, EQ_HS, 9000, -2.0, 0.7);
}
} // namespace

using RecordScreenshotTest = GuiFixture;

TEST_F(RecordScreenshotTest, PageInBothLanguagesAndTwoSizes) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    ShapeRecording();
    Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
    View()->ShowPage(PAGE_RECORDING, 0);
    ASSERT_NE(nullptr, qobject_cast<CDialogRec*>(View()->CurrentPage()));
    View()->RefreshPages();
    ForEachScreenshotLayout([&](const QString& suffix) {
        const QDir out(folder);
        ASSERT_TRUE(m_frame->grab().save(out.filePath("page-rec" + suffix + ".png")));
        if (m_frame->width() > 1040) return;
        // At the smallest size also with a band in the editor.
        auto* page = qobject_cast<CDialogRec*>(View()->CurrentPage());
        Click(page->Eq().Graph(), page->Eq().Graph()->HandleCentre(3));
        ASSERT_TRUE(page->Eq().EditorShown());
        Pump(150);
        ASSERT_TRUE(m_frame->grab().save(out.filePath("page-rec-band" + suffix + ".png")));
        page->Reload();
    });
}
