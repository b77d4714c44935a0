#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "remote/CIrWaitDlg.h"
#include "remote/CRemoteDlg.h"
#include "remote/CRemotePicture.h"
#include "shell/CHalvoxView.h"
#include "shell/CInfoDlg.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonStepSlider.h"
#include "shell/RibbonIds.h"
#include "state/DeviceMirrors.h"
#include "state/ParamStore.h"
#include "state/StatusPoll.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <array>
#include <cstring>

namespace {

using Block = std::array<uint8_t, kRemoteKeyBlockSize>;

Block Processor() {
    Block keys{};
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<uint8_t>(0x80 + i);
    return keys;
}

// The learning dialog against the simulated processor on USB.
class RemoteDlgTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        g_bStatusPoll = true;
        m_sim->SetRemoteKeys(Processor());
    }
    void TearDown() override {
        GuiFixture::TearDown();
        g_bStatusPoll = true;
    }

    CRemoteDlg* Open() {
        StartEditor();
        EXPECT_TRUE(WaitForRead());
        m_sim->ClearCommandLog();
        View()->OnCommand(ID_REMOTE_LEARN);
        return View()->RemoteDialog();
    }

    static Block BlockNow() { return std::to_array(g_RemoteKeyBlock()); }
    QString Info() const { return CInfoDlg::Current() ? CInfoDlg::Current()->Text() : QString(); }

    // Answers the question about codes not known with Yes or No and keeps its text.
    ModalWatch AnswerClearing(bool yes, QString& text) {
        return WatchModal<QMessageBox>([yes, &text](QMessageBox* box) {
            EXPECT_EQ(QStringLiteral("remoteClearUnknown"), box->objectName());
            text = box->text();
            box->done(yes ? QMessageBox::Yes : QMessageBox::No);
        });
    }
    // Teaches key the code, as the processor catches it.
    void Learn(CRemoteDlg* dialog, int key, uint8_t code) {
        Click(dialog->KeyArea(key));
        ASSERT_NE(nullptr, dialog->WaitDialog());
        ASSERT_TRUE(WaitUntil([&] { return m_sim->LearningKey() == key; }, 5000));
        ASSERT_TRUE(m_sim->PressRemoteKey(code));
        ASSERT_TRUE(WaitUntil([&] { return dialog->WaitDialog() == nullptr; }, 5000));
    }
    // Applies and waits for the answer; false when nothing was sent.
    bool ApplyAndWait(CRemoteDlg* dialog) {
        bool answered = false;
        const auto connection =
            QObject::connect(dialog, &CRemoteDlg::blockSent, [&](bool) { answered = true; });
        dialog->OnApply();
        const bool sent = WaitUntil([&] { return answered; }, 1000);
        QObject::disconnect(connection);
        return sent;
    }

    size_t CountOf(uint8_t code) const {
        size_t count = 0;
        for (const SimRecord& record : m_sim->ReceivedCommands()) count += record[0] == code;
        return count;
    }
    SimRecord LastOf(uint8_t code) const {
        SimRecord last;
        for (const SimRecord& record : m_sim->ReceivedCommands())
            if (record[0] == code) last = record;
        return last;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(RemoteDlgTest, LearnedCodeIsShownStoredAndTheWaitDialogCloses) {
    CRemoteDlg* dialog = Open();
    ASSERT_NE(nullptr, dialog);
    m_sim->SetCodeSetByte(0x31);
    Click(dialog->KeyArea(5));
    CIrWaitDlg* wait = dialog->WaitDialog();
    ASSERT_NE(nullptr, wait);
    EXPECT_TRUE(wait->isModal());
    EXPECT_EQ(QString::fromUtf8("您正在学习的键：M4/方向下"),
              Ctrl<QLabel>(wait, CIrWaitDlg::kTextId)->text());
    EXPECT_EQ(QString::fromUtf8("放弃学习"), wait->AbandonButton()->text());
    ASSERT_TRUE(m_sim->WaitForCommand(96, 5000));
    EXPECT_EQ((SimRecord{96, 5}), LastOf(96));

    ASSERT_TRUE(m_sim->PressRemoteKey(0x0A));
    ASSERT_TRUE(WaitUntil([&] { return wait->Learned(); }, 5000));
    EXPECT_EQ(QStringLiteral("0A"), wait->CodeText());
    EXPECT_EQ(QString::fromUtf8("窗口将自动关闭"), wait->StatusText());
    EXPECT_TRUE(wait->AbandonButton()->isHidden());
    EXPECT_FALSE(wait->CloseButton()->isHidden());
    EXPECT_EQ(0x0A, g_RemoteKeyBlock()[5]);
    EXPECT_EQ(0x31, g_RemoteKeyBlock()[0]);
    ASSERT_TRUE(WaitUntil([&] { return dialog->WaitDialog() == nullptr; }, 5000))
        << "closes by itself";
    EXPECT_EQ(0u, CountOf(97));
    EXPECT_TRUE(dialog->isVisible()) << "the learning dialog stays";
}

TEST_F(RemoteDlgTest, AbandonSendsNinetySevenAndLeavesTheBlock) {
    CRemoteDlg* dialog = Open();
    const Block before = BlockNow();
    Click(dialog->KeyArea(3));
    ASSERT_NE(nullptr, dialog->WaitDialog());
    ASSERT_TRUE(m_sim->WaitForCommand(96, 5000));
    dialog->WaitDialog()->AbandonButton()->click();
    ASSERT_TRUE(m_sim->WaitForCommand(97, 5000));
    EXPECT_TRUE(WaitUntil([&] { return dialog->WaitDialog() == nullptr; }, 3000));
    EXPECT_EQ(-1, m_sim->LearningKey());
    EXPECT_EQ(before, BlockNow());
}

TEST_F(RemoteDlgTest, SaveWritesEighteenBytesUnderTheRemoExtension) {
    CRemoteDlg* dialog = Open();
    const QString typed = m_dir.filePath("keys.txt");
    dialog->SetFileChooser([&](bool save) {
        EXPECT_TRUE(save);
        return typed;
    });
    QString note;
    ModalWatch watch = WatchModal<QMessageBox>([&](QMessageBox* box) {
        EXPECT_EQ(QStringLiteral("remoteSavedUnknown"), box->objectName());
        note = box->text();
        box->accept();
    });
    dialog->OnSaveFile();
    EXPECT_EQ(QString::fromUtf8("机器不报告键 16（增大音乐音量）和 17（减小音乐音量）的键码，"
                                "文件中它们存为 00。"),
              note)
        << "the keys the file cannot hold are named";
    QFile saved(m_dir.filePath("keys.remo"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(18, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.constData(), g_RemoteKeyBlock(), 18));
    EXPECT_EQ(0, std::memcmp(bytes.constData(), Processor().data(), 16))
        << "read from the processor";
    EXPECT_FALSE(QFile::exists(typed));
    EXPECT_EQ(QString::fromUtf8("保存遥控文件成功"), Info());
}

TEST_F(RemoteDlgTest, FailedSaveWarnsAndSaysSo) {
    CRemoteDlg* dialog = Open();
    QDir(m_dir.path()).mkdir("taken.remo");
    dialog->SetFileChooser([&](bool) { return m_dir.filePath("taken.remo"); });
    QString caption, text;
    ModalWatch watch = WatchModal<QMessageBox>([&](QMessageBox* box) {
        caption = box->windowTitle();
        text = box->text();
        box->accept();
    });
    dialog->OnSaveFile();
    EXPECT_EQ(QStringLiteral("Can't write to file"), caption);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Errcode=21,Can't write to file:\n")))
        << text.toStdString();
    EXPECT_EQ(QString::fromUtf8("保存遥控文件失败"), Info());
}

TEST_F(RemoteDlgTest, LoadingATenByteFileChangesTenBytesAndSendsEighteen) {
    CRemoteDlg* dialog = Open();
    const Block before = BlockNow();
    QFile file(m_dir.filePath("ten.remo"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(10, '\x77'));
    file.close();
    dialog->SetFileChooser([&](bool save) {
        EXPECT_FALSE(save);
        return m_dir.filePath("ten.txt"); // the extension becomes remo
    });
    bool confirmed = false;
    QObject::connect(dialog, &CRemoteDlg::blockSent, [&](bool ok) { confirmed = ok; });
    // Declined: the ten bytes would leave keys 16 and 17 to be cleared.
    QString question;
    {
        ModalWatch watch = AnswerClearing(false, question);
        dialog->OnLoadFile();
    }
    Pump(200);
    EXPECT_TRUE(question.contains(QString::fromUtf8("16（增大音乐音量）和 17（减小音乐音量）")))
        << question.toStdString();
    EXPECT_EQ(before, BlockNow()) << "nothing loaded";
    EXPECT_EQ(0u, CountOf(99)) << "nothing sent";

    ModalWatch watch = AnswerClearing(true, question);
    dialog->OnLoadFile();
    ASSERT_TRUE(WaitUntil([&] { return confirmed; }, 5000));
    Block expected = before;
    std::fill(expected.begin(), expected.begin() + 10, 0x77);
    EXPECT_EQ(expected, BlockNow());
    const SimRecord sent = LastOf(99);
    ASSERT_EQ(19u, sent.size());
    EXPECT_EQ(SimRecord(expected.begin(), expected.end()), SimRecord(sent.begin() + 1, sent.end()));
    EXPECT_EQ(QString::fromUtf8("载入遥控文件成功"), Info());
}

TEST_F(RemoteDlgTest, TooLongFileIsRefusedWithNothingSent) {
    CRemoteDlg* dialog = Open();
    const Block before = BlockNow();
    QFile file(m_dir.filePath("long.remo"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(25, '\x55'));
    file.close();
    dialog->SetFileChooser([&](bool) { return file.fileName(); });
    dialog->OnLoadFile();
    Pump(200);
    EXPECT_EQ(before, BlockNow());
    EXPECT_EQ(0u, CountOf(99));
    EXPECT_EQ(QString::fromUtf8("载入遥控文件失败"), Info());
}

TEST_F(RemoteDlgTest, ApplySendsTheBlock) {
    CRemoteDlg* dialog = Open();
    const uint8_t loaded[] = {0x3B, 0x3C}; // keys 16 and 17, as from a file
    fx::Store().SetRemoteKeyBytes(16, loaded, 2);
    bool confirmed = false;
    QObject::connect(dialog, &CRemoteDlg::blockSent, [&](bool ok) { confirmed = ok; });
    Ctrl<QWidget>(dialog, CRemoteDlg::kApplyId)->setFocus();
    dialog->OnApply();
    ASSERT_TRUE(WaitUntil([&] { return confirmed; }, 5000));
    EXPECT_EQ(BlockNow(), m_sim->RemoteKeys());
    EXPECT_EQ(QString::fromUtf8("遥控器键码保存成功!"), Info());
}

TEST_F(RemoteDlgTest, ApplyIsConfirmedWhicheverWayTheProcessorAcknowledges) {
    CRemoteDlg* dialog = Open();
    for (SimAckStyle style : {SimAckStyle::Generic, SimAckStyle::Dsp, SimAckStyle::Echo}) {
        m_sim->SetAckStyle(style);
        const uint8_t loaded[] = {static_cast<uint8_t>(0x50 + static_cast<int>(style)), 0x61};
        fx::Store().SetRemoteKeyBytes(16, loaded, 2);
        int answers = 0;
        bool confirmed = false;
        const auto connection = QObject::connect(dialog, &CRemoteDlg::blockSent, [&](bool ok) {
            ++answers;
            confirmed = ok;
        });
        dialog->OnApply();
        ASSERT_TRUE(WaitUntil([&] { return answers == 1; }, 5000));
        QObject::disconnect(connection);
        EXPECT_TRUE(confirmed) << static_cast<int>(style);
        EXPECT_EQ(BlockNow(), m_sim->RemoteKeys());
        EXPECT_EQ(QString::fromUtf8("遥控器键码保存成功!"), Info());
    }
}

// A slider dragged while a remote file is sent: the drag's answers are its
// own, and the file's lost answer is reported as the failure it is.
TEST_F(RemoteDlgTest, ADragWhileAFileIsSentDoesNotConfirmItsLostAnswer) {
    CRemoteDlg* dialog = Open();
    m_sim->SetAckStyle(SimAckStyle::Generic);
    QFile file(m_dir.filePath("whole.remo"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(kRemoteKeyBlockSize, '\x66'));
    file.close();
    dialog->SetFileChooser([&](bool) { return file.fileName(); });
    m_sim->LoseRepliesTo({CMD_WRITE_REMOTE_KEYS}, 1);
    int answers = 0;
    bool confirmed = true;
    QObject::connect(dialog, &CRemoteDlg::blockSent, [&](bool ok) {
        ++answers;
        confirmed = ok;
    });

    const auto drag = [&](int step) {
        Ribbon()->Slider(kLevelRows[ROW_MIC].slider[0])->setValue(20 + step % 50);
        Pump(2);
    };
    for (int step = 0; step < 20; ++step) drag(step);
    dialog->OnLoadFile();
    for (int step = 0; answers == 0 && step < 2000; ++step) drag(step);

    ASSERT_TRUE(WaitUntil([&] { return answers == 1; }, 10000));
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(QString::fromUtf8("机器未确认遥控器键码!"), Info());
    EXPECT_GT(CountOf(CMD_DSP_WRITE), 2u) << "the drag went out around it";
}

TEST_F(RemoteDlgTest, StatusPollStopsWhileOpenAndResumesAfter) {
    CRemoteDlg* dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(g_bStatusPoll);
    Pump(1200); // more than two poll periods
    EXPECT_EQ(0u, CountOf(14));
    dialog->close();
    ASSERT_TRUE(WaitUntil([this] { return View()->RemoteDialog() == nullptr; }, 3000));
    EXPECT_TRUE(g_bStatusPoll);
    EXPECT_TRUE(WaitUntil([this] { return CountOf(14) > 0; }, 5000));
}

TEST_F(RemoteDlgTest, PollLeftOffStaysOff) {
    g_bStatusPoll = false;
    Open()->close();
    ASSERT_TRUE(WaitUntil([this] { return View()->RemoteDialog() == nullptr; }, 3000));
    EXPECT_FALSE(g_bStatusPoll);
}

TEST_F(RemoteDlgTest, OpensOnlyWithALinkAndFollowsTheLanguage) {
    StartEditor(false);
    Pump(400);
    View()->OnCommand(ID_REMOTE_LEARN);
    EXPECT_EQ(nullptr, View()->RemoteDialog());
    EXPECT_TRUE(g_bStatusPoll);

    m_usb->Plug();
    ASSERT_TRUE(WaitForRead());
    View()->OnCommand(ID_REMOTE_LEARN);
    CRemoteDlg* dialog = View()->RemoteDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(QString::fromUtf8("遥控学习"), dialog->windowTitle());
    EXPECT_EQ(0, dialog->Instruction()->Language());
    EXPECT_EQ(Qt::PointingHandCursor, dialog->KeyArea(1)->cursor().shape());
    EXPECT_EQ(1587, CtrlId(dialog->KeyArea(1)));
    EXPECT_EQ(1615, CtrlId(dialog->KeyArea(17)));
    View()->ToggleLanguage();
    EXPECT_EQ(QStringLiteral("Learn remote control"), dialog->windowTitle());
    EXPECT_EQ(QStringLiteral("Apply"), Ctrl<QAbstractButton>(dialog, CRemoteDlg::kApplyId)->text());
    EXPECT_EQ(1, dialog->Instruction()->Language());
}

// The processor reports keys 1..15 only: Apply asks before it clears keys 16
// and 17 unless they were learned (or loaded) here.
TEST_F(RemoteDlgTest, ApplyAsksBeforeClearingKeysNotKnown) {
    CRemoteDlg* dialog = Open();
    Learn(dialog, 16, 0x50);
    EXPECT_EQ(0x50, g_RemoteKeyBlock()[16]);

    QString question;
    {
        ModalWatch watch = AnswerClearing(false, question);
        EXPECT_FALSE(ApplyAndWait(dialog));
    }
    EXPECT_TRUE(question.contains(QString::fromUtf8("键 17（减小音乐音量）的键码")))
        << question.toStdString();
    EXPECT_FALSE(question.contains(QStringLiteral("16"))) << "the learned key is known";
    EXPECT_EQ(0u, CountOf(99)) << "declined: nothing sent";
    EXPECT_EQ(Processor()[17], m_sim->RemoteKeys()[17]) << "the processor keeps its code";

    Learn(dialog, 17, 0x51);
    ASSERT_TRUE(ApplyAndWait(dialog)) << "everything known: no question";
    EXPECT_EQ(0x50, m_sim->RemoteKeys()[16]);
    EXPECT_EQ(0x51, m_sim->RemoteKeys()[17]);
    EXPECT_EQ(BlockNow(), m_sim->RemoteKeys());
}

TEST_F(RemoteDlgTest, ClearingAgreedToSendsZerosAndIsNotAskedAgain) {
    CRemoteDlg* dialog = Open();
    QString question;
    {
        ModalWatch watch = AnswerClearing(true, question);
        ASSERT_TRUE(ApplyAndWait(dialog));
    }
    EXPECT_TRUE(question.contains(QString::fromUtf8("16（增大音乐音量）和 17（减小音乐音量）")))
        << question.toStdString();
    Block expected = Processor();
    expected[16] = expected[17] = 0;
    EXPECT_EQ(expected, m_sim->RemoteKeys());
    EXPECT_EQ(expected, BlockNow());
    // The processor now holds what the editor knows.
    EXPECT_TRUE(ApplyAndWait(dialog));
}
