// A page body written straight into a page reader: the movies of a page are found while it
// arrives, and the page is never held whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/append_stream.h"
#include "base/key_order.h"
#include "base/piece_worker.h"
#include "base/string_block.h"
#include "page/page_reader.h"

// What is written is collected into pieces of kPieceSize bytes, which a worker thread reads
// while the next piece arrives (the reader gives the same result wherever a page is cut). At
// most kWaitingPieces wait for the worker; a writer that gets ahead waits for room, so memory
// stays bounded whatever the speed of the network.
class TPageReaderStream : public TAppendStream {
 public:
  static constexpr size_t kPieceSize = size_t{256} << 10;
  static constexpr size_t kWaitingPieces = 4;
  // Left free in front of each piece, for what the reader still needs of the piece before: the
  // bytes that arrive are never copied again.
  static constexpr size_t kRoom = size_t{16} << 10;

  // With `keyOf`, the worker also works out the sort key of each address it lists.
  explicit TPageReaderStream(std::string pageAddress, TPageReader::TKeyOf keyOf = nullptr);
  ~TPageReaderStream() override;
  TPageReaderStream(const TPageReaderStream&) = delete;
  TPageReaderStream& operator=(const TPageReaderStream&) = delete;

  // The charset the response's "Content-Type" names (see TPageReader::SetHttpCharset); taken
  // at Finish, since the head of a redirection's response may come before the page's.
  void SetHttpCharset(std::string charset) { http_charset_ = std::move(charset); }
  // The frames of the page finished last (TPageReader::Frames).
  const std::vector<std::string>& Frames() const { return frames_; }

  // Reads the rest and returns the movies of the page, as TPageReader::Finish gives them.
  // `finalAddress`, when not empty, replaces the address the references are made absolute
  // against (the page's address after redirections, known only once it has arrived). Raises
  // what the worker failed with, if anything.
  std::vector<std::string> Finish(const std::string& finalAddress = std::string());
  // As Finish, and `keys` the keys of the addresses, in the same order (empty without `keyOf`).
  std::vector<std::string> Finish(const std::string& finalAddress, TStringBlock& keys);
  // As Finish, and `order` (when given) the indexes of the addresses in the order of their keys,
  // equal keys in the order found (KeyOrder: the addresses differ, "Tetris.swf" and "tetris.swf"
  // are two files): worked out by the worker thread, which has the keys at hand.
  std::vector<std::string> Finish(const std::string& finalAddress, TStringBlock& keys,
                                  std::vector<size_t>* order);
  // As Finish, the addresses in one block rather than a string each.
  TStringBlock FinishInBlock(const std::string& finalAddress, TStringBlock& keys,
                             std::vector<size_t>* order);

 private:
  void Append(const char* bytes, size_t count) override;
  // A receive goes straight into the piece.
  char* AppendRoom(size_t& count) override;
  void AppendWritten(size_t count) override;
  void HandPiece();
  // On the worker: orders the keys found so far when it has nothing else to do, so that little is
  // left to order at the end.
  void OrderWhileIdle();
  // On the worker, once every piece is read.
  void FinishReading();
  // What arrived was not the page (a redirection's body): the reader starts again.
  void StartOver() override;

  std::string page_address_;
  TPageReader::TKeyOf key_of_;
  std::string piece_;
  size_t filled_ = 0;  // bytes of piece_ in use, its room in front included; 0: none yet
  // What FinishReading works with and gives.
  std::string final_address_;
  std::string http_charset_;
  std::vector<std::string> frames_;
  bool want_order_ = false;
  TStringBlock finished_;
  TStringBlock finished_keys_;
  std::vector<size_t> finished_order_;
  // Used by the worker only.
  TGrowingKeyOrder order_{TEqualKeys::ekAll};
  size_t order_relistings_ = 0;  // the reader's Relistings when order_ began
  static constexpr size_t kFewKeys = 1024;
  // Used by the worker only while it runs.
  TPageReader reader_;
  TPieceWorker worker_;
};
