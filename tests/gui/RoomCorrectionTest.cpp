// Room correction in the editor: a measurement loaded onto the EQ graph, the
// fit run off the window's thread and applied as one undo step, a refused
// file, and "measurement + EQ" exported.
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "modefile/MeasurementFile.h"
#include "pages/CAutoEqDlg.h"
#include "pages/CDialogMusic.h"
#include "pages/CEqEditor.h"
#include "pages/CRoomCorrection.h"
#include "pages/DialogControls.h"
#include "shell/CEditHistory.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/RibbonIds.h"
#include "state/AutoEqFit.h"
#include "state/ParamImage.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QUndoStack>

#include <cmath>

namespace {

// The band-less menu: copy, paste, -, import, export, -, load measurement,
// auto EQ, export measurement + EQ, smoothing, clear.
constexpr int kLoadEntry = 6;
constexpr int kFitEntry = 7;
constexpr int kExportEntry = 8;

class RoomCorrectionTest : public GuiFixture {
protected:
    void Start() {
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        m_sim->ClearCommandLog();
    }
    CDialogMusic* Page() const { return qobject_cast<CDialogMusic*>(View()->CurrentPage()); }
    CEqEditor& Eq() const { return Page()->Eq(); }
    CRoomCorrection& Room() const { return *Eq().RoomCorrection(); }

    // A room with modes of +8 dB at 63 Hz and +6 dB at 160 Hz over 75 dB.
    QString RoomFile() {
        const std::vector<EqBandRecord> modes = {{8.0, 63, 5.0, EQ_PEQ}, {6.0, 160, 4.0, EQ_PEQ}};
        QByteArray text = "* Freq(Hz) SPL(dB)\n";
        for (double f = 10.0; f < 24000.0; f *= std::pow(2.0, 1.0 / 48.0))
            text += QByteArray::number(f, 'f', 3) + ' ' +
                    QByteArray::number(75.0 + fx::BandsResponseDb(modes, f), 'f', 3) + '\n';
        return Write("room.txt", text);
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    void LoadOnGraph(const QString& path) {
        Room().SetFileChooser([path](bool save) { return save ? QString() : path; });
        CopyPasteOnGraph(Eq().Graph(), kLoadEntry);
    }
    // The fit of two bands over the whole range, chosen from the graph's
    // menu; its preview is drawn, then applied (or cancelled).
    bool FitFromMenu(bool apply = true) {
        Room().SetOptionsChooser([](fx::AutoEqRequest& request) {
            request.lowHz = 20.0;
            request.highHz = 20000.0;
            request.bandCount = 2;
            return true;
        });
        m_previewShown = false;
        Room().SetPreviewChooser([this, apply] {
            m_previewShown = Eq().Graph()->Overlay().HasPreview();
            m_stepsDuringPreview = View()->History().Stack().count();
            return apply;
        });
        int done = 0;
        const QMetaObject::Connection applied =
            QObject::connect(&Room(), &CRoomCorrection::FitApplied, [&] { ++done; });
        const QMetaObject::Connection discarded =
            QObject::connect(&Room(), &CRoomCorrection::FitDiscarded, [&] { ++done; });
        CopyPasteOnGraph(Eq().Graph(), kFitEntry);
        const bool ended = WaitUntil([&] { return done == 1; }, 30000);
        QObject::disconnect(applied);
        QObject::disconnect(discarded);
        return ended;
    }
    EqBandRecord Band(int band) const {
        return DecodeEqBandRecord(g_PanelImage() + EqBandOffset(0, band));
    }

    QTemporaryDir m_folder;
    bool m_previewShown = false;
    int m_stepsDuringPreview = -1;
};

TEST_F(RoomCorrectionTest, FitOffTheWindowThreadIsOneUndoStep) {
    Start();
    LoadOnGraph(RoomFile());
    ASSERT_TRUE(Eq().Graph()->Overlay().HasMeasurement());
    QUndoStack& stack = View()->History().Stack();
    const int stepsBefore = stack.count();
    int progress = 0;
    QObject::connect(&Room(), &CRoomCorrection::FitProgress, [&](int) { ++progress; });

    ASSERT_TRUE(FitFromMenu());
    EXPECT_TRUE(m_previewShown) << "the fit was drawn before it was applied";
    EXPECT_EQ(stepsBefore, m_stepsDuringPreview) << "and nothing written meanwhile";
    EXPECT_FALSE(Eq().Graph()->Overlay().HasPreview());
    EXPECT_FALSE(Room().FitRunning());
    EXPECT_GE(progress, 1) << "the progress went up while the fit ran";
    EXPECT_DOUBLE_EQ(63, Band(0).frequency);
    EXPECT_NEAR(-8.0, Band(0).gain, 0.3);
    EXPECT_DOUBLE_EQ(160, Band(1).frequency);
    EXPECT_NEAR(-6.0, Band(1).gain, 0.3);
    EXPECT_DOUBLE_EQ(63, Eq().Graph()->Band(0).frequency) << "the graph reloaded";
    EXPECT_TRUE(Eq().Graph()->Overlay().HasTarget());
    EXPECT_LT(Room().LastFit().rmsAfterDb, 0.2);
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return DecodeEqBandRecord(memory.data() + EqBandOffset(0, 1)).frequency == 160;
    })) << "sent as any band edit";

    View()->History().Flush();
    EXPECT_EQ(stepsBefore + 1, stack.count());
    View()->History().Undo();
    EXPECT_DOUBLE_EQ(25, Band(0).frequency);
    EXPECT_DOUBLE_EQ(0, Band(0).gain);
    EXPECT_DOUBLE_EQ(40, Band(1).frequency);
    EXPECT_DOUBLE_EQ(0, Band(1).gain);
}

TEST_F(RoomCorrectionTest, ARefusedMeasurementNamesItsLineAndChangesNothing) {
    Start();
    QString error;
    Room().SetErrorSink([&](const QString& text) { error = text; });
    LoadOnGraph(Write("bad.txt", "* REW\n20 70\n40 70\n30 70\n"));
    EXPECT_TRUE(error.contains(QStringLiteral("bad.txt"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("4"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("not above the previous"))) << error.toStdString();
    EXPECT_FALSE(Eq().Graph()->Overlay().HasMeasurement());
    EXPECT_FALSE(Room().StartFit({})) << "nothing to fit";
}

TEST_F(RoomCorrectionTest, ExportsTheMeasurementWithTheSetsBands) {
    Start();
    LoadOnGraph(RoomFile());
    ASSERT_TRUE(FitFromMenu());
    const QString path = m_folder.filePath("predicted.txt");
    Room().SetFileChooser([&](bool save) { return save ? path : QString(); });
    CopyPasteOnGraph(Eq().Graph(), kExportEntry);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const fx::MeasurementText predicted = fx::ParseMeasurement(file.readAll().toStdString());
    ASSERT_TRUE(predicted.ok) << predicted.Error();
    EXPECT_NEAR(75.0, predicted.measurement.LevelAt(63.0), 0.3);
    EXPECT_NEAR(75.0, predicted.measurement.LevelAt(160.0), 0.3);
}

TEST_F(RoomCorrectionTest, ACancelledPreviewWritesNothing) {
    Start();
    LoadOnGraph(RoomFile());
    const std::vector<uint8_t> image(g_PanelImage(), g_PanelImage() + kPanelSize);
    View()->History().Flush();
    const int steps = View()->History().Stack().count();
    ASSERT_TRUE(FitFromMenu(false));
    EXPECT_TRUE(m_previewShown);
    EXPECT_FALSE(Eq().Graph()->Overlay().HasPreview());
    EXPECT_FALSE(Eq().Graph()->Overlay().HasTarget()) << "nothing of the fit stays drawn";
    EXPECT_EQ(image, std::vector<uint8_t>(g_PanelImage(), g_PanelImage() + kPanelSize));
    View()->History().Flush();
    EXPECT_EQ(steps, View()->History().Stack().count());
    Pump(50);
    EXPECT_TRUE(m_sim->ReceivedCommands().empty());
}

// With every band in use the user hears so before the choices, and may let
// the fit take the set's bands.
TEST_F(RoomCorrectionTest, WithNoFreeBandTheUserIsAskedFirstAndMayTakeTheSetsBands) {
    Start();
    for (int band = 0; band < EqCopyCount(0); ++band)
        SetEqBand(0, band, EQ_PEQ, 1000 + 100 * band, -1.0, 2.0);
    LoadOnGraph(RoomFile());
    for (bool takeThem : {false, true}) {
        SCOPED_TRACE(takeThem);
        int asked = 0;
        bool optionsAsked = false;
        Room().SetAllBandsChooser([&] {
            ++asked;
            EXPECT_FALSE(optionsAsked) << "said before the choices";
            return takeThem;
        });
        Room().SetOptionsChooser([&](fx::AutoEqRequest& request) {
            optionsAsked = true;
            request.lowHz = 20.0;
            request.highHz = 20000.0;
            request.bandCount = 2;
            return true;
        });
        Room().SetPreviewChooser([] { return true; });
        int applied = 0;
        const QMetaObject::Connection connection =
            QObject::connect(&Room(), &CRoomCorrection::FitApplied, [&] { ++applied; });
        CopyPasteOnGraph(Eq().Graph(), kFitEntry);
        if (takeThem) {
            ASSERT_TRUE(WaitUntil([&] { return applied == 1; }, 30000));
        }
        QObject::disconnect(connection);
        EXPECT_EQ(1, asked);
        EXPECT_EQ(takeThem, optionsAsked);
    }
    // The fit took the set's first bands for the two modes.
    EXPECT_DOUBLE_EQ(63, Band(0).frequency);
    EXPECT_DOUBLE_EQ(160, Band(1).frequency);
    EXPECT_DOUBLE_EQ(1200, Band(2).frequency) << "the rest as they were";
}

// The Edit menu reaches the shown page's room correction with its keys, in
// both languages; the file dialogs start where the last file was.
TEST_F(RoomCorrectionTest, TheEditMenuOffersRoomCorrectionWithItsShortcuts) {
    Start();
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        QAction* fit = Ribbon()->MenuAction(ID_ROOM_FIT);
        ASSERT_NE(nullptr, fit);
        EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_E), fit->shortcut());
        EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_M),
                  Ribbon()->MenuAction(ID_ROOM_LOAD)->shortcut());
        EXPECT_EQ(Tr("自动均衡（房间校正）(&E)…", "Auto &EQ (room correction)…"), fit->text());
        EXPECT_FALSE(Ribbon()->MenuAction(ID_ROOM_EXPORT)->text().isEmpty());
    }
    // Without a measurement, Auto EQ asks for one first, then fits.
    const QString room = RoomFile();
    Room().SetFileChooser([room](bool save) { return save ? QString() : room; });
    Room().SetOptionsChooser([](fx::AutoEqRequest& request) {
        request.lowHz = 20.0;
        request.highHz = 20000.0;
        request.bandCount = 2;
        return true;
    });
    Room().SetPreviewChooser([] { return true; });
    int applied = 0;
    QObject::connect(&Room(), &CRoomCorrection::FitApplied, [&] { ++applied; });
    Ribbon()->MenuAction(ID_ROOM_FIT)->trigger();
    ASSERT_TRUE(WaitUntil([&] { return applied == 1; }, 30000));
    EXPECT_DOUBLE_EQ(63, Band(0).frequency);
    EXPECT_EQ(QFileInfo(room).absolutePath(), fx::LastFileFolder());

    // The export names the set it was made from.
    const QString path = m_folder.filePath("named.txt");
    Room().SetFileChooser([&](bool save) { return save ? path : QString(); });
    Ribbon()->MenuAction(ID_ROOM_EXPORT)->trigger();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("* Mic A EQ\n"));
}

// The fit's dialog says what the fit does and starts at the measurement's
// low-frequency limit, in both languages.
TEST_F(RoomCorrectionTest, TheDialogSaysWhatTheFitDoesAndStartsAtTheLimit) {
    Start();
    const fx::MeasurementText room =
        fx::ReadMeasurementFile(FX_TEST_DATA_DIR "/living-room-left.txt");
    ASSERT_TRUE(room.ok);
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        for (bool allBands : {false, true}) {
            CAutoEqDlg dialog(Page(), fx::DefaultAutoEqRequest(room.measurement),
                              fx::LowFrequencyLimit(room.measurement), 10, allBands, {});
            EXPECT_EQ(29.0, dialog.LowBox()->value());
            EXPECT_EQ(10, dialog.BandsBox()->maximum());
            const QString intro = dialog.Intro()->text();
            EXPECT_TRUE(intro.contains(QStringLiteral("29 Hz"))) << intro.toStdString();
            EXPECT_TRUE(intro.contains(Tr("曲线图", "graph"))) << intro.toStdString();
            EXPECT_EQ(allBands, intro.contains(Tr("没有空闲频段", "no free band")))
                << intro.toStdString();
        }
    }
}

} // namespace
