#include "cli/saving.h"

#include <cstdio>
#include <exception>

#include "app/workflows/dependencies.h"
#include "app/workflows/download.h"
#include "app/workflows/web_client_settings.h"
#include "base/exception.h"
#include "cli/options.h"
#include "cli/progress_meter.h"
#include "http/http.h"
#include "uri/referer_policy.h"

namespace cli {

namespace {

// "CLASS: MESSAGE" for the exception in flight.
std::string DescribeCurrentError() {
  try {
    throw;
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + OneLine(e.Message());
  } catch (const std::exception& e) {
    return "Exception: " + OneLine(e.what());
  } catch (...) {
    return "Exception: unknown error";
  }
}

void PrintLine(const std::string& line) {
  const std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

std::string OutputFolder(const std::string& text) {
  if (text.empty()) throw TUsageError("-d needs a folder name");
  std::string folder = text;
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}

void TakeSavingOption(const TParsedOption& option, std::string& folder, bool& dependencies) {
  if (option.Is("deps"))
    dependencies = true;
  else
    folder = OutputFolder(option.Value);
}

bool SaveAll(TNetHTTP& http, const std::vector<std::string>& addresses, const std::string& folder,
             const std::string& referringPage, TProgressMeter* meter, bool dependencies) {
  TDependencyWalk walk(http, folder);
  walk.OnSaved = [](const std::string& path) { PrintLine("saved " + path); };
  walk.OnMissing = [](const std::string& address, const std::string& reason) {
    PrintLine("missing " + address + ": " + OneLine(reason));
  };
  bool allSaved = true;
  http.RecvBufferSize = kFileReceiveSize;
  for (const std::string& address : addresses) {
    try {
      const std::string typed = TypedAddress(address);
      http.Request.Referer = RefererFor(referringPage, typed);
      const std::string path = CheckedDestinationPath(folder, typed);
      if (meter) meter->Start();
      try {
        DownloadFile(http, typed, path);
      } catch (...) {
        if (meter) meter->Finish();
        throw;
      }
      if (meter) meter->Finish();
      PrintLine("saved " + path);
      if (dependencies) walk.SaveDependencies(typed, path);
    } catch (...) {
      allSaved = false;
      PrintLine("failed " + address + ": " + DescribeCurrentError());
    }
  }
  return allSaved;
}

}  // namespace cli
