// flashgrab-cli get [options] URL...: fetches each address in turn with one client, so that
// cookies and a kept connection carry over from one address to the next.
#include <unistd.h>

#include <string>
#include <vector>

#include "base/safe_file_writer.h"
#include "cli/client_command.h"
#include "cli/command.h"
#include "cli/output.h"
#include "cli/progress_meter.h"
#include "cli/saving.h"
#include "http/http.h"
#include "rescue/download.h"

namespace cli {

int RunGet(const std::vector<std::string>& args) {
  TClientCommand command("get", "usage: flashgrab-cli get [options] URL...",
                         "Fetches each URL in turn and writes its body to standard output.",
                         {{"output", 'o', "FILE", "write the body to FILE (one address only)"}});
  std::string outputFile;
  std::vector<std::string> addresses;
  const auto ended = command.Parse(
      args,
      [&outputFile](const TParsedOption& option) {
        if (option.Value.empty()) throw TUsageError("-o needs a file name");
        outputFile = option.Value;
      },
      [&](const std::vector<std::string>& operands) {
        if (operands.empty()) throw TUsageError("no URL given");
        if (!outputFile.empty() && operands.size() > 1)
          throw TUsageError("-o takes exactly one URL");
        for (const std::string& operand : operands)
          addresses.push_back(AddressOperand(operand));
      });
  if (ended) return *ended;

  return command.WithClient([&](TNetHTTP& http) {
    if (!outputFile.empty()) {
      const std::string& address = addresses[0];
      http.RecvBufferSize = kFileReceiveSize;
      TSafeFileWriter output(outputFile);
      TProgressMeter meter(http, TProgressMeter::Wanted(command.Client.Silent));
      meter.Start();
      try {
        http.HttpGet(address, output.Stream());
      } catch (...) {
        meter.Finish();
        throw;
      }
      meter.Finish();
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
  });
}

}  // namespace cli
