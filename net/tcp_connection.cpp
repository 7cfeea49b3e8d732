#include "net/tcp_connection.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "base/file_stream.h"
#include "base/net_exceptions.h"
#include "base/stream.h"
#include "base/text.h"
#include "net/anti_freeze.h"
#include "net/stack.h"

namespace {

// How long ProbePeerClosed waits for bytes or a close: long enough to see one already made.
constexpr int kProbeWaitMs = 1;

// For a failed call: true when its error code is one of `ignore` (returned in `code`);
// any other code raises ENetSocketError.
bool IsIgnoredSocketError(std::initializer_list<int> ignore, int& code) {
  const bool ignored = GlobalStack->CheckSocketResult(kSocketError, ignore);
  code = GlobalStack->StoredError;
  return ignored;
}

void PutBigEndian32(uint32_t value, unsigned char* bytes) {
  bytes[0] = static_cast<unsigned char>(value >> 24);
  bytes[1] = static_cast<unsigned char>(value >> 16);
  bytes[2] = static_cast<unsigned char>(value >> 8);
  bytes[3] = static_cast<unsigned char>(value);
}

uint32_t GetBigEndian32(const unsigned char* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

}  // namespace

TNetTCPConnection::TNetTCPConnection(TComponent* owner) : TNetComponent(owner) {
  // Read progress is counted as bytes leave the input buffer, not as they arrive.
  input_data_.OnBytesRemoved = [this](TObject*, int64_t count) {
    WorkProgress(TWorkMode::wmRead, count);
  };
}

TNetTCPConnection::~TNetTCPConnection() {
  try {
    TNetTCPConnection::DropSocket();
  } catch (...) {
    // A destructor cannot report a failing intercept or handler.
  }
  ReleaseIOHandler();
}

void TNetTCPConnection::SetIOHandler(TNetIOHandler* handler) {
  if (handler == io_handler_) return;
  if (io_handler_) RemoveFreeNotification(io_handler_);
  io_handler_ = nullptr;
  owned_io_handler_.reset();
  io_handler_ = handler;
  if (handler) FreeNotification(handler);
}

void TNetTCPConnection::AdoptIOHandler(std::unique_ptr<TNetIOHandler> handler) {
  SetIOHandler(handler.get());
  owned_io_handler_ = std::move(handler);
}

void TNetTCPConnection::ReleaseIOHandler() {
  if (!owned_io_handler_) return;
  std::unique_ptr<TNetIOHandler> handler = std::move(owned_io_handler_);
  if (io_handler_ == handler.get()) {
    RemoveFreeNotification(io_handler_);
    io_handler_ = nullptr;
  }
}

void TNetTCPConnection::SetIntercept(TNetConnectionIntercept* intercept) {
  if (intercept == intercept_) return;
  if (intercept_) RemoveFreeNotification(intercept_);
  intercept_ = intercept;
  if (intercept_) FreeNotification(intercept_);
}

void TNetTCPConnection::Notification(TComponent* component, TOperation operation) {
  TNetComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == io_handler_) {
    io_handler_ = nullptr;
    // Destroyed by someone else (its component owner): it is no longer ours to free.
    if (owned_io_handler_.get() == component) (void)owned_io_handler_.release();
  }
  if (component == intercept_) intercept_ = nullptr;
}

void TNetTCPConnection::NotifyDisconnected() {
  if (OnDisconnected) OnDisconnected(this);
}

void TNetTCPConnection::ResetInputState() {
  input_data_.Clear();
  peer_closed_ = false;
}

std::string TNetTCPConnection::ReadUntilClosed() {
  std::string result;
  WorkStarted(TWorkMode::wmRead, 0);
  try {
    while (IsConnected())
      result += ReadAvailable();
  } catch (...) {
    WorkFinished(TWorkMode::wmRead);
    throw;
  }
  WorkFinished(TWorkMode::wmRead);
  return result;
}

void TNetTCPConnection::CheckPeerClosed(bool raiseIfClosed, bool ignoreBuffer) {
  bool closed = false;
  if (peer_closed_ || !io_handler_) {
    if (io_handler_) {
      // The first check after the close closes our side and tells the user, once.
      if (io_handler_->IsOpen()) {
        DropSocket();
        ReportStatus(TNetStatus::hsDisconnected);
        NotifyDisconnected();
      }
      closed = true;
    }
  } else {
    closed = !io_handler_->IsOpen();
  }
  if (closed && raiseIfClosed && (input_data_.Size() == 0 || ignoreBuffer))
    throw ENetConnClosedGracefully("Connection Closed Gracefully.");
}

void TNetTCPConnection::ProbePeerClosed(bool raiseIfClosed) {
  FillInputBuffer(raiseIfClosed, kProbeWaitMs, false);
}

int TNetTCPConnection::CheckReplyCode(const std::vector<int>& allowed) {
  const int code = last_reply_.NumericCode;
  if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), code) == allowed.end())
    RaiseLastReply();
  return code;
}

bool TNetTCPConnection::IsConnected() {
  CheckPeerClosed(false, false);
  return io_handler_ && io_handler_->IsOpen();
}

void TNetTCPConnection::CloseConnection() {
  ReportStatus(TNetStatus::hsDisconnecting);
  DropSocket();
  ReleaseIOHandler();
  NotifyDisconnected();
  ReportStatus(TNetStatus::hsDisconnected);
}

void TNetTCPConnection::DropSocket() {
  if (!io_handler_) return;
  peer_closed_ = true;
  if (intercept_) intercept_->Disconnect();
  if (io_handler_) io_handler_->CloseHandler();
}

int TNetTCPConnection::ReadReply() {
  std::vector<std::string> lines;
  std::string line;
  do {
    line = ReadLine("\n", kUseReadTimeout, kUseMaxLineLength);
  } while (line.empty());
  lines.push_back(line);
  if (TNetRFCReply::ContinuesReply(line)) {
    const std::string code = line.substr(0, 3);
    do {
      line = ReadLine("\n", kUseReadTimeout, kUseMaxLineLength);
      lines.push_back(line);
    } while (!TNetRFCReply::EndsReply(line, code));
  }
  last_reply_.ParseLines(lines);
  return last_reply_.NumericCode;
}

namespace {

std::string ReplyText(const TNetRFCReply& reply) {
  std::string text;
  for (int i = 0; i < reply.Text.Count(); ++i) {
    if (i > 0) text += "\r\n";
    text += reply.Text.Get(i);
  }
  return text;
}

}  // namespace

void TNetTCPConnection::RaiseLastReply() {
  throw ENetProtocolReplyError(last_reply_.NumericCode, ReplyText(last_reply_));
}

void TNetTCPConnection::RaiseLastReplyAs(
    const std::function<void(int code, const std::string& text)>& raise) {
  const std::string text = ReplyText(last_reply_);
  if (raise) raise(last_reply_.NumericCode, text);
  throw ENetProtocolReplyError(last_reply_.NumericCode, text);
}

int TNetTCPConnection::ReceiveBlock(int& appended) {
  appended = 0;
  const int size = RecvBufferSize > 0 ? RecvBufferSize : DefaultBufferSize;
  if (!intercept_) {
    // Nobody needs to see the block first: receive straight into the input buffer.
    char* tail = input_data_.Reserve(size);
    const int n = io_handler_->ReceiveSome(tail, size);
    if (n > 0) {
      if (ASCIIFilter)
        for (int i = 0; i < n; ++i)
          tail[i] = static_cast<char>(tail[i] & 0x7F);
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
  if (ASCIIFilter)
    for (int64_t i = 0; i < count; ++i)
      block[i] = static_cast<char>(block[i] & 0x7F);
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
    // Without a limit (and no window to keep alive) the readable test could only answer
    // yes after waiting as the receive itself waits; it is left out, saving a system call
    // per receive.
    if ((timeoutMs != kWaitForever || AntiFreezeInUse()) && !io_handler_->WaitReadable(timeoutMs)) {
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
      int code = 0;
      if (IsIgnoredSocketError({kErrShutdown, kErrConnectionAborted}, code)) {
        // The connection was aborted under us: what is buffered stays readable.
        DropSocket();
        if (input_data_.Size() == 0) GlobalStack->ThrowSocketError(code);
      }
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

  int64_t found = -1;  // offset of the terminator in the input buffer
  int64_t searched = 0;
  for (;;) {
    const int64_t size = input_data_.Size();
    if (size > 0 && size > searched) {
      // Only new bytes are searched, plus enough old ones to find a terminator that
      // arrived split over two receives.
      const int64_t from = std::max<int64_t>(0, searched - (terminatorLength - 1));
      const std::string_view view(input_data_.Memory(), static_cast<size_t>(size));
      const size_t at = view.find(terminator, static_cast<size_t>(from));
      found = at == std::string_view::npos ? -1 : static_cast<int64_t>(at);
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

int TNetTCPConnection::SendCommand(const std::string& command, const std::vector<int>& allowed) {
  WriteLine(command);
  ReadReply();
  return CheckReplyCode(allowed);
}

void TNetTCPConnection::WriteText(const std::string& text) {
  if (text.empty()) return;
  WriteBytes(text.data(), static_cast<int64_t>(text.size()), false);
}

void TNetTCPConnection::WriteLine(const std::string& text) {
  WriteText(text + "\r\n");
}

void TNetTCPConnection::WriteFromStream(TStream& stream, bool fromStart, bool sendLengthPrefix,
                                        int64_t byteCount) {
  if (fromStart) stream.SetPosition(0);
  int64_t position = stream.Position();
  const int64_t end = byteCount != kToStreamEnd ? position + byteCount : stream.Size();
  const int64_t size = end - position;
  if (sendLengthPrefix) WriteInteger32(static_cast<int32_t>(size), true);
  WorkStarted(TWorkMode::wmWrite, size);
  try {
    const int64_t pieceSize = SendBufferSize > 0 ? SendBufferSize : DefaultBufferSize;
    std::unique_ptr<char[]> piece(new char[static_cast<size_t>(pieceSize)]);
    for (;;) {
      const int64_t n = std::min(end - position, pieceSize);
      if (n <= 0) break;
      const int64_t got = stream.Read(piece.get(), n);
      if (got <= 0) throw ENetNoDataToRead("No data to read.");
      WriteBytes(piece.get(), got, false);
      position += got;
    }
  } catch (...) {
    WorkFinished(TWorkMode::wmWrite);
    throw;
  }
  WorkFinished(TWorkMode::wmWrite);
}

int64_t TNetTCPConnection::WriteFileContent(const std::string& fileName) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(fileName, error))
    throw ENetFileNotFound(Format("File \"%s\" not found", fileName.c_str()));
  TFileStream file(fileName, TFileMode::fmOpenRead);
  const int64_t size = file.Size();
  WriteFromStream(file, true, false, kToStreamEnd);
  return size;
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
  WorkStarted(TWorkMode::wmRead, untilClosed ? 0 : byteCount);

  auto finish = [&]() {
    WorkFinished(TWorkMode::wmRead);
    // Cut back what the pre-sizing reserved beyond the data.
    const int64_t position = stream.Position();
    if (position < stream.Size()) stream.SetSize(position);
  };

  try {
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
  } catch (...) {
    finish();
    throw;
  }
  finish();
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

void TNetTCPConnection::SendBlock(const char* data, int64_t count) {
  int64_t sent = 0;
  while (sent < count) {
    if (!io_handler_) throw ENetClosedSocket("Disconnected.");
    const int length = static_cast<int>(std::min<int64_t>(count - sent, INT_MAX));
    const int s = io_handler_->SendSome(data + sent, length);
    DoAntiFreeze(false);
    peer_closed_ = s == 0;
    CheckPeerClosed(true, false);
    if (s < 0) {
      int code = 0;
      if (IsIgnoredSocketError({kErrShutdown, kErrConnectionAborted, kErrConnectionReset}, code)) {
        // The send's own code: closing a broken socket can leave a different last error
        // behind ("not connected"), which would misreport why the send failed.
        DropSocket();
        GlobalStack->ThrowSocketError(code);
      }
      GlobalStack->ThrowSocketError(code);
    }
    WorkProgress(TWorkMode::wmWrite, s);
    sent += s;
  }
}

void TNetTCPConnection::WriteBytes(const void* source, int64_t count, bool immediately) {
  if (count <= 0 || !source) return;
  CheckPeerClosed(true, true);
  if (!IsConnected()) throw ENetNotConnected("Not Connected");
  if (pending_writes_ && !immediately) {
    pending_writes_->Append(source, count);
    if (write_threshold_ > 0 && pending_writes_->Size() >= write_threshold_)
      FlushWriteBuffering(write_threshold_);
    return;
  }
  if (!intercept_) {
    SendBlock(static_cast<const char*>(source), count);
    return;
  }
  TNetSimpleBuffer block;
  block.Append(source, count);
  block.SetPosition(0);
  intercept_->Send(block);
  // An intercept that swallowed the whole block leaves nothing to send.
  if (block.Size() > 0) SendBlock(block.Memory(), block.Size());
}

void TNetTCPConnection::WriteInteger32(int32_t value, bool convert) {
  unsigned char bytes[4];
  if (convert)
    PutBigEndian32(static_cast<uint32_t>(value), bytes);
  else
    std::memcpy(bytes, &value, 4);
  WriteBytes(bytes, 4, false);
}

void TNetTCPConnection::StartWriteBuffering(int threshold) {
  // Bytes already collected by an earlier start are kept, not thrown away.
  if (!pending_writes_) pending_writes_ = std::make_unique<TNetSimpleBuffer>();
  write_threshold_ = threshold;
}

void TNetTCPConnection::FlushWriteBuffering(int64_t count) {
  TNetSimpleBuffer* buffer = pending_writes_.get();
  if (!buffer || buffer->Size() == 0) return;
  if (count != kFlushAll && buffer->Size() >= count) {
    WriteBytes(buffer->Memory(), count, true);
    if (pending_writes_.get() == buffer) buffer->Remove(count);
  } else {
    WriteBytes(buffer->Memory(), buffer->Size(), true);
    if (pending_writes_.get() == buffer) buffer->Clear();
  }
}

void TNetTCPConnection::EndWriteBuffering() {
  try {
    FlushWriteBuffering(kFlushAll);
  } catch (...) {
    pending_writes_.reset();
    throw;
  }
  pending_writes_.reset();
}

void TNetTCPConnection::DiscardWriteBuffering() {
  if (pending_writes_) pending_writes_->Clear();
}
