#include "tests/gui/GuiTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "pages/CDialogEfx.h"
#include "pages/CDialogMusic.h"
#include "pages/CEqEditor.h"
#include "shell/CHalvoxView.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"

#include <QDir>
#include <QMouseEvent>

#include <cstring>

// Pictures of the music and effects pages for the documentation, in both
// languages with a band selected, and of the music page in the smallest
// window. Only runs when FX_PAGE_SCREENSHOTS names the folder to write them to.
namespace {
void PressBand(CEqPanel* graph, int band) {
    const QPointF pos = graph->HandleCentre(band);
    QMouseEvent press(QEvent::MouseButtonPress, pos, graph->mapToGlobal(pos), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(graph, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, graph->mapToGlobal(pos), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(graph, &release);
}

void ShapeEqs() {
    SetEqBand(0, 1, EQ_HP, 60, 0.0, 0.7);
    SetEqBand(0, 5, EQ_PEQ, 250, 4.5, 1.2);
    SetEqBand(0, 9, EQ_PEQ, 1600, -6.0, 2.5);
    SetEqBand(0, 13, EQ_HS, 10000, 3.0, 0.7);
    SetEqBand(4, 3, EQ_PEQ, 500, -4.0, 1.0);
    SetEqBand(2, 4, EQ_PEQ, 1000, 5.0, 1.4);
}
} // namespace

using MusicScreenshotTest = GuiFixture;

TEST_F(MusicScreenshotTest, PagesInBothLanguages) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    m_frame->resize(1280, 800);
    ShapeEqs();
    for (int language : {0, 1}) {
        SwitchLanguageForScreenshot(language);
        const QString suffix = language == 1 ? QStringLiteral("en") : QStringLiteral("zh");

        View()->ShowPage(PAGE_MUSIC, 0);
        Pump(100);
        auto* music = qobject_cast<CDialogMusic*>(View()->CurrentPage());
        ASSERT_NE(nullptr, music);
        music->Reload();
        music->SelectEffectRow(2);
        const uint8_t status[8] = {38, 22, 0, 0, 44, 41, 0, 0};
        std::memcpy(g_StatusBlock(), status, sizeof status);
        music->UpdateMeters();
        PressBand(music->Eq().Graph(), 5);
        Pump(100);
        ASSERT_TRUE(m_frame->grab().save(QDir(folder).filePath("page-music-" + suffix + ".png")));

        View()->ShowPage(PAGE_EFFECTS, 0);
        Pump(100);
        auto* efx = qobject_cast<CDialogEfx*>(View()->CurrentPage());
        ASSERT_NE(nullptr, efx);
        PressBand(efx->Eq().Graph(), 3);
        Pump(100);
        ASSERT_TRUE(m_frame->grab().save(QDir(folder).filePath("page-efx-" + suffix + ".png")));
    }
    std::memset(g_StatusBlock(), 0, kStatusBlockSize);
}

// The music page in the smallest window: the effect list narrows and the
// reverb and echo previews stand one above the other, the echo's Mono and
// Stereo beside it.
TEST_F(MusicScreenshotTest, MusicPageInTheSmallestWindow) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    for (int language : {0, 1}) {
        // The language is chosen before the processor is plugged in, so the
        // connect notice speaks it too.
        StartEditor(false);
        m_frame->resize(1040, 700);
        if (g_Language != language) View()->ToggleLanguage();
        m_usb->Plug();
        ASSERT_TRUE(WaitForRead());
        ShapeEqs();
        View()->ShowPage(PAGE_MUSIC, 0);
        Pump(150);
        auto* music = qobject_cast<CDialogMusic*>(View()->CurrentPage());
        ASSERT_NE(nullptr, music);
        music->Reload();
        music->SelectEffectRow(2);
        Pump(100);
        const QString name = QStringLiteral("page-music-%1-1040x700.png")
                                 .arg(language == 1 ? QStringLiteral("en") : QStringLiteral("zh"));
        ASSERT_TRUE(m_frame->grab().save(QDir(folder).filePath(name)));
        TearDown();
        SetUp();
    }
}
