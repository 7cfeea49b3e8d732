// Reads 1 GiB over loopback through ReadIntoStream into a stream that discards it, and
// prints the rate and the process's peak resident memory. A thread of this program is the
// peer: it sends one block of 1 MiB over and over and then closes.
//
//   read_into_stream_bench [MiB to send, default 1024] [RecvBufferSize, default 32768]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/stream.h"
#include "bench/loopback.h"
#include "net/tcp_client.h"

namespace {

// Discards what is written; keeps a position and a size so that the cut-back works.
class TNullStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    position_ += count;
    if (position_ > size_) size_ = position_;
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    position_ = SeekTarget(position_, size_, offset, origin);
    return position_;
  }
  void SetSize(int64_t size) override { size_ = size; }
  int64_t Size() override { return size_; }

 private:
  int64_t position_ = 0;
  int64_t size_ = 0;
};

// Accepts one connection, sends `total` bytes and closes.
void Serve(int listener, int64_t total) {
  const int fd = ::accept(listener, nullptr, nullptr);
  if (fd < 0) return;
  std::vector<char> block(1 << 20);
  for (size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<char>(i * 131 + (i >> 8));
  for (int64_t sent = 0; sent < total;) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(total - sent, block.size()));
    const ssize_t s = ::send(fd, block.data(), n, MSG_NOSIGNAL);
    if (s <= 0) break;
    sent += s;
  }
  ::close(fd);
}

void Run(const char* mode, int64_t total, int recvBufferSize, bool untilClosed) {
  int port = 0;
  const int listener = ListenOnLoopback(port);
  std::thread peer(Serve, listener, total);

  TNetTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(port);
  client.RecvBufferSize = recvBufferSize;
  client.OpenConnection();
  TNullStream stream;
  const auto start = std::chrono::steady_clock::now();
  client.ReadIntoStream(stream, untilClosed ? -1 : total, untilClosed);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  client.CloseConnection();
  peer.join();
  ::close(listener);

  if (stream.Position() != total) {
    std::fprintf(stderr, "%s: read %lld bytes, expected %lld\n", mode,
                 static_cast<long long>(stream.Position()), static_cast<long long>(total));
    std::exit(1);
  }
  const double mib = static_cast<double>(total) / (1 << 20);
  std::printf("%-13s %8.0f MiB in %6.3f s: %8.0f MiB/s\n", mode, mib, seconds, mib / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t total = (argc > 1 ? std::atoll(argv[1]) : 1024) << 20;
  const int recvBufferSize = argc > 2 ? std::atoi(argv[2]) : 32768;
  std::printf("ReadIntoStream over loopback, RecvBufferSize %d\n", recvBufferSize);
  Run("counted", total, recvBufferSize, false);
  Run("until closed", total, recvBufferSize, true);
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024);
  return 0;
}
