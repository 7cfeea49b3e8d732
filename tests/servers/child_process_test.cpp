#include "tests/support/child_process.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/support/temp_dir.h"

using namespace std::chrono_literals;

TEST(ChildProcessTest, CapturesOutputEnvironmentInputAndExitCode) {
  ::setenv("FG_GONE", "still here", 1);
  ChildProcess child({"sh", "-c", "echo out-$FG_X$FG_GONE; echo err >&2; cat; exit 7"});
  child.Environment = {"FG_X=42", "FG_GONE"};
  child.StdinText = "from stdin\n";
  child.Start();
  ASSERT_TRUE(child.WaitForExit(5s)) << child.Describe();
  EXPECT_EQ(child.ExitCode(), 7);
  EXPECT_EQ(child.Stdout(), "out-42\nfrom stdin\n");
  EXPECT_EQ(child.Stderr(), "err\n");
  EXPECT_FALSE(child.Running());
}

TEST(ChildProcessTest, RunProgramReportsTheResult) {
  const ProgramResult ok = RunProgram({"sh", "-c", "printf abc"});
  EXPECT_EQ(ok.ExitCode, 0);
  EXPECT_EQ(ok.Stdout, "abc");
  EXPECT_EQ(RunProgram({"sh", "-c", "kill -9 $$"}).ExitCode, 128 + 9);
  EXPECT_EQ(RunProgram({"sleep", "10"}, "", 50ms).ExitCode, -1);
}

TEST(ChildProcessTest, AProgramThatCannotRunThrows) {
  EXPECT_THROW(ChildProcess({"no-such-program-fg"}).Start(), std::runtime_error);
  TempDir dir;
  const std::string notExecutable = dir.WriteFile("x.sh", "echo\n");
  EXPECT_THROW(ChildProcess({notExecutable}).Start(), std::runtime_error);
}

TEST(ChildProcessTest, StopEndsTheProgramAndTheHelpersItForked) {
  ChildProcess child({"sh", "-c", "sleep 30 & sleep 30 & wait"});
  child.Start();
  std::this_thread::sleep_for(50ms);
  const pid_t pid = child.Pid();
  ASSERT_TRUE(ProcessGroupAlive(pid));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(child.Stop(), 128 + 15);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_FALSE(ProcessAlive(pid));
  EXPECT_FALSE(ProcessGroupAlive(pid));
}

TEST(ChildProcessTest, AProgramIgnoringTermIsKilledAfterTheGracePeriod) {
  ChildProcess child({"sh", "-c", "trap '' TERM; echo ready; while :; do sleep 0.05; done"});
  child.Start();
  for (int i = 0; i < 200 && child.Stdout().empty(); ++i)
    std::this_thread::sleep_for(5ms);
  const auto start = std::chrono::steady_clock::now();
  child.Stop(200ms);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 200ms);
  EXPECT_LT(took, 3s);
  EXPECT_FALSE(ProcessGroupAlive(child.Pid()));
}

TEST(ChildProcessTest, DestructorLeavesNoProcessAndStartCanRepeat) {
  pid_t pid = 0;
  {
    ChildProcess child({"sleep", "30"});
    child.Start();
    pid = child.Pid();
    EXPECT_TRUE(ProcessAlive(pid));
    child.Stop();
    child.Start();
    EXPECT_NE(child.Pid(), pid);
    pid = child.Pid();
  }
  EXPECT_FALSE(ProcessAlive(pid));
}

TEST(ChildProcessTest, StopsADaemonByItsPidFile) {
  TempDir dir;
  const std::string pidFile = dir.Path() + "/d.pid";
  // The daemon writes its own pid once it runs in a session of its own; the shell waits for
  // that, so the daemon cannot be caught in the shell's group when the shell is stopped.
  EXPECT_EQ(RunProgram({"sh", "-c",
                        "setsid sh -c 'echo $$ > " + pidFile +
                            "; exec sleep 30' >/dev/null 2>&1 & while [ ! -s " + pidFile +
                            " ]; do sleep 0.01; done"})
                .ExitCode,
            0);
  const pid_t daemon = ReadPidFile(pidFile);
  ASSERT_GT(daemon, 0);
  EXPECT_TRUE(ProcessAlive(daemon));
  EXPECT_TRUE(StopProcessByPidFile(pidFile));
  EXPECT_FALSE(ProcessAlive(daemon));
  EXPECT_TRUE(StopProcessByPidFile(dir.Path() + "/missing.pid"));
}

TEST(ChildProcessTest, RunProgramLeavesNoHelperBehind) {
  TempDir dir;
  const std::string pidFile = dir.Path() + "/helper.pid";
  EXPECT_EQ(RunProgram({"sh", "-c", "sleep 30 >/dev/null 2>&1 & echo $! > " + pidFile}).ExitCode,
            0);
  const pid_t helper = ReadPidFile(pidFile);
  ASSERT_GT(helper, 0);
  EXPECT_FALSE(ProcessAlive(helper));
}
