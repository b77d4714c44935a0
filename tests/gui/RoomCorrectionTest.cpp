// Room correction in the editor: a measurement loaded onto the EQ graph, the
// fit run off the window's thread and applied as one undo step, a refused
// file, and "measurement + EQ" exported.
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "pages/CDialogMusic.h"
#include "pages/CEqEditor.h"
#include "pages/CRoomCorrection.h"
#include "shell/CEditHistory.h"
#include "shell/CHalvoxView.h"
#include "state/AutoEqFit.h"
#include "state/ParamImage.h"

#include <QFile>
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
    // The fit of two bands over the whole range, chosen from the graph's menu.
    bool FitFromMenu() {
        Room().SetOptionsChooser([](fx::AutoEqRequest& request) {
            request.lowHz = 20.0;
            request.highHz = 20000.0;
            request.bandCount = 2;
            return true;
        });
        int applied = 0;
        const QMetaObject::Connection connection =
            QObject::connect(&Room(), &CRoomCorrection::FitApplied, [&] { ++applied; });
        CopyPasteOnGraph(Eq().Graph(), kFitEntry);
        const bool done = WaitUntil([&] { return applied == 1; }, 30000);
        QObject::disconnect(connection);
        return done;
    }
    EqBandRecord Band(int band) const {
        return DecodeEqBandRecord(g_PanelImage() + EqBandOffset(0, band));
    }

    QTemporaryDir m_folder;
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

} // namespace
