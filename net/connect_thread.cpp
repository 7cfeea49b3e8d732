#include "net/connect_thread.h"

#include <sys/socket.h>

#include <chrono>

#include "base/exception.h"
#include "net/socket_handle.h"
#include "net/stack.h"

TNetConnectThread::~TNetConnectThread() {
  WaitFor();
}

void TNetConnectThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TNetConnectThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

bool TNetConnectThread::WaitTerminated(int timeoutMs) {
  std::unique_lock<std::mutex> hold(lock_);
  return ended_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                         [this] { return Terminated(); });
}

void TNetConnectThread::Execute() {
  try {
    const int result = TargetHandle->ConnectHandle(AF_INET);
    // A socket closed under the connect by the time-out is no failure of its own.
    GlobalStack->CheckSocketResult(result, {kErrBadFile, kErrNotSocket});
  } catch (const Exception& e) {
    failed_ = true;
    failure_text_ = e.Message();
  } catch (const std::exception& e) {
    failed_ = true;
    failure_text_ = e.what();
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    terminated_.store(true);
  }
  ended_.notify_all();
}
