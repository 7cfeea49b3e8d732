// The client options of the command line, parsed in process: each row is what follows the
// command's name and the description it gives, or the message of the usage failure.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cli::TClientArguments;

// The arguments as a command takes them, or the usage failure's message.
std::string Parse(const std::vector<std::string>& args, TClientArguments& arguments) {
  std::vector<std::string> line = {"get"};
  line.insert(line.end(), args.begin(), args.end());
  try {
    for (const cli::TParsedOption& option :
         cli::ParseArguments(line, cli::ClientOptionDefs()).Options)
      EXPECT_TRUE(cli::TakeClientOption(option, arguments)) << option.Def->LongName;
  } catch (const cli::TUsageError& e) {
    return e.what();
  }
  return "";
}

TClientArguments With(void (*change)(TClientArguments&)) {
  TClientArguments arguments;
  change(arguments);
  return arguments;
}

TEST(ClientOptionsParsing, EachOptionFillsItsPartOfTheDescription) {
  const struct {
    std::vector<std::string> args;
    TClientArguments expected;
  } cases[] = {
      {{}, {}},
      {{"-A", "agent/1", "-e", "http://h/page"}, With([](TClientArguments& a) {
         a.Options.UserAgent = "agent/1";
         a.Options.Referer = "http://h/page";
       })},
      {{"--user=me:pa:ss"}, With([](TClientArguments& a) {
         a.Options.User = TCredentials{"me", "pa:ss"};
       })},
      {{"-u", "me:"}, With([](TClientArguments& a) {
         a.Options.User = TCredentials{"me", ""};
       })},
      {{"-H", "Accept: text/plain", "--header", "X-Extra:1"}, With([](TClientArguments& a) {
         a.Options.Headers = {"Accept: text/plain", "X-Extra:1"};
       })},
      {{"-L", "--max-redirs", "0"}, With([](TClientArguments& a) {
         a.Options.FollowRedirects = true;
         a.Options.MaxRedirects = 0;
       })},
      {{"--http1.0", "--max-time", "250"}, With([](TClientArguments& a) {
         a.Options.Http10 = true;
         a.Options.MaxTimeMs = 250000;
       })},
      {{"--max-time", "2.5", "--connect-timeout", ".25", "--stall-timeout", "1.0001",
        "--compressed"},
       With([](TClientArguments& a) {
         a.Options.MaxTimeMs = 2500;
         a.Options.ConnectTimeoutMs = 250;
         a.Options.StallTimeoutMs = 1001;  // rounded up
         a.Options.Compressed = true;
       })},
      {{"-x", "proxy.local:3128", "--proxy-user", "p:q"}, With([](TClientArguments& a) {
         a.Options.ProxyHost = "proxy.local";
         a.Options.ProxyPort = 3128;
         a.Options.ProxyUser = TCredentials{"p", "q"};
       })},
      {{"--proxy", "http://proxy.local/"}, With([](TClientArguments& a) {
         a.Options.ProxyHost = "proxy.local";
         a.Options.ProxyPort = 1080;
       })},
      {{"-x", "first:1", "-x", "second:2"}, With([](TClientArguments& a) {
         a.Options.ProxyHost = "second";
         a.Options.ProxyPort = 2;
       })},
      {{"--socks4", "s:9", "--socks5", "127.0.0.1:1081", "--socks-user", "u:p"},
       With([](TClientArguments& a) {
         a.Options.Socks = TSocksVersion::svSocks5;
         a.Options.SocksHost = "127.0.0.1";
         a.Options.SocksPort = 1081;
         a.Options.SocksUser = TCredentials{"u", "p"};
       })},
      {{"--socks4a", "socks.local"}, With([](TClientArguments& a) {
         a.Options.Socks = TSocksVersion::svSocks4A;
         a.Options.SocksHost = "socks.local";
         a.Options.SocksPort = 1080;
       })},
      {{"-vsk", "--cacert", "ca.pem"}, With([](TClientArguments& a) {
         a.Verbose = true;
         a.Silent = true;
         a.Options.VerifyPeer = false;
         a.Options.CAFile = "ca.pem";
       })},
  };
  for (const auto& c : cases) {
    TClientArguments arguments;
    EXPECT_EQ(Parse(c.args, arguments), "") << testing::PrintToString(c.args);
    EXPECT_TRUE(arguments == c.expected) << testing::PrintToString(c.args);
  }
  // Without -L a command does not follow redirections; the window's clients do.
  EXPECT_FALSE(TClientArguments().Options.FollowRedirects);
  EXPECT_TRUE(TClientOptions().FollowRedirects);
}

TEST(ClientOptionsParsing, UnusableArgumentsGiveTheirUsageMessage) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--nope"}, "unknown option '--nope'"},
      {{"-q"}, "unknown option '-q'"},
      {{"--proxy"}, "option '--proxy' needs a value"},
      {{"-x"}, "option '-x' needs a value"},
      {{"--max-redirs", "-1"}, "--max-redirs needs a non-negative number, not '-1'"},
      {{"--max-redirs", " 3"}, "--max-redirs needs a non-negative number, not ' 3'"},
      {{"--max-time", "0"}, "--max-time needs a positive number of seconds, not '0'"},
      {{"--max-time", "0x10"}, "--max-time needs a positive number of seconds, not '0x10'"},
      {{"--max-time", "99999999"}, "--max-time needs a positive number of seconds, not '99999999'"},
      {{"--max-time", "."}, "--max-time needs a positive number of seconds, not '.'"},
      {{"--connect-timeout", "1.2.3"},
       "--connect-timeout needs a positive number of seconds, not '1.2.3'"},
      {{"--stall-timeout", "-1"}, "--stall-timeout needs a positive number of seconds, not '-1'"},
      {{"-x", "host:0"}, "'host:0' has no usable port"},
      {{"-x", "host:65536"}, "'host:65536' has no usable port"},
      {{"-x", "host:"}, "'host:' has no usable port"},
      {{"--socks5", ":1080"}, "':1080' names no host"},
      {{"-x", "http://"}, "'http://' names no host"},
      {{"-u", "nocolon"}, "'nocolon' is not USER:PASSWORD"},
      {{"--socks-user", "nocolon"}, "'nocolon' is not USER:PASSWORD"},
      {{"--proxy-user", "a:b\r\nX: y"}, "--proxy-user value contains a line break"},
      {{"-A", "agent\n"}, "--user-agent value contains a line break"},
      {{"-e", "\rref"}, "--referer value contains a line break"},
      {{"-H", "NoColon"}, "header 'NoColon' is not \"NAME: VALUE\""},
      {{"-H", " : value"}, "header ' : value' is not \"NAME: VALUE\""},
      {{"-H", "X: a\nY: b"}, "--header value contains a line break"},
      {{"--cacert="}, "--cacert needs a file name"},
  };
  for (const auto& c : cases) {
    TClientArguments arguments;
    EXPECT_EQ(Parse(c.args, arguments), c.message) << testing::PrintToString(c.args);
  }
}

TEST(ArgumentParsing, OptionsAndOperandsMayBeMixedUntilTwoDashes) {
  const std::vector<cli::TOptionDef> defs = {{"output", 'o', "FILE", "a file"},
                                             {"deps", 0, nullptr, "dependencies too"}};
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> options;  // "NAME=VALUE"
    std::vector<std::string> operands;
  } cases[] = {
      {{"get", "a", "-o", "f", "b"}, {"output=f"}, {"a", "b"}},
      {{"get", "-of", "--deps", "a"}, {"output=f", "deps="}, {"a"}},
      {{"get", "--output=x", "--", "--deps", "-o"}, {"output=x"}, {"--deps", "-o"}},
      {{"get", "--out", "y"}, {"output=y"}, {}},
      {{"get", "-"}, {}, {"-"}},
  };
  for (const auto& c : cases) {
    const cli::TParsedArguments parsed = cli::ParseArguments(c.args, defs);
    std::vector<std::string> options;
    for (const cli::TParsedOption& option : parsed.Options)
      options.push_back(std::string(option.Def->LongName) + "=" + option.Value);
    EXPECT_EQ(options, c.options) << testing::PrintToString(c.args);
    EXPECT_EQ(parsed.Operands, c.operands) << testing::PrintToString(c.args);
  }
}

TEST(ArgumentParsing, MessagesAreShownOnOneLine) {
  const struct {
    const char* message;
    const char* shown;
  } cases[] = {
      {"plain", "plain"},        {"a\r\nb", "a b"}, {"a\rb\nc", "a b c"},
      {"a\r\n\r\nb\n", "a  b "}, {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(cli::OneLine(c.message), c.shown) << c.message;
}

}  // namespace
