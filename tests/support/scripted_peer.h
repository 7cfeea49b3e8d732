// A TCP server on a free port of 127.0.0.1 whose every connection runs a script written in the
// test: for the exact bytes, splits, pauses and closes that real servers never produce.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/tcp_channel.h"

// The server side of one accepted connection.
class PeerConnection : public TcpChannel {
 public:
  PeerConnection(int fd, int index, const std::atomic<bool>* stopping)
      : TcpChannel(fd, stopping), index_(index) {}
  // 0 for the first accepted connection, 1 for the next, ...
  int Index() const { return index_; }

 private:
  int index_;
};

// Listens from construction on; each accepted connection runs the script on a thread of its own.
// When the script returns without closing, the peer shuts down its sending side, keeps recording
// what still arrives until the client closes (at most a second), then closes. A script that
// throws (a receive that timed out, say) is a test failure, reported with the connection's
// number; use the Try forms where the client may legitimately stop early.
// The destructor stops everything promptly, even with clients still connected.
class ScriptedPeer {
 public:
  using Script = std::function<void(PeerConnection&)>;
  using Duration = std::chrono::milliseconds;

  explicit ScriptedPeer(Script script);
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;
  ~ScriptedPeer();

  int Port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by `path`.
  std::string Url(std::string_view path = "/") const;

  int ConnectionCount() const;
  // True once `count` connections were accepted.
  bool WaitForConnections(int count, Duration limit = TcpChannel::kDefaultLimit);
  // True once every accepted connection's script has ended and its socket is closed (a client
  // that keeps its connection open delays this by up to a second: see above).
  bool WaitUntilIdle(Duration limit = TcpChannel::kDefaultLimit);
  // Every byte received on connection `index` so far ("" when there is no such connection).
  std::string Received(int index) const;
  // Messages of scripts that failed.
  std::vector<std::string> Failures() const;

  // Stops accepting, interrupts running scripts and joins every thread.
  void Stop();

 private:
  void AcceptLoop();
  void Serve(std::shared_ptr<PeerConnection> connection);

  Script script_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<PeerConnection>> connections_;
  std::vector<std::thread> workers_;
  std::vector<std::string> failures_;
  int active_ = 0;
  std::thread acceptor_;
};
