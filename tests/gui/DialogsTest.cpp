#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "shell/CDlgMsgBox.h"
#include "shell/CInfoDlg.h"
#include "shell/CJobUiQt.h"
#include "shell/CSynDlg.h"
#include "state/JobUi.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {
// Dialog tests need no editor window.
class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_Language = 0;
        LoadCurrentLanguageFile();
        SetJobUi(&m_ui);
    }
    void TearDown() override {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible()) widget->close();
        Pump(20);
        g_Language = 0;
        CSynDlg::SetTimeoutForTesting(CSynDlg::kTimeoutMs);
        SetJobUi(nullptr);
    }
    CJobUiQt m_ui;
};
} // namespace

TEST_F(DialogsTest, SecondShowInfoReplacesTextAndRestartsTheTime) {
    QElapsedTimer clock;
    clock.start();
    CInfoDlg::ShowInfo(QStringLiteral("first"), 1100);
    CInfoDlg* first = CInfoDlg::Current();
    ASSERT_NE(nullptr, first);
    Pump(500);
    CInfoDlg::ShowInfo(QStringLiteral("second"), 1100);
    const qint64 secondCall = clock.elapsed();
    EXPECT_EQ(first, CInfoDlg::Current());
    EXPECT_EQ(1u, VisibleWindows<CInfoDlg>().size());
    EXPECT_EQ(QStringLiteral("second"), first->Text());

    // Still there past the first call's time, gone after the second's.
    Pump(static_cast<int>(1100 + 150 - clock.elapsed()));
    EXPECT_NE(nullptr, CInfoDlg::Current());
    ASSERT_TRUE(WaitUntil([] { return CInfoDlg::Current() == nullptr; }, 3000));
    EXPECT_GE(clock.elapsed() - secondCall, 1000);
    EXPECT_EQ(0u, VisibleWindows<CInfoDlg>().size());
}

TEST_F(DialogsTest, InfoWindowCaptionAndButtonFollowTheLanguage) {
    g_Language = 1;
    CInfoDlg::ShowInfo(QStringLiteral("x"), 5000);
    EXPECT_EQ(QStringLiteral("Information"), CInfoDlg::Current()->windowTitle());
    QPushButton* close = CInfoDlg::Current()->findChild<QPushButton*>();
    EXPECT_EQ(QStringLiteral("Close"), close->text());
    close->click();
    EXPECT_TRUE(WaitUntil([] { return CInfoDlg::Current() == nullptr; }, 1000));
}

TEST_F(DialogsTest, AskThreeWayAnswers) {
    struct Case {
        const char* name;
        std::function<void(CDlgMsgBox*)> act;
        int expected;
    };
    const std::vector<Case> cases = {
        {"close box", [](CDlgMsgBox* box) { box->close(); }, 0},
        {"first", [](CDlgMsgBox* box) { box->findChildren<QPushButton*>()[0]->click(); }, 1},
        {"second", [](CDlgMsgBox* box) { box->findChildren<QPushButton*>()[1]->click(); }, 2},
        {"cancel", [](CDlgMsgBox* box) { box->findChildren<QPushButton*>()[2]->click(); }, 0},
    };
    for (const Case& c : cases) {
        QString cancelText;
        QString text;
        ModalWatch watch = WatchModal<CDlgMsgBox>([&](CDlgMsgBox* box) {
            cancelText = box->findChildren<QPushButton*>()[2]->text();
            text = box->findChild<QLabel*>()->text();
            c.act(box);
        });
        EXPECT_EQ(c.expected, AskThreeWay("copy?", "A->B", "B->A")) << c.name;
        EXPECT_EQ(QString::fromUtf8("取消"), cancelText) << c.name;
        EXPECT_EQ(QStringLiteral("copy?"), text) << c.name;
    }
}

TEST_F(DialogsTest, SyncDialogTimesOutWithItsMessage) {
    CSynDlg::SetTimeoutForTesting(200);
    g_Language = 1;
    CSynDlg::ShowSyncDialog(QString());
    ASSERT_TRUE(CSynDlg::IsShown());
    EXPECT_EQ(QStringLiteral("Synchronize"), CSynDlg::Current()->windowTitle());
    EXPECT_EQ(QStringLiteral("Please wait a moment……"), CSynDlg::Current()->Text());
    CSynDlg::ShowSyncDialog(QStringLiteral("other")); // only brought to view
    EXPECT_EQ(1u, VisibleWindows<CSynDlg>().size());

    ASSERT_TRUE(WaitUntil([] { return !CSynDlg::IsShown(); }, 3000));
    QMessageBox* box = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (QWidget* widget : QApplication::allWidgets())
            if (widget->objectName() == "syncTimeoutBox" && widget->isVisible())
                box = qobject_cast<QMessageBox*>(widget);
        return box != nullptr;
    }));
    EXPECT_EQ(QString::fromUtf8("发生错误，与设备数据同步超时……"), box->text());
    EXPECT_EQ(QString::fromUtf8("错误"), box->windowTitle());
}

TEST_F(DialogsTest, LanguageFileLookups) {
    const CLanguageFile file = CLanguageFile::FromText(QString::fromUtf8(
        "[String]\r\n//IDD_DIALOG_COMP\r\n\r\nIDD346_1005=阀(阈)\r\nIDD373_title=Learn remoter "
        "control \r\nIDD1_2=\r\n[Other]\r\nIDD9_9=no\r\n"));
    EXPECT_EQ(QString::fromUtf8("阀(阈)"), file.Value("IDD346_1005"));
    EXPECT_EQ(QStringLiteral("Learn remoter control "), file.Value("IDD373_title"));
    EXPECT_TRUE(file.Value("IDD1_2").isEmpty());
    EXPECT_TRUE(file.Value("IDD9_9").isEmpty()); // only the String section counts
    EXPECT_EQ(QStringLiteral("Host IP:"), CLanguageFile::ForLanguage(1).Value("IDD521_1005"));
    EXPECT_EQ(QString::fromUtf8("机器设置"), CLanguageFile::ForLanguage(0).Value("IDD335_title"));
    EXPECT_EQ(QString::fromUtf8("机器设置"), CLanguageFile::ForLanguage(7).Value("IDD335_title"));
}

TEST_F(DialogsTest, LoadDialogTextsRelabelsDirectChildrenByIdentifier) {
    QWidget dialog;
    dialog.setWindowTitle(QStringLiteral("template"));
    auto* known = new QLabel(QStringLiteral("old"), &dialog);
    SetCtrlId(known, 1005);
    auto* missing = new QLabel(QStringLiteral("kept"), &dialog);
    SetCtrlId(missing, 1999);
    QWidget inner(&dialog);
    auto* nested = new QLabel(QStringLiteral("nested"), &inner);
    SetCtrlId(nested, 1005);

    g_Language = 1;
    LoadCurrentLanguageFile();
    LoadDialogTexts(&dialog, 521);
    EXPECT_EQ(QStringLiteral("Connect IP"), dialog.windowTitle());
    EXPECT_EQ(QStringLiteral("Host IP:"), known->text());
    EXPECT_EQ(QStringLiteral("kept"), missing->text());
    EXPECT_EQ(QStringLiteral("nested"), nested->text()); // nested windows relabel themselves
}

// Qt's own dialogs (message box buttons, the file dialog) speak the
// interface language and switch with it.
TEST_F(DialogsTest, QtStandardDialogsFollowTheLanguage) {
    const auto texts = [] {
        QMessageBox box(QMessageBox::Question, QString(), QString(),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QFileDialog files;
        files.setOption(QFileDialog::DontUseNativeDialog);
        QDialogButtonBox* buttons = files.findChild<QDialogButtonBox*>();
        EXPECT_NE(nullptr, buttons);
        return QStringList{box.button(QMessageBox::Yes)->text(),
                           box.button(QMessageBox::No)->text(),
                           buttons ? buttons->button(QDialogButtonBox::Cancel)->text() : QString()};
    };
    const auto hasChinese = [](const QString& text) {
        return std::any_of(text.begin(), text.end(),
                           [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
    };
    ASSERT_TRUE(QtTextsInChinese()) << "Qt's Chinese translations (qt6-translations-l10n) missing";
    for (const QString& text : texts()) EXPECT_TRUE(hasChinese(text)) << text.toStdString();
    g_Language = 1;
    LoadCurrentLanguageFile();
    EXPECT_FALSE(QtTextsInChinese());
    EXPECT_EQ((QStringList{"&Yes", "&No", "Cancel"}), texts());
    g_Language = 0;
    LoadCurrentLanguageFile();
    for (const QString& text : texts()) EXPECT_TRUE(hasChinese(text)) << text.toStdString();
}
