#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "pages/CHalvoxPage.h"
#include "shell/CHalvoxView.h"
#include "shell/CInfoDlg.h"
#include "shell/CMasterControls.h"
#include "shell/CNetConnectDlg.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/CRibbonStepSlider.h"
#include "shell/CStatusBarPane.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QWheelEvent>

#include <algorithm>

namespace {
class RibbonTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        m_sim->ClearCommandLog();
    }

    // Moves a slider as the user would (the slider notifies its command).
    void Move(int sliderId, int value) { Ribbon()->Slider(sliderId)->setValue(value); }

    // Waits until the processor has received a DSP write for the parameter.
    bool WaitForWrite(int block, int parameter) {
        return WaitUntil([&] { return !DspWrites(block, parameter).empty(); }, 5000);
    }

    QString InfoText() const {
        CInfoDlg* info = CInfoDlg::Current();
        return info ? info->Text() : QString();
    }

    void CloseInfo() {
        if (CInfoDlg* info = CInfoDlg::Current()) info->close();
        Pump(20);
    }
};
} // namespace

TEST_F(RibbonTest, MicrophoneAboveTheMaximumIsHeldAtTheMaximumWithANotice) {
    g_MachineSettingsDevice()[5] = 80;
    Move(kLevelRows[ROW_MIC].slider[0], 99);

    ASSERT_TRUE(WaitForWrite(1, 14));
    EXPECT_EQ(PercentToStored(80), LastDspValue(1, 14));
    EXPECT_EQ(80, GetDspParam(1, 14));
    for (int copy = 0; copy < 2; ++copy) {
        EXPECT_EQ(80, Ribbon()->Slider(kLevelRows[ROW_MIC].slider[copy])->value());
        EXPECT_EQ(QString::fromUtf8("话筒音量: 80"),
                  Ribbon()->ElementText(kLevelRows[ROW_MIC].label[copy]));
    }
    EXPECT_EQ(QString::fromUtf8("不能超过最大话筒音量!"), InfoText());
}

TEST_F(RibbonTest, MuteNoticeForEchoButNotForEffect) {
    SetDspParam(2, 29, 0); // echo muted
    SetDspParam(1, 17, 0); // effect muted
    Pump(50);
    CloseInfo();

    Move(kLevelRows[ROW_EFFECT].slider[0], 40);
    ASSERT_TRUE(WaitForWrite(1, 16));
    EXPECT_EQ(PercentToStored(40), LastDspValue(1, 16));
    EXPECT_EQ(nullptr, CInfoDlg::Current());

    Move(kLevelRows[ROW_ECHO].slider[0], 60);
    ASSERT_TRUE(WaitForWrite(2, 28)); // sent all the same
    EXPECT_EQ(PercentToStored(60), LastDspValue(2, 28));
    EXPECT_EQ(QString::fromUtf8("当前是静音状态"), InfoText());
}

TEST_F(RibbonTest, MuteBoxOfAMutedRowSendsOnAndClearsBothBoxes) {
    SetDspParam(4, 13, 0);
    View()->RefreshPages();
    QCheckBox* input = Ribbon()->CheckBox(kLevelRows[ROW_MUSIC].mute[0]);
    QCheckBox* output = Ribbon()->CheckBox(kLevelRows[ROW_MUSIC].mute[1]);
    ASSERT_TRUE(input->isChecked());
    ASSERT_TRUE(output->isChecked());
    m_sim->ClearCommandLog();

    input->click();
    ASSERT_TRUE(WaitForWrite(4, 13));
    EXPECT_EQ(PercentToStored(100), LastDspValue(4, 13));
    EXPECT_FALSE(input->isChecked());
    EXPECT_FALSE(output->isChecked());

    output->click(); // and back to muted from the other copy
    ASSERT_TRUE(WaitUntil([&] { return DspWrites(4, 13).size() == 2; }));
    EXPECT_EQ(PercentToStored(0), LastDspValue(4, 13));
    EXPECT_TRUE(input->isChecked());
}

TEST_F(RibbonTest, PitchSendsPitchPlusFiveAndCaptionsThePitchPanel) {
    Move(ID_PITCH_IN, -3);
    ASSERT_TRUE(WaitForWrite(4, 21));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 2}), DspWrites(4, 21).back());
    EXPECT_EQ(-3, Ribbon()->Slider(ID_PITCH_OUT)->value());
    EXPECT_EQ(QString::fromUtf8("音乐变调:-3"),
              Ribbon()->PanelCaption(CRibbonBar::kInputCategory, PANEL_PITCH));
    EXPECT_TRUE(View()->IsTimerActive(CHalvoxView::TIMER_PITCH));

    View()->OnCommand(ID_LANGUAGE);
    EXPECT_EQ(QStringLiteral("Music Pitch:-3"),
              Ribbon()->PanelCaption(CRibbonBar::kInputCategory, PANEL_PITCH));
}

TEST_F(RibbonTest, NoiseGateLabelsFollowTheLanguageFormats) {
    Move(ID_NOISEGATE_IN, 7);
    ASSERT_TRUE(WaitForWrite(4, 22));
    EXPECT_EQ(QString::fromUtf8("音乐噪声门:  7"), Ribbon()->ElementText(ID_NOISEGATE_LABEL_OUT));
    EXPECT_EQ(7, Ribbon()->Slider(ID_NOISEGATE_OUT)->value());
    View()->OnCommand(ID_LANGUAGE);
    EXPECT_EQ(QStringLiteral("Noisegate:      7"), Ribbon()->ElementText(ID_NOISEGATE_LABEL_IN));
}

TEST_F(RibbonTest, OutputCategoryCopyMovesTheInputCopyAndShowsTheOutputPage) {
    Ribbon()->SetActiveCategory(CRibbonBar::kOutputCategory);
    EXPECT_EQ(PAGE_OUTPUT, View()->CurrentPage()->PageId());
    Move(kLevelRows[ROW_MIC].slider[1], 42);
    ASSERT_TRUE(WaitForWrite(1, 14));
    EXPECT_EQ(PercentToStored(42), LastDspValue(1, 14));
    EXPECT_EQ(42, Ribbon()->Slider(kLevelRows[ROW_MIC].slider[0])->value());
}

TEST_F(RibbonTest, WheelOverTheMusicPanelRaisesBothCopiesWithTheLimitCheck) {
    g_MachineSettingsDevice()[6] = 17; // music is 16 by default
    QWidget* slider = Ribbon()->Slider(kLevelRows[ROW_MUSIC].slider[0]);
    QWidget* panel = slider->parentWidget();
    QWheelEvent up(QPointF(5, 5), panel->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(panel, &up);
    ASSERT_TRUE(WaitForWrite(4, 12));
    EXPECT_EQ(PercentToStored(17), LastDspValue(4, 12));
    EXPECT_EQ(17, Ribbon()->Slider(kLevelRows[ROW_MUSIC].slider[1])->value());
    EXPECT_TRUE(InfoText().isEmpty());

    QApplication::sendEvent(panel, &up); // 18 is over the maximum
    Pump(50);
    EXPECT_EQ(17, Ribbon()->Slider(kLevelRows[ROW_MUSIC].slider[0])->value());
    EXPECT_EQ(QString::fromUtf8("不能超过最大音乐音量!"), InfoText());
}

TEST_F(RibbonTest, ChannelClickMovesOneStepTowardsTheClick) {
    CRibbonStepSlider* slider = Ribbon()->Slider(kLevelRows[ROW_REVERB].slider[0]);
    slider->SetPositionQuietly(50);
    const QPoint farRight(slider->width() - 2, slider->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, farRight, slider->mapToGlobal(farRight),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &press);
    EXPECT_EQ(51, slider->value());
    ASSERT_TRUE(WaitForWrite(3, 24));
    EXPECT_EQ(PercentToStored(51), LastDspValue(3, 24));
}

TEST_F(RibbonTest, LanguageToggleRelabelsTheRibbonAndOpenDialogs) {
    View()->OnCommand(ID_NET_CONNECT);
    CNetConnectDlg* dialog = View()->NetConnectDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(QString::fromUtf8("网络连接"), dialog->windowTitle());

    View()->OnCommand(ID_LANGUAGE);
    EXPECT_EQ(1, g_Language);
    EXPECT_EQ(QStringLiteral("Input"), Ribbon()->CategoryName(0));
    EXPECT_EQ(QStringLiteral("Output"), Ribbon()->CategoryName(1));
    EXPECT_EQ(QStringLiteral("Mic Vol"), Ribbon()->PanelCaption(1, PANEL_MIC));
    EXPECT_EQ(QStringLiteral("Mic Vol: 50"), Ribbon()->ElementText(kLevelRows[ROW_MIC].label[1]));
    EXPECT_EQ(QStringLiteral("Mute"), Ribbon()->ElementText(kLevelRows[ROW_ECHO].mute[0]));
    EXPECT_EQ(QStringLiteral("Connect IP"), Ribbon()->ElementText(ID_NET_CONNECT));
    EXPECT_EQ(QStringLiteral("Bypass"), m_frame->StatusBar()->BypassBox()->text());
    EXPECT_EQ(QStringLiteral("Connect IP"), dialog->windowTitle());
    EXPECT_EQ(QStringLiteral("Host IP:"), dialog->findChild<QLabel*>()->text());
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "ARN63 V1.0", "Settings");
    EXPECT_EQ(1, store.value("language").toInt());

    View()->OnCommand(ID_LANGUAGE);
    EXPECT_EQ(QString::fromUtf8("输入控制"), Ribbon()->CategoryName(0));
    // The Chinese reverb prefix has no trailing spaces, refreshed or relabelled.
    EXPECT_EQ(QString::fromUtf8("混响音量: 50"),
              Ribbon()->ElementText(kLevelRows[ROW_REVERB].label[0]));
    EXPECT_EQ(QString::fromUtf8("网络连接"), dialog->windowTitle());
    EXPECT_EQ(QString::fromUtf8("主机IP:"), dialog->findChild<QLabel*>()->text());
}

namespace {
bool HasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}
} // namespace

// Every control of the ribbon and every pane of the status bar is named by
// its tooltip, in the interface language.
TEST_F(RibbonTest, TooltipsNameEveryControlInTheInterfaceLanguage) {
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        std::vector<QWidget*> controls;
        for (QWidget* w : Ribbon()->findChildren<QWidget*>())
            if ((qobject_cast<QAbstractButton*>(w) || qobject_cast<QSlider*>(w)) &&
                w->isVisibleTo(Ribbon()))
                controls.push_back(w);
        CRibbonStatusBar* bar = m_frame->StatusBar();
        for (QWidget* w :
             std::initializer_list<QWidget*>{bar->LinkPane(), bar->ModePane(), bar->OfflineNotice(),
                                             bar->BypassBox(), bar->ResetButton()})
            controls.push_back(w);
        EXPECT_GT(controls.size(), 30u);
        for (QWidget* w : controls) {
            const QString tip = w->toolTip();
            EXPECT_FALSE(tip.isEmpty()) << w->metaObject()->className() << " " << CtrlId(w);
            EXPECT_EQ(language == 0, HasChinese(tip)) << tip.toStdString();
        }
        auto* tabs = Ribbon()->findChild<QTabBar*>();
        for (int category = 0; category < 2; ++category)
            EXPECT_EQ(language == 0, HasChinese(tabs->tabToolTip(category)));
    }
}

// Tab reaches the level sliders, the mute boxes, the noise gate and pitch
// and the status bar's Bypass and Reset EQ, which come after the page.
TEST_F(RibbonTest, TabReachesTheMasterControlsAndTheEqShortcuts) {
    m_frame->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return m_frame->isActiveWindow(); }));
    Ribbon()->Slider(kLevelRows[0].slider[0])->setFocus(Qt::TabFocusReason);
    std::vector<int> reached;
    for (int step = 0; step < 400; ++step) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(nullptr, focus);
        reached.push_back(CtrlId(focus));
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(focus, &tab);
        if (QApplication::focusWidget() == Ribbon()->Slider(kLevelRows[0].slider[0])) break;
    }
    const auto reaches = [&](int id) { return std::count(reached.begin(), reached.end(), id) > 0; };
    for (const MasterLevelRow& row : kLevelRows) {
        EXPECT_TRUE(reaches(row.slider[0])) << row.slider[0];
        EXPECT_TRUE(reaches(row.mute[0])) << row.mute[0];
    }
    for (int id : {int(ID_NOISEGATE_IN), int(ID_PITCH_IN), int(ID_EQ_BYPASS), int(ID_EQ_RESET)})
        EXPECT_TRUE(reaches(id)) << id;
    // The page's controls come before the status bar's.
    const auto at = [&](int id) {
        return std::find(reached.begin(), reached.end(), id) - reached.begin();
    };
    EXPECT_LT(at(1040), at(ID_EQ_BYPASS)); // the music page's EQ graph
    EXPECT_EQ(at(ID_EQ_BYPASS) + 1, at(ID_EQ_RESET));

    // A focused mute box toggles with the space bar, as a click would.
    QCheckBox* mute = Ribbon()->CheckBox(kLevelRows[ROW_ECHO].mute[0]);
    mute->setFocus(Qt::TabFocusReason);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(mute, &press);
    QApplication::sendEvent(mute, &release);
    ASSERT_TRUE(WaitUntil([&] { return !DspWrites(2, 29).empty(); }));
    EXPECT_TRUE(mute->isChecked());
}
