#include "tests/support/tcp_channel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "tests/support/free_port.h"
#include "tests/support/generated_bytes.h"

namespace {

using Clock = std::chrono::steady_clock;
// Waits are cut into steps this long so that a stopping owner is noticed quickly.
constexpr int kStepMs = 20;

int StepUntil(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, kStepMs));
}

std::string Printable(std::string_view bytes) {
  std::string text;
  for (unsigned char c : bytes.substr(0, 300)) {
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      static const char* hex = "0123456789ABCDEF";
      text += "\\x";
      text += hex[c >> 4];
      text += hex[c & 15];
    } else {
      text += static_cast<char>(c);
    }
  }
  if (bytes.size() > 300) text += "...";
  return text;
}

}  // namespace

TcpChannel::TcpChannel(int fd, const std::atomic<bool>* stopping) : fd_(fd), stopping_(stopping) {
  const int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

TcpChannel::~TcpChannel() {
  Close();
}

std::unique_ptr<TcpChannel> TcpChannel::Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw ChannelError("socket failed");
  sockaddr_in address = LoopbackAddress(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    throw ChannelError("cannot connect to 127.0.0.1:" + std::to_string(port));
  }
  return std::make_unique<TcpChannel>(fd);
}

void TcpChannel::CheckStopping() const {
  if (stopping_ && stopping_->load()) throw ChannelStopped();
}

bool TcpChannel::Fill(Clock::time_point deadline) {
  if (fd_ < 0 || peerClosed_) return false;
  for (;;) {
    CheckStopping();
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, StepUntil(deadline));
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0) {
      char buffer[65536];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n > 0) {
        pending_.append(buffer, static_cast<std::size_t>(n));
        std::lock_guard<std::mutex> lock(receivedLock_);
        received_.append(buffer, static_cast<std::size_t>(n));
        return true;
      }
      if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        peerClosed_ = true;
        return false;
      }
    }
    if (Clock::now() >= deadline) return false;
  }
}

std::string TcpChannel::Take(std::size_t count) {
  std::string front = pending_.substr(0, count);
  pending_.erase(0, count);
  return front;
}

bool TcpChannel::TryReceiveUntil(std::string_view pattern, std::string* out, Duration limit) {
  const auto deadline = Clock::now() + limit;
  std::size_t searchFrom = 0;
  for (;;) {
    const auto found = pending_.find(pattern, searchFrom);
    if (found != std::string::npos) {
      *out = Take(found + pattern.size());
      return true;
    }
    if (pending_.size() >= pattern.size()) searchFrom = pending_.size() - pattern.size() + 1;
    if (!Fill(deadline)) return false;
  }
}

std::string TcpChannel::ReceiveUntil(std::string_view pattern, Duration limit) {
  std::string out;
  if (!TryReceiveUntil(pattern, &out, limit)) {
    throw ChannelError(std::string(peerClosed_ ? "closed" : "time limit passed") + " before \"" +
                       Printable(pattern) + "\"; pending: \"" + Printable(pending_) + "\"");
  }
  return out;
}

bool TcpChannel::TryReceiveExactly(std::size_t count, std::string* out, Duration limit) {
  const auto deadline = Clock::now() + limit;
  while (pending_.size() < count) {
    if (!Fill(deadline)) return false;
  }
  *out = Take(count);
  return true;
}

std::string TcpChannel::ReceiveExactly(std::size_t count, Duration limit) {
  std::string out;
  if (!TryReceiveExactly(count, &out, limit)) {
    throw ChannelError(std::string(peerClosed_ ? "closed" : "time limit passed") + " after " +
                       std::to_string(pending_.size()) + " of " + std::to_string(count) +
                       " bytes: \"" + Printable(pending_) + "\"");
  }
  return out;
}

bool TcpChannel::WaitForClose(Duration limit) {
  const auto deadline = Clock::now() + limit;
  while (Fill(deadline)) {
  }
  return peerClosed_;
}

std::string TcpChannel::ReceiveUntilClosed(Duration limit) {
  if (!WaitForClose(limit)) {
    throw ChannelError("time limit passed before the close; pending: \"" + Printable(pending_) +
                       "\"");
  }
  return Take(pending_.size());
}

bool TcpChannel::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    CheckStopping();
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    const int ready = ::poll(&p, 1, kStepMs);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool TcpChannel::SendInPieces(std::string_view bytes, std::size_t pieceSize, Duration pause) {
  std::vector<std::size_t> offsets;
  for (std::size_t at = pieceSize; pieceSize > 0 && at < bytes.size(); at += pieceSize) {
    offsets.push_back(at);
  }
  return SendSplitAt(bytes, offsets, pause);
}

bool TcpChannel::SendSplitAt(std::string_view bytes, const std::vector<std::size_t>& offsets,
                             Duration pause) {
  std::size_t from = 0;
  for (std::size_t at : offsets) {
    at = std::clamp(at, from, bytes.size());
    if (!Send(bytes.substr(from, at - from))) return false;
    from = at;
    StaySilent(pause);
  }
  return Send(bytes.substr(from));
}

bool TcpChannel::SendGenerated(std::uint64_t offset, std::uint64_t count) {
  constexpr std::uint64_t kBlock = 1 << 20;
  for (std::uint64_t done = 0; done < count;) {
    const auto n = static_cast<std::size_t>(std::min(kBlock, count - done));
    if (!Send(GeneratedBytes(offset + done, n))) return false;
    done += n;
  }
  return true;
}

void TcpChannel::ShutdownWrite() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

void TcpChannel::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

void TcpChannel::Reset() {
  if (fd_ < 0) return;
  const linger abortive{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  Close();
}

void TcpChannel::StaySilent(Duration duration) {
  const auto deadline = Clock::now() + duration;
  while (Clock::now() < deadline) {
    CheckStopping();
    std::this_thread::sleep_for(std::chrono::milliseconds(StepUntil(deadline)));
  }
}

std::string TcpChannel::Received() const {
  std::lock_guard<std::mutex> lock(receivedLock_);
  return received_;
}
