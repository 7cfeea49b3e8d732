#include "page/page_reader_stream.h"

#include <utility>

#include "base/exception.h"

TPageReaderStream::TPageReaderStream(std::string pageAddress)
    : page_address_(pageAddress), reader_(std::move(pageAddress)) {}

int64_t TPageReaderStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ != size_) throw EWriteError("Stream write error");
  reader_.Feed(std::string_view(static_cast<const char*>(buffer), static_cast<size_t>(count)));
  size_ += count;
  position_ = size_;
  return count;
}

int64_t TPageReaderStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = SeekTarget(position_, size_, offset, origin);
  return position_;
}

void TPageReaderStream::SetSize(int64_t size) {
  if (size >= size_) return;
  if (size != 0) throw EStreamError("A page being read can only be cut back to empty");
  reader_ = TPageReader(page_address_);
  size_ = 0;
  position_ = 0;
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress) {
  return reader_.Finish(finalAddress);
}
