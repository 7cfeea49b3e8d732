#include "page/page_reader_stream.h"

#include <algorithm>
#include <cstring>

#include <utility>
#include "base/key_order.h"

TPageReaderStream::TPageReaderStream(std::string pageAddress, TPageReader::TKeyOf keyOf)
    : TAppendStream("A page being read can only be cut back to empty"),
      page_address_(pageAddress),
      key_of_(std::move(keyOf)),
      reader_(std::move(pageAddress)),
      worker_(
          [this](std::string& piece) {
            if (piece.empty()) {
              FinishReading();
              return;
            }
            // The reader leaves its buffer of before in `piece`, bytes and all, for a later
            // piece to be received into.
            reader_.Feed(piece, kRoom);
            if (key_of_) OrderWhileIdle();
          },
          kWaitingPieces, TPieceWorker::TSpareBytes::sbKept) {
  reader_.SetKeyOf(key_of_);
}

TPageReaderStream::~TPageReaderStream() {
  worker_.Discard();
}

void TPageReaderStream::Append(const char* bytes, size_t count) {
  while (count > 0) {
    size_t taken = count;
    char* room = AppendRoom(taken);
    std::memcpy(room, bytes, taken);
    AppendWritten(taken);
    bytes += taken;
    count -= taken;
  }
}

char* TPageReaderStream::AppendRoom(size_t& count) {
  if (piece_.capacity() < kRoom + kPieceSize) {
    piece_ = worker_.Spare();
    piece_.reserve(kRoom + kPieceSize);
  }
  if (filled_ == 0) filled_ = kRoom;
  // A receive fills the piece at most: pieces never grow, and stay few.
  count = std::min(count, kRoom + kPieceSize - filled_);
  // The string's bytes are made once for each piece, as far as receives need them.
  if (piece_.size() < filled_ + count) piece_.resize(filled_ + count);
  return piece_.data() + filled_;
}

void TPageReaderStream::AppendWritten(size_t count) {
  filled_ += count;
  if (filled_ >= kRoom + kPieceSize) HandPiece();
}

void TPageReaderStream::HandPiece() {
  piece_.resize(filled_);
  filled_ = 0;
  worker_.Hand(std::exchange(piece_, std::string()));
}

void TPageReaderStream::StartOver() {
  worker_.Discard();
  reader_ = TPageReader(page_address_);
  reader_.SetKeyOf(key_of_);
  order_ = TGrowingKeyOrder(TEqualKeys::ekAll);
  order_relistings_ = 0;
  piece_.clear();
  filled_ = 0;
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress) {
  TStringBlock keys;
  return Finish(finalAddress, keys);
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress,
                                                   TStringBlock& keys) {
  return Finish(finalAddress, keys, nullptr);
}

std::vector<std::string> TPageReaderStream::Finish(const std::string& finalAddress,
                                                   TStringBlock& keys, std::vector<size_t>* order) {
  return FinishInBlock(finalAddress, keys, order).Strings();
}

TStringBlock TPageReaderStream::FinishInBlock(const std::string& finalAddress, TStringBlock& keys,
                                              std::vector<size_t>* order) {
  if (filled_ > kRoom) HandPiece();
  final_address_ = finalAddress;
  want_order_ = order != nullptr;
  // An empty piece: the worker finishes the reading itself, where the keys were just made.
  worker_.Hand(std::string());
  worker_.Finish();
  keys = std::move(finished_keys_);
  if (order) *order = std::move(finished_order_);
  return std::move(finished_);
}

void TPageReaderStream::OrderWhileIdle() {
  if (reader_.Relistings() != order_relistings_) {
    order_ = TGrowingKeyOrder(TEqualKeys::ekAll);
    order_relistings_ = reader_.Relistings();
  }
  // Only while no piece waits, and not for a few keys: each step goes through the whole order.
  const size_t added = reader_.Keys().size() - order_.Taken();
  if (added >= std::max(kFewKeys, order_.Taken() / 8) && worker_.Waiting() == 0)
    order_.Take(reader_.Keys());
}

void TPageReaderStream::FinishReading() {
  reader_.SetHttpCharset(http_charset_);
  finished_ = reader_.FinishInBlock(final_address_, finished_keys_);
  frames_ = reader_.Frames();
  if (!want_order_) return;
  // What was ordered while the page arrived holds unless the addresses were listed again.
  finished_order_ = reader_.Relistings() == order_relistings_ ? order_.Finish(finished_keys_)
                                                              : KeyOrder(finished_keys_);
  order_ = TGrowingKeyOrder(TEqualKeys::ekAll);
}
