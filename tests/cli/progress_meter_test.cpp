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

// A slow body still moves the meter at least twice a second (the client's receives are large,
// so the meter counts what waits between them), and each line of a run of files names the
// file and its place among them.
TEST(CliProgressMeter, ASlowBodyIsRedrawnTwiceASecondAndEachFileNamed) {
  NginxServer nginx;
  nginx.AddLocation("/slow/", "limit_rate 40k;");
  nginx.Start();
  constexpr size_t kSlowSize = 240 * 1024;  // about 5 s at 40 KiB/s
  nginx.WriteFile("slow/game.swf", GeneratedBytes(0, kSlowSize));
  nginx.WriteFile("intro.swf", "tiny");
  nginx.WriteFile("outro.swf", "tiny too");
  TempDir out;
  const auto started = std::chrono::steady_clock::now();
  const ProgramResult slow =
      OnTerminal({"get", "-o", out.Path() + "/game.swf", nginx.Url("/slow/game.swf")});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ASSERT_EQ(slow.ExitCode, 0) << slow.Stdout;
  size_t redraws = 0;
  for (const char c : slow.Stdout)
    redraws += c == '\r' ? 1 : 0;
  EXPECT_GE(static_cast<double>(redraws), 2 * (seconds - 1)) << seconds << " s\n" << slow.Stdout;
  EXPECT_TRUE(FileHoldsGeneratedBytes(out.Path() + "/game.swf", kSlowSize));

  const ProgramResult run = OnTerminal(
      {"download", "-d", out.Path() + "/run", nginx.Url("/intro.swf"), nginx.Url("/outro.swf")});
  ASSERT_EQ(run.ExitCode, 0) << run.Stdout;
  EXPECT_NE(run.Stdout.find("[1/2] intro.swf  "), std::string::npos) << run.Stdout;
  EXPECT_NE(run.Stdout.find("[2/2] outro.swf  "), std::string::npos) << run.Stdout;
}

}  // namespace
