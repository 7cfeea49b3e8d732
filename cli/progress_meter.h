// The one-line progress meter of a download on standard error: which file of how many, bytes,
// total, rate and time left, redrawn in place at least twice a second however slowly the bytes
// come. Only a terminal gets it; a pipe or a file sees nothing.
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

  // A new file: the meter starts from nothing. `label` leads the line ("[2/5] game.swf").
  void Start(const std::string& label = std::string());
  // Draws the last state and ends the line, so that what follows starts on a line of its own.
  void Finish();

 private:
  void Draw(const TTransferState& state);

  // While the meter draws, the client's waits end at least this often, and the meter counts
  // the bytes that have come meanwhile: a slow body still moves it.
  static constexpr int kRedrawMs = 250;
  class TWaitHook;

  FILE* out_;
  std::unique_ptr<TTransferProgress> progress_;
  std::unique_ptr<TWaitHook> wait_hook_;
  std::string label_;
  size_t drawn_ = 0;  // length of the line on screen
};

}  // namespace cli
