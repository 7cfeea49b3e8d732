// Option parsing shared by the commands: a command lists the options it takes (the client
// options below plus its own) and gets them back in order, with its operands.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class TNetHTTP;
class TNetSSLIOHandlerSocket;

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

enum class TSocksChoice { None, Socks4, Socks4A, Socks5 };

// What the client options ask for; unset values keep the window's stored client settings.
struct TClientOptions {
  std::optional<std::string> UserAgent;
  std::optional<std::string> Referer;
  std::optional<std::string> User;  // USER:PASSWORD
  std::vector<std::string> Headers;
  bool FollowRedirects = false;
  std::optional<int> MaxRedirects;
  bool Http10 = false;
  std::optional<int> MaxTimeMs;
  std::string ProxyHost;
  int ProxyPort = 0;
  std::optional<std::string> ProxyUser;
  TSocksChoice Socks = TSocksChoice::None;
  std::string SocksHost;
  int SocksPort = 0;
  std::optional<std::string> SocksUser;
  bool Verbose = false;
  bool Silent = false;  // no progress meter
  // -k: the certificates of https servers are not checked.
  bool Insecure = false;
  // --cacert: trusted instead of the system's store.
  std::optional<std::string> CAFile;
};

// Takes one parsed option if it is a client option (false otherwise). Raises TUsageError for
// a value that cannot be used.
bool TakeClientOption(const TParsedOption& option, TClientOptions& options);

// HOST[:PORT] with an optional "scheme://" in front; `defaultPort` when no port is given.
// Raises TUsageError.
void SplitHostPort(const std::string& text, int defaultPort, std::string& host, int& port);
// USER:PASSWORD (the password may be empty or contain ":"). Raises TUsageError without ":".
void SplitUserPassword(const std::string& text, std::string& user, std::string& password);

// Configures a client: the stored settings, the TLS handler and redirects of every web client,
// then the options. Keeps the TLS handler it creates, so it must outlive the client's use.
class TClientSetup {
 public:
  TClientSetup();
  ~TClientSetup();
  void Apply(TNetHTTP& http, const TClientOptions& options);

 private:
  std::unique_ptr<TNetSSLIOHandlerSocket> tls_handler_;
};

// "flashgrab-cli: CLASS: MESSAGE" on standard error for the exception in flight, the message
// on one line.
void ReportFailure();
// The message with every CR LF (and lone CR or LF) shown as one space.
std::string OneLine(const std::string& message);

}  // namespace cli
