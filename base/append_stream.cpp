#include "base/append_stream.h"

#include "base/exception.h"

int64_t TAppendStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ != size_) throw EWriteError("Stream write error");
  Append(static_cast<const char*>(buffer), static_cast<size_t>(count));
  size_ += count;
  position_ = size_;
  return count;
}

char* TAppendStream::RoomToWrite(int64_t& count) {
  if (count <= 0 || position_ != size_) return nullptr;
  auto room = static_cast<size_t>(count);
  char* at = AppendRoom(room);
  count = static_cast<int64_t>(room);
  return at;
}

void TAppendStream::CommitWritten(int64_t count) {
  if (count <= 0) return;
  AppendWritten(static_cast<size_t>(count));
  size_ += count;
  position_ = size_;
}

int64_t TAppendStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = SeekTarget(position_, size_, offset, origin);
  return position_;
}

void TAppendStream::SetSize(int64_t size) {
  if (size >= size_) return;
  if (size != 0) throw EStreamError(cut_message_);
  StartOver();
  size_ = 0;
  position_ = 0;
}
