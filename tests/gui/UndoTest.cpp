// Undo and redo of the user's edits, and the comparison with the processor:
// the processor ends up holding what the editor shows after every step.
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/EqModel.h"
#include "pages/CDialogMusic.h"
#include "pages/CEqEditor.h"
#include "pages/CSetDlg.h"
#include "shell/CEditHistory.h"
#include "shell/CHalvoxDoc.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/CRibbonStepSlider.h"
#include "shell/CStatusBarPane.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/PresetDiff.h"
#include "state/SyncJobs.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QUndoStack>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class UndoTest : public GuiFixture {
protected:
    void Start() {
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        if (g_Language != 1) View()->ToggleLanguage(); // English
        m_sim->ClearCommandLog();
    }
    void ToggleLanguage() { View()->ToggleLanguage(); }

    CEditHistory& History() const { return View()->History(); }
    QUndoStack& Stack() const { return History().Stack(); }
    CDialogMusic* Music() const { return qobject_cast<CDialogMusic*>(View()->CurrentPage()); }

    // Waits until the processor's memory is the editor's image.
    bool ProcessorHoldsEditorImage() const {
        AllSent();
        return WaitUntil([this] {
            const SimProcessor::Image memory = m_sim->Memory();
            return Bytes(memory.begin(), memory.end()) == fx::EditedImage();
        });
    }
    Bytes ProcessorBytes(int offset, int size) const {
        const SimProcessor::Image memory = m_sim->Memory();
        return Bytes(memory.begin() + offset, memory.begin() + offset + size);
    }

    // A drag of a band's handle on the graph, moving in steps.
    void DragBand(CEqPanel* graph, int band, QPointF by, int steps) {
        const QPointF handle = graph->HandleCentre(band);
        SendMouse(graph, QEvent::MouseButtonPress, handle, Qt::LeftButton);
        for (int i = 1; i <= steps; ++i) {
            SendMouse(graph, QEvent::MouseMove, handle + by * (double(i) / steps), Qt::LeftButton);
            QApplication::processEvents();
        }
        SendMouse(graph, QEvent::MouseButtonRelease, handle + by, Qt::LeftButton);
        QApplication::processEvents();
    }

    QString UndoEntry() const { return Ribbon()->MenuAction(ID_EDIT_UNDO)->text(); }
    QString ChangedPaneText() const { return m_frame->StatusBar()->ChangedPane()->text(); }
};

} // namespace

TEST_F(UndoTest, ASliderBurstIsOneStepAndUndoSendsTheOldLevel) {
    Start();
    CRibbonStepSlider* mic = Ribbon()->Slider(kLevelRows[ROW_MIC].slider[0]);
    const Bytes before = fx::EditedImage();
    const int offset = DspRecordValueOffset(1, 14);
    for (int value = 51; value <= 80; ++value) {
        mic->setValue(value);
        QApplication::processEvents(); // each move is an event of its own
    }
    History().Flush();
    ASSERT_EQ(1, Stack().count());
    EXPECT_EQ(80, GetDspParam(1, 14));
    ASSERT_TRUE(ProcessorHoldsEditorImage());

    // A second gesture is a second step.
    SendMouse(mic, QEvent::MouseButtonRelease, QPointF(1, 1), Qt::LeftButton);
    mic->setValue(30);
    History().Flush();
    EXPECT_EQ(2, Stack().count());

    View()->OnCommand(ID_EDIT_UNDO);
    View()->OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(50, GetDspParam(1, 14));
    EXPECT_EQ(50, mic->value()); // the ribbon redraws from the image
    EXPECT_EQ(before, fx::EditedImage());
    ASSERT_TRUE(ProcessorHoldsEditorImage());
    EXPECT_EQ(Bytes(before.begin() + offset, before.begin() + offset + 4),
              ProcessorBytes(offset, 4));
    // Undo itself is no step.
    EXPECT_EQ(2, Stack().count());
    EXPECT_EQ(0, Stack().index());
}

TEST_F(UndoTest, AnEqDragIsUndoneAndRedoneOnTheProcessor) {
    Start();
    CDialogMusic* page = Music();
    ASSERT_NE(nullptr, page);
    CEqPanel* graph = page->Eq().Graph();
    const int set = graph->Set();
    const int band = 4;
    const int offset = EqBandOffset(set, band);
    const Bytes oldBand = ProcessorBytes(offset, kEqBandRecordSize);
    DragBand(graph, band, QPointF(70, -50), 12);
    History().Flush();
    ASSERT_EQ(1, Stack().count());
    ASSERT_TRUE(ProcessorHoldsEditorImage());
    const Bytes newBand = ProcessorBytes(offset, kEqBandRecordSize);
    ASSERT_NE(oldBand, newBand);
    EXPECT_TRUE(UndoEntry().startsWith(QStringLiteral("&Undo Mic A EQ band 5: 160 Hz")))
        << UndoEntry().toStdString();

    m_sim->ClearCommandLog();
    View()->OnCommand(ID_EDIT_UNDO);
    ASSERT_TRUE(ProcessorHoldsEditorImage());
    EXPECT_EQ(oldBand, ProcessorBytes(offset, kEqBandRecordSize));
    // The old band goes out as an edit would send it: coefficients and record.
    const std::vector<SimRecord> undoFrames = m_sim->ReceivedCommands();
    EXPECT_TRUE(std::any_of(undoFrames.begin(), undoFrames.end(), [&](const SimRecord& r) {
        return IsDsp(r, EqSetBlock(set), EqSetFirstParameter(set) + band);
    }));
    EXPECT_TRUE(std::any_of(undoFrames.begin(), undoFrames.end(),
                            [&](const SimRecord& r) { return IsPanelWrite(r, offset); }));
    EXPECT_EQ(160.0, graph->Band(band).frequency); // the graph shows it

    View()->OnCommand(ID_EDIT_REDO);
    ASSERT_TRUE(ProcessorHoldsEditorImage());
    EXPECT_EQ(newBand, ProcessorBytes(offset, kEqBandRecordSize));
    EXPECT_EQ(1, Stack().count());
}

TEST_F(UndoTest, UndoOfAnEqResetRestoresEveryBand) {
    Start();
    CDialogMusic* page = Music();
    ASSERT_NE(nullptr, page);
    const int set = page->Eq().Graph()->Set();
    SetEqBand(set, 1, EQ_LS, 45, 6.0, 0.8);
    SetEqBand(set, 7, EQ_PEQ, 700, -4.5, 3.0);
    SetEqBand(set, 14, EQ_HS, 12000, 2.0, 0.7);
    History().Flush();
    ASSERT_TRUE(ProcessorHoldsEditorImage());
    const Bytes before = fx::EditedImage();

    page->ResetShownEq();
    History().Flush();
    ASSERT_TRUE(ProcessorHoldsEditorImage());
    EXPECT_NE(before, fx::EditedImage());
    EXPECT_EQ(QStringLiteral("&Undo Reset Mic A EQ"), UndoEntry());

    View()->OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(before, fx::EditedImage());
    ASSERT_TRUE(ProcessorHoldsEditorImage());
    const int first = EqBandOffset(set, 0);
    EXPECT_EQ(Bytes(before.begin() + first, before.begin() + first + 15 * kEqBandRecordSize),
              ProcessorBytes(first, 15 * kEqBandRecordSize));
    EXPECT_EQ(EQ_LS, page->Eq().Graph()->Band(1).type);
}

TEST_F(UndoTest, AWholeReadClearsTheStack) {
    Start();
    SetDspParam(4, 12, 40);
    SetEqBand(6, 2, EQ_PEQ, 150, 3.0, 1.0);
    History().Flush();
    ASSERT_GT(Stack().count(), 0);
    StartDelayedRead();
    ASSERT_TRUE(WaitUntil([&] { return Stack().count() == 0; }));
    EXPECT_FALSE(Ribbon()->MenuAction(ID_EDIT_UNDO)->isEnabled());
    EXPECT_EQ(0, History().ChangedSinceRead());
}

TEST_F(UndoTest, AWholeWriteMakesTheEditorsParametersTheProcessorsButKeepsTheSteps) {
    Start();
    SetDspParam(4, 12, 40);
    History().Flush();
    ASSERT_EQ(1, History().ChangedSinceRead());
    StartWriteAll();
    ASSERT_TRUE(WaitUntil([&] { return History().ChangedSinceRead() == 0; }));
    EXPECT_EQ(1, Stack().count());
    View()->OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(1, History().ChangedSinceRead());
}

TEST_F(UndoTest, ChangedCountAndTitleFollowEditsUndoAndTheModeFile) {
    Start();
    const QString app = QString::fromUtf8("效果器调音软件v1.2");
    EXPECT_EQ(app, m_frame->windowTitle());
    EXPECT_TRUE(m_frame->StatusBar()->ChangedPane()->isHidden()); // nothing changed

    SetEqBand(0, 2, EQ_PEQ, 70, 1.0, 1.414); // one band, two fields
    SetDspParam(1, 14, 64);
    History().Flush();
    EXPECT_EQ(2, History().ChangedSinceRead());
    EXPECT_EQ(QStringLiteral("2 parameters changed since read"), ChangedPaneText());
    // The tooltip says what is counted and lists the two.
    const QStringList tip = m_frame->StatusBar()->ChangedPane()->toolTip().split(QLatin1Char('\n'));
    ASSERT_EQ(3, tip.size());
    EXPECT_TRUE(tip[0].startsWith(QStringLiteral("Parameters changed since")))
        << tip[0].toStdString();
    for (int line = 1; line < 3; ++line)
        EXPECT_TRUE(tip[line].contains(QString::fromUtf8("→"))) << tip[line].toStdString();
    EXPECT_FALSE(m_frame->StatusBar()->ChangedPane()->isHidden());
    EXPECT_EQ(app + QStringLiteral(" *"), m_frame->windowTitle());

    // Saved to a file: the title names it; a change marks it.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hall.mode"));
    m_frame->Document()->SetFileChooser([path](bool) { return path; });
    View()->OnCommand(ID_FILE_SAVE);
    EXPECT_EQ(QStringLiteral("hall.mode - ") + app, m_frame->windowTitle());
    SetDspParam(1, 16, 20);
    History().Flush();
    EXPECT_EQ(QStringLiteral("hall.mode* - ") + app, m_frame->windowTitle());
    EXPECT_EQ(3, History().ChangedSinceRead());

    // Undone back to the saved parameters, then to the read ones.
    View()->OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(QStringLiteral("hall.mode - ") + app, m_frame->windowTitle());
    View()->OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(0, History().ChangedSinceRead());
    EXPECT_EQ(QStringLiteral("hall.mode* - ") + app, m_frame->windowTitle());

    ToggleLanguage();
    EXPECT_EQ(QString::fromUtf8("读取后已改动 0 个参数"), ChangedPaneText());
    EXPECT_TRUE(m_frame->StatusBar()->ChangedPane()->isHidden());
}

TEST_F(UndoTest, EditMenuNamesTheStepInBothLanguagesAndHasTheShortcuts) {
    Start();
    SetEqBand(0, 4, EQ_PEQ, 220, 0.0, 1.414);
    History().Flush();
    EXPECT_EQ(QStringLiteral("&Undo Mic A EQ band 5: 160 Hz → 220 Hz"), UndoEntry());
    ToggleLanguage();
    EXPECT_EQ(QString::fromUtf8("撤销(&U) 话筒A均衡频段5: 160 Hz → 220 Hz"), UndoEntry());
    View()->OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(QString::fromUtf8("重做(&R) 话筒A均衡频段5: 160 Hz → 220 Hz"),
              Ribbon()->MenuAction(ID_EDIT_REDO)->text());

    const struct {
        int id;
        QList<QKeySequence> keys;
    } shortcuts[] = {
        {ID_EDIT_UNDO, {QKeySequence(Qt::CTRL | Qt::Key_Z)}},
        {ID_EDIT_REDO,
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}},
        {ID_FILE_OPEN, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {ID_FILE_SAVE, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
    };
    for (const auto& s : shortcuts) {
        QAction* action = Ribbon()->MenuAction(s.id);
        ASSERT_NE(nullptr, action) << s.id;
        EXPECT_EQ(s.keys, action->shortcuts()) << s.id;
        EXPECT_TRUE(Ribbon()->actions().contains(action)) << s.id; // live while the menu is shut
    }
}

TEST_F(UndoTest, AnAppliedMachineSettingIsUndoneOnTheProcessor) {
    Start();
    const auto before = m_sim->MachineSettings();
    View()->OpenMachineSettings();
    CSetDlg* dialog = View()->MachineSettingsDialog();
    ASSERT_NE(nullptr, dialog);
    Ctrl<QRadioButton>(dialog, IDC_SET_BY_MODE)->click();
    bool answered = false;
    QObject::connect(dialog, &CSetDlg::applyFinished, [&](bool) { answered = true; });
    Ctrl<QPushButton>(dialog, IDC_SET_APPLY)->click();
    ASSERT_TRUE(WaitUntil([&] { return answered; }, 5000));
    ASSERT_NE(before, m_sim->MachineSettings());
    History().Flush();
    EXPECT_EQ(QStringLiteral("&Undo Machine settings"), UndoEntry());

    View()->OnCommand(ID_EDIT_UNDO);
    AllSent();
    ASSERT_TRUE(WaitUntil([&] { return m_sim->MachineSettings() == before; }));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), g_MachineSettingsWork()));
    EXPECT_TRUE(Ctrl<QRadioButton>(dialog, IDC_SET_BY_POWER)->isChecked()); // the dialog shows it
}
