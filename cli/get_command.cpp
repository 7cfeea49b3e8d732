// flashgrab-cli get [options] URL...: fetches each address in turn with one client, so that
// cookies and a kept connection carry over from one address to the next.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/net_exceptions.h"
#include "cli/command.h"
#include "cli/options.h"
#include "cli/output.h"
#include "http/http.h"

namespace cli {

namespace {

constexpr const char* kUsage = "usage: flashgrab-cli get [options] URL...";

const std::vector<TOptionDef>& GetOptionDefs() {
  static const std::vector<TOptionDef> defs = [] {
    std::vector<TOptionDef> all = {
        {"output", 'o', "FILE", "write the body to FILE (one address only)"},
        {"help", 'h', nullptr, "show this help"},
    };
    const auto& client = ClientOptionDefs();
    all.insert(all.end(), client.begin(), client.end());
    return all;
  }();
  return defs;
}

int UsageFailure(const std::string& message) {
  std::fprintf(stderr, "%s: get: %s\n%s\n", kProgramName, message.c_str(), kUsage);
  return kExitUsage;
}

// A call that completed without a 2xx status (a redirection left unfollowed once the maximum
// was reached) did not deliver the address's body.
void CheckDelivered(TNetHTTP& http) {
  const int code = http.StatusCode();
  if (code < 200 || code > 299)
    throw ENetHTTPProtocolException(code, http.StatusLine(), std::string());
}

}  // namespace

int RunGet(const std::vector<std::string>& args) {
  TClientOptions clientOptions;
  std::string outputFile;
  std::vector<std::string> addresses;
  try {
    const TParsedArguments parsed = ParseArguments(args, GetOptionDefs());
    for (const TParsedOption& option : parsed.Options) {
      if (option.Is("help")) {
        std::printf(
            "%s\n\nFetches each URL in turn and writes its body to standard output.\n\n"
            "options:\n%s",
            kUsage, OptionHelp(GetOptionDefs()).c_str());
        return kExitSuccess;
      }
      if (option.Is("output")) {
        if (option.Value.empty()) throw TUsageError("-o needs a file name");
        outputFile = option.Value;
      } else {
        TakeClientOption(option, clientOptions);
      }
    }
    addresses = parsed.Operands;
    if (addresses.empty()) throw TUsageError("no URL given");
    if (!outputFile.empty() && addresses.size() > 1) throw TUsageError("-o takes exactly one URL");
  } catch (const TUsageError& e) {
    return UsageFailure(e.what());
  }

  try {
    TClientSetup setup;
    TNetHTTP http;
    setup.Apply(http, clientOptions);
    if (!outputFile.empty()) {
      TSafeOutputFile output(outputFile);
      http.HttpGet(addresses[0], output.Stream());
      CheckDelivered(http);
      output.Commit();
      return kExitSuccess;
    }
    TDescriptorStream out(STDOUT_FILENO);
    for (const std::string& address : addresses) {
      http.HttpGet(address, out);
      CheckDelivered(http);
    }
    return kExitSuccess;
  } catch (...) {
    ReportFailure();
    return kExitFailure;
  }
}

}  // namespace cli
