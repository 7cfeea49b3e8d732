#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "net/net_component.h"

namespace {

// InWorkPhase must end its phase the same way whether the body returns or raises, and the
// closing step comes after the end event either way.
TEST(WorkPhase, EndsOnceWhetherTheBodyReturnsOrRaises) {
  for (const bool raises : {false, true}) {
    TNetComponent component;
    std::vector<std::string> events;
    component.OnWorkBegin = [&](TObject*, TWorkMode, int64_t max) {
      events.push_back("begin " + std::to_string(max));
    };
    component.OnWork = [&](TObject*, TWorkMode, int64_t count) {
      events.push_back("work " + std::to_string(count));
    };
    component.OnWorkEnd = [&](TObject*, TWorkMode) { events.push_back("end"); };
    auto run = [&] {
      component.InWorkPhase(
          TWorkMode::wmRead, 9,
          [&] {
            component.WorkProgress(TWorkMode::wmRead, 4);
            if (raises) throw std::runtime_error("cut");
          },
          [&] { events.push_back("finish"); });
    };
    if (raises)
      EXPECT_THROW(run(), std::runtime_error);
    else
      EXPECT_NO_THROW(run());
    EXPECT_EQ(events, (std::vector<std::string>{"begin 9", "work 4", "end", "finish"})) << raises;
    // The phase is closed: progress after it is dropped.
    component.WorkProgress(TWorkMode::wmRead, 1);
    EXPECT_EQ(events.size(), 4u) << raises;
  }
}

TEST(WorkPhase, NestsInsideAnOpenPhaseOfTheSameMode) {
  TNetComponent component;
  int begins = 0;
  int ends = 0;
  component.OnWorkBegin = [&](TObject*, TWorkMode, int64_t) { ++begins; };
  component.OnWorkEnd = [&](TObject*, TWorkMode) { ++ends; };
  component.InWorkPhase(TWorkMode::wmWrite, 0, [&] {
    component.InWorkPhase(TWorkMode::wmWrite, 0, [] {});
    EXPECT_EQ(ends, 0);
  });
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
}

}  // namespace
