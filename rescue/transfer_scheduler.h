// Fetching many files at once: a few kept-alive connections per host, each on a thread of its
// own, with the pauses a host asks for (a least time between requests, Retry-After on 429 and
// 503) and a few tries with a growing wait when a connection is refused or cut. The outcomes
// come back in the order of the files asked for, whatever order the transfers ended in.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rescue/client_options.h"

class TNetHTTP;

struct TTransferRules {
  // Connections to one host at most at once (-j).
  int PerHost = 4;
  // The least time between the starts of two requests to one host (--rate-interval).
  int RateIntervalMs = 0;
  // The longest Retry-After obeyed (--max-retry-wait): a host that asks for more is given up.
  int MaxRetryWaitS = 120;
  // Tries of one file whose connection was refused, cut, or answered 429 or 503.
  int MaxTries = 5;
  // The wait after the first refusal, doubled after each further one (a random part of it
  // added, so that many clients do not return together).
  int FirstBackOffMs = 250;
};

struct TTransferJob {
  std::string Address;
  std::string Referer;
  std::string Path;  // where the body is saved (see DownloadFile)
};

struct TTransferOutcome {
  bool Saved = false;
  std::exception_ptr Error;  // when not saved
  int Tries = 0;
};

class TTransferScheduler {
 public:
  using TClock = std::chrono::steady_clock;
  // Saves one job's body with a client of the scheduler's (DownloadFile by default).
  using TFetch = std::function<void(TNetHTTP& http, const TTransferJob& job)>;

  TTransferScheduler(TClientOptions options, TTransferRules rules);
  TTransferScheduler(const TTransferScheduler&) = delete;
  TTransferScheduler& operator=(const TTransferScheduler&) = delete;
  ~TTransferScheduler();

  // Runs the jobs and returns their outcomes in the jobs' order. A host's connections stay open
  // for its next jobs, also in a later Run.
  std::vector<TTransferOutcome> Run(const std::vector<TTransferJob>& jobs);
  // From any thread: the transfers under way are cut, no new one starts; Run returns once they
  // have ended (their outcomes failed).
  void Stop();
  bool Stopped() const { return stopped_; }

  // Said before each new try of a file (the command line's -v): the address, the try coming and
  // why.
  std::function<void(const std::string& address, int tryNumber, const std::string& why)> OnRetry;

  // For tests: what a transfer does, the clock and the wait (which must return at once when
  // Stop is called).
  TFetch Fetch;
  std::function<TClock::time_point()> Now = &TClock::now;
  std::function<void(TClock::duration)> Sleep;
  // The most transfers to one host seen at once.
  int PeakPerHost() const { return peak_per_host_; }

 private:
  struct THost;
  struct TClient;
  // The host part of an address ("scheme://host:port").
  static std::string HostOf(const std::string& address);
  void Work(THost& host, TClient& client, const std::vector<TTransferJob>& jobs,
            std::vector<TTransferOutcome>& outcomes);
  // Waits until a request to `host` may start, and notes that it starts.
  void Pace(THost& host);
  // Saves one job with retries.
  TTransferOutcome Transfer(THost& host, TClient& client, const TTransferJob& job);

  TClientOptions options_;
  TTransferRules rules_;
  std::mutex lock_;
  std::map<std::string, std::unique_ptr<THost>> hosts_;
  std::atomic<bool> stopped_{false};
  // Waits end at once when a stop comes.
  std::mutex stop_lock_;
  std::condition_variable stop_woken_;
  std::atomic<int> peak_per_host_{0};
};
