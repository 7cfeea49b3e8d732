// The writing side of the connection: text, lines, byte areas, streams and files, sent at
// once or collected in the write buffer first.
#include "net/tcp_connection.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>

#include "base/file_stream.h"
#include "base/net_exceptions.h"
#include "base/stream.h"
#include "base/text.h"
#include "net/anti_freeze.h"
#include "net/stack.h"

namespace {

void PutBigEndian32(uint32_t value, unsigned char* bytes) {
  bytes[0] = static_cast<unsigned char>(value >> 24);
  bytes[1] = static_cast<unsigned char>(value >> 16);
  bytes[2] = static_cast<unsigned char>(value >> 8);
  bytes[3] = static_cast<unsigned char>(value);
}

}  // namespace

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
  InWorkPhase(TWorkMode::wmWrite, size, [&] {
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
  });
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
      const int code =
          GlobalStack->IgnoredErrorCode({kErrShutdown, kErrConnectionAborted, kErrConnectionReset});
      // The send's own code: closing a broken socket can leave a different last error
      // behind ("not connected"), which would misreport why the send failed.
      DropSocket();
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
