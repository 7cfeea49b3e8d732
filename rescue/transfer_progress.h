// How far the body of one file (or page) has come, from an HTTP client's read work events:
// bytes so far, the total when the response declares its length, and the time since the start.
// The window's progress bar and the command line's meter both draw from it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class TNetCustomHTTP;

struct TTransferState {
  int64_t Bytes = 0;
  int64_t Total = -1;  // -1: not known (a chunked body, or one that ends with the close)
  double Seconds = 0;  // since Start
};

class TTransferProgress {
 public:
  using TClock = std::chrono::steady_clock;
  using TNow = std::function<TClock::time_point()>;
  using TUpdate = std::function<void(const TTransferState&)>;
  // At most twenty updates a second: drawing more often would only cost the transfer time.
  static constexpr std::chrono::milliseconds kDefaultInterval{50};

  // Takes over the work events of `http` until destroyed. `update` is called when a body
  // begins, at most once per `interval` while it arrives, and at Finish.
  TTransferProgress(TNetCustomHTTP& http, TUpdate update,
                    std::chrono::milliseconds interval = kDefaultInterval, TNow now = &TClock::now);
  TTransferProgress(const TTransferProgress&) = delete;
  TTransferProgress& operator=(const TTransferProgress&) = delete;
  ~TTransferProgress();

  // A new file: nothing counted, no total, the clock starts again.
  void Start();
  // Reports the state as it is now, whatever the interval.
  void Finish();
  // Counts also the bytes that have arrived but still wait in the client's input buffer: the
  // work events report a body a whole receive piece at a time, which on a slow link can take
  // seconds. For a caller that gets its turn during the waits (the window's timer).
  void Refresh();
  const TTransferState& State() const { return state_; }
  // Whether a body began since Start.
  bool Began() const { return began_; }

 private:
  void Begin(int64_t maximum);
  void Progress(int64_t count);
  void End();
  void Update(bool force);

  TNetCustomHTTP& http_;
  TUpdate update_;
  std::chrono::milliseconds interval_;
  TNow now_;
  TClock::time_point started_{};
  TClock::time_point last_update_{};
  TTransferState state_;
  // Bytes of the body's earlier phases (the chunks before the current one).
  int64_t earlier_ = 0;
  int64_t phase_count_ = 0;
  bool in_chunks_ = false;
  bool in_phase_ = false;
  bool began_ = false;
};

// A progress meter's text for one state: "  45%  1.4 MiB / 3.0 MiB  512.0 KiB/s  0:00:03 left",
// or, without a total, "  1.4 MiB  512.0 KiB/s".
std::string ProgressMeterLine(const TTransferState& state);

// "512 B", "1.5 KiB", "20.0 MiB", "1.00 GiB".
std::string ByteCountText(int64_t bytes);
