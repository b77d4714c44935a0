// Each wait ends on the answer to its own command: two confirmed commands
// go out one after the other while live edits stream in beside them; one
// answer is lost, late, refused or answered after its waiter gave up, and
// every waiter still hears exactly its own command's outcome, whichever way
// the processor acknowledges.
#include "AckStyleNames.h"
#include "SimNetFixture.h"

#include "link/LinkClock.h"
#include "link/ReplyWatch.h"

#include <atomic>
#include <string>
#include <thread>

namespace {

constexpr int kFastClock = 10; // link time runs 10 times faster
// Real milliseconds past the reply wait: an answer this late is given up.
constexpr int kLateMs = (kReplyWaitMs + 1000) / kFastClock;

constexpr uint8_t kFirstCode = CMD_WRITE_MACHINE_SETTINGS;
constexpr uint8_t kSecondCode = CMD_WRITE_REMOTE_KEYS;

using Outcome = fx::Confirmation::Outcome;

struct OwnAnswerCase {
    const char* name;
    int lostCode;    // its answers never come
    int slowCode;    // its answers come after the wait
    int refusedCode; // refused with an error report naming it
    Outcome first;
    Outcome second;
};

const OwnAnswerCase kCases[] = {
    {"FirstLost", kFirstCode, 0, 0, Outcome::NoAnswer, Outcome::Confirmed},
    {"FirstLate", 0, kFirstCode, 0, Outcome::NoAnswer, Outcome::Confirmed},
    {"FirstRefused", 0, 0, kFirstCode, Outcome::Refused, Outcome::Confirmed},
    {"SecondLost", kSecondCode, 0, 0, Outcome::Confirmed, Outcome::NoAnswer},
    {"SecondRefused", 0, 0, kSecondCode, Outcome::Confirmed, Outcome::Refused},
    // The first one's late answer arrives while the second waits for its
    // own, which is lost: it must not pass for the second's.
    {"FirstLateSecondLost", kSecondCode, kFirstCode, 0, Outcome::NoAnswer, Outcome::NoAnswer},
    // The live edits' answers and refusals are nobody's confirmation.
    {"LiveEditsLost", CMD_DSP_WRITE, 0, 0, Outcome::Confirmed, Outcome::Confirmed},
    {"LiveEditsLate", 0, CMD_DSP_WRITE, 0, Outcome::Confirmed, Outcome::Confirmed},
    {"LiveEditsRefused", 0, 0, CMD_DSP_WRITE, Outcome::Confirmed, Outcome::Confirmed},
};

const SimAckStyle kStyles[] = {SimAckStyle::Generic, SimAckStyle::Echo, SimAckStyle::Dsp};

using OwnAnswerParam = std::tuple<OwnAnswerCase, SimAckStyle>;

class OwnAnswerTest : public SimNetFixture, public ::testing::WithParamInterface<OwnAnswerParam> {
protected:
    void SetUp() override {
        SetLinkClock(std::make_shared<ScaledLinkClock>(kFastClock));
        SimNetFixture::SetUp();
        server->SetHeartbeatPeriod(1000 / kFastClock);
    }
    void TearDown() override {
        SimNetFixture::TearDown();
        SetLinkClock(nullptr);
    }
};

// Live edits of one parameter, as a slider drag posts them, until stopped.
class LiveEdits {
public:
    LiveEdits()
        : m_thread([this] {
              for (uint32_t value = 0; !m_stop; ++value) {
                  SendDspWrite(2, 3, &value, 1);
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    ~LiveEdits() {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST_P(OwnAnswerTest, EachWaiterHearsItsOwnCommand) {
    const auto& [c, style] = GetParam();
    sim.SetAckStyle(style);
    SimFaults faults;
    faults.ignoredCode = c.lostCode;
    faults.slowCode = c.slowCode;
    faults.slowReplyMs = kLateMs;
    faults.refusedCode = c.refusedCode;
    sim.SetFaults(faults);

    fx::Confirmation first, second;
    {
        LiveEdits edits;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const uint8_t settings[1 + kMachineSettingsSize] = {kFirstCode, 1, 2, 3};
        first = fx::SendAndConfirm(settings, sizeof settings, kReplyWaitMs);
        const uint8_t keys[1 + kRemoteKeyBlockSize] = {kSecondCode, 0x40, 0x41};
        second = fx::SendAndConfirm(keys, sizeof keys, kReplyWaitMs);
    }

    EXPECT_EQ(c.first, first.outcome) << first.ErrorWords();
    EXPECT_EQ(c.second, second.outcome) << second.ErrorWords();
    if (c.first == Outcome::Refused) {
        EXPECT_EQ(kFirstCode, first.error[1]);
    }
    if (c.second == Outcome::Refused) {
        EXPECT_EQ(kSecondCode, second.error[1]);
    }
}

std::string CaseName(const ::testing::TestParamInfo<OwnAnswerParam>& info) {
    return std::string(std::get<0>(info.param).name) + AckStyleName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Rows, OwnAnswerTest,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::ValuesIn(kStyles)),
                         CaseName);

} // namespace
