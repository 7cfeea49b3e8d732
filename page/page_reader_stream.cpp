#include "page/page_reader_stream.h"

#include <utility>

TPageReaderStream::TPageReaderStream(std::string pageAddress)
    : TAppendStream("A page being read can only be cut back to empty"),
      page_address_(pageAddress),
      reader_(std::move(pageAddress)),
      worker_([this](std::string& piece) { reader_.Feed(piece); }, kWaitingPieces) {}

TPageReaderStream::~TPageReaderStream() {
  worker_.Discard();
}

void TPageReaderStream::Append(const char* bytes, size_t count) {
  if (piece_.capacity() < kPieceSize) {
    piece_ = worker_.Spare();
    // Room for one more receive beyond the piece, so that a piece is rarely grown.
    piece_.reserve(kPieceSize + (size_t{64} << 10));
  }
  piece_.append(bytes, count);
  if (piece_.size() >= kPieceSize) worker_.Hand(std::exchange(piece_, std::string()));
}

void TPageReaderStream::StartOver() {
  worker_.Discard();
  reader_ = TPageReader(page_address_);
  piece_.clear();
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress) {
  if (!piece_.empty()) worker_.Hand(std::exchange(piece_, std::string()));
  worker_.Finish();
  return reader_.Finish(finalAddress);
}
