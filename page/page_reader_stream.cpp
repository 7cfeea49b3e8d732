#include "page/page_reader_stream.h"

#include <utility>

#include "base/exception.h"

TPageReaderStream::TPageReaderStream(std::string pageAddress)
    : page_address_(pageAddress),
      reader_(std::move(pageAddress)),
      worker_([this](std::string& piece) { reader_.Feed(piece); }, kWaitingPieces) {}

TPageReaderStream::~TPageReaderStream() {
  worker_.Discard();
}

int64_t TPageReaderStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ != size_) throw EWriteError("Stream write error");
  if (piece_.capacity() < kPieceSize) {
    piece_ = worker_.Spare();
    // Room for one more receive beyond the piece, so that a piece is rarely grown.
    piece_.reserve(kPieceSize + (size_t{64} << 10));
  }
  piece_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
  if (piece_.size() >= kPieceSize) worker_.Hand(std::exchange(piece_, std::string()));
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
  worker_.Discard();
  reader_ = TPageReader(page_address_);
  piece_.clear();
  size_ = 0;
  position_ = 0;
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress) {
  if (!piece_.empty()) worker_.Hand(std::exchange(piece_, std::string()));
  worker_.Finish();
  return reader_.Finish(finalAddress);
}
