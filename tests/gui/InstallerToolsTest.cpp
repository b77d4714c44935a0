// The installer's tools in the editor: measured filters imported into and
// exported from an EQ graph's set, and the parameters compared with a mode
// file in words.
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CEqPanel.h"
#include "controls/CGridListCtrlEx.h"
#include "modefile/ModeFile.h"
#include "pages/CDialogMusic.h"
#include "pages/CDialogOutput.h"
#include "pages/CEqEditor.h"
#include "shell/CCompareDlg.h"
#include "shell/CHalvoxDoc.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/RibbonIds.h"
#include "state/EqFilterText.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstring>

namespace {

// The band-less menu of the graph: copy, paste, a separator, import, export.
constexpr int kImportEntry = 3;
constexpr int kExportEntry = 4;

class InstallerToolsTest : public GuiFixture {
protected:
    void Start() {
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        m_sim->ClearCommandLog();
    }
    CDialogMusic* Page() const { return qobject_cast<CDialogMusic*>(View()->CurrentPage()); }
    CEqEditor& Eq() const { return Page()->Eq(); }

    // Commands that change parameters (DSP writes and panel writes).
    int ChangeCommands() const {
        int count = 0;
        for (const SimRecord& record : m_sim->ReceivedCommands())
            if (!record.empty() && (record[0] == 9 || record[0] == 0x85)) ++count;
        return count;
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // A mode file of the default image, which the file dialogs of the
    // document then choose.
    void ChooseDefaultModeFile(const QString& name) {
        QByteArray file(kModeFileSize, '\0');
        file[0] = kModeFileVersion;
        std::memcpy(file.data() + kModeFileHeaderSize, SimProcessor::DefaultImage().data(),
                    kImageSize);
        const QString path = Write(name, file);
        m_frame->Document()->SetFileChooser([path](bool save) { return save ? QString() : path; });
    }

    QTemporaryDir m_folder;
};

TEST_F(InstallerToolsTest, ImportFromTheGraphMenuWritesTheFiltersAndReportsThePreamp) {
    Start();
    Eq().SetFileChooser([](bool save) {
        return save ? QString() : QStringLiteral(FX_TEST_DATA_DIR "/room-filters.txt");
    });
    QString notice;
    const ModalWatch watch = WhenModal<QMessageBox>([&](QMessageBox* box) {
        notice = box->text();
        box->accept();
    });
    CopyPasteOnGraph(Eq().Graph(), kImportEntry);

    EXPECT_NE(-1, notice.indexOf(QStringLiteral("-6.5 dB"))) << notice.toStdString();
    EXPECT_NE(-1, notice.indexOf(QStringLiteral("2"))) << "the preamp's line";
    const int last = EqBandOffset(0, 14);
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return std::memcmp(memory.data(), g_PanelImage(), EqBandOffset(0, 15)) == 0 &&
               DecodeEqBandRecord(memory.data()).frequency == 33;
    }));
    EXPECT_DOUBLE_EQ(16000, DecodeEqBandRecord(g_PanelImage() + last).frequency);
    EXPECT_FLOAT_EQ(33.0f, Eq().Graph()->Band(0).frequency) << "the graph reloaded";
    EXPECT_FLOAT_EQ(-7.2f, Eq().Graph()->Band(0).gain);
    EXPECT_EQ(QStringLiteral("33Hz"), Eq().BandList()->CellText(0, CEqEditor::ColFreq));
}

// On the output page the import goes to the linked channels too, as every
// band edit there does: CH 1 and CH 2 start linked.
TEST_F(InstallerToolsTest, ImportOnTheOutputPageReachesTheLinkedChannel) {
    Start();
    View()->ShowPage(PAGE_OUTPUT, 0);
    CDialogOutput* page = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        page = qobject_cast<CDialogOutput*>(View()->CurrentPage());
        return page != nullptr;
    }));
    ASSERT_EQ(1, g_LinkFlags[0]);
    // Ten filters, one for each of the channel's bands.
    page->Eq().SetFileChooser([](bool save) {
        return save ? QString() : QStringLiteral(FX_TEST_DATA_DIR "/system-equaliser.txt");
    });
    const ModalWatch watch = WhenModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
    CopyPasteOnGraph(page->Eq().Graph(), kImportEntry);

    const int bytes = 10 * kEqBandRecordSize;
    ASSERT_TRUE(WaitUntil([&] {
        const auto memory = m_sim->Memory();
        return std::memcmp(memory.data() + EqBandOffset(7, 0), g_PanelImage() + EqBandOffset(7, 0),
                           bytes) == 0 &&
               std::memcmp(memory.data() + EqBandOffset(8, 0), g_PanelImage() + EqBandOffset(8, 0),
                           bytes) == 0 &&
               DecodeEqBandRecord(memory.data() + EqBandOffset(8, 9)).frequency == 20;
    }));
    EXPECT_EQ(0, std::memcmp(g_PanelImage() + EqBandOffset(7, 0),
                             g_PanelImage() + EqBandOffset(8, 0), bytes));
    EXPECT_DOUBLE_EQ(31, DecodeEqBandRecord(g_PanelImage() + EqBandOffset(9, 0)).frequency)
        << "CH 3 is not linked to CH 1";
}

TEST_F(InstallerToolsTest, ARefusedFileNamesItsLineAndSendsNothing) {
    Start();
    const QString bad = Write("bad.txt", "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1\n"
                                         "Filter 2: ON BP Fc 200 Hz Q 2\n");
    Eq().SetFileChooser([&](bool save) { return save ? QString() : bad; });
    QString error;
    const ModalWatch watch = WhenModal<QMessageBox>([&](QMessageBox* box) {
        error = box->text();
        box->accept();
    });
    CopyPasteOnGraph(Eq().Graph(), kImportEntry);

    EXPECT_TRUE(error.contains(QStringLiteral("bad.txt"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromUtf8("第 2 行"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("type BP has no equivalent"))) << error.toStdString();
    Pump(100);
    EXPECT_EQ(0, ChangeCommands());
    EXPECT_FLOAT_EQ(25.0f, Eq().Graph()->Band(0).frequency);
}

TEST_F(InstallerToolsTest, ExportWritesTheSetAsFilterText) {
    Start();
    SetEqBand(0, 2, EQ_HS, 6000, -4.5, 0.8);
    const QString path = m_folder.filePath("mic-a.txt");
    Eq().SetFileChooser([&](bool save) { return save ? path : QString(); });
    CopyPasteOnGraph(Eq().Graph(), kExportEntry);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_EQ(QByteArray::fromStdString(fx::FormatFilterText(0, g_PanelImage())), text);
    EXPECT_TRUE(text.contains("Filter 3: ON HSC Fc 6000 Hz Gain -4.5 dB Q 0.80\n"));
}

TEST_F(InstallerToolsTest, CompareWithFileListsTheDifferencesInBothLanguages) {
    Start();
    ChooseDefaultModeFile("hall.mode");
    SetDspParam(7, 15, 5.0);
    SetEqBand(0, 4, EQ_PEQ, 160, 3.0, 1.414);

    QAction* compare = nullptr;
    for (QAction* action : Ribbon()->findChildren<QAction*>())
        if (action->data().toInt() == ID_FILE_COMPARE) compare = action;
    ASSERT_NE(nullptr, compare);

    for (int language : {0, 1}) {
        if (g_Language != language) View()->OnCommand(ID_LANGUAGE);
        QStringList rows;
        QString summary;
        const ModalWatch watch = WhenModal<CCompareDlg>([&](CCompareDlg* dialog) {
            summary = dialog->Summary()->text();
            QTreeWidget* list = dialog->List();
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* row = list->topLevelItem(i);
                rows << row->text(0) + " | " + row->text(1) + " | " + row->text(2);
            }
            dialog->reject();
        });
        compare->trigger();
        ASSERT_TRUE(WaitUntil([&] { return !rows.isEmpty(); }));
        if (language == 0) {
            EXPECT_EQ(
                QStringList({QString::fromUtf8("话筒A均衡频段5 | 参量 160 Hz +0.0 dB Q 1.414 | "
                                               "参量 160 Hz +3.0 dB Q 1.414"),
                             QString::fromUtf8("通道3延时 | 1.33 ms | 5.0 ms")}),
                rows);
            EXPECT_EQ(QString::fromUtf8("2 个参数与 hall.mode 不同："), summary);
        } else {
            EXPECT_EQ(QStringList({"Mic A EQ band 5 | PEQ 160 Hz +0.0 dB Q 1.414 | "
                                   "PEQ 160 Hz +3.0 dB Q 1.414",
                                   "CH 3 delay | 1.33 ms | 5.0 ms"}),
                      rows);
            EXPECT_EQ(QStringLiteral("2 parameters differ from hall.mode:"), summary);
        }
    }
}

} // namespace

// Pictures of "Compare with file…" in both languages for the documentation.
// Only runs when FX_PAGE_SCREENSHOTS names the folder.
TEST_F(InstallerToolsTest, CompareDialogScreenshots) {
    const QString folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
    if (folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    Start();
    ChooseDefaultModeFile("hall.mode");
    SetDspParam(7, 15, 5.0);
    SetDspParam(13, 12, 80);
    SetDspParam(4, 23, 11);
    SetEqBand(0, 4, EQ_PEQ, 160, 3.0, 1.414);
    SetEqBand(8, 0, EQ_HP, 80, 0.0, 0.707);
    for (int language : {0, 1}) {
        if (g_Language != language) View()->OnCommand(ID_LANGUAGE);
        bool saved = false;
        const ModalWatch watch = WhenModal<CCompareDlg>([&](CCompareDlg* dialog) {
            Pump(150);
            saved = dialog->grab().save(
                QDir(folder).filePath(language == 1 ? "compare-en.png" : "compare-zh.png"));
            dialog->reject();
        });
        View()->OnCommand(ID_FILE_COMPARE);
        ASSERT_TRUE(WaitUntil([&] { return saved; }));
    }
}
