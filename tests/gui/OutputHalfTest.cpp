#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CCompressPanelPlus.h"
#include "controls/CDelayPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CSSVolumePanel.h"
#include "controls/CSpinButton.h"
#include "controls/CXBmpSlider.h"
#include "controls/Localisation.h"
#include "pages/CCompDlg.h"
#include "pages/CCompressorSection.h"
#include "pages/CDelayDlg.h"
#include "pages/CDialogOutput.h"
#include "pages/CHalvoxPage.h"
#include "pages/CPageNavRow.h"
#include "pages/CSSVCDlg.h"
#include "pages/CSetDlg.h"
#include "pages/DialogControls.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/RibbonIds.h"
#include "state/Compressor.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/SurroundVolume.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include <functional>
#include <set>
#include <string>
#include <vector>

// The pages of the output half as a new user meets them: the navigation row
// they share, what their sliders and value labels say, the room plan's
// captions and the application menu's entries.
namespace {
struct OutputSidePage {
    int page;
    int subPage;
    int ownButton;
};

const OutputSidePage kOutputSidePages[] = {
    {PAGE_OUTPUT, 0, 1069},
    {PAGE_OUTPUT, 5, 1077},
    {PAGE_SURROUND, 0, IDC_NAV_LOCATION},
    {PAGE_DELAY, 0, IDC_NAV_DELAY},
    {PAGE_COMPRESSOR, 0, IDC_NAV_COMP},
    {PAGE_RECORDING, 0, IDC_NAV_RECORD},
};

std::string Where(const OutputSidePage& p) {
    return std::to_string(p.page) + "/" + std::to_string(p.subPage) + " " +
           (g_Language == 1 ? "en" : "zh");
}

class OutputHalfTest : public GuiFixture {
protected:
    void Start() {
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        m_frame->resize(1040, 700);
        Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
        Pump(50);
    }
    CHalvoxPage* Show(const OutputSidePage& p) {
        View()->ShowPage(p.page, p.subPage);
        Pump(20);
        return View()->CurrentPage();
    }
};

// ------------------------------------------------------------------ navigation

TEST_F(OutputHalfTest, EveryPageShowsTheWholeNavigationRowWithItsOwnButtonPressed) {
    Start();
    struct Named {
        int id;
        const char* chinese;
        const char* english;
    };
    const Named pages[] = {{IDC_NAV_LOCATION, "声场定位", "Location"},
                           {IDC_NAV_DELAY, "喇叭延时", "Delay"},
                           {IDC_NAV_COMP, "输出压限", "Comp"},
                           {IDC_NAV_RECORD, "录音输出", "Record"}};
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        for (const OutputSidePage& p : kOutputSidePages) {
            CHalvoxPage* page = Show(p);
            for (int id : CPageNavRow::ButtonIds()) {
                auto* button = Ctrl<CGdipButton>(page, id);
                ASSERT_NE(nullptr, button) << Where(p) << " button " << id;
                EXPECT_TRUE(button->isVisibleTo(page)) << Where(p) << " button " << id;
                EXPECT_TRUE(page->rect().contains(button->geometry()))
                    << Where(p) << " button " << id;
                EXPECT_EQ(id == p.ownButton, button->isChecked()) << Where(p) << " button " << id;
                const int channel = CPageNavRow::ChannelOfButton(id);
                if (channel >= 0) {
                    EXPECT_EQ(Tr("通道%1", "CH %1").arg(channel + 1), button->text()) << Where(p);
                }
            }
            for (const Named& named : pages)
                EXPECT_EQ(Tr(named.chinese, named.english),
                          Ctrl<CGdipButton>(page, named.id)->text())
                    << Where(p) << " button " << named.id;
        }
    }
}

TEST_F(OutputHalfTest, EveryPageButtonLeadsToItsPageFromEveryPage) {
    Start();
    for (const OutputSidePage& from : kOutputSidePages) {
        for (const OutputSidePage& to : kOutputSidePages) {
            CHalvoxPage* page = Show(from);
            Click(Ctrl<CGdipButton>(page, to.ownButton));
            ASSERT_TRUE(WaitUntil([&] {
                CHalvoxPage* now = View()->CurrentPage();
                return now->PageId() == to.page && now->SubPage() == to.subPage;
            })) << Where(from)
                << " -> " << to.ownButton;
        }
    }
}

// ------------------------------------------------------------------ sliders

// A slider and the label that shows its value: what the label must say for
// a position.
struct SliderLabel {
    int page;
    int slider;
    int label;
    std::function<QString(int position)> text;
};

QString Percent(int p) {
    return QString::asprintf("%d%%", p);
}
QString Decibels(int p) {
    return QString::asprintf("%.0fdB", double(p));
}
QString Ratio(int p) {
    return QString::asprintf("%.1f:1", p / 10.0);
}
QString Milliseconds(int p) {
    return QString::asprintf("%.0fms", double(p));
}
QString SplitHz(int p) {
    return QString::asprintf("%dHz", SplitFreqTable[p].splitHz);
}

std::vector<SliderLabel> SliderLabelTable() {
    std::vector<SliderLabel> rows;
    for (int page : {PAGE_OUTPUT, PAGE_RECORDING}) {
        for (int n = 0; n < 4; ++n) rows.push_back({page, 1041 + n, 1127 + n, Percent});
        rows.push_back({page, 1015, 1225, Decibels});
        rows.push_back({page, 1016, 1226, Ratio});
        rows.push_back({page, 1017, 1227, Milliseconds});
        rows.push_back({page, 1018, 1228, Milliseconds});
    }
    rows.push_back({PAGE_RECORDING, 1045, 1131, Percent});
    rows.push_back({PAGE_OUTPUT, 1014, 1008, SplitHz});
    rows.push_back(
        {PAGE_OUTPUT, 1019, 1038, [](int p) { return QString::asprintf("%.1fms", p / 10.0); }});
    rows.push_back({PAGE_COMPRESSOR, 1014, 1038, Decibels});
    rows.push_back({PAGE_COMPRESSOR, 1015, 1039, Ratio});
    rows.push_back({PAGE_COMPRESSOR, 1016, 1040, Milliseconds});
    rows.push_back({PAGE_COMPRESSOR, 1017, 1041, Milliseconds});
    for (int c = 0; c < kOutputChannelCount; ++c)
        rows.push_back({PAGE_SURROUND, 1041 + c, 1131 + c, Percent});
    const int splitSliders[] = {1014, 1015, 1016, 1017, 1018, 1019, 1022, 1023};
    const int splitValues[] = {1008, 1009, 1010, 1011, 1012, 1013, 1020, 1021};
    for (int c = 0; c < kOutputChannelCount; ++c)
        rows.push_back({PAGE_DELAY, splitSliders[c], splitValues[c], SplitHz});
    const auto plain = [](int p) { return QString::number(p); };
    for (int input = 0; input < 4; ++input) {
        rows.push_back({PAGE_MUSIC, 1052 + input, 1152 + 2 * input, plain}); // noise gate
        rows.push_back({PAGE_MUSIC, 1056 + input, 1160 + 2 * input, plain}); // volume
    }
    return rows;
}

void CheckPairs(CHalvoxPage* page, const std::vector<SliderLabel>& rows, const char* when) {
    for (const SliderLabel& row : rows) {
        if (row.page != page->PageId()) continue;
        auto* slider = Ctrl<CXBmpSlider>(page, row.slider);
        auto* label = Ctrl<QLabel>(page, row.label);
        ASSERT_NE(nullptr, slider) << row.page << " slider " << row.slider;
        ASSERT_NE(nullptr, label) << row.page << " label " << row.label;
        EXPECT_EQ(row.text(slider->GetPos()), label->text())
            << when << ": page " << row.page << " slider " << row.slider << " at "
            << slider->GetPos();
    }
}

// Each slider shows the number its label shows: after the read (values that
// differ channel by channel, CH 6's surround volume at 100 % and above) and
// after a step of the slider. Every visible slider of these pages has a row.
TEST_F(OutputHalfTest, EverySliderAndItsLabelShowTheSameNumber) {
    Start();
    SetSurroundVolume(kCrossoverChannel, 100);
    SetSurroundVolume(2, 80);
    SetSurroundVolume(7, 35);
    SetCompressor(0, -18, 2.5, 20, 300);
    SetCompressor(kRecordVarIndex, -30, 6.0, 5, 500);
    SetDelaySplit(2, 7);
    SetDspParam(OutputBlock(0), OUT_LEVEL_FIRST + 1, 42);
    const std::vector<SliderLabel> rows = SliderLabelTable();
    const int pages[] = {PAGE_OUTPUT,   PAGE_RECORDING, PAGE_COMPRESSOR,
                         PAGE_SURROUND, PAGE_DELAY,     PAGE_MUSIC};
    // The music page's effect slider shows its value in an edit box and in
    // the effect list, in the selected effect's unit: the music page's own
    // tests check it.
    const std::set<int> notLabelled = {1000};
    for (int pageId : pages) {
        CHalvoxPage* page = Show({pageId, 0, 0});
        std::set<int> listed;
        for (const SliderLabel& row : rows)
            if (row.page == pageId) listed.insert(row.slider);
        for (CXBmpSlider* slider : page->findChildren<CXBmpSlider*>()) {
            if (slider->isVisibleTo(page) &&
                !(pageId == PAGE_MUSIC && notLabelled.count(CtrlId(slider)))) {
                EXPECT_TRUE(listed.count(CtrlId(slider)))
                    << "page " << pageId << ": slider " << CtrlId(slider) << " has no row";
            }
        }
        CheckPairs(page, rows, "loaded");
        for (const SliderLabel& row : rows) {
            if (row.page != pageId) continue;
            CXBmpSlider* slider = Ctrl<CXBmpSlider>(page, row.slider);
            if (!slider->isEnabled()) continue; // a split in whole-channel mode
            const int target = slider->GetPos() == slider->Maximum() ? slider->Maximum() - 1
                                                                     : slider->GetPos() + 1;
            StepSliderTo(slider, target);
        }
        CheckPairs(page, rows, "stepped");
        // And back from the image, as a read would show it.
        page->Reload();
        CheckPairs(page, rows, "reloaded");
    }
}

// CH 6 goes to 500 %: its slider marks where 100 % is, so at 100 % it does
// not look like the bottom of a scale the others end at.
TEST_F(OutputHalfTest, TheSubwooferVolumeSliderMarksOneHundredPercent) {
    Start();
    SetSurroundVolume(kCrossoverChannel, 100);
    CHalvoxPage* page = Show({PAGE_SURROUND, 0, 0});
    auto* sub = Ctrl<CXBmpSlider>(page, 1041 + kCrossoverChannel);
    EXPECT_EQ(500, sub->Maximum());
    EXPECT_EQ(100, sub->GetPos());
    EXPECT_EQ(100, sub->Mark());
    EXPECT_EQ(QStringLiteral("100%"), Ctrl<QLabel>(page, 1131 + kCrossoverChannel)->text());
    EXPECT_EQ(CXBmpSlider::kNoMark, Ctrl<CXBmpSlider>(page, 1041)->Mark());
}

// ------------------------------------------------------------------ room plan

TEST_F(OutputHalfTest, TheRoomPlanNamesSpeakersInTheLanguageAndTagsThemWithTheirChannel) {
    Start();
    // CH 1..8 carry L, R, SBR, SBL, CEN, SUB, SR and R again (the first
    // carrier counts); nothing carries SL.
    const int sources[kOutputChannelCount] = {0, 1, 7, 6, 5, 4, 3, 1};
    for (int c = 0; c < kOutputChannelCount; ++c)
        SetDspParam(OutputBlock(c), OUT_SOURCE, sources[c]);
    auto* page = qobject_cast<CSSVCDlg*>(Show({PAGE_SURROUND, 0, 0}));
    ASSERT_NE(nullptr, page);
    struct Expected {
        int speaker;
        const char* english;
        const char* chinese;
        const char* tag; // English; Chinese "通道n"
    };
    const Expected speakers[] = {
        {1, "Front L\n(L)", "前置左\n(L)", "CH1"},  {2, "Centre\n(CEN)", "中置\n(CEN)", "CH5"},
        {3, "Front R\n(R)", "前置右\n(R)", "CH2"},  {4, "Back L\n(SBL)", "后环绕左\n(SBL)", "CH4"},
        {5, "Sub\n(SUB)", "超低\n(SUB)", "CH6"},    {6, "Back R\n(SBR)", "后环绕右\n(SBR)", "CH3"},
        {7, "Side L\n(SL)", "侧环绕左\n(SL)", "-"}, {8, "Side R\n(SR)", "侧环绕右\n(SR)", "CH7"},
    };
    for (int language : {1, 0}) {
        if (g_Language != language) View()->ToggleLanguage();
        for (const Expected& e : speakers) {
            EXPECT_EQ(QString::fromUtf8(language == 1 ? e.english : e.chinese),
                      page->Plan()->SpeakerCaptionName(e.speaker))
                << e.speaker;
            QString tag = QString::fromLatin1(e.tag);
            if (language == 0) tag.replace(QStringLiteral("CH"), QString::fromUtf8("通道"));
            EXPECT_EQ(tag, page->Plan()->SpeakerTag(e.speaker)) << e.speaker;
        }
    }
}

// ------------------------------------------------------------------ switched off

// One rule on every page: a section that is switched off draws its captions,
// values and sliders grey; its sliders still move.
TEST_F(OutputHalfTest, ASwitchedOffSectionIsDrawnGreyOnEveryPage) {
    Start();
    struct Section {
        int page;
        int switchId;
        std::vector<int> sliders;
        std::vector<int> labels; // captions and values
    };
    const Section sections[] = {
        {PAGE_OUTPUT,
         1081,
         {1015, 1016, 1017, 1018},
         {1001, 1002, 1003, 1004, 1225, 1226, 1227, 1228}},
        {PAGE_RECORDING,
         1081,
         {1015, 1016, 1017, 1018},
         {1001, 1002, 1003, 1004, 1225, 1226, 1227, 1228}},
        {PAGE_COMPRESSOR,
         1045,
         {1014, 1015, 1016, 1017},
         {1005, 1006, 1007, 1008, 1038, 1039, 1040, 1041}},
        {PAGE_OUTPUT, 1293, {1019}, {1038}},
    };
    for (const Section& section : sections) {
        CHalvoxPage* page = Show({section.page, 0, 0});
        auto* box = Ctrl<QCheckBox>(page, section.switchId);
        ASSERT_NE(nullptr, box) << section.page << " " << section.switchId;
        for (bool on : {!box->isChecked(), box->isChecked()}) {
            if (box->isChecked() != on) box->click();
            ASSERT_EQ(on, box->isChecked());
            for (int id : section.sliders) {
                auto* slider = Ctrl<CXBmpSlider>(page, id);
                EXPECT_EQ(!on, slider->Faint()) << section.page << " slider " << id << " on " << on;
                EXPECT_TRUE(slider->isEnabled()) << section.page << " slider " << id;
            }
            for (int id : section.labels)
                EXPECT_EQ(on, Ctrl<QLabel>(page, id)->isEnabled())
                    << section.page << " label " << id << " on " << on;
        }
        // Shown again from the image, the page draws the section the same way.
        page->Reload();
        for (int id : section.sliders)
            EXPECT_EQ(!box->isChecked(), Ctrl<CXBmpSlider>(page, id)->Faint()) << id;
    }
}

// A switched-off delay edits alike on the channel page and the delay page:
// its mode and time can be set (drawn grey), and the switch stays off.
TEST_F(OutputHalfTest, ASwitchedOffDelayIsEditedAlikeOnEveryPage) {
    Start();
    constexpr int kChannel = 4; // CH 5, never linked; its delay is off by default
    const int block = OutputBlock(kChannel);
    struct Edit {
        const char* name;
        OutputSidePage page;
        int control;
        std::function<void(QWidget* control)> gesture;
        int parameter; // what it changes
    };
    const auto click = [](QWidget* w) { qobject_cast<QAbstractButton*>(w)->click(); };
    const Edit edits[] = {
        {"channel page: high band",
         {PAGE_OUTPUT, kChannel, 0},
         IDC_OUT_HIGH_BAND,
         click,
         OUT_DELAY_MODE},
        {"channel page: whole channel",
         {PAGE_OUTPUT, kChannel, 0},
         IDC_OUT_WHOLE_CHANNEL,
         click,
         OUT_DELAY_MODE},
        {"channel page: time slider",
         {PAGE_OUTPUT, kChannel, 0},
         IDC_OUT_DELAY,
         [](QWidget* w) { StepSliderTo(qobject_cast<CXBmpSlider*>(w), 222); },
         OUT_DELAY_TIME},
        {"delay page: high band",
         {PAGE_DELAY, 0, 0},
         IDC_DELAY_HIGH_BAND + 2 * kChannel,
         click,
         OUT_DELAY_MODE},
        {"delay page: whole channel",
         {PAGE_DELAY, 0, 0},
         IDC_DELAY_HIGH_BAND + 2 * kChannel + 1,
         click,
         OUT_DELAY_MODE},
        {"delay page: typed time",
         {PAGE_DELAY, 0, 0},
         IDC_DELAY_EDIT + kChannel,
         [](QWidget* w) {
             auto* edit = qobject_cast<QLineEdit*>(w);
             edit->setFocus();
             edit->setText(QStringLiteral("33.3"));
             PressKey(edit, Qt::Key_Return);
         },
         OUT_DELAY_TIME},
        {"delay page: spin",
         {PAGE_DELAY, 0, 0},
         IDC_DELAY_SPIN + kChannel,
         [](QWidget* w) { qobject_cast<CSpinButton*>(w)->Step(1); },
         OUT_DELAY_TIME},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.name);
        CHalvoxPage* page = Show(e.page);
        QWidget* control = Ctrl<QWidget>(page, e.control);
        ASSERT_NE(nullptr, control);
        ASSERT_EQ(1.0, GetDspParam(block, OUT_DELAY_BYPASS)) << "switched off";
        EXPECT_TRUE(control->isEnabled());
        if (auto* slider = qobject_cast<CXBmpSlider*>(control)) {
            EXPECT_TRUE(slider->Faint());
        } else if (!qobject_cast<CSpinButton*>(control)) {
            EXPECT_TRUE(fx::ShownFaint(control));
        }
        const int offset = DspRecordValueOffset(block, e.parameter);
        const std::vector<uint8_t> before(g_ParamImage() + offset, g_ParamImage() + offset + 8);
        e.gesture(control);
        EXPECT_NE(before,
                  std::vector<uint8_t>(g_ParamImage() + offset, g_ParamImage() + offset + 8));
        EXPECT_EQ(1.0, GetDspParam(block, OUT_DELAY_BYPASS)) << "still off";
    }
}

// ------------------------------------------------------------------ languages

// Both language files name the same controls, and what the pages draw or
// fill in code follows a live switch as a freshly opened page shows it.
TEST_F(OutputHalfTest, TextsFollowALiveLanguageSwitch) {
    QStringList chinese = CLanguageFile::ForLanguage(0).Keys();
    QStringList english = CLanguageFile::ForLanguage(1).Keys();
    chinese.sort();
    english.sort();
    EXPECT_EQ(chinese, english) << "every key in both languages";
    for (const QString& key : chinese)
        EXPECT_FALSE(CLanguageFile::ForLanguage(0).Value(key).contains(QString::fromUtf8("阀")))
            << key.toStdString() << ": the word for threshold is 阈";

    Start();
    for (int language : {1, 0}) { // English first, then a live switch to Chinese
        if (g_Language != language) View()->ToggleLanguage();
        CHalvoxPage* output = Show({PAGE_OUTPUT, 0, 0});
        EXPECT_EQ(Tr("延时时间", "Delay Time"),
                  Ctrl<QLabel>(output, IDC_OUT_DELAY_CAPTION)->text());
        EXPECT_EQ(Tr("阈值", "Threshold"), Ctrl<QLabel>(output, 1001)->text());
        EXPECT_EQ(Tr("关闭", "OFF"), CCompressPanelPlus::OffText(g_Language));
        CHalvoxPage* comp = Show({PAGE_COMPRESSOR, 0, 0});
        EXPECT_EQ(Tr("阈值", "Threshold"), Ctrl<QLabel>(comp, 1005)->text());
        EXPECT_EQ(language, Ctrl<CCompressPanelPlus>(comp, IDC_COMP_CURVE)->Language());
        CHalvoxPage* delay = Show({PAGE_DELAY, 0, 0});
        EXPECT_EQ(language, Ctrl<CDelayPanel>(delay, IDC_DELAY_CHART)->Language());
        EXPECT_EQ(Tr("通道3", "CH 3"), CDelayPanel::RowTitle(2, language));
        View()->OnCommand(ID_MACHINE_SETTINGS);
        QWidget* settings = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && qobject_cast<CSetDlg*>(w)) settings = w;
            return settings != nullptr;
        }));
        EXPECT_EQ(Tr("自动", "Auto"),
                  Ctrl<QComboBox>(settings, IDC_SET_POWER_ON_MODE)->itemText(0));
        settings->close();
    }
}

// ------------------------------------------------------------------ dialogs

// The features and remote learning windows are framed like every dialog:
// a title bar with a close button, and a Close button of their own.
TEST_F(OutputHalfTest, ToolDialogsHaveATitleAndCloseButtons) {
    Start();
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        View()->OpenFeatures();
        View()->OpenRemoteLearning();
        Pump(50);
        const std::vector<QDialog*> dialogs = VisibleWindows<QDialog>();
        ASSERT_EQ(2u, dialogs.size());
        for (QDialog* dialog : dialogs) {
            const std::string name = dialog->metaObject()->className();
            const Qt::WindowFlags flags = dialog->windowFlags();
            EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint)) << name;
            EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint)) << name;
            EXPECT_FALSE(flags.testFlag(Qt::FramelessWindowHint)) << name;
            EXPECT_EQ(Qt::Dialog, flags & Qt::WindowType_Mask) << name;
            EXPECT_FALSE(dialog->windowTitle().trimmed().isEmpty()) << name;
            auto* close = Ctrl<QAbstractButton>(dialog, 2);
            ASSERT_NE(nullptr, close) << name;
            EXPECT_EQ(Tr("关闭", "Close"), close->text()) << name;
            close->click();
        }
        Pump(50);
        EXPECT_TRUE(VisibleWindows<QDialog>().empty());
    }
}

// ------------------------------------------------------------------ menu

TEST_F(OutputHalfTest, TheApplicationMenuOffersMachineSettingsAndRecentFilesInTheLanguage) {
    Start();
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        QAction* settings = Ribbon()->MenuAction(ID_MACHINE_SETTINGS);
        ASSERT_NE(nullptr, settings);
        EXPECT_EQ(Tr("机器设置(&M)…\tF7", "Machine settings(&M)…\tF7"), settings->text());
        bool recentFound = false;
        for (QObject* owner : settings->associatedObjects())
            if (auto* menu = qobject_cast<QMenu*>(owner))
                for (QAction* action : menu->actions())
                    if (action->menu() && action->text() == Tr("最近的文档", "Recent files"))
                        recentFound = true;
        EXPECT_TRUE(recentFound) << language;
    }
    Ribbon()->MenuAction(ID_MACHINE_SETTINGS)->trigger();
    Pump(50);
    EXPECT_EQ(1u, VisibleWindows<QDialog>().size());
    CloseStrayWindows();
}
} // namespace
