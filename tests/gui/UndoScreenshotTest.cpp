#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "shell/CEditHistory.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStatusBar.h"
#include "state/ParamImage.h"

#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

// The Edit menu open over the window after an EQ band was moved, in both
// languages, for the documentation. Only runs when FX_PAGE_SCREENSHOTS
// names the folder.
using UndoScreenshotTest = GuiFixture;

TEST_F(UndoScreenshotTest, EditMenuWithAnUndoStepInBothLanguages) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    m_frame->resize(1040, 700);
    SetDspParam(1, 14, 64);
    View()->History().Flush();
    SetEqBand(0, 4, 1, 220, 0.0, 1.414);
    View()->History().Flush();
    View()->RefreshPages();
    m_frame->StatusBar()->ShowNotice(QString(), 0); // the connection notice has done its work
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        Pump(150);
        QMenu* menu = Ribbon()->EditMenu();
        auto* button = qobject_cast<QToolButton*>(menu->parentWidget());
        ASSERT_NE(nullptr, button);
        menu->popup(button->mapToGlobal(QPoint(0, button->height())));
        Pump(150);
        // The menu is a window of its own: drawn over the window's picture.
        QPixmap shot = m_frame->grab();
        QPainter painter(&shot);
        painter.drawPixmap(m_frame->mapFromGlobal(menu->mapToGlobal(QPoint(0, 0))), menu->grab());
        painter.end();
        menu->close();
        const QString name =
            QStringLiteral("edit-menu-undo-%1.png").arg(language == 1 ? "en" : "zh");
        ASSERT_TRUE(shot.save(QDir(folder).filePath(name)));
    }
}
