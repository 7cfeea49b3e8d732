// flashgrab-cli's progress meter, run under a pseudo-terminal (script) against nginx: a meter
// on a terminal's standard error, nothing with -s or when standard error goes elsewhere.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/cli/cli_program.h"
#include "tests/support/child_process.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/nginx_server.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr size_t kMovieSize = 300 * 1024;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs the program with `args` on a terminal; `redirect` is shell text appended to the command.
ProgramResult OnTerminal(const std::vector<std::string>& args, const std::string& redirect = "") {
  std::string command = Quoted(kProgram);
  for (const std::string& arg : args)
    command += " " + Quoted(arg);
  return RunProgram({"script", "-qec", command + redirect, "/dev/null"}, "",
                    std::chrono::seconds(20));
}

bool HasMeter(const std::string& output) {
  return output.find("100%  300.0 KiB / 300.0 KiB") != std::string::npos &&
         output.find(" left") != std::string::npos;
}

TEST(CliProgressMeter, ATerminalGetsAMeterUnlessSilentOrElsewhere) {
  NginxServer nginx;
  nginx.Start();
  nginx.WriteFile("movies/m.swf", GeneratedBytes(0, kMovieSize));
  const std::string movie = nginx.Url("/movies/m.swf");
  nginx.WriteFile("page.html", "<embed src=\"" + movie + "\">");
  TempDir out;
  const std::string errors = out.Path() + "/errors.txt";

  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string redirect;
    bool meter;
  } rows[] = {
      {"download", {"download", "-d", out.Path() + "/a", movie}, "", true},
      {"get -o", {"get", "-o", out.Path() + "/b.swf", movie}, "", true},
      {"grab -d", {"grab", "-d", out.Path() + "/c", nginx.Url("/page.html")}, "", true},
      {"download -s", {"download", "-s", "-d", out.Path() + "/d", movie}, "", false},
      {"download --silent", {"download", "--silent", "-d", out.Path() + "/e", movie}, "", false},
      {"standard error to a file",
       {"download", "-d", out.Path() + "/f", movie},
       " 2>" + Quoted(errors),
       false},
  };
  for (const Row& row : rows) {
    const ProgramResult r = OnTerminal(row.args, row.redirect);
    EXPECT_EQ(r.ExitCode, 0) << row.name << "\n" << r.Stdout << r.Stderr;
    EXPECT_EQ(HasMeter(r.Stdout), row.meter) << row.name << "\n" << r.Stdout;
    // The meter ends its line before the next report.
    if (row.meter) {
      EXPECT_EQ(r.Stdout.find("left saved"), std::string::npos) << r.Stdout;
    }
  }
  EXPECT_EQ(ReadFileBytes(errors), "");
  EXPECT_TRUE(FileHoldsGeneratedBytes(out.Path() + "/a/m.swf", kMovieSize));
  EXPECT_TRUE(FileHoldsGeneratedBytes(out.Path() + "/b.swf", kMovieSize));
  EXPECT_TRUE(FileHoldsGeneratedBytes(out.Path() + "/c/m.swf", kMovieSize));

  // Without a terminal at all.
  const ProgramResult plain = RunProgram({kProgram, "download", "-d", out.Path() + "/g", movie});
  EXPECT_EQ(plain.ExitCode, 0);
  EXPECT_EQ(plain.Stderr, "");
  EXPECT_EQ(plain.Stdout, "saved " + out.Path() + "/g/m.swf\n");
}

}  // namespace
