// Links the editor's libraries the way the editor does and names no page
// class: a page whose registration the linker dropped shows up here as a
// placeholder.
#include "pages/PageRegistry.h"
#include "controls/Localisation.h"
#include "pages/CHalvoxPage.h"
#include "pages/IPageHost.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>

#include <memory>
#include <utility>
#include <vector>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "page_tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// A window hosting pages that records what they ask of it.
class RecordingHost : public QWidget, public fx::IPageHost {
public:
    void ShowPage(int pageId, int subPage) override { requests.emplace_back(pageId, subPage); }
    int LastMusicSubPage() const override { return 0; }
    std::vector<std::pair<int, int>> requests;
};

QAbstractButton* ButtonWithId(QWidget* page, int id) {
    for (QAbstractButton* button : page->findChildren<QAbstractButton*>())
        if (CtrlId(button) == id) return button;
    return nullptr;
}

class PageRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_Language = 0;
        BuildDefaultImage();
    }
};

} // namespace

TEST_F(PageRegistryTest, EveryPageTheViewShowsIsMadeByItsOwnClass) {
    const std::vector<std::pair<int, const char*>> pages = {
        {PAGE_MUSIC, "CDialogMusic"},   {PAGE_DELAY, "CDelayDlg"},
        {PAGE_SURROUND, "CSSVCDlg"},    {PAGE_COMPRESSOR, "CCompDlg"},
        {PAGE_OUTPUT, "CDialogOutput"}, {PAGE_EFFECTS, "CDialogEfx"},
        {PAGE_RECORDING, "CDialogRec"},
    };
    std::vector<int> expectedIds;
    for (const auto& [pageId, className] : pages) expectedIds.push_back(pageId);
    EXPECT_EQ(expectedIds, fx::PageIds());

    RecordingHost host;
    for (const auto& [pageId, className] : pages) {
        SCOPED_TRACE(className);
        EXPECT_TRUE(fx::IsPageId(pageId));
        EXPECT_FALSE(fx::PageName(pageId).isEmpty());
        std::unique_ptr<CHalvoxPage> page(fx::CreatePage(pageId, 0, &host, fx::Store()));
        ASSERT_NE(nullptr, page);
        EXPECT_STREQ(className, page->metaObject()->className());
        EXPECT_EQ(pageId, page->PageId());
        EXPECT_EQ(&host, page->parentWidget());
        EXPECT_EQ(&fx::Store(), &page->Store()); // the store it was given
    }
}

TEST_F(PageRegistryTest, UnknownIdentifiersAndSecondMakersAreRefused) {
    for (int id : {0, -1, 314, 999}) {
        EXPECT_FALSE(fx::IsPageId(id)) << id;
        EXPECT_TRUE(fx::PageName(id).isEmpty()) << id;
        EXPECT_EQ(nullptr, fx::CreatePage(id, 0, nullptr, fx::Store())) << id;
    }
    // A second maker for a page, or one for no page, changes nothing.
    const fx::PageMaker stray = [](int, QWidget*, const CPageNavigator&,
                                   fx::ParamStore&) -> CHalvoxPage* { return nullptr; };
    EXPECT_FALSE(fx::RegisterPage(PAGE_DELAY, stray));
    EXPECT_FALSE(fx::RegisterPage(999, stray));
    EXPECT_FALSE(fx::IsPageId(999));
    std::unique_ptr<CHalvoxPage> page(fx::CreatePage(PAGE_DELAY, 0, nullptr, fx::Store()));
    ASSERT_NE(nullptr, page);
    EXPECT_STREQ("CDelayDlg", page->metaObject()->className());
}

// The page's requests reach its host from the event loop, never inside the
// page's own handler (the host destroys the page when it switches), and are
// dropped when the host has gone.
TEST_F(PageRegistryTest, PageRequestsReachTheHostLater) {
    auto host = std::make_unique<RecordingHost>();
    CHalvoxPage* page = fx::CreatePage(PAGE_MUSIC, 0, host.get(), fx::Store());
    ASSERT_NE(nullptr, page);
    QAbstractButton* music = ButtonWithId(page, 1070); // the music sub-page
    ASSERT_NE(nullptr, music);

    music->click();
    EXPECT_TRUE(host->requests.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ((std::vector<std::pair<int, int>>{{PAGE_MUSIC, 2}}), host->requests);

    music->click();
    host.reset(); // the page goes with its host
    QCoreApplication::processEvents();
}
