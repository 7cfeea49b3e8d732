// The window's anti-freeze on its own: which hook calls let Qt handle pending events, and the
// stop that ends a wait.
#include "app/anti_freeze.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <thread>

#include "base/net_exceptions.h"

namespace {

// Posts one event whose handling the test can see.
class PendingEvent {
 public:
  PendingEvent() {
    QTimer::singleShot(0, QCoreApplication::instance(), [this] { ++Handled; });
  }
  int Handled = 0;
};

TEST(NetAntiFreeze, TheHookHandlesPendingEventsOnlyWhenItShould) {
  struct Row {
    bool active;
    bool onlyWhenIdle;
    bool idle;
    bool force;
    bool handled;
  } rows[] = {
      {true, true, true, false, true},   {true, true, false, false, false},
      {true, true, false, true, true},   {true, false, false, false, true},
      {false, false, true, true, false}, {false, true, true, false, false},
  };
  for (const Row& row : rows) {
    TNetAntiFreeze antiFreeze;
    antiFreeze.ProcessInterval = 0;
    antiFreeze.Active = row.active;
    antiFreeze.OnlyWhenIdle = row.onlyWhenIdle;
    PendingEvent event;
    DoAntiFreeze(row.idle, row.force);
    EXPECT_EQ(event.Handled, row.handled ? 1 : 0)
        << row.active << row.onlyWhenIdle << row.idle << row.force;
    QCoreApplication::processEvents();  // nothing left for the next row
  }
}

TEST(NetAntiFreeze, AnotherThreadNeverHandlesTheWindowsEvents) {
  TNetAntiFreeze antiFreeze;
  antiFreeze.ProcessInterval = 0;
  antiFreeze.OnlyWhenIdle = false;
  antiFreeze.RequestStop();
  PendingEvent event;
  bool raised = false;
  std::thread other([&] {
    try {
      DoAntiFreeze(true, true);
      antiFreeze.ProcessPending();
    } catch (...) {
      raised = true;
    }
  });
  other.join();
  EXPECT_EQ(event.Handled, 0);
  EXPECT_FALSE(raised);
  antiFreeze.ClearStop();
  DoAntiFreeze(true);
  EXPECT_EQ(event.Handled, 1);
}

TEST(NetAntiFreeze, WhileBytesKeepComingEventsAreHandledAtMostOncePerInterval) {
  TNetAntiFreeze antiFreeze;
  antiFreeze.OnlyWhenIdle = false;
  antiFreeze.ProcessInterval = 200;
  PendingEvent first;
  DoAntiFreeze(false);
  EXPECT_EQ(first.Handled, 1);
  PendingEvent second;
  for (int i = 0; i < 1000; ++i)
    DoAntiFreeze(false);
  EXPECT_EQ(second.Handled, 0);
  EXPECT_EQ(antiFreeze.ProcessedCount(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(210));
  DoAntiFreeze(false);
  EXPECT_EQ(second.Handled, 1);
  EXPECT_EQ(antiFreeze.ProcessedCount(), 2);
}

TEST(NetAntiFreeze, AStopClickedDuringTheWaitEndsItAfterTheClickWasHandled) {
  TNetAntiFreeze antiFreeze;
  antiFreeze.ProcessInterval = 0;
  int clicks = 0;
  QTimer::singleShot(0, QCoreApplication::instance(), [&] {
    ++clicks;
    antiFreeze.RequestStop();
  });
  try {
    DoAntiFreeze(true);
    FAIL() << "the stop did not end the wait";
  } catch (const ENetTransferStopped& e) {
    EXPECT_EQ(e.Message(), "Transfer stopped.");
  }
  EXPECT_EQ(clicks, 1);
  // The stop holds for every later wait of the transfer, until cleared.
  EXPECT_THROW(DoAntiFreeze(false, true), ENetTransferStopped);
  antiFreeze.ClearStop();
  EXPECT_NO_THROW(DoAntiFreeze(true));
  // Registered while it exists, and no longer afterwards.
  EXPECT_EQ(ActiveAntiFreeze, &antiFreeze);
}

TEST(NetAntiFreeze, DestroyingItLeavesNoHook) {
  { TNetAntiFreeze antiFreeze; }
  EXPECT_EQ(ActiveAntiFreeze, nullptr);
  EXPECT_FALSE(AntiFreezeInUse());
}

}  // namespace
