// A page body written straight into a page reader: the movies of a page are found while it
// arrives, and the page is never held whole.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/append_stream.h"
#include "base/piece_worker.h"
#include "base/string_block.h"
#include "page/page_reader.h"

class TListingObserver;

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

  // `observer`, when given, is told of the addresses as the worker lists them (on the worker's
  // thread, which also tells it when it has nothing else to do), and of each start over; it
  // must outlive the stream.
  explicit TPageReaderStream(std::string pageAddress, TListingObserver* observer = nullptr);
  ~TPageReaderStream() override;
  TPageReaderStream(const TPageReaderStream&) = delete;
  TPageReaderStream& operator=(const TPageReaderStream&) = delete;

  // What the head of the page's response tells, as soon as it has come: the page's address
  // after redirections and the charset its "Content-Type" names (see
  // TPageReader::SetPageAddress and SetHttpCharset). Taken by the worker before the next piece.
  void SetPageHead(const std::string& finalAddress, const std::string& httpCharset);
  // The frames of the page finished last (TPageReader::Frames).
  const std::vector<std::string>& Frames() const { return frames_; }

  // Reads the rest and returns the movies of the page, as TPageReader::Finish gives them.
  // `finalAddress`, when not empty, is the page's address after redirections. Raises what the
  // worker failed with, if anything.
  std::vector<std::string> Finish(const std::string& finalAddress = std::string());
  // As Finish, the addresses in one block rather than a string each.
  TStringBlock FinishInBlock(const std::string& finalAddress = std::string());

 private:
  void Append(const char* bytes, size_t count) override;
  // A receive goes straight into the piece.
  char* AppendRoom(size_t& count) override;
  void AppendWritten(size_t count) override;
  void HandPiece();
  // On the worker: gives the reader what a head told, if it has not yet.
  void TakeHead();
  // On the worker, once every piece is read.
  void FinishReading();
  // What arrived was not the page (a redirection's body): the reader starts again.
  void StartOver() override;

  std::string page_address_;
  TListingObserver* observer_;
  std::string piece_;
  size_t filled_ = 0;  // bytes of piece_ in use, its room in front included; 0: none yet
  // What a head told, until the worker takes it.
  std::mutex head_lock_;
  bool head_waiting_ = false;
  std::string head_address_;
  std::string head_charset_;
  // What FinishReading works with and gives.
  std::string final_address_;
  std::vector<std::string> frames_;
  TStringBlock finished_;
  // Used by the worker only while it runs.
  TPageReader reader_;
  TPieceWorker worker_;
};
