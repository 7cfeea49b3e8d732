// Saving movies from the command line, as the window's download does.
#pragma once

#include <string>
#include <vector>

class TNetHTTP;

namespace cli {

class TProgressMeter;
struct TParsedOption;

// The receive size of a client that saves into files: each receive becomes one write, and
// fewer, larger writes cost the page cache (and the processor) less than 32 KiB ones.
inline constexpr int kFileReceiveSize = 256 * 1024;

// The folder given with -d/--download: without trailing "/" (the root stays "/"). Raises
// TUsageError for an empty name.
std::string OutputFolder(const std::string& text);

// Takes -d/--download DIR (see OutputFolder) or --deps.
void TakeSavingOption(const TParsedOption& option, std::string& folder, bool& dependencies);

// Saves each address in turn into `folder` with `http` (its file name is the text after the
// last "/"), printing one line per address on standard output: "saved PATH", or
// "failed ADDRESS: CLASS: MESSAGE" with the message on one line. A failure does not stop the
// others. True when every address was saved. Each request names `referringPage` as its Referer
// (see RefererFor; none when it is empty). A meter, when given, shows each file's progress.
// With `dependencies`, each saved movie's dependent files follow it (TDependencyWalk), each
// printed as "saved PATH" or "missing ADDRESS: MESSAGE"; a missing one is not a failure.
bool SaveAll(TNetHTTP& http, const std::vector<std::string>& addresses, const std::string& folder,
             const std::string& referringPage, TProgressMeter* meter = nullptr,
             bool dependencies = false);

}  // namespace cli
