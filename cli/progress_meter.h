// The one-line progress meter of a download on standard error: bytes, total, rate and time
// left, redrawn in place. Only a terminal gets it; a pipe or a file sees nothing.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "rescue/transfer_progress.h"

class TNetCustomHTTP;

namespace cli {

class TProgressMeter {
 public:
  // Draws on `out` while `http` reads, when `enabled`.
  TProgressMeter(TNetCustomHTTP& http, bool enabled, FILE* out = stderr);
  ~TProgressMeter();

  // True when standard error is a terminal and the user did not ask for silence.
  static bool Wanted(bool silent);

  // A new file: the meter starts from nothing.
  void Start();
  // Draws the last state and ends the line, so that what follows starts on a line of its own.
  void Finish();

 private:
  void Draw(const TTransferState& state);

  FILE* out_;
  std::unique_ptr<TTransferProgress> progress_;
  size_t drawn_ = 0;  // length of the line on screen
};

}  // namespace cli
