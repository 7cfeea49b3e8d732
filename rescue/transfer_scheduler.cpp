#include "rescue/transfer_scheduler.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <random>
#include <thread>

#include "base/date_time.h"
#include "base/exception.h"
#include "base/net_exceptions.h"
#include "base/text.h"
#include "http/http.h"
#include "net/cancel_switch.h"
#include "rescue/download.h"
#include "rescue/web_client.h"
#include "uri/internet_date.h"
#include "uri/uri.h"

namespace {

constexpr double kSecondsPerDay = 86400.0;

// The wait a 429 or 503 asks for, in seconds: Retry-After as a number or as a date; none
// given, a second.
double RetryAfterSeconds(const std::string& value) {
  const std::string text = Trim(value);
  int64_t seconds = 0;
  if (ParseDecimalDigits(text, seconds)) return static_cast<double>(seconds);
  const TDateTime when = InternetDateToLocal(text);
  if (when == 0) return 1;
  return std::max(0.0, (when - Now()) * kSecondsPerDay);
}

bool IsConnectionFailure(const Exception& e) {
  return dynamic_cast<const ENetSocketError*>(&e) ||
         dynamic_cast<const ENetConnectException*>(&e) ||
         dynamic_cast<const ENetConnectTimeout*>(&e) ||
         dynamic_cast<const ENetConnClosedGracefully*>(&e);
}

}  // namespace

struct TTransferScheduler::TClient {
  explicit TClient(const TClientOptions& options) : Web(options) {}
  TWebClient Web;
  TNetCancelSwitch Cancel;
};

struct TTransferScheduler::THost {
  std::mutex Lock;
  std::vector<std::unique_ptr<TClient>> Clients;
  // Of the run under way: the jobs of this host, the next one to take, how many run.
  std::vector<size_t> Jobs;
  size_t Next = 0;
  int Active = 0;
  // No request starts before this.
  TClock::time_point NotBefore{};
};

TTransferScheduler::TTransferScheduler(TClientOptions options, TTransferRules rules)
    : options_(std::move(options)), rules_(rules) {
  rules_.PerHost = std::max(1, rules_.PerHost);
  rules_.MaxTries = std::max(1, rules_.MaxTries);
  Fetch = [](TNetHTTP& http, const TTransferJob& job) {
    DownloadFile(http, job.Address, job.Path, true);
  };
  Sleep = [this](TClock::duration wait) {
    std::unique_lock<std::mutex> hold(stop_lock_);
    stop_woken_.wait_for(hold, wait, [this] { return stopped_.load(); });
  };
}

TTransferScheduler::~TTransferScheduler() = default;

std::string TTransferScheduler::HostOf(const std::string& address) {
  const TNetURI uri(address);
  return LowerCase(uri.Scheme) + "://" + LowerCase(uri.HostName) + ":" + uri.PortText;
}

void TTransferScheduler::Stop() {
  stopped_ = true;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    for (auto& [key, host] : hosts_) {
      const std::lock_guard<std::mutex> hostHold(host->Lock);
      for (auto& client : host->Clients)
        client->Cancel.Cancel();
    }
  }
  const std::lock_guard<std::mutex> hold(stop_lock_);
  stop_woken_.notify_all();
}

std::vector<TTransferOutcome> TTransferScheduler::Run(const std::vector<TTransferJob>& jobs) {
  std::vector<TTransferOutcome> outcomes(jobs.size());
  std::vector<std::thread> workers;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    std::vector<THost*> used;
    for (size_t i = 0; i < jobs.size(); ++i) {
      auto& host = hosts_[HostOf(jobs[i].Address)];
      if (!host) host = std::make_unique<THost>();
      if (host->Jobs.empty()) used.push_back(host.get());
      host->Jobs.push_back(i);
    }
    for (THost* host : used) {
      host->Next = 0;
      const size_t wanted = std::min(host->Jobs.size(), static_cast<size_t>(rules_.PerHost));
      while (host->Clients.size() < wanted)
        host->Clients.push_back(std::make_unique<TClient>(options_));
      for (size_t k = 0; k < wanted; ++k)
        workers.emplace_back([this, host, client = host->Clients[k].get(), &jobs, &outcomes] {
          Work(*host, *client, jobs, outcomes);
        });
    }
  }
  for (std::thread& worker : workers)
    worker.join();
  const std::lock_guard<std::mutex> hold(lock_);
  for (auto& [key, host] : hosts_)
    host->Jobs.clear();
  return outcomes;
}

void TTransferScheduler::Work(THost& host, TClient& client, const std::vector<TTransferJob>& jobs,
                              std::vector<TTransferOutcome>& outcomes) {
  client.Cancel.Attach(client.Web.Http());
  if (stopped_) client.Cancel.Cancel();
  for (;;) {
    size_t job = 0;
    {
      const std::lock_guard<std::mutex> hold(host.Lock);
      if (stopped_ || host.Next == host.Jobs.size()) break;
      job = host.Jobs[host.Next++];
      ++host.Active;
      int peak = peak_per_host_;
      while (host.Active > peak && !peak_per_host_.compare_exchange_weak(peak, host.Active)) {
      }
    }
    outcomes[job] = Transfer(host, client, jobs[job]);
    const std::lock_guard<std::mutex> hold(host.Lock);
    --host.Active;
  }
  client.Cancel.Detach();
  // A connection a stop cut is of no use to the next run.
  if (stopped_) {
    try {
      client.Web.Http().CloseConnection();
    } catch (...) {
      // What the stop cut has nothing left to report.
    }
  }
}

void TTransferScheduler::Pace(THost& host) {
  TClock::time_point start;
  {
    const std::lock_guard<std::mutex> hold(host.Lock);
    start = std::max(host.NotBefore, Now());
    host.NotBefore = start + std::chrono::milliseconds(rules_.RateIntervalMs);
  }
  const TClock::duration wait = start - Now();
  if (wait > TClock::duration::zero()) Sleep(wait);
}

TTransferOutcome TTransferScheduler::Transfer(THost& host, TClient& client,
                                              const TTransferJob& job) {
  TTransferOutcome outcome;
  TNetHTTP& http = client.Web.Http();
  std::minstd_rand jitter(static_cast<unsigned>(std::hash<std::string>()(job.Address)));
  for (outcome.Tries = 1;; ++outcome.Tries) {
    std::string why;
    try {
      if (stopped_) throw ENetTransferStopped("Transfer stopped.");
      Pace(host);
      http.Request.Referer = job.Referer;
      Fetch(http, job);
      outcome.Saved = true;
      return outcome;
    } catch (const ENetHTTPProtocolException& e) {
      outcome.Error = std::current_exception();
      if (e.StatusCode() != 429 && e.StatusCode() != 503) return outcome;
      const double seconds =
          RetryAfterSeconds(http.LastResponse.HeaderLines.ValueOf("Retry-After"));
      if (seconds > rules_.MaxRetryWaitS) return outcome;
      const std::lock_guard<std::mutex> hold(host.Lock);
      host.NotBefore = std::max(
          host.NotBefore, Now() + std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000)));
      why = Format("%d, waiting %.0f s", e.StatusCode(), seconds);
    } catch (const ENetTransferStopped&) {
      outcome.Error = std::current_exception();
      return outcome;
    } catch (const Exception& e) {
      // Refused, cut or timed-out connections are tried again after a growing wait; anything
      // else (a missing file, a bad body, a file that cannot be written) is final.
      if (!IsConnectionFailure(e)) {
        outcome.Error = std::current_exception();
        return outcome;
      }
      outcome.Error = std::current_exception();
      const int backOff = rules_.FirstBackOffMs << std::min(outcome.Tries - 1, 16);
      const int wait =
          backOff + static_cast<int>(jitter() % static_cast<unsigned>(backOff / 2 + 1));
      if (outcome.Tries < rules_.MaxTries && !stopped_) Sleep(std::chrono::milliseconds(wait));
      why = e.Message() + Format(", waited %d ms", wait);
    } catch (...) {
      outcome.Error = std::current_exception();
      return outcome;
    }
    if (outcome.Tries >= rules_.MaxTries || stopped_) return outcome;
    if (OnRetry) OnRetry(job.Address, outcome.Tries + 1, why);
  }
}
