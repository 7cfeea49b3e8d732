#include "page/page_reader_stream.h"

#include <utility>

TPageReaderStream::TPageReaderStream(std::string pageAddress, TPageReader::TKeyOf keyOf)
    : TAppendStream("A page being read can only be cut back to empty"),
      page_address_(pageAddress),
      key_of_(std::move(keyOf)),
      reader_(std::move(pageAddress)),
      worker_([this](std::string& piece) { reader_.Feed(piece, kRoom); }, kWaitingPieces) {
  reader_.SetKeyOf(key_of_);
}

TPageReaderStream::~TPageReaderStream() {
  worker_.Discard();
}

void TPageReaderStream::Append(const char* bytes, size_t count) {
  if (piece_.capacity() < kPieceSize) {
    piece_ = worker_.Spare();
    // Room for one more receive beyond the piece, so that a piece is rarely grown.
    piece_.reserve(kRoom + kPieceSize + (size_t{64} << 10));
  }
  if (piece_.empty()) piece_.resize(kRoom);
  piece_.append(bytes, count);
  if (piece_.size() >= kRoom + kPieceSize) worker_.Hand(std::exchange(piece_, std::string()));
}

void TPageReaderStream::StartOver() {
  worker_.Discard();
  reader_ = TPageReader(page_address_);
  reader_.SetKeyOf(key_of_);
  piece_.clear();
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress) {
  TStringBlock keys;
  return Finish(finalAddress, keys);
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress,
                                                   TStringBlock& keys) {
  if (piece_.size() > kRoom) worker_.Hand(std::exchange(piece_, std::string()));
  worker_.Finish();
  return reader_.Finish(finalAddress, keys);
}
