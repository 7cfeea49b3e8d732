#include "tests/support/scripted_peer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/free_port.h"

ScriptedPeer::ScriptedPeer(Script script) : script_(std::move(script)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("ScriptedPeer: socket failed");
  const int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 64) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("ScriptedPeer: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedPeer::~ScriptedPeer() {
  Stop();
}

std::string ScriptedPeer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void ScriptedPeer::AcceptLoop() {
  while (!stopping_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(lock_);
    auto connection =
        std::make_shared<PeerConnection>(fd, static_cast<int>(connections_.size()), &stopping_);
    connections_.push_back(connection);
    ++active_;
    workers_.emplace_back([this, connection] { Serve(connection); });
    changed_.notify_all();
  }
}

void ScriptedPeer::Serve(std::shared_ptr<PeerConnection> connection) {
  std::string failure;
  try {
    script_(*connection);
    if (connection->IsOpen()) {
      // Let the client read everything sent before it learns of the close: closing with unread
      // input would reset the connection and could destroy data still in flight.
      connection->ShutdownWrite();
      connection->WaitForClose(std::chrono::seconds(1));
    }
  } catch (const ChannelStopped&) {
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "unknown exception";
  }
  connection->Close();
  if (!failure.empty()) {
    failure = "scripted peer, connection " + std::to_string(connection->Index()) + ": " + failure;
    ADD_FAILURE() << failure;
  }
  std::lock_guard<std::mutex> lock(lock_);
  if (!failure.empty()) failures_.push_back(failure);
  --active_;
  changed_.notify_all();
}

int ScriptedPeer::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(lock_);
  return static_cast<int>(connections_.size());
}

bool ScriptedPeer::WaitForConnections(int count, Duration limit) {
  std::unique_lock<std::mutex> lock(lock_);
  return changed_.wait_for(lock, limit,
                           [&] { return static_cast<int>(connections_.size()) >= count; });
}

bool ScriptedPeer::WaitUntilIdle(Duration limit) {
  std::unique_lock<std::mutex> lock(lock_);
  return changed_.wait_for(lock, limit, [&] { return active_ == 0; });
}

std::string ScriptedPeer::Received(int index) const {
  std::shared_ptr<PeerConnection> connection;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (index < 0 || index >= static_cast<int>(connections_.size())) return "";
    connection = connections_[index];
  }
  return connection->Received();
}

std::vector<std::string> ScriptedPeer::Failures() const {
  std::lock_guard<std::mutex> lock(lock_);
  return failures_;
}

void ScriptedPeer::Stop() {
  if (stopping_.exchange(true)) return;
  if (acceptor_.joinable()) acceptor_.join();
  ::close(listenFd_);
  listenFd_ = -1;
  // The acceptor is gone, so the list of workers no longer grows.
  for (auto& worker : workers_)
    worker.join();
}
