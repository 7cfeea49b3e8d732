// One TCP connection driven by a test, byte by byte: the server side of a scripted peer, or a
// plain client that a test uses to talk to a real server.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A receive that did not get what it waited for (time limit, or the other side closed).
class ChannelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The owner is shutting down (a scripted peer being stopped); not a failure of the script.
class ChannelStopped : public ChannelError {
 public:
  ChannelStopped() : ChannelError("stopped") {}
};

class TcpChannel {
 public:
  using Duration = std::chrono::milliseconds;
  static constexpr Duration kDefaultLimit{5000};

  // Takes ownership of a connected socket. While `*stopping` is true every wait ends at once
  // with ChannelStopped.
  explicit TcpChannel(int fd, const std::atomic<bool>* stopping = nullptr);
  TcpChannel(const TcpChannel&) = delete;
  TcpChannel& operator=(const TcpChannel&) = delete;
  virtual ~TcpChannel();

  // Connects to 127.0.0.1:port; throws ChannelError when that fails.
  static std::unique_ptr<TcpChannel> Connect(int port);

  // Receiving. Bytes arrive into a pending buffer; each call takes from its front what it
  // returns and leaves the rest for the next call. Throwing forms raise ChannelError.
  // Everything up to and including the first `pattern` (e.g. "\r\n\r\n" ending a request head).
  std::string ReceiveUntil(std::string_view pattern, Duration limit = kDefaultLimit);
  bool TryReceiveUntil(std::string_view pattern, std::string* out, Duration limit = kDefaultLimit);
  std::string ReceiveExactly(std::size_t count, Duration limit = kDefaultLimit);
  bool TryReceiveExactly(std::size_t count, std::string* out, Duration limit = kDefaultLimit);
  // Everything until the other side closes (or the connection breaks).
  std::string ReceiveUntilClosed(Duration limit = kDefaultLimit);
  // Receives (recording it) until the other side closes; false when the limit passed first.
  bool WaitForClose(Duration limit = kDefaultLimit);

  // Sending. False when the other side is gone (never SIGPIPE).
  bool Send(std::string_view bytes);
  // Pieces of `pieceSize` bytes with a pause after each but the last; TCP_NODELAY is on, so each
  // piece leaves as its own segment.
  bool SendInPieces(std::string_view bytes, std::size_t pieceSize, Duration pause);
  // Splits at the given ascending offsets, pausing between the pieces.
  bool SendSplitAt(std::string_view bytes, const std::vector<std::size_t>& offsets, Duration pause);
  // The bytes [offset, offset + count) of the generated pattern, streamed without holding them.
  bool SendGenerated(std::uint64_t offset, std::uint64_t count);

  void ShutdownWrite();
  // Plain close: FIN, but the kernel sends RST instead when received bytes are still unread.
  void Close();
  void Reset();  // abortive close (RST) in every case
  // Sends and receives nothing for a while (ends early with ChannelStopped).
  void StaySilent(Duration duration);

  // Every byte received so far, consumed or not. Safe to call from another thread.
  std::string Received() const;
  bool PeerClosed() const { return peerClosed_; }
  bool IsOpen() const { return fd_ >= 0; }

 protected:
  // Reads what is there into the pending buffer, waiting at most until `deadline`. False when
  // nothing more can come (closed, broken) or the deadline passed.
  bool Fill(std::chrono::steady_clock::time_point deadline);
  void CheckStopping() const;

 private:
  std::string Take(std::size_t count);
  int fd_;
  const std::atomic<bool>* stopping_;
  std::string pending_;
  bool peerClosed_ = false;
  mutable std::mutex receivedLock_;
  std::string received_;
};
