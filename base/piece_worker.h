// Handing the pieces of a byte stream to a worker thread, which handles them in order while the
// writer goes on with the next.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The thread starts with the first piece. With a limit, at most `maxWaiting` pieces wait and a
// writer that gets that far ahead waits for room, so memory stays bounded whatever the speed of
// the writer. The memory of a handled piece comes back through Spare for a later piece: a long
// stream goes round a few buffers instead of asking the system for fresh pages every time. The
// first exception the handler raises is kept, and the pieces after it are dropped.
class TPieceWorker {
 public:
  // Runs on the worker thread, one piece at a time; it may take the piece's bytes away.
  using THandler = std::function<void(std::string& piece)>;
  static constexpr size_t kNoLimit = 0;

  // Whether the spares keep the bytes their pieces were left with: a writer that writes over
  // them in place then needs no bytes made again. Otherwise they come back empty.
  enum class TSpareBytes { sbEmptied, sbKept };

  TPieceWorker(THandler handler, size_t maxWaiting,
               TSpareBytes spareBytes = TSpareBytes::sbEmptied);
  // Drops what waits, as Discard.
  ~TPieceWorker();
  TPieceWorker(const TPieceWorker&) = delete;
  TPieceWorker& operator=(const TPieceWorker&) = delete;

  void Hand(std::string piece);
  // A string with the room of a piece handled before when there is one: empty, or with the
  // bytes the piece was left with (TSpareBytes::sbKept).
  std::string Spare();
  // How many pieces wait: 0 tells the handler that it may do other work now.
  size_t Waiting();
  // Waits until every piece handed has been handled and ends the thread; raises what the handler
  // failed with. Pieces can be handed again afterwards.
  void Finish();
  // Drops the pieces that wait, ends the thread once the piece at hand is handled, and forgets a
  // failure. Pieces can be handed again afterwards.
  void Discard();

 private:
  void Work();
  void Stop(bool discard);

  THandler handler_;
  size_t max_waiting_;
  TSpareBytes spare_bytes_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable room_;
  std::deque<std::string> waiting_;
  std::vector<std::string> spares_;
  bool closing_ = false;
  std::exception_ptr error_;
  std::thread worker_;
};
