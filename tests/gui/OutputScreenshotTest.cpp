#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "pages/CCompDlg.h"
#include "pages/CDialogOutput.h"
#include "pages/CEqEditor.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "state/Compressor.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"

#include <QComboBox>
#include <QDir>

// Pictures of the output page (CH 1, and CH 6 with its crossover band
// selected) and of the compressor page, in both languages, at the smallest
// window size and a large one. Only runs when FX_PAGE_SCREENSHOTS names the
// folder to write them to.
namespace {
void ShapeOutputs() {
    SetEqBand(7, 0, EQ_HP, 45, 0.0, 0.7);
    SetEqBand(7, 3, EQ_PEQ, 250, -4.5, 1.4);
    SetEqBand(7, 6, EQ_PEQ, 2000, 3.0, 2.0);
    SetEqBand(7, 9, EQ_HS, 12000, -3.0, 0.7);
    SetEqBand(12, 2, EQ_PEQ, 60, 4.0, 1.2);
    SetCompressor(0, -24, 3.5, 12, 240);
    SetDspParam(5, 25, 0);
    SetDspParam(5, 16, 0);
    SetDelayMode(0, false);
    SetDelaySplit(0, 8);
    SetDspParam(5, 15, 12.5);
    SetDspParam(6, 22, -100);
    SetDspParam(9, 23, 0);
}

void PressBand(CEqPanel* graph, int band) {
    Click(graph, graph->HandleCentre(band));
}
} // namespace

using OutputScreenshotTest = GuiFixture;

TEST_F(OutputScreenshotTest, PagesInBothLanguagesAndTwoSizes) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    ShapeOutputs();
    ForEachScreenshotLayout([&](const QString& suffix) {
        const auto save = [&](const QString& name) {
            Pump(150);
            ASSERT_TRUE(m_frame->grab().save(QDir(folder).filePath(name + suffix + ".png")));
        };
        Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
        View()->ShowPage(PAGE_OUTPUT, 0);
        auto* output = qobject_cast<CDialogOutput*>(View()->CurrentPage());
        ASSERT_NE(nullptr, output);
        output->SetChannel(0);
        save(QStringLiteral("page-output-ch1"));

        output->SetChannel(kCrossoverChannel);
        Pump(50);
        PressBand(output->Eq().Graph(), kCrossoverBand);
        ASSERT_TRUE(output->CrossoverCombo()->isVisible());
        save(QStringLiteral("page-output-ch6"));

        View()->ShowPage(PAGE_COMPRESSOR, 0);
        auto* comp = qobject_cast<CCompDlg*>(View()->CurrentPage());
        ASSERT_NE(nullptr, comp);
        comp->SelectChannel(0);
        save(QStringLiteral("page-comp"));
    });
}
