#include "net/anti_freeze.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "net/io_handler_socket.h"
#include "net/stack.h"
#include "tests/support/scripted_peer.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class CountingAntiFreeze : public TNetAntiFreezeBase {
 public:
  using TNetAntiFreezeBase::TNetAntiFreezeBase;
  void ProcessPending() override { ++Calls; }
  int Calls = 0;
};

TEST(AntiFreeze, NoneRegisteredByDefault) {
  EXPECT_EQ(ActiveAntiFreeze, nullptr);
  EXPECT_FALSE(AntiFreezeInUse());
  EXPECT_NO_THROW(DoAntiFreeze(true, true));
}

TEST(AntiFreeze, TheLatestInstanceIsRegistered) {
  {
    CountingAntiFreeze first;
    EXPECT_EQ(ActiveAntiFreeze, &first);
    EXPECT_TRUE(first.Active);
    EXPECT_TRUE(first.ApplicationHasPriority);
    EXPECT_EQ(first.IdleTimeOut, 250);
    EXPECT_TRUE(first.OnlyWhenIdle);
    {
      CountingAntiFreeze second;
      EXPECT_EQ(ActiveAntiFreeze, &second);
      {
        auto* older = new CountingAntiFreeze;
        auto* newer = new CountingAntiFreeze;
        delete older;  // a replaced instance going away leaves the newer one registered
        EXPECT_EQ(ActiveAntiFreeze, newer);
        delete newer;
      }
      EXPECT_EQ(ActiveAntiFreeze, nullptr);
    }
  }
  EXPECT_EQ(ActiveAntiFreeze, nullptr);
}

TEST(AntiFreeze, HookRunsWhenIdleForcedOrNotOnlyWhenIdle) {
  const struct {
    bool active;
    bool onlyWhenIdle;
    bool idle;
    bool force;
    int calls;
  } rows[] = {
      {true, true, false, false, 0},  {true, true, true, false, 1},  {true, true, false, true, 1},
      {true, false, false, false, 1}, {false, false, true, true, 0},
  };
  for (const auto& row : rows) {
    CountingAntiFreeze hook;
    hook.Active = row.active;
    hook.OnlyWhenIdle = row.onlyWhenIdle;
    EXPECT_EQ(AntiFreezeInUse(), row.active);
    DoAntiFreeze(row.idle, row.force);
    EXPECT_EQ(hook.Calls, row.calls) << row.active << row.onlyWhenIdle << row.idle << row.force;
  }
}

TEST(AntiFreeze, OnlyTheMainThreadUsesIt) {
  CountingAntiFreeze hook;
  bool inUse = true;
  std::thread([&] {
    inUse = AntiFreezeInUse();
    DoAntiFreeze(true, true);
  }).join();
  EXPECT_FALSE(inUse);
  EXPECT_EQ(hook.Calls, 0);
}

class AntiFreezeWaitTest : public ::testing::Test {
 protected:
  AntiFreezeWaitTest()
      : peer_([](PeerConnection& c) {
          std::string request;
          if (c.TryReceiveExactly(1, &request)) {
            c.StaySilent(std::chrono::milliseconds(300));
            c.Send("late");
          }
          c.WaitForClose();
        }) {}
  void Connect(int timeoutMs) {
    handler_.OpenHandler();
    handler_.ConnectToPeer("127.0.0.1", peer_.Port(), "", 0, 0, 0, timeoutMs);
  }

  ScriptedPeer peer_;
  TNetIOHandlerSocket handler_;
};

TEST_F(AntiFreezeWaitTest, LongReadableWaitsGoInIdleSlices) {
  Connect(0);
  CountingAntiFreeze hook;
  hook.IdleTimeOut = 100;
  const auto start = Clock::now();
  EXPECT_FALSE(handler_.WaitReadable(250));  // slices of 50, 100 and 100 ms
  EXPECT_GE(MsSince(start), 240);
  EXPECT_EQ(hook.Calls, 3);

  // Without a limit it waits slice by slice until the data comes.
  hook.Calls = 0;
  ASSERT_EQ(handler_.SendSome("!", 1), 1);
  EXPECT_TRUE(handler_.WaitReadable(-2));
  EXPECT_GE(hook.Calls, 2);
  const int idleCalls = hook.Calls;
  // A readable answer runs the hook as not idle: nothing with OnlyWhenIdle.
  EXPECT_TRUE(handler_.WaitReadable(0));
  EXPECT_EQ(hook.Calls, idleCalls);
}

TEST_F(AntiFreezeWaitTest, AConnectThatEndsWithinTheFirstStepReturnsAtOnce) {
  CountingAntiFreeze hook;
  hook.IdleTimeOut = 1000;  // a step of 125 ms
  const auto start = Clock::now();
  Connect(0);
  EXPECT_TRUE(handler_.IsOpen());
  EXPECT_LT(MsSince(start), 100);
  handler_.CloseHandler();
}

TEST_F(AntiFreezeWaitTest, WithoutAntiFreezeConnectsOnTheCallingThread) {
  // A timed connect sleeps at least one 125 ms step; a plain one returns at once.
  const auto start = Clock::now();
  Connect(0);
  EXPECT_TRUE(handler_.IsOpen());
  EXPECT_LT(MsSince(start), 100);
}

}  // namespace
