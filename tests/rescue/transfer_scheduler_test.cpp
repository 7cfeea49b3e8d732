// The transfer scheduler against scripted peers: the connections per host, their reuse, the
// pauses between requests, Retry-After, back-off on refusals, the order of the outcomes, a stop.
#include "rescue/transfer_scheduler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/net_exceptions.h"
#include "rescue/error_text.h"
#include "tests/support/free_port.h"
#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using TClock = TTransferScheduler::TClock;

// A clock that moves only when the scheduler waits; the waits are recorded.
struct FakeTime {
  std::mutex Lock;
  TClock::time_point Now = TClock::time_point{} + 1000h;
  std::vector<std::chrono::milliseconds> Waits;
  void Use(TTransferScheduler& scheduler) {
    scheduler.Now = [this] {
      const std::lock_guard<std::mutex> hold(Lock);
      return Now;
    };
    scheduler.Sleep = [this](TClock::duration wait) {
      const std::lock_guard<std::mutex> hold(Lock);
      Waits.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(wait));
      Now += wait;
    };
  }
};

std::vector<TTransferJob> Jobs(const RecordingPeer& peer, const TempDir& out, int count) {
  std::vector<TTransferJob> jobs;
  for (int i = 0; i < count; ++i)
    jobs.push_back({peer.Url("/f" + std::to_string(i) + ".bin"), peer.Url("/game.swf"),
                    out.Path() + "/f" + std::to_string(i) + ".bin"});
  return jobs;
}

TEST(TransferScheduler, ConnectionsPerHostAreCappedAndKeptForTheNextFiles) {
  struct Row {
    const char* Name;
    int PerHost, Files;
    bool KeepAlive;
    int Connections;  // the peer saw
  } const rows[] = {
      {"four kept connections for twelve files", 4, 12, true, 4},
      {"one kept connection", 1, 6, true, 1},
      {"fewer files than the cap", 4, 2, true, 2},
      {"a server that closes after each answer", 3, 6, false, 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    RecordingPeer peer([&row](int n, const RequestHead& head) {
      // Slow enough that the transfers overlap.
      std::this_thread::sleep_for(30ms);
      return PeerAnswer{HttpResponse(200, "OK",
                                     row.KeepAlive ? std::vector<std::string>{}
                                                   : std::vector<std::string>{"Connection: close"},
                                     "body of " + head.Target + " " + std::to_string(n)),
                        !row.KeepAlive};
    });
    TempDir out;
    TTransferScheduler scheduler({}, {row.PerHost});
    const std::vector<TTransferJob> jobs = Jobs(peer, out, row.Files);
    const std::vector<TTransferOutcome> outcomes = scheduler.Run(jobs);
    ASSERT_EQ(outcomes.size(), jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
      EXPECT_TRUE(outcomes[i].Saved) << i << " " << ErrorMessageOf(outcomes[i].Error);
      EXPECT_TRUE(std::filesystem::exists(jobs[i].Path)) << i;
    }
    EXPECT_EQ(peer.Peer().ConnectionCount(), row.Connections);
    EXPECT_LE(scheduler.PeakPerHost(), row.PerHost);
    EXPECT_EQ(scheduler.PeakPerHost(), std::min(row.PerHost, row.Files));
    for (const RequestHead& head : peer.Heads())
      EXPECT_EQ(head.Header("Referer"), peer.Url("/game.swf"));
  }
}

TEST(TransferScheduler, RequestsToAHostArePacedAndRetryAfterIsObeyed) {
  struct Row {
    const char* Name;
    int RateIntervalMs;
    std::string FirstAnswer;  // then 200s
    std::vector<std::chrono::milliseconds> Waits;
    bool Saved;
  } const rows[] = {
      {"a least time between requests", 1000, "", {1000ms, 1000ms}, true},
      {"429 with seconds",
       0,
       HttpResponse(429, "Too Many Requests", {"Retry-After: 7"}, ""),
       {7000ms},
       true},
      {"503 without a time: a second",
       0,
       HttpResponse(503, "Service Unavailable", {}, ""),
       {1000ms},
       true},
      {"a wait beyond the most obeyed: given up",
       0,
       HttpResponse(429, "Too Many Requests", {"Retry-After: 3600"}, ""),
       {},
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    RecordingPeer peer([&row](int n, const RequestHead&) {
      if (n == 0 && !row.FirstAnswer.empty()) return PeerAnswer{row.FirstAnswer};
      return PeerAnswer{HttpResponse(200, "OK", {}, "x")};
    });
    TempDir out;
    TTransferRules rules;
    rules.PerHost = 1;
    rules.RateIntervalMs = row.RateIntervalMs;
    TTransferScheduler scheduler({}, rules);
    FakeTime time;
    time.Use(scheduler);
    const int files = row.RateIntervalMs > 0 ? 3 : 1;
    const std::vector<TTransferOutcome> outcomes = scheduler.Run(Jobs(peer, out, files));
    EXPECT_EQ(outcomes[0].Saved, row.Saved) << ErrorMessageOf(outcomes[0].Error);
    EXPECT_EQ(time.Waits, row.Waits);
  }
}

TEST(TransferScheduler, ARetryAfterDateIsAWaitUntilThen) {
  const std::string date = "Wed, 01 Jan 2031 00:00:30 GMT";
  RecordingPeer peer([&date](int n, const RequestHead&) {
    if (n == 0) return PeerAnswer{HttpResponse(503, "Busy", {"Retry-After: " + date}, "")};
    return PeerAnswer{HttpResponse(200, "OK", {}, "x")};
  });
  TempDir out;
  TTransferRules rules;
  rules.MaxRetryWaitS = 1000000000;  // the date is years ahead
  TTransferScheduler scheduler({}, rules);
  FakeTime time;
  time.Use(scheduler);
  const std::vector<TTransferOutcome> outcomes = scheduler.Run(Jobs(peer, out, 1));
  EXPECT_TRUE(outcomes[0].Saved);
  ASSERT_EQ(time.Waits.size(), 1u);
  EXPECT_GT(time.Waits[0], std::chrono::hours(24 * 300));
}

TEST(TransferScheduler, RefusedConnectionsAreTriedAgainAfterGrowingWaits) {
  TTransferRules rules;
  rules.MaxTries = 5;
  TTransferScheduler scheduler({}, rules);
  FakeTime time;
  time.Use(scheduler);
  std::vector<int> retries;
  scheduler.OnRetry = [&retries](const std::string&, int tryNumber, const std::string&) {
    retries.push_back(tryNumber);
  };
  TempDir out;
  const std::string refused = "http://127.0.0.1:" + std::to_string(FreeTcpPort()) + "/a.bin";
  const std::vector<TTransferOutcome> outcomes = scheduler.Run({{refused, "", out.Path() + "/a"}});
  EXPECT_FALSE(outcomes[0].Saved);
  EXPECT_EQ(outcomes[0].Tries, 5);
  EXPECT_EQ(retries, (std::vector<int>{2, 3, 4, 5}));
  ASSERT_EQ(time.Waits.size(), 4u);
  for (size_t i = 0; i < time.Waits.size(); ++i) {
    const auto base = std::chrono::milliseconds(rules.FirstBackOffMs << i);
    EXPECT_GE(time.Waits[i], base) << i;
    EXPECT_LE(time.Waits[i], base + base / 2) << i;
  }
  EXPECT_FALSE(std::filesystem::exists(out.Path() + "/a"));
}

TEST(TransferScheduler, OutcomesComeInTheOrderAskedForAndAStopEndsTheRun) {
  // The first files answer last: the order of the outcomes is still that of the jobs.
  RecordingPeer peer([](int, const RequestHead& head) {
    const bool slow = head.Target == "/f0.bin" || head.Target == "/f1.bin";
    std::this_thread::sleep_for(slow ? 150ms : 10ms);
    return PeerAnswer{HttpResponse(200, "OK", {}, head.Target)};
  });
  TempDir out;
  TTransferScheduler scheduler({}, {4});
  const std::vector<TTransferJob> jobs = Jobs(peer, out, 8);
  std::vector<TTransferOutcome> outcomes = scheduler.Run(jobs);
  for (size_t i = 0; i < jobs.size(); ++i)
    EXPECT_TRUE(outcomes[i].Saved) << i;

  // A stop while the slow ones run: the run ends, nothing half-written is left.
  RecordingPeer slow([](int, const RequestHead&) {
    std::this_thread::sleep_for(2s);
    return PeerAnswer{HttpResponse(200, "OK", {}, "late")};
  });
  TempDir stopped;
  TTransferScheduler again({}, {2});
  std::thread stopper([&again] {
    std::this_thread::sleep_for(200ms);
    again.Stop();
  });
  const auto started = std::chrono::steady_clock::now();
  outcomes = again.Run(Jobs(slow, stopped, 6));
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
  for (const TTransferOutcome& outcome : outcomes)
    EXPECT_FALSE(outcome.Saved);
  EXPECT_TRUE(std::filesystem::is_empty(stopped.Path()));
}

}  // namespace
