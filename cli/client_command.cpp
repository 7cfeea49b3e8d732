#include "cli/client_command.h"

#include <cstdio>

#include "cli/command.h"
#include "http/http.h"
#include "rescue/web_client.h"

namespace cli {

TClientCommand::TClientCommand(const char* name, const char* usage, std::string description,
                               std::vector<TOptionDef> ownOptions)
    : name_(name),
      usage_(usage),
      description_(std::move(description)),
      defs_(std::move(ownOptions)) {
  defs_.push_back({"help", 'h', nullptr, "show this help"});
  const auto& client = ClientOptionDefs();
  defs_.insert(defs_.end(), client.begin(), client.end());
}

std::optional<int> TClientCommand::Parse(
    const std::vector<std::string>& args,
    const std::function<void(const TParsedOption&)>& takeOption,
    const std::function<void(const std::vector<std::string>&)>& takeOperands) {
  try {
    const TParsedArguments parsed = ParseArguments(args, defs_);
    for (const TParsedOption& option : parsed.Options) {
      if (option.Is("help")) {
        std::printf("%s\n\n%s\n\noptions:\n%s", usage_, description_.c_str(),
                    OptionHelp(defs_).c_str());
        return kExitSuccess;
      }
      if (!TakeClientOption(option, Client)) takeOption(option);
    }
    takeOperands(parsed.Operands);
  } catch (const TUsageError& e) {
    return UsageFailure(e.what());
  }
  return std::nullopt;
}

int TClientCommand::WithClient(const std::function<int(TNetHTTP&)>& use) const {
  try {
    TWebClient client(Client.Options);
    ShowClientArguments(client.Http(), Client);
    return use(client.Http());
  } catch (...) {
    ReportFailure();
    return kExitFailure;
  }
}

int TClientCommand::UsageFailure(const std::string& message) const {
  std::fprintf(stderr, "%s: %s: %s\n%s\n", kProgramName, name_, message.c_str(), usage_);
  return kExitUsage;
}

}  // namespace cli
