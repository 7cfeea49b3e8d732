#include "net/net_component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/stack.h"

namespace {

TEST(NetComponent, StatusTextsFillTheirArguments) {
  const struct {
    TNetStatus status;
    std::initializer_list<std::string> arguments;
    const char* text;
  } rows[] = {
      {TNetStatus::hsResolving, {"example.test"}, "Resolving hostname example.test."},
      {TNetStatus::hsConnecting, {"127.0.0.1"}, "Connecting to 127.0.0.1."},
      // Extra arguments are ignored by a text without a place for them.
      {TNetStatus::hsConnected, {"example.test"}, "Connected."},
      {TNetStatus::hsDisconnecting, {}, "Disconnecting."},
      {TNetStatus::hsDisconnected, {}, "Disconnected."},
      {TNetStatus::hsStatusText, {"Chunk Started"}, "Chunk Started"},
      {TNetStatus::ftpTransfer, {"a%sb"}, "a%sb"},  // an argument is not a template
      {TNetStatus::ftpReady, {"ready"}, "ready"},
      {TNetStatus::ftpAborted, {}, ""},
  };
  TNetComponent component;
  std::vector<std::string> texts;
  std::vector<TNetStatus> statuses;
  TObject* sender = nullptr;
  component.OnStatus = [&](TObject* s, TNetStatus status, const std::string& text) {
    sender = s;
    statuses.push_back(status);
    texts.push_back(text);
  };
  for (const auto& row : rows) {
    component.ReportStatus(row.status, row.arguments);
    EXPECT_EQ(texts.back(), row.text);
    EXPECT_EQ(statuses.back(), row.status);
  }
  EXPECT_EQ(sender, &component);
  EXPECT_EQ(texts.size(), std::size(rows));
}

TEST(NetComponent, WithoutAHandlerNothingIsReported) {
  TNetComponent component;
  EXPECT_NO_THROW(component.ReportStatus(TNetStatus::hsConnecting, {"x"}));
}

struct WorkLog {
  std::vector<std::string> events;
  void Attach(TNetComponent& c) {
    c.OnWorkBegin = [this](TObject*, TWorkMode mode, int64_t max) {
      events.push_back(Name(mode) + " begin " + std::to_string(max));
    };
    c.OnWork = [this](TObject*, TWorkMode mode, int64_t count) {
      events.push_back(Name(mode) + " work " + std::to_string(count));
    };
    c.OnWorkEnd = [this](TObject*, TWorkMode mode) { events.push_back(Name(mode) + " end"); };
  }
  static std::string Name(TWorkMode mode) { return mode == TWorkMode::wmRead ? "read" : "write"; }
};

TEST(NetComponent, NestedPhasesGiveOneBeginAndOneEnd) {
  TNetComponent component;
  WorkLog log;
  log.Attach(component);
  component.WorkStarted(TWorkMode::wmRead, 100);
  component.WorkStarted(TWorkMode::wmRead, 50);
  component.WorkProgress(TWorkMode::wmRead, 10);
  component.WorkProgress(TWorkMode::wmRead, 10);
  component.WorkFinished(TWorkMode::wmRead);
  component.WorkFinished(TWorkMode::wmRead);
  EXPECT_EQ(log.events, (std::vector<std::string>{"read begin 100", "read work 10", "read work 20",
                                                  "read end"}));
}

TEST(NetComponent, ProgressOutsideAPhaseIsDroppedAndModesAreSeparate) {
  TNetComponent component;
  WorkLog log;
  log.Attach(component);
  component.WorkProgress(TWorkMode::wmRead, 5);
  component.WorkStarted(TWorkMode::wmWrite, 0);
  component.WorkProgress(TWorkMode::wmRead, 5);  // no read phase open
  component.WorkProgress(TWorkMode::wmWrite, 3000000000LL);
  component.WorkProgress(TWorkMode::wmWrite, 3000000000LL);  // beyond 32 bits
  component.WorkFinished(TWorkMode::wmWrite);
  // A new phase starts counting from 0 with its own maximum.
  component.WorkStarted(TWorkMode::wmWrite, 7);
  component.WorkProgress(TWorkMode::wmWrite, 2);
  component.WorkFinished(TWorkMode::wmWrite);
  component.WorkProgress(TWorkMode::wmWrite, 1);
  EXPECT_EQ(log.events, (std::vector<std::string>{"write begin 0", "write work 3000000000",
                                                  "write work 6000000000", "write end",
                                                  "write begin 7", "write work 2", "write end"}));
}

TEST(NetComponent, EveryComponentHoldsAStackReference) {
  const int before = TNetStack::StackReferences();
  {
    TNetComponent owner;
    new TNetComponent(&owner);  // freed by its owner
    EXPECT_EQ(TNetStack::StackReferences(), before + 2);
    EXPECT_NE(GlobalStack, nullptr);
  }
  EXPECT_EQ(TNetStack::StackReferences(), before);
  if (before == 0) {
    EXPECT_EQ(GlobalStack, nullptr);
  }
}

}  // namespace
