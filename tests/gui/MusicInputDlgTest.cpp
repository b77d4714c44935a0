#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CXBmpSlider.h"
#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "pages/CDialogMusicInput.h"
#include "shell/CHalvoxView.h"
#include "shell/RibbonIds.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QWheelEvent>

namespace {

// The music input dialog against the simulated processor of a model.
class MusicInputDlgTest : public GuiFixture {
protected:
    CDialogMusicInput* Open(const char* model, int selected = 0) {
        SimIdentity identity;
        identity.moduleName = model;
        m_sim->SetIdentity(identity);
        SetSourceInProcessor(selected);
        StartEditor();
        EXPECT_TRUE(WaitForRead());
        m_sim->ClearCommandLog();
        View()->OnCommand(ID_INPUT_SOURCE);
        return View()->MusicInputDialog();
    }

    void SetSourceInProcessor(int source, int levelSource = -1, int level = 0) {
        SimProcessor::Image memory = m_sim->Memory();
        memory[SimProcessor::FindDspValueOffset(memory, 4, 23) + 3] = static_cast<uint8_t>(source);
        if (levelSource >= 0)
            WriteBigEndian32(memory.data() +
                                 SimProcessor::FindDspValueOffset(memory, 4, 24 + levelSource),
                             PercentToStored(level));
        m_sim->SetMemory(memory);
    }

    // The texts of the visible radios, top to bottom, and the checked ones.
    static QStringList Visible(CDialogMusicInput* dialog, bool checkedOnly = false) {
        std::vector<QRadioButton*> radios;
        for (int k = 0; k < kMusicSourceCount; ++k)
            if (dialog->Radio(k)->isVisible() && (!checkedOnly || dialog->Radio(k)->isChecked()))
                radios.push_back(dialog->Radio(k));
        std::sort(radios.begin(), radios.end(),
                  [](QRadioButton* a, QRadioButton* b) { return a->y() < b->y(); });
        QStringList texts;
        for (QRadioButton* radio : radios) texts << radio->text();
        return texts;
    }

    static void Step(CXBmpSlider* slider, Qt::Key key, int times) {
        slider->setFocus();
        for (int i = 0; i < times; ++i) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(slider, &press);
        }
    }
};

} // namespace

TEST_F(MusicInputDlgTest, EachModelShowsItsOwnSources) {
    struct Case {
        const char* model;
        int resource;
        QStringList radios;
    };
    const Case cases[] = {
        {"ARN41", 528, {"SPDIF", "COAX", "AUX"}},
        {"ARN63", 530, {"Android", "HDMI1", "HDMI2", "HDMI3", "SPDIF1", "SPDIF2", "AUX1"}},
        {"BRK63", 532, {"Android", "HDMI1", "HDMI2", "HDMI3", "SPDIF1", "SPDIF2", "AUX1"}},
        {"DSW418",
         512,
         {"HDMI1", "HDMI2", "HDMI3", "HDMI4", "HDMI5", "SPDIF1", "SPDIF2", "SPDIF3", "COAX1",
          "COAX2", "COAX3", "AUX1", "AUX2", "AUX3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        CDialogMusicInput* dialog = Open(c.model);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(c.resource, dialog->Resource());
        EXPECT_EQ(c.radios, Visible(dialog));
        EXPECT_EQ(QString::fromUtf8("音源设置"), dialog->windowTitle());
        EXPECT_FALSE(dialog->isModal());
        for (int k = 0; k < kMusicSourceCount; ++k) {
            EXPECT_EQ(dialog->Radio(k)->isVisible(), dialog->Slider(k)->isVisible()) << k;
            EXPECT_EQ(dialog->Radio(k)->isVisible(), dialog->LevelText(k)->isVisible()) << k;
        }
        TearDown();
        SetUp();
    }
}

TEST_F(MusicInputDlgTest, ASourceTheModelDoesNotOfferShowsNoVisibleRadioChecked) {
    CDialogMusicInput* dialog = Open("ARN41", 6);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(528, dialog->Resource());
    EXPECT_EQ(QStringList(), Visible(dialog, true));
    EXPECT_TRUE(dialog->Radio(6)->isChecked()) << "the hidden radio of source 6 is";
    EXPECT_FALSE(dialog->Radio(6)->isVisible());

    // Choosing COAX writes 8 and leaves one radio checked.
    dialog->Radio(8)->click();
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(4, 23) == 8; }, 5000));
    EXPECT_EQ(QStringList{"COAX"}, Visible(dialog, true));
    EXPECT_FALSE(dialog->Radio(6)->isChecked());
    dialog->Radio(8)->click(); // clicking the checked one keeps it
    EXPECT_TRUE(dialog->Radio(8)->isChecked());
    EXPECT_EQ(8, GetDspParam(4, 23));
}

TEST_F(MusicInputDlgTest, TheAux1SliderWritesParameterThirtyFive) {
    CDialogMusicInput* dialog = Open("ARN63");
    ASSERT_NE(nullptr, dialog);
    ASSERT_EQ(QStringLiteral("AUX1"), dialog->Radio(11)->text());
    EXPECT_EQ(100, dialog->Slider(11)->GetPos());
    EXPECT_EQ(QStringLiteral("100%"), dialog->LevelText(11)->text());

    Step(dialog->Slider(11), Qt::Key_Left, 3);
    // Three steps: the last one reaches the processor; a waiting one may be superseded.
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(4, 35) == PercentToStored(97); }, 5000));
    EXPECT_LE(DspWrites(4, 35).size(), 3u);
    EXPECT_EQ(QStringLiteral("97%"), dialog->LevelText(11)->text());
    EXPECT_EQ(97, GetDspParam(4, 35));
    EXPECT_TRUE(DspWrites(4, 23).empty()) << "a level does not select a source";

    // A wheel turn anywhere in the dialog goes to the slider with the focus.
    const QPointF over(5, 5);
    QWheelEvent wheel(over, dialog->Radio(5)->mapToGlobal(over), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(dialog->Radio(5), &wheel);
    EXPECT_EQ(98, dialog->Slider(11)->GetPos());
    ASSERT_TRUE(WaitUntil([&] { return LastDspValue(4, 35) == PercentToStored(98); }, 5000));
    EXPECT_EQ(100, dialog->Slider(5)->GetPos());
}

TEST_F(MusicInputDlgTest, OneDialogRefreshedByReadsRelabelledAndClosedByANewLink) {
    CDialogMusicInput* dialog = Open("ARN63", 3);
    ASSERT_NE(nullptr, dialog);
    View()->OnCommand(ID_INPUT_SOURCE);
    EXPECT_EQ(dialog, View()->MusicInputDialog()) << "at most one";
    EXPECT_EQ(QStringList{"Android"}, Visible(dialog, true));

    // A whole-image read brings another source and level.
    SetSourceInProcessor(5, 11, 40);
    StartDelayedRead();
    ASSERT_TRUE(WaitUntil([&] { return dialog->LevelText(11)->text() == QStringLiteral("40%"); }));
    EXPECT_EQ(40, dialog->Slider(11)->GetPos());
    EXPECT_EQ(QStringList{"SPDIF1"}, Visible(dialog, true));

    View()->ToggleLanguage();
    EXPECT_EQ(QStringLiteral("Music source setting"), dialog->windowTitle());
    EXPECT_EQ(QStringLiteral("AUX1"), dialog->Radio(11)->text()) << "source names stay";

    // Another processor comes: the dialog of the old model goes.
    m_usb->Unplug();
    ASSERT_TRUE(WaitUntil([] { return !g_bConnected(); }));
    SimIdentity identity;
    identity.moduleName = "ARN52";
    m_sim->SetIdentity(identity);
    m_usb->Plug();
    ASSERT_TRUE(WaitForRead());
    EXPECT_EQ(nullptr, View()->MusicInputDialog());
    View()->OnCommand(ID_INPUT_SOURCE);
    ASSERT_NE(nullptr, View()->MusicInputDialog());
    EXPECT_EQ(529, View()->MusicInputDialog()->Resource());
    EXPECT_EQ(QStringLiteral("Music source setting"), View()->MusicInputDialog()->windowTitle());
}
