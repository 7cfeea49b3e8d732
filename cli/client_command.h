// What the commands that talk HTTP have in common: their options (their own, --help, then the
// client options), the usage failure, and the one-line report of a request that failed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"

class TNetHTTP;

namespace cli {

class TClientCommand {
 public:
  // `name` as typed after the program's name; --help shows `usage`, a blank line,
  // `description`, a blank line and the options.
  TClientCommand(const char* name, const char* usage, std::string description,
                 std::vector<TOptionDef> ownOptions);

  // Parses the arguments: client options go into Client, the command's own ones to
  // `takeOption`, and the operands to `takeOperands`; either may raise TUsageError. Returns
  // the exit status when the command ends here (after --help, or after printing the usage
  // failure), nothing when it goes on.
  std::optional<int> Parse(
      const std::vector<std::string>& args,
      const std::function<void(const TParsedOption&)>& takeOption,
      const std::function<void(const std::vector<std::string>&)>& takeOperands);

  // Runs `use` with a new client configured from Client. An error it raises is reported on
  // standard error and ends in kExitFailure.
  int WithClient(const std::function<int(TNetHTTP&)>& use) const;

  TClientArguments Client;

 private:
  int UsageFailure(const std::string& message) const;

  const char* name_;
  const char* usage_;
  std::string description_;
  std::vector<TOptionDef> defs_;
};

}  // namespace cli
