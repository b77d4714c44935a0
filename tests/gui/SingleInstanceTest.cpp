#include "tests/gui/GuiTestSupport.h"

#include "shell/CSingleInstance.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <QUuid>

#include <atomic>
#include <thread>

namespace {
// A later start runs its check on a thread of its own, so this thread's
// event loop can answer it as the running editor.
CSingleInstance::Result CheckFromAnotherThread(const QString& name) {
    std::atomic<bool> done{false};
    CSingleInstance::Result result = CSingleInstance::Result::Failed;
    std::thread later([&] {
        CSingleInstance second(name);
        result = second.Check();
        done = true;
    });
    WaitUntil([&] { return done.load(); }, 10000);
    later.join();
    return result;
}
} // namespace

TEST(SingleInstanceTest, SecondStartRaisesTheFirstAndEnds) {
    const QString name =
        QStringLiteral("fxtune-test-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    CSingleInstance first(name);
    ASSERT_EQ(CSingleInstance::Result::First, first.Check());
    int raised = 0;
    first.SetRaiseHandler([&] {
        ++raised;
        return true;
    });
    EXPECT_EQ(CSingleInstance::Result::OtherRaised, CheckFromAnotherThread(name));
    EXPECT_EQ(1, raised);

    first.SetRaiseHandler([] { return false; }); // still starting: no window yet
    EXPECT_EQ(CSingleInstance::Result::OtherNoWindow, CheckFromAnotherThread(name));
}

// The editor started a second time says on standard error that one runs and
// that its window came to the front, and ends.
TEST(SingleInstanceTest, ASecondEditorSaysSoOnStandardError) {
    const QString name =
        QStringLiteral("fxtune-test-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    CSingleInstance first(name);
    ASSERT_EQ(CSingleInstance::Result::First, first.Check());
    int raised = 0;
    first.SetRaiseHandler([&] {
        ++raised;
        return true;
    });
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(FXTUNE_PATH), {QStringLiteral("--instance"), name});
    ASSERT_TRUE(second.waitForStarted(10000));
    ASSERT_TRUE(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(0, second.exitCode());
    EXPECT_EQ(1, raised);
    const QString err = QString::fromUtf8(second.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral(
        "fxtune: an editor is already running; its window was brought to the front")))
        << err.toStdString();
}
