// Saving the files a saved movie loads at run time, beside it, as the game expects them.
#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "rescue/run_files.h"

class TNetHTTP;
class TTransferScheduler;

// Files read for what they name, counted from a main movie (whose dependencies are at 1).
constexpr int kMaxDependencyDepth = 4;
// Dependent files fetched in one run, all main movies together.
constexpr int kMaxDependencyFiles = 1000;

// Where a dependency goes in the flat layout, relative to the output folder, given the folder
// address of the main movie `root` ("http://host/games/"), the address as written and as
// resolved against the file that names it: under the root it keeps its place relative to the
// main movie; elsewhere (another host, a path from the site's root, ".." above the movie's
// folder) it goes where the site layout puts it, under "<host>/<path>". Each part is made safe
// for a file name (SafeFileName); the query and fragment play no part. Raises EFCreateError
// when the address names no host, or a "." or ".." part is left in it.
std::string DependencyPlace(const std::string& root, const std::string& written,
                            const std::string& resolved);

// One run of dependency saving into one output folder. For each main movie saved, reads it,
// fetches each file it names with the download client (Referer: the address of the file that
// names it) and saves it at its place in the run's layout (site: SitePath; flat:
// DependencyPlace), safely (a temporary file renamed on success), never over another file of the
// run (TRunFiles). Saved movies and XML files are read in turn, to kMaxDependencyDepth; each
// address is fetched once per run. A dependency that cannot be had is reported and the run goes
// on.
class TDependencyWalk {
 public:
  TDependencyWalk(TNetHTTP& http, TRunFiles& files);

  // `address` was saved as `path`, a main movie.
  void SaveDependencies(const std::string& address, const std::string& path);

  // The files named by one file are fetched by `scheduler`, several at once, rather than one
  // after another with the client given. Not owned.
  void UseScheduler(TTransferScheduler* scheduler) { scheduler_ = scheduler; }

  int Saved() const { return saved_; }
  int Missing() const { return missing_; }

  // Asked before each fetch: true ends the walk there (the user stopped the run).
  std::function<bool()> Stopped;
  // A dependent file was saved at `path`; `takenName`, when not empty, is the name another file
  // of the run had taken (TRunFiles::TClaim).
  std::function<void(const std::string& path, const std::string& takenName)> OnSaved;
  // The file at `address` could not be had: the error's message.
  std::function<void(const std::string& address, const std::string& reason)> OnMissing;

 private:
  struct TFile {
    std::string Address;
    std::string Path;
    int Depth;
  };
  void Visit(const TFile& file, const std::string& root, std::deque<TFile>& queue);
  // A file named, checked and given its place, to be fetched.
  struct TPending {
    std::string Address;
    TRunFiles::TClaim Claim;
    int Depth;
    std::string Referer;
    // Why it cannot be had before any transfer (no place, too many files); then no claim.
    std::exception_ptr Refused;
  };
  // Checks a name and claims its place; what cannot be had is kept with its reason, so that
  // every file is reported in the order named.
  void Prepare(const TFile& referrer, const std::string& written, const std::string& resolved,
               const std::string& root, std::vector<TPending>& pending);
  // What became of a pending file: saved (queued to be read in turn), or missing and why.
  void Finish(const TPending& file, const std::exception_ptr& error, std::deque<TFile>& queue);

  TNetHTTP& http_;
  TTransferScheduler* scheduler_ = nullptr;
  TRunFiles& files_;
  std::unordered_set<std::string> seen_;
  int saved_ = 0;
  int missing_ = 0;
};
