#include "cli/options.h"

#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "base/exception.h"
#include "base/text.h"
#include "cli/command.h"
#include "cli/terminal_text.h"
#include "http/http.h"
#include "rescue/web_client_settings.h"

namespace cli {

namespace {

// The port of a proxy or SOCKS server given without one.
constexpr int kDefaultProxyPort = 1080;
// getopt_long's code for an option without a short name: kLongOnly + the def's index.
constexpr int kLongOnly = 1000;

// Decimal digits only: the runtime's conversion would also take blanks, a sign and hexadecimal.
bool DecimalNumber(const std::string& text, int32_t& value) {
  int64_t number = 0;
  if (!ParseDecimalDigits(text, number) || number > INT32_MAX) return false;
  value = static_cast<int32_t>(number);
  return true;
}

// Seconds as curl takes them ("30", "2.5", ".5"), as milliseconds, rounded up: more than 0 and
// at most a few weeks (the limit of a wait's milliseconds).
int PositiveSeconds(const std::string& text, const char* option) {
  const size_t dot = text.find('.');
  const std::string whole = text.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
  int64_t seconds = 0, part = 0;
  const bool usable =
      (!whole.empty() || !fraction.empty()) &&
      (whole.empty() || ParseDecimalDigits(whole, seconds)) &&
      (fraction.empty() || (fraction.size() <= 9 && ParseDecimalDigits(fraction, part))) &&
      !(dot != std::string::npos && fraction.empty() && whole.empty());
  int64_t ms = 0;
  if (usable && seconds <= INT32_MAX / 1000) {
    // The fraction's digits as nanoseconds, then milliseconds rounded up.
    int64_t nanos = part;
    for (size_t i = fraction.size(); i < 9; ++i)
      nanos *= 10;
    ms = seconds * 1000 + (nanos + 999999) / 1000000;
  }
  if (!usable || ms <= 0 || ms > INT32_MAX)
    throw TUsageError(
        Format("--%s needs a positive number of seconds, not '%s'", option, text.c_str()));
  return static_cast<int>(ms);
}

// A value that goes into a header line must not bring line breaks of its own.
std::string SingleLine(const std::string& text, const char* option) {
  if (text.find_first_of("\r\n") != std::string::npos)
    throw TUsageError(Format("--%s value contains a line break", option));
  return text;
}

void WriteLine(const char* prefix, const std::string& text) {
  std::string line = prefix + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

int PositiveNumber(const std::string& text, const char* option, bool zeroAllowed) {
  int32_t value = 0;
  if (!DecimalNumber(text, value) || value < (zeroAllowed ? 0 : 1))
    throw TUsageError(Format("--%s needs a %s number, not '%s'", option,
                             zeroAllowed ? "non-negative" : "positive", text.c_str()));
  return value;
}

bool TParsedOption::Is(const char* longName) const {
  return std::strcmp(Def->LongName, longName) == 0;
}

TParsedArguments ParseArguments(const std::vector<std::string>& args,
                                const std::vector<TOptionDef>& defs) {
  // A leading ':' makes a missing value come back as ':' rather than '?'.
  std::string shortOptions = ":";
  std::vector<option> longOptions;
  for (size_t i = 0; i < defs.size(); ++i) {
    const TOptionDef& def = defs[i];
    const int code = def.ShortName ? def.ShortName : kLongOnly + static_cast<int>(i);
    longOptions.push_back(
        {def.LongName, def.ValueName ? required_argument : no_argument, nullptr, code});
    if (def.ShortName) {
      shortOptions += def.ShortName;
      if (def.ValueName) shortOptions += ':';
    }
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});

  std::vector<std::string> storage(args);
  std::vector<char*> argv;
  for (std::string& a : storage)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(storage.size());

  TParsedArguments result;
  opterr = 0;
  optind = 0;  // GNU: start a fresh scan
  for (;;) {
    int index = -1;
    const int code =
        getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(), &index);
    if (code == -1) break;
    const char* shown = optind > 0 && optind <= argc ? argv[optind - 1] : "";
    if (code == '?') {
      if (optopt != 0 && optopt < kLongOnly)
        throw TUsageError(Format("unknown option '-%c'", optopt));
      throw TUsageError(Format("unknown option '%s'", shown));
    }
    if (code == ':') throw TUsageError(Format("option '%s' needs a value", shown));
    const TOptionDef* def = nullptr;
    if (code >= kLongOnly) {
      def = &defs[static_cast<size_t>(code - kLongOnly)];
    } else {
      for (const TOptionDef& s : defs)
        if (s.ShortName == code) def = &s;
    }
    if (!def) throw TUsageError(Format("unknown option '%s'", shown));
    result.Options.push_back({def, optarg ? std::string(optarg) : std::string()});
  }
  // getopt_long moves the operands behind the options in argv, not in storage.
  for (int i = optind; i < argc; ++i)
    result.Operands.push_back(argv[static_cast<size_t>(i)]);
  return result;
}

std::string OptionHelp(const std::vector<TOptionDef>& defs) {
  std::string text;
  for (const TOptionDef& def : defs) {
    std::string left = def.ShortName ? std::string("-") + def.ShortName + ", " : "    ";
    left += std::string("--") + def.LongName;
    if (def.ValueName) left += std::string(" ") + def.ValueName;
    text += Format("  %-32s %s\n", left.c_str(), def.Help);
  }
  return text;
}

const std::vector<TOptionDef>& ClientOptionDefs() {
  static const std::vector<TOptionDef> defs = {
      {"user-agent", 'A', "TEXT", "User-Agent to send"},
      {"referer", 'e', "TEXT", "Referer to send"},
      {"user", 'u', "USER:PASSWORD", "Basic credentials for the server"},
      {"header", 'H', "\"NAME: VALUE\"", "an extra header line (may be repeated)"},
      {"location", 'L', nullptr, "follow redirections"},
      {"max-redirs", 0, "N", "follow at most N redirections per address (with -L)"},
      {"http1.0", 0, nullptr, "speak HTTP/1.0"},
      {"max-time", 0, "S", "give up a transfer after S seconds in all (decimals allowed)"},
      {"connect-timeout", 0, "S", "give up a connect after S seconds (default 30)"},
      {"stall-timeout", 0, "S", "give up a transfer after S seconds without a byte (default 60)"},
      {"compressed", 0, nullptr, "ask for a gzip or deflate body (decoded either way)"},
      {"proxy", 'x', "HOST:PORT", "send requests through this HTTP proxy"},
      {"proxy-user", 0, "USER:PASSWORD", "Basic credentials for the proxy"},
      {"socks4", 0, "HOST:PORT", "connect through this SOCKS 4 server"},
      {"socks4a", 0, "HOST:PORT", "connect through this SOCKS 4A server"},
      {"socks5", 0, "HOST:PORT", "connect through this SOCKS 5 server"},
      {"socks-user", 0, "USER:PASSWORD", "credentials for the SOCKS server"},
      {"verbose", 'v', nullptr, "show status (*), request (>) and response (<) lines"},
      {"silent", 's', nullptr, "no progress meter on a terminal's standard error"},
      {"insecure", 'k', nullptr, "do not check the certificates of https servers"},
      {"cacert", 0, "FILE", "trust the certificates in this PEM file, not the system's"},
  };
  return defs;
}

void SplitHostPort(const std::string& text, int defaultPort, std::string& host, int& port) {
  std::string rest = text;
  const size_t scheme = rest.find("://");
  if (scheme != std::string::npos) rest.erase(0, scheme + 3);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  const size_t colon = rest.rfind(':');
  host = rest.substr(0, colon);
  port = defaultPort;
  if (colon != std::string::npos) {
    const std::string portText = rest.substr(colon + 1);
    int32_t value = 0;
    if (!DecimalNumber(portText, value) || value < 1 || value > 65535)
      throw TUsageError(Format("'%s' has no usable port", text.c_str()));
    port = value;
  }
  if (host.empty()) throw TUsageError(Format("'%s' names no host", text.c_str()));
}

std::string AddressOperand(const std::string& text) {
  try {
    return TypedAddress(FromTerminal(text));
  } catch (const Exception& e) {
    throw TUsageError(e.Message());
  }
}

TCredentials SplitUserPassword(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos)
    throw TUsageError(Format("'%s' is not USER:PASSWORD", text.c_str()));
  return {text.substr(0, colon), text.substr(colon + 1)};
}

bool TakeClientOption(const TParsedOption& option, TClientArguments& arguments) {
  const std::string& v = option.Value;
  TClientOptions& options = arguments.Options;
  if (option.Is("user-agent")) {
    options.UserAgent = SingleLine(v, "user-agent");
  } else if (option.Is("referer")) {
    options.Referer = SingleLine(v, "referer");
  } else if (option.Is("user")) {
    options.User = SplitUserPassword(SingleLine(v, "user"));
  } else if (option.Is("header")) {
    const size_t colon = SingleLine(v, "header").find(':');
    if (colon == std::string::npos || Trim(v.substr(0, colon)).empty())
      throw TUsageError(Format("header '%s' is not \"NAME: VALUE\"", v.c_str()));
    options.Headers.push_back(v);
  } else if (option.Is("location")) {
    options.FollowRedirects = true;
  } else if (option.Is("max-redirs")) {
    options.MaxRedirects = PositiveNumber(v, "max-redirs", true);
  } else if (option.Is("http1.0")) {
    options.Http10 = true;
  } else if (option.Is("max-time")) {
    options.MaxTimeMs = PositiveSeconds(v, "max-time");
  } else if (option.Is("connect-timeout")) {
    options.ConnectTimeoutMs = PositiveSeconds(v, "connect-timeout");
  } else if (option.Is("stall-timeout")) {
    options.StallTimeoutMs = PositiveSeconds(v, "stall-timeout");
  } else if (option.Is("compressed")) {
    options.Compressed = true;
  } else if (option.Is("proxy")) {
    SplitHostPort(v, kDefaultProxyPort, options.ProxyHost, options.ProxyPort);
  } else if (option.Is("proxy-user")) {
    options.ProxyUser = SplitUserPassword(SingleLine(v, "proxy-user"));
  } else if (option.Is("socks4") || option.Is("socks4a") || option.Is("socks5")) {
    options.Socks = option.Is("socks4")    ? TSocksVersion::svSocks4
                    : option.Is("socks4a") ? TSocksVersion::svSocks4A
                                           : TSocksVersion::svSocks5;
    SplitHostPort(v, kDefaultProxyPort, options.SocksHost, options.SocksPort);
  } else if (option.Is("socks-user")) {
    options.SocksUser = SplitUserPassword(v);
  } else if (option.Is("verbose")) {
    arguments.Verbose = true;
  } else if (option.Is("silent")) {
    arguments.Silent = true;
  } else if (option.Is("insecure")) {
    options.VerifyPeer = false;
  } else if (option.Is("cacert")) {
    if (v.empty()) throw TUsageError("--cacert needs a file name");
    options.CAFile = v;
  } else {
    return false;
  }
  return true;
}

void ShowClientArguments(TNetHTTP& http, const TClientArguments& arguments) {
  if (!arguments.Options.VerifyPeer)
    WriteLine("", std::string(kProgramName) +
                      ": warning: --insecure: the certificates of https servers are not checked");
  if (!arguments.Verbose) return;
  http.OnStatus = [](TObject*, TNetStatus, const std::string& text) { WriteLine("* ", text); };
  http.OnRequestHead = [](TObject*, const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
      WriteLine("> ", line);
  };
  http.OnResponseHead = [](TObject*, const std::string& statusLine,
                           const TNetHeaderList& headerLines) {
    WriteLine("< ", statusLine);
    for (int i = 0; i < headerLines.Count(); ++i)
      WriteLine("< ", headerLines.Get(i));
  };
}

std::string OneLine(const std::string& message) {
  std::string result;
  for (size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n') {
      result += ' ';
      ++i;
    } else if (c == '\r' || c == '\n') {
      result += ' ';
    } else {
      result += c;
    }
  }
  return result;
}

void ReportFailure() {
  std::string className = "Exception";
  std::string message;
  try {
    throw;
  } catch (const Exception& e) {
    className = e.ClassName();
    message = e.Message();
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "unknown error";
  }
  const std::string line =
      std::string(kProgramName) + ": " + className + ": " + OneLine(message) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace cli
