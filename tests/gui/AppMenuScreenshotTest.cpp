#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "shell/CEditHistory.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/RibbonIds.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

// The application menu open over the output page, with a few edits counted
// in the status bar, in both languages, for the documentation. Only runs
// when FX_PAGE_SCREENSHOTS names the folder.
using AppMenuScreenshotTest = GuiFixture;

TEST_F(AppMenuScreenshotTest, ApplicationMenuInBothLanguages) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    m_frame->resize(1040, 700);
    Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
    // Three edits on linked CH 1 + CH 2: six parameters.
    for (int channel : {0, 1}) {
        SetDspParam(OutputBlock(channel), OUT_LEVEL_FIRST, 80);
        SetDspParam(OutputBlock(channel), OUT_MUTE, 0);
        SetDspParam(OutputBlock(channel), OUT_PHASE, -100);
    }
    View()->History().Flush();
    View()->RefreshPages();
    m_frame->StatusBar()->ShowNotice(QString(), 0);
    QMenu* menu = nullptr;
    for (QObject* owner : Ribbon()->MenuAction(ID_MACHINE_SETTINGS)->associatedObjects())
        if (auto* found = qobject_cast<QMenu*>(owner)) menu = found;
    ASSERT_NE(nullptr, menu);
    auto* button = qobject_cast<QToolButton*>(menu->parentWidget());
    ASSERT_NE(nullptr, button);
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        Pump(150);
        menu->popup(button->mapToGlobal(QPoint(0, button->height())));
        Pump(150);
        // The menu is a window of its own: drawn over the window's picture.
        QPixmap shot = m_frame->grab();
        QPainter painter(&shot);
        painter.drawPixmap(m_frame->mapFromGlobal(menu->mapToGlobal(QPoint(0, 0))), menu->grab());
        painter.end();
        menu->close();
        const QString name = QStringLiteral("app-menu-%1.png").arg(language == 1 ? "en" : "zh");
        ASSERT_TRUE(shot.save(QDir(folder).filePath(name)));
    }
}
