#include "tests/gui/GuiTestSupport.h"

#include "controls/CEqPanel.h"
#include "pages/CAutoEqDlg.h"
#include "pages/CDialogOutput.h"
#include "pages/CEqEditor.h"
#include "pages/CRoomCorrection.h"
#include "shell/CHalvoxView.h"
#include "state/AutoEqFit.h"

#include <QDir>

#include <cmath>

// Pictures of room correction for the documentation: the output page's EQ
// graph with a measured room, the target and "measurement + EQ" after a fit
// of 40..500 Hz, in both languages. Only runs when FX_PAGE_SCREENSHOTS names
// the folder to write them to.
namespace {

// A speaker in a room: roll-offs below 45 Hz and above 16 kHz, three modes
// and a little ripple, 1/48 octave.
fx::Measurement LivingRoom() {
    const std::vector<EqBandRecord> room = {{-12.0, 35, 0.7, EQ_HP},  {7.0, 43, 6.0, EQ_PEQ},
                                            {-8.0, 68, 4.0, EQ_PEQ},  {6.0, 115, 5.0, EQ_PEQ},
                                            {-3.5, 240, 2.0, EQ_PEQ}, {-6.0, 18000, 0.7, EQ_LP}};
    fx::Measurement m;
    for (double f = 10.0; f < 24000.0; f *= std::pow(2.0, 1.0 / 48.0)) {
        m.frequencies.push_back(f);
        m.levels.push_back(75.0 + fx::BandsResponseDb(room, f) + 0.4 * std::sin(7.0 * std::log(f)));
    }
    return m;
}

} // namespace

using RoomCorrectionScreenshotTest = GuiFixture;

TEST_F(RoomCorrectionScreenshotTest, GraphWithMeasurementInBothLanguages) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    m_frame->resize(1280, 800);
    View()->ShowPage(PAGE_OUTPUT, 0);
    Pump(100);
    auto* page = qobject_cast<CDialogOutput*>(View()->CurrentPage());
    ASSERT_NE(nullptr, page);
    CRoomCorrection& room = *page->Eq().RoomCorrection();
    page->Eq().Graph()->Overlay().SetMeasurement(LivingRoom());
    fx::AutoEqRequest request;
    request.lowHz = 40.0;
    request.highHz = 500.0;
    request.bandCount = 8;
    int applied = 0, discarded = 0;
    QObject::connect(&room, &CRoomCorrection::FitApplied, [&] { ++applied; });
    QObject::connect(&room, &CRoomCorrection::FitDiscarded, [&] { ++discarded; });
    // The preview at the smallest window size, in both languages (cancelled),
    // and the fit's dialog.
    m_frame->resize(1040, 700);
    for (int language : {0, 1}) {
        SwitchLanguageForScreenshot(language);
        const QString suffix = language == 1 ? QStringLiteral("en") : QStringLiteral("zh");
        room.SetPreviewChooser([&] {
            Pump(100);
            EXPECT_TRUE(m_frame->grab().save(
                QDir(folder).filePath("room-correction-preview-" + suffix + "-1040x700.png")));
            return false;
        });
        ASSERT_TRUE(room.StartFit(request));
        ASSERT_TRUE(WaitUntil([&] { return discarded == language + 1; }, 30000));
        CAutoEqDlg dialog(page, fx::DefaultAutoEqRequest(LivingRoom()),
                          fx::LowFrequencyLimit(LivingRoom()), 10, false, {});
        dialog.show();
        Pump(100);
        ASSERT_TRUE(dialog.grab().save(QDir(folder).filePath("auto-eq-dialog-" + suffix + ".png")));
    }
    m_frame->resize(1280, 800);
    room.SetPreviewChooser([] { return true; });
    ASSERT_TRUE(room.StartFit(request));
    ASSERT_TRUE(WaitUntil([&] { return applied == 1; }, 30000));
    for (int language : {0, 1}) {
        SwitchLanguageForScreenshot(language);
        const QString suffix = language == 1 ? QStringLiteral("en") : QStringLiteral("zh");
        Pump(100);
        ASSERT_TRUE(
            m_frame->grab().save(QDir(folder).filePath("room-correction-" + suffix + ".png")));
    }
}
