// The thread that performs a connect with a time-out: the caller sleeps in steps and
// closes the socket under the thread when the time is up.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class TNetSocketHandle;

class TNetConnectThread {
 public:
  // Created suspended: set TargetHandle, then Start.
  TNetConnectThread() = default;
  TNetConnectThread(const TNetConnectThread&) = delete;
  TNetConnectThread& operator=(const TNetConnectThread&) = delete;
  // Waits for the thread to end.
  ~TNetConnectThread();

  // The handle to connect; not owned.
  TNetSocketHandle* TargetHandle = nullptr;

  void Start();
  // Asks the thread to stop; the thread sets the same flag itself when it has finished.
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  // Waits at most `timeoutMs` for the connect to end; true once it has (or was asked to).
  bool WaitTerminated(int timeoutMs);
  void WaitFor();

  // Read once Terminated has been seen: whether the connect failed, and the failure's
  // message (empty unless it failed).
  bool Failed() const { return failed_; }
  const std::string& FailureText() const { return failure_text_; }

 private:
  void Execute();

  std::atomic<bool> terminated_{false};
  std::mutex lock_;
  std::condition_variable ended_;
  bool failed_ = false;
  std::string failure_text_;
  std::thread thread_;
};
