// The reading side of the connection: the receive into the input buffer and the line,
// exact-count and stream reads served from it.
#include "net/tcp_connection.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "base/net_exceptions.h"
#include "base/stream.h"
#include "net/anti_freeze.h"
#include "net/stack.h"

namespace {

// No terminator in the input buffer yet.
constexpr int64_t kNotFound = -1;

// What ASCIIFilter does to received bytes.
void ClearTopBits(char* bytes, int64_t count) {
  for (int64_t i = 0; i < count; ++i)
    bytes[i] = static_cast<char>(bytes[i] & 0x7F);
}

uint32_t GetBigEndian32(const unsigned char* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

}  // namespace

std::string TNetTCPConnection::ReadUntilClosed() {
  std::string result;
  InWorkPhase(TWorkMode::wmRead, 0, [&] {
    while (IsConnected())
      result += ReadAvailable();
  });
  return result;
}

int TNetTCPConnection::ReceiveBlock(int& appended) {
  appended = 0;
  const int size = RecvBufferSize > 0 ? RecvBufferSize : DefaultBufferSize;
  if (receive_target_ && !intercept_ && !ASCIIFilter) {
    // Straight into the caller's room, past the input buffer (which is empty).
    const int n = io_handler_->ReceiveSome(receive_target_, receive_target_size_);
    appended = std::max(n, 0);
    return n;
  }
  if (!intercept_) {
    // Nobody needs to see the block first: receive straight into the input buffer.
    char* tail = input_data_.Reserve(size);
    const int n = io_handler_->ReceiveSome(tail, size);
    if (n > 0) {
      if (ASCIIFilter) ClearTopBits(tail, n);
      input_data_.Commit(n);
      appended = n;
    }
    return n;
  }
  receive_scratch_.Clear();
  const int n = io_handler_->ReceiveSome(receive_scratch_.Reserve(size), size);
  if (n <= 0) return n;
  receive_scratch_.Commit(n);
  receive_scratch_.SetPosition(0);
  intercept_->Receive(receive_scratch_);
  const int64_t count = receive_scratch_.Size();
  char* block = receive_scratch_.Memory();
  if (ASCIIFilter) ClearTopBits(block, count);
  input_data_.Append(block, count);
  appended = static_cast<int>(std::min<int64_t>(count, INT_MAX));
  return n;
}

int TNetTCPConnection::FillInputBuffer(bool raiseIfDisconnected, int timeoutMs,
                                       bool raiseOnTimeout) {
  if (timeoutMs == kUseReadTimeout)
    timeoutMs = ReadTimeout == kNoTimeout ? kWaitForever : ReadTimeout;
  if (timeoutMs < 0) timeoutMs = kWaitForever;
  CheckPeerClosed(raiseIfDisconnected, false);
  if (!IsConnected()) {
    if (raiseIfDisconnected) throw ENetNotConnected("Not Connected");
    return 0;
  }
  int result = 0;
  do {
    // The transfer's time limit, when sooner than the read's own.
    int wait = timeoutMs;
    const int left = DeadlineLeftMs();
    const bool byDeadline = left >= 0 && (wait == kWaitForever || left <= wait);
    if (byDeadline) wait = left;
    // Without a limit (and no window to keep alive) the readable test could only answer
    // yes after waiting as the receive itself waits; it is left out, saving a system call
    // per receive.
    if ((wait != kWaitForever || AntiFreezeInUse()) && !io_handler_->WaitReadable(wait)) {
      if (byDeadline) throw ENetReadTimeout("Transfer time limit reached");
      if (raiseOnTimeout) throw ENetReadTimeout("Read Timeout");
      return kReadTimedOut;
    }
    int appended = 0;
    int n = 0;
    if (io_handler_) {
      n = ReceiveBlock(appended);
    } else if (raiseIfDisconnected) {
      throw ENetNotConnected("Not Connected");
    }
    peer_closed_ = n == 0;
    if (n < 0) {
      const int code = GlobalStack->IgnoredErrorCode({kErrShutdown, kErrConnectionAborted});
      // The connection was aborted under us: what is buffered stays readable.
      DropSocket();
      if (input_data_.Size() == 0) GlobalStack->ThrowSocketError(code);
    }
    CheckPeerClosed(raiseIfDisconnected, false);
    result = appended;
  } while (result == 0 && IsConnected());
  return result;
}

std::string TNetTCPConnection::ReadLine(const std::string& terminatorText, int timeoutMs,
                                        int maxLength) {
  if (maxLength == kUseMaxLineLength) maxLength = MaxLineLength;
  const std::string terminator = terminatorText.empty() ? std::string("\n") : terminatorText;
  const int64_t terminatorLength = static_cast<int64_t>(terminator.size());
  line_was_split_ = false;
  line_timed_out_ = false;

  auto overLong = [&]() -> std::string {
    if (MaxLineAction == TNetMaxLineAction::maException)
      throw ENetReadLnMaxLineLengthExceeded("Max line length exceeded.");
    line_was_split_ = true;
    return input_data_.Extract(maxLength);
  };

  int64_t found = kNotFound;  // offset of the terminator in the input buffer
  int64_t searched = 0;
  for (;;) {
    const int64_t size = input_data_.Size();
    if (size > 0 && size > searched) {
      // Only new bytes are searched, plus enough old ones to find a terminator that
      // arrived split over two receives.
      const int64_t from = std::max<int64_t>(0, searched - (terminatorLength - 1));
      const std::string_view view(input_data_.Memory(), static_cast<size_t>(size));
      const size_t at = view.find(terminator, static_cast<size_t>(from));
      found = at == std::string_view::npos ? kNotFound : static_cast<int64_t>(at);
      searched = size;
    }
    if (found >= 0) {
      if (maxLength != kNoLineLimit && found > maxLength) return overLong();
      std::string line = input_data_.Extract(found + terminatorLength);
      line.resize(static_cast<size_t>(found));
      if (terminator == "\n" && !line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    if (maxLength != kNoLineLimit && searched > maxLength) return overLong();
    // A recorded close ends the line read even while an incomplete line is buffered.
    CheckPeerClosed(true, true);
    // An explicit time-out that expires ends the read too, as a close does.
    if (FillInputBuffer(true, timeoutMs, timeoutMs == kUseReadTimeout) <= 0) {
      line_timed_out_ = true;
      return std::string();
    }
  }
}

void TNetTCPConnection::WaitForInput(int64_t count) {
  while (input_data_.Size() < count) {
    FillInputBuffer(true, kUseReadTimeout, true);
    CheckPeerClosed(true, true);
  }
}

void TNetTCPConnection::ReadExact(void* dest, int64_t count) {
  if (count <= 0 || !dest) return;
  WaitForInput(count);
  input_data_.ExtractTo(dest, count);
}

void TNetTCPConnection::ReadIntoStream(TStream& stream, int64_t byteCount, bool untilClosed) {
  if (byteCount == kReadLengthPrefix && !untilClosed) byteCount = ReadInteger32(true);
  if (byteCount >= 0) {
    const int64_t position = stream.Position();
    stream.SetSize(position + std::min(byteCount, input_data_.Size() + PresizeLimit));
    stream.SetPosition(position);
  }
  // Counted in 64 bits, so that a body read until the close has no length limit.
  int64_t remaining = untilClosed ? INT64_MAX : byteCount;
  // After the phase, what the pre-sizing reserved beyond the data is cut back.
  auto cutBack = [&] {
    const int64_t position = stream.Position();
    if (position < stream.Size()) stream.SetSize(position);
  };
  InWorkPhase(
      TWorkMode::wmRead, untilClosed ? 0 : byteCount,
      [&] { MoveIntoStream(stream, remaining, untilClosed); }, cutBack);
}

void TNetTCPConnection::MoveIntoStream(TStream& stream, int64_t remaining, bool untilClosed) {
  const int64_t buffered = std::min(input_data_.Size(), remaining);
  if (buffered > 0) {
    stream.WriteBuffer(input_data_.Memory(), buffered);
    input_data_.Remove(buffered);
    remaining -= buffered;
  }
  const int64_t pieceSize =
      std::min<int64_t>(remaining, RecvBufferSize > 0 ? RecvBufferSize : DefaultBufferSize);
  // Each piece goes from the input buffer to the stream directly; the buffer is the
  // piece area.
  while (IsConnected() && remaining > 0) {
    int64_t piece = std::min(remaining, pieceSize);
    if (input_data_.Size() == 0 && !intercept_ && !ASCIIFilter) {
      // A stream that has room takes the receive in place, without a copy.
      if (char* room = stream.RoomToWrite(piece)) {
        int received = 0;
        receive_target_ = room;
        receive_target_size_ = static_cast<int>(piece);
        // The room is the stream's for this receive only, however it ends.
        struct TTargetReset {
          char*& Target;
          ~TTargetReset() { Target = nullptr; }
        } reset{receive_target_};
        try {
          received = FillInputBuffer(true, kUseReadTimeout, true);
        } catch (const ENetConnClosedGracefully&) {
          if (!untilClosed) throw;
          continue;
        }
        if (received > 0) {
          stream.CommitWritten(received);
          WorkProgress(TWorkMode::wmRead, received);
          remaining -= received;
        }
        continue;
      }
    }
    try {
      WaitForInput(piece);
    } catch (const ENetConnClosedGracefully&) {
      if (!untilClosed) throw;
      // The rest of an unbounded read: delivered, but not reported as progress.
      piece = input_data_.Size();
      if (piece > 0) stream.WriteBuffer(input_data_.Memory(), piece);
      input_data_.Clear();
      remaining -= piece;
      continue;
    }
    stream.WriteBuffer(input_data_.Memory(), piece);
    input_data_.Remove(piece);
    remaining -= piece;
  }
}

std::string TNetTCPConnection::ReadAvailable() {
  if (IsConnected()) FillInputBuffer(false, kUseReadTimeout, true);
  return input_data_.Extract(input_data_.Size());
}

int32_t TNetTCPConnection::ReadInteger32(bool convert) {
  unsigned char bytes[4];
  ReadExact(bytes, 4);
  if (convert) return static_cast<int32_t>(GetBigEndian32(bytes));
  int32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}
