// Option parsing shared by the commands: a command lists the options it takes (the client
// options below plus its own) and gets them back in order, with its operands.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "rescue/client_options.h"

class TNetHTTP;

namespace cli {

// Arguments that cannot be used; the command prints the message and its usage line.
class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TOptionDef {
  const char* LongName;   // without "--"
  char ShortName;         // 0: none
  const char* ValueName;  // nullptr: the option takes no value
  const char* Help;
};

struct TParsedOption {
  const TOptionDef* Def;
  std::string Value;
  bool Is(const char* longName) const;
};

struct TParsedArguments {
  std::vector<TParsedOption> Options;
  std::vector<std::string> Operands;
};

// args[0] is the command name. Options and operands may be mixed; "--" ends the options.
// Raises TUsageError for an unknown option or a missing value.
TParsedArguments ParseArguments(const std::vector<std::string>& args,
                                const std::vector<TOptionDef>& defs);

// One line per option, for --help.
std::string OptionHelp(const std::vector<TOptionDef>& defs);

// The options every command that talks HTTP takes.
const std::vector<TOptionDef>& ClientOptionDefs();

// What the client options of a command line ask for.
struct TClientArguments {
  // Unlike the window's clients, a command follows redirections only when asked to (-L).
  TClientArguments() { Options.FollowRedirects = false; }

  // Unset values keep the window's stored client settings.
  TClientOptions Options;
  bool Verbose = false;
  bool Silent = false;  // no progress meter

  bool operator==(const TClientArguments&) const = default;
};

// Takes one parsed option if it is a client option (false otherwise). Raises TUsageError for
// a value that cannot be used.
bool TakeClientOption(const TParsedOption& option, TClientArguments& arguments);

// HOST[:PORT] with an optional "scheme://" in front; `defaultPort` when no port is given.
// Raises TUsageError.
void SplitHostPort(const std::string& text, int defaultPort, std::string& host, int& port);
// An address given on the command line, as a request carries it (TypedAddress, from the
// terminal's code set). Raises TUsageError with TypedAddress's message for one that cannot be
// used: "not a valid port: 99999 (in http://h:99999/)".
std::string AddressOperand(const std::string& text);
// The decimal number an option was given (at least 1, or 0 with `zeroAllowed`). Raises
// TUsageError "--OPTION needs a positive number, not 'TEXT'" otherwise.
int PositiveNumber(const std::string& text, const char* option, bool zeroAllowed);
// USER:PASSWORD (the password may be empty or contain ":"). Raises TUsageError without ":".
TCredentials SplitUserPassword(const std::string& text);

// Shows on a client made with the arguments' options what --verbose asks for, and warns on
// standard error about --insecure.
void ShowClientArguments(TNetHTTP& http, const TClientArguments& arguments);

// "flashgrab-cli: CLASS: MESSAGE" on standard error for the exception in flight, the message
// on one line.
void ReportFailure();
// The message with every CR LF (and lone CR or LF) shown as one space.
std::string OneLine(const std::string& message);

}  // namespace cli
