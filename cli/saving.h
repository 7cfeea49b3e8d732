// Saving movies from the command line, as the window's download does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "rescue/client_options.h"
#include "rescue/run_files.h"
#include "rescue/transfer_scheduler.h"

class TNetHTTP;

namespace cli {

class TProgressMeter;

// The receive size of a client that saves into files: each receive becomes one write, and
// fewer, larger writes cost the page cache (and the processor) less than 32 KiB ones.
inline constexpr int kFileReceiveSize = 256 * 1024;

// Where and how a command saves: -d DIR, --deps, --layout flat|site.
struct TSaving {
  std::string Folder;
  bool Dependencies = false;
  std::optional<TSaveLayout> Layout;
  // How dependent files are fetched (-j, --rate-interval, --max-retry-wait), with clients made
  // from the command's options; with Verbose each retry is said on standard error.
  TTransferRules Transfers;
  TClientOptions ClientOptions;
  bool Verbose = false;
  // A batch list (-i FILE): the movies themselves go through the transfer scheduler, several
  // at once, and are reported in the list's order.
  bool Batch = false;
  // The layout asked for; else site when dependent files are saved (two games never share a
  // place, and every file a game loads has its own), flat otherwise.
  TSaveLayout EffectiveLayout() const;
};

// The options of TSaving (-d/--download DIR's help is the command's own).
std::vector<TOptionDef> SavingOptionDefs(const char* downloadHelp);
// Takes -d/--download DIR (see OutputFolder), --deps or --layout; false for another option.
// Raises TUsageError for a value that cannot be used.
bool TakeSavingOption(const TParsedOption& option, TSaving& saving);

// The folder given with -d/--download: without trailing "/" (the root stays "/"). Raises
// TUsageError for an empty name.
std::string OutputFolder(const std::string& text);

// A movie to save, and the page it was found on (its Referer; none when empty).
struct TMovieToSave {
  std::string Address;  // absolute and encoded (TypedAddress, the page reader)
  std::string Page;
};

// The addresses of a batch list: one a line, blank lines and lines that start with "#" left
// out, each as an operand (AddressOperand). Raises TUsageError when the file cannot be read.
std::vector<std::string> BatchAddresses(const std::string& file);

// Saves each movie in turn into the folder with `http`, at its place in the layout (never over
// another file of the run: a second "game.swf" becomes "game (2).swf"), printing one line per
// movie on standard output: "saved PATH" (with " (another NAME was saved in this run)" when it
// was renamed), or "failed ADDRESS: CLASS: MESSAGE" with the message on one line. A failure does
// not stop the others. True when every movie was saved. Each request names the movie's page as
// its Referer (see RefererFor). A meter, when given, shows each file's progress. With
// dependencies, each saved movie's dependent files follow it (TDependencyWalk), each printed as
// "saved PATH" or "missing ADDRESS: MESSAGE"; a missing one is not a failure.
bool SaveAll(TNetHTTP& http, const std::vector<TMovieToSave>& movies, const TSaving& saving,
             TProgressMeter* meter = nullptr);

}  // namespace cli
