// flashgrab-cli download [-d DIR] [options] URL...: saves each address into a folder as the
// window's download does, with one client for all of them.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/options.h"
#include "cli/saving.h"
#include "http/http.h"

namespace cli {

namespace {

constexpr const char* kUsage = "usage: flashgrab-cli download [-d DIR] [options] URL...";

const std::vector<TOptionDef>& DownloadOptionDefs() {
  static const std::vector<TOptionDef> defs = [] {
    std::vector<TOptionDef> all = {
        {"download", 'd', "DIR", "save into DIR (default: the current folder)"},
        {"help", 'h', nullptr, "show this help"},
    };
    const auto& client = ClientOptionDefs();
    all.insert(all.end(), client.begin(), client.end());
    return all;
  }();
  return defs;
}

int UsageFailure(const std::string& message) {
  std::fprintf(stderr, "%s: download: %s\n%s\n", kProgramName, message.c_str(), kUsage);
  return kExitUsage;
}

}  // namespace

int RunDownload(const std::vector<std::string>& args) {
  TClientOptions clientOptions;
  std::string folder = ".";
  std::vector<std::string> addresses;
  try {
    const TParsedArguments parsed = ParseArguments(args, DownloadOptionDefs());
    for (const TParsedOption& option : parsed.Options) {
      if (option.Is("help")) {
        std::printf(
            "%s\n\nSaves each URL into DIR under the text after its last \"/\", printing\n"
            "\"saved PATH\" or \"failed URL: CLASS: MESSAGE\" for each.\n\noptions:\n%s",
            kUsage, OptionHelp(DownloadOptionDefs()).c_str());
        return kExitSuccess;
      }
      if (option.Is("download"))
        folder = OutputFolder(option.Value);
      else
        TakeClientOption(option, clientOptions);
    }
    addresses = parsed.Operands;
    if (addresses.empty()) throw TUsageError("no URL given");
  } catch (const TUsageError& e) {
    return UsageFailure(e.what());
  }

  try {
    TClientSetup setup;
    TNetHTTP http;
    setup.Apply(http, clientOptions);
    return SaveAll(http, addresses, folder) ? kExitSuccess : kExitFailure;
  } catch (...) {
    ReportFailure();
    return kExitFailure;
  }
}

}  // namespace cli
