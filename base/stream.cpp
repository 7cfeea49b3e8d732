#include "base/stream.h"

#include <algorithm>
#include <vector>

#include "base/exception.h"

int64_t TStream::Size() {
  const int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

char* TStream::RoomToWrite(int64_t&) {
  return nullptr;
}

void TStream::CommitWritten(int64_t count) {
  // Only a stream that gave room has bytes to take.
  if (count != 0) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t total = count;
  std::vector<char> piece(static_cast<size_t>(std::min<int64_t>(count, 65536)));
  while (count > 0) {
    const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(piece.size()));
    source.ReadBuffer(piece.data(), n);
    WriteBuffer(piece.data(), n);
    count -= n;
  }
  return total;
}
