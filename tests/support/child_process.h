// Programs that tests start: output captured to files, stopped and reaped without fail.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// One started program. It runs in a process group of its own, so stopping it also stops the
// helpers it forks (server workers). The program also receives SIGTERM when the thread that
// started it ends, so a test process that dies does not leave servers behind: start children
// from a thread that outlives them (the test's own thread).
class ChildProcess {
 public:
  using Duration = std::chrono::milliseconds;

  // argv[0] is a path or a program name looked up in PATH (and the sbin folders).
  explicit ChildProcess(std::vector<std::string> argv);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();  // Stop()

  // Read by Start().
  // "NAME=value" adds to or replaces the inherited environment; a bare "NAME" removes it.
  std::vector<std::string> Environment;
  std::string WorkingDirectory;  // empty: the test's own
  std::string StdinText;         // given on standard input; empty: /dev/null

  // Throws std::runtime_error when the program cannot be run. Starting again after an exit is
  // allowed; the output files are then rewritten.
  void Start();
  // Sends SIGTERM to the process group, SIGKILL after `grace`, reaps the program and waits until
  // no process of its group is left. Returns ExitCode(); harmless when never started.
  int Stop(Duration grace = std::chrono::seconds(3));
  // Waits for the program to end by itself; true when it has (and it is reaped).
  bool WaitForExit(Duration limit);
  bool Running();

  pid_t Pid() const { return pid_; }  // 0 before Start; stays readable after the exit
  // The shell's form: the exit status, or 128 + signal number; -1 while running or never started.
  int ExitCode() const { return exitCode_; }

  const std::string& StdoutPath() const { return stdoutPath_; }
  const std::string& StderrPath() const { return stderrPath_; }
  std::string Stdout() const;
  std::string Stderr() const;
  // The command line, its state and the end of its output, for failure messages.
  std::string Describe() const;

 private:
  bool Reap(bool block);

  std::vector<std::string> argv_;
  TempDir dir_;
  std::string stdoutPath_;
  std::string stderrPath_;
  pid_t pid_ = 0;
  bool reaped_ = true;
  int exitCode_ = -1;
};

struct ProgramResult {
  int ExitCode = -1;  // as ChildProcess::ExitCode(); -1 when it did not end within the limit
  std::string Stdout;
  std::string Stderr;
};

// Runs a program to its end (stopping it after `limit`).
ProgramResult RunProgram(std::vector<std::string> argv, const std::string& stdinText = "",
                         std::chrono::milliseconds limit = std::chrono::seconds(30));

// True while a process with this id exists and is not a zombie.
bool ProcessAlive(pid_t pid);

// True while a process of this process group exists and is not a zombie.
bool ProcessGroupAlive(pid_t pgid);

// The number in a daemon's pid file; 0 when the file is missing or holds no number.
pid_t ReadPidFile(const std::string& path);

// Stops a daemon that is not our child: SIGTERM to the pid in the file, SIGKILL after `grace`.
// True when no such process is left (also when the file names none).
bool StopProcessByPidFile(const std::string& pidFile,
                          std::chrono::milliseconds grace = std::chrono::seconds(3));
